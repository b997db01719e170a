# Debian's OpenCV component packages ship neither a CMake package nor a pkg-config file.
find_path(FV_OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
add_library(fv_opencv INTERFACE)
target_include_directories(fv_opencv SYSTEM INTERFACE ${FV_OPENCV_INCLUDE_DIR})
foreach(part core imgproc imgcodecs)
  find_library(FV_OPENCV_${part} opencv_${part} REQUIRED)
  target_link_libraries(fv_opencv INTERFACE ${FV_OPENCV_${part}})
endforeach()

find_package(PkgConfig REQUIRED)
pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET jsoncpp)
add_library(fv_jsoncpp INTERFACE)
target_link_libraries(fv_jsoncpp INTERFACE PkgConfig::JSONCPP)

# libjpeg directly for decoding, so that its warnings reach the device library's log.
find_package(JPEG REQUIRED)
add_library(fv_jpeg INTERFACE)
target_link_libraries(fv_jpeg INTERFACE JPEG::JPEG)

find_package(CURL REQUIRED)

# Debian's civetweb CMake package names a server program the library package lacks.
find_path(FV_CIVETWEB_INCLUDE_DIR civetweb.h REQUIRED)
find_library(FV_CIVETWEB_LIBRARY civetweb REQUIRED)
add_library(fv_civetweb INTERFACE)
target_include_directories(fv_civetweb SYSTEM INTERFACE ${FV_CIVETWEB_INCLUDE_DIR})
target_link_libraries(fv_civetweb INTERFACE ${FV_CIVETWEB_LIBRARY})
