#pragma once
// One capture device reached through the USB driver port: found by its device-interface class,
// opened by index, with its descriptors, its current interface's endpoints and the control
// endpoint. Used by one thread at a time.

#include <memory>
#include <string>
#include <vector>

#include "fvplatform/usb_driver.h"
#include "fvplatform/win_types.h"
#include "usb/usb_descriptors.h"
#include "usb/usb_endpoint.h"

namespace dravex {

struct UsbInterface {
  UsbInterfaceDescriptor descriptor;
  std::vector<std::unique_ptr<CUsbEndPoint>> endpoints;
};

struct UsbConfiguration {
  UsbConfigDescriptor descriptor;
  std::vector<UsbInterface> interfaces;
};

class CUsbDevice {
 public:
  // With a window, device notifications would be registered for it; this platform has none to
  // register, and the library passes no window.
  CUsbDevice(HWND window, const fvplat::UsbClassId& deviceClass, bool openNow);
  ~CUsbDevice();
  CUsbDevice(const CUsbDevice&) = delete;
  CUsbDevice& operator=(const CUsbDevice&) = delete;

  // Present interfaces of the class, 0..255.
  int DeviceCount();
  bool Open(int index);
  bool IsOpen() const { return m_handle != fvplat::kInvalidUsbHandle; }
  // Never fails: a handle the driver will not close is reported and dropped.
  void Close();
  bool Reconnect();

  // Endpoints of the current interface, in descriptor order.
  int EndPointCount() const;
  CUsbEndPoint* EndPoint(int i) const;

  fvplat::UsbHandle m_handle = fvplat::kInvalidUsbHandle;
  int m_index = 0;
  HWND m_window;
  fvplat::UsbClassId m_class;

  UsbDeviceDescriptor m_deviceDescriptor;
  std::u16string m_manufacturer, m_product, m_serialNumber;
  std::vector<UsbConfiguration> m_configurations;
  UsbInterface* m_interface = nullptr;
  std::uint8_t m_altSetting = 0;

  // First endpoint of each kind and direction on the current interface (null when none).
  CBulkEndPoint* m_bulkInEndPoint = nullptr;
  CBulkEndPoint* m_bulkOutEndPoint = nullptr;
  CInterruptEndPoint* m_interruptInEndPoint = nullptr;
  CInterruptEndPoint* m_interruptOutEndPoint = nullptr;
  CIsocEndPoint* m_isocInEndPoint = nullptr;
  CIsocEndPoint* m_isocOutEndPoint = nullptr;
  std::unique_ptr<CControlEndPoint> m_controlEndPoint;

  // Driver facts read at open and kept.
  std::uint32_t m_speed = 0;
  std::uint8_t m_address = 0;
  std::string m_friendlyName, m_driverKeyName;
  std::uint32_t m_driverVersion = 0, m_usbdVersion = 0;

 private:
  bool ReadDeviceDescriptor();
  void ReadStrings();
  std::u16string ReadString(std::uint8_t index, std::uint16_t language);
  void ReadDriverFacts();
  enum class ConfigRead { kRead, kUnread, kMalformed };
  ConfigRead ReadConfiguration(std::uint8_t index);
  void SelectInterface();
  bool GetDescriptor(std::uint8_t type, std::uint8_t index, std::uint16_t language,
                     std::uint8_t* buffer, std::uint32_t& length);
  bool DriverQuery(std::uint32_t code, void* out, std::uint32_t outLength);
};

}  // namespace dravex
