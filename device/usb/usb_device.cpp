#include "usb/usb_device.h"

#include <algorithm>

#include "fvplatform/debug_output.h"
#include "fvplatform/usb_requests.h"

namespace dravex {
namespace {

namespace usb = fvplat::usb;

constexpr std::uint16_t kEnglishUs = 0x0409;
constexpr std::uint32_t kStringBytes = 256;

std::unique_ptr<CUsbEndPoint> MakeEndPoint(fvplat::UsbHandle handle,
                                           const UsbEndpointDescriptor& d) {
  switch (d.attributes & 3) {
    case 1: return std::make_unique<CIsocEndPoint>(handle, d);
    case 2: return std::make_unique<CBulkEndPoint>(handle, d);
    case 3: return std::make_unique<CInterruptEndPoint>(handle, d);
    default: return nullptr;  // control endpoints are not listed in interfaces
  }
}

std::string Text(const std::uint8_t* bytes, std::size_t size) {
  const auto* end = std::find(bytes, bytes + size, 0);
  return std::string(bytes, end);
}

}  // namespace

CUsbDevice::CUsbDevice(HWND window, const fvplat::UsbClassId& deviceClass, bool openNow)
    : m_window(window), m_class(deviceClass) {
  if (openNow) Open(0);
}

CUsbDevice::~CUsbDevice() { Close(); }

int CUsbDevice::DeviceCount() { return std::clamp(fvplat::UsbCount(m_class), 0, 255); }

bool CUsbDevice::Open(int index) {
  if (IsOpen()) Close();
  const int count = DeviceCount();
  if (count == 0 || index < 0 || index >= count) return false;
  m_handle = fvplat::UsbOpen(m_class, index);
  if (!IsOpen()) return false;
  m_index = index;
  m_controlEndPoint = std::make_unique<CControlEndPoint>(m_handle, 0);
  if (ReadDeviceDescriptor()) {
    ReadStrings();
    ReadDriverFacts();
    for (std::uint8_t c = 0; c < m_deviceDescriptor.numConfigurations; ++c) {
      if (ReadConfiguration(c) == ConfigRead::kMalformed) {
        // A configuration that does not parse is a device we cannot trust.
        m_configurations.clear();
        break;
      }
    }
  }
  if (m_configurations.empty()) {
    Close();
    return false;
  }
  m_controlEndPoint->m_maxPacketSize = m_deviceDescriptor.maxPacketSize0;
  SelectInterface();
  return true;
}

void CUsbDevice::Close() {
  m_interface = nullptr;
  m_bulkInEndPoint = m_bulkOutEndPoint = nullptr;
  m_interruptInEndPoint = m_interruptOutEndPoint = nullptr;
  m_isocInEndPoint = m_isocOutEndPoint = nullptr;
  m_configurations.clear();
  m_controlEndPoint.reset();
  m_deviceDescriptor = {};
  m_manufacturer.clear();
  m_product.clear();
  m_serialNumber.clear();
  if (IsOpen() && !fvplat::UsbClose(m_handle)) {
    OutputDebugStringA("Failed to close handle to driver.\n");
  }
  m_handle = fvplat::kInvalidUsbHandle;
}

bool CUsbDevice::Reconnect() {
  if (!IsOpen()) return false;
  return DriverCall(m_handle, usb::kIoctlReconnect, nullptr, 0, nullptr, 0);
}

int CUsbDevice::EndPointCount() const {
  return m_interface != nullptr ? static_cast<int>(m_interface->endpoints.size()) : 0;
}

CUsbEndPoint* CUsbDevice::EndPoint(int i) const {
  if (i < 0 || i >= EndPointCount()) return nullptr;
  return m_interface->endpoints[static_cast<std::size_t>(i)].get();
}

bool CUsbDevice::GetDescriptor(std::uint8_t type, std::uint8_t index, std::uint16_t language,
                               std::uint8_t* buffer, std::uint32_t& length) {
  CControlEndPoint& ep = *m_controlEndPoint;
  ep.SetRequest(0, 0, 1, 6, static_cast<std::uint16_t>((type << 8) | index), language);
  return ep.XferData(buffer, length);
}

bool CUsbDevice::ReadDeviceDescriptor() {
  std::uint8_t d[kDeviceDescriptorSize] = {};
  std::uint32_t length = sizeof d;
  return GetDescriptor(1, 0, 0, d, length) && ParseDeviceDescriptor(d, length, &m_deviceDescriptor);
}

std::u16string CUsbDevice::ReadString(std::uint8_t index, std::uint16_t language) {
  if (index == 0) return {};
  std::uint8_t d[kStringBytes] = {};
  std::uint32_t length = sizeof d;
  if (!GetDescriptor(3, index, language, d, length)) return {};
  return ParseStringDescriptor(d, length);
}

void CUsbDevice::ReadStrings() {
  std::uint8_t d[kStringBytes] = {};
  std::uint32_t length = sizeof d;
  std::vector<std::uint16_t> languages;
  if (GetDescriptor(3, 0, 0, d, length)) languages = ParseLanguageList(d, length);
  if (languages.empty()) return;
  const bool english = std::find(languages.begin(), languages.end(), kEnglishUs) != languages.end();
  const std::uint16_t language = english ? kEnglishUs : languages.front();
  m_manufacturer = ReadString(m_deviceDescriptor.manufacturerIndex, language);
  m_product = ReadString(m_deviceDescriptor.productIndex, language);
  m_serialNumber = ReadString(m_deviceDescriptor.serialIndex, language);
}

bool CUsbDevice::DriverQuery(std::uint32_t code, void* out, std::uint32_t outLength) {
  return DriverCall(m_handle, code, nullptr, 0, out, outLength);
}

void CUsbDevice::ReadDriverFacts() {
  std::uint8_t word[4] = {};
  if (DriverQuery(usb::kIoctlAddress, word, 1)) m_address = word[0];
  std::uint8_t name[usb::kNameSize] = {};
  if (DriverQuery(usb::kIoctlFriendlyName, name, sizeof name)) m_friendlyName = Text(name, sizeof name);
  std::fill(std::begin(name), std::end(name), 0);
  if (DriverQuery(usb::kIoctlDriverKey, name, sizeof name)) m_driverKeyName = Text(name, sizeof name);
  if (DriverQuery(usb::kIoctlDriverVersion, word, 4)) m_driverVersion = usb::GetU32(word);
  if (DriverQuery(usb::kIoctlUsbdVersion, word, 4)) m_usbdVersion = usb::GetU32(word);
  if (DriverQuery(usb::kIoctlSpeed, word, 4)) m_speed = usb::GetU32(word);
}

CUsbDevice::ConfigRead CUsbDevice::ReadConfiguration(std::uint8_t index) {
  std::uint8_t head[kConfigHeadSize] = {};
  std::uint32_t length = sizeof head;
  if (!GetDescriptor(2, index, 0, head, length)) return ConfigRead::kUnread;
  const std::uint16_t total = ConfigTotalLength(head, length);
  if (total < kConfigHeadSize) return ConfigRead::kMalformed;
  std::vector<std::uint8_t> whole(total, 0);
  length = total;
  if (!GetDescriptor(2, index, 0, whole.data(), length)) return ConfigRead::kUnread;
  // Cut short, even at a descriptor boundary, it would hide interfaces and endpoints.
  if (length < total) return ConfigRead::kMalformed;
  UsbConfiguration config;
  if (!ParseConfigDescriptor(whole.data(), length, &config.descriptor)) return ConfigRead::kMalformed;
  for (const UsbInterfaceDescriptor& i : config.descriptor.interfaces) {
    UsbInterface built{i, {}};
    for (const UsbEndpointDescriptor& e : i.endpoints) {
      if (auto ep = MakeEndPoint(m_handle, e)) built.endpoints.push_back(std::move(ep));
    }
    config.interfaces.push_back(std::move(built));
  }
  m_configurations.push_back(std::move(config));
  return ConfigRead::kRead;
}

void CUsbDevice::SelectInterface() {
  std::uint8_t alt = 0;
  if (DriverQuery(usb::kIoctlAltSetting, &alt, 1)) m_altSetting = alt;
  std::vector<UsbInterface>& interfaces = m_configurations.front().interfaces;
  for (UsbInterface& i : interfaces) {
    if (i.descriptor.number == 0 && i.descriptor.altSetting == m_altSetting) {
      m_interface = &i;
      break;
    }
  }
  if (m_interface == nullptr && !interfaces.empty()) m_interface = &interfaces.front();
  if (m_interface == nullptr) return;
  for (auto& ep : m_interface->endpoints) {
    const bool in = ep->IsIn();
    switch (ep->m_attributes & 3) {
      case 1: {
        auto* p = static_cast<CIsocEndPoint*>(ep.get());
        if (in && !m_isocInEndPoint) m_isocInEndPoint = p;
        if (!in && !m_isocOutEndPoint) m_isocOutEndPoint = p;
        break;
      }
      case 2: {
        auto* p = static_cast<CBulkEndPoint*>(ep.get());
        if (in && !m_bulkInEndPoint) m_bulkInEndPoint = p;
        if (!in && !m_bulkOutEndPoint) m_bulkOutEndPoint = p;
        break;
      }
      case 3: {
        auto* p = static_cast<CInterruptEndPoint*>(ep.get());
        if (in && !m_interruptInEndPoint) m_interruptInEndPoint = p;
        if (!in && !m_interruptOutEndPoint) m_interruptOutEndPoint = p;
        break;
      }
      default:
        break;
    }
  }
}

}  // namespace dravex
