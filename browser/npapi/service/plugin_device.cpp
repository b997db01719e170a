#include "service/plugin_device.h"

#include "binding/device_library.h"
#include "fvplatform/clock.h"
#include "log/log_file.h"

namespace npsorvik {

int PluginDevice::openDevice(HWND preview) {
  fvbrowser::DeviceLibrary* library = fvbrowser::getDeviceLibrary();
  if (m_bOpen.load() && library != nullptr) {
    library->close();
    m_bOpen.store(false);
  }
  const int count = library != nullptr ? library->getCount() : 0;
  m_nDevCount.store(count);
  fvbrowser::logf("获取可用设备数量 = %d", count);
  if (count <= 0) {
    fvbrowser::logf("DevCnt <= 0");
    m_bOpen.store(false);
    return -1;
  }
  if (library->open(count - 1, preview) != 1) {
    fvbrowser::logf("设备打开失败");
    return -1;
  }
  m_bOpen.store(true);
  return 0;
}

int PluginDevice::getFingerState() {
  return m_bOpen.load() ? fvbrowser::boundDeviceLibrary().getState() : -1;
}

fvbrowser::Bytes PluginDevice::grabImage(int& quality, int& code, HWND preview,
                                         const std::atomic<bool>& wanted) {
  quality = -1;
  code = 0;
  fvbrowser::Bytes image;
  bool poor = false;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!wanted.load()) return image;
    if (!m_bOpen.load() && openDevice(preview) != 0) {
      fvbrowser::logf("grabImage new but Device not open!");
      code = 206;
      return image;
    }
    fvbrowser::DeviceLibrary& library = fvbrowser::boundDeviceLibrary();
    const int count = library.getCount();
    m_nDevCount.store(count);
    if (count < 1) {
      code = 206;
      return image;
    }
    const int grabbed = library.grab(image);
    fvbrowser::logf("grabImage %d", grabbed);
    // A failed grab leaves its whole buffer: no frame.
    if (grabbed == 0) image.clear();
    if (!image.empty()) library.quality(image, quality);
    poor = grabbed == 0 || quality != 0;
    code = poor ? 207 : grabbed;
  }
  if (poor) Sleep(100);
  return image;
}

}  // namespace npsorvik
