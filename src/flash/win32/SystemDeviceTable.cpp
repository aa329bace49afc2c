#include "flash/win32/SystemDeviceTable.h"

#include <algorithm>
#include <cwchar>

#include <windows.h>

// The GUIDs of the Ports class and of the COM port interface are defined in this file.
#include <initguid.h>

#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>
#include <winioctl.h>

namespace tamsivo {
namespace {

std::string Utf8Of(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(std::max(size, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                          nullptr, nullptr);
    return text;
}

std::wstring WideOf(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          size);
    return wide;
}

// A registry string as the system stored it: not always terminated, sometimes with its
// terminator counted.
std::wstring StoredText(const std::wstring& buffer, DWORD bytes) {
    std::wstring text(buffer.data(), std::min<std::size_t>(bytes / sizeof(wchar_t), buffer.size()));
    text.resize(std::wcslen(text.c_str()));
    return text;
}

std::string TextProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    std::wstring buffer(512, L'\0');
    DWORD type = 0;
    DWORD bytes = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(
            set, &device, property, &type, reinterpret_cast<BYTE*>(buffer.data()),
            static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), &bytes) ||
        type != REG_SZ) {
        return {};
    }
    return Utf8Of(StoredText(buffer, bytes));
}

std::string InstanceIdOf(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    return ::SetupDiGetDeviceInstanceIdW(set, &device, id, MAX_DEVICE_ID_LEN + 1, nullptr)
               ? Utf8Of(id)
               : std::string();
}

// The port's name is a value of the device's hardware key, which its driver's installer wrote.
std::string PortNameOf(HDEVINFO set, SP_DEVINFO_DATA& device) {
    const HKEY key =
        ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::wstring buffer(64, L'\0');
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LONG result = ::RegQueryValueExW(key, L"PortName", nullptr, &type,
                                           reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? Utf8Of(StoredText(buffer, bytes))
                                                     : std::string();
}

// Every present device of one set that has a port name, each once.
void Collect(HDEVINFO set, std::vector<DeviceTable::Port>* ports) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        DeviceTable::Port port;
        port.instanceId = InstanceIdOf(set, device);
        if (port.instanceId.empty() ||
            std::any_of(ports->begin(), ports->end(),
                        [&](const auto& known) { return known.instanceId == port.instanceId; })) {
            continue;
        }
        port.name = PortNameOf(set, device);
        if (port.name.empty()) {
            continue; // a printer port, or a port its driver has not named yet
        }
        port.friendlyName = TextProperty(set, device, SPDRP_FRIENDLYNAME);
        port.manufacturer = TextProperty(set, device, SPDRP_MFG);
        ports->push_back(std::move(port));
    }
}

} // namespace

// Serial drivers put their ports in the Ports class; a modem's port is in the Modem class
// and found by the COM port interface, which not every driver of the Ports class registers.
std::vector<DeviceTable::Port> SystemDeviceTable::Ports() const {
    struct Source {
        const GUID* guid;
        DWORD flags;
    };
    const Source sources[] = {{&GUID_DEVCLASS_PORTS, DIGCF_PRESENT},
                              {&GUID_DEVINTERFACE_COMPORT, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE}};
    std::vector<Port> ports;
    for (const Source& source : sources) {
        const HDEVINFO set = ::SetupDiGetClassDevsW(source.guid, nullptr, nullptr, source.flags);
        if (set != INVALID_HANDLE_VALUE) {
            Collect(set, &ports);
            ::SetupDiDestroyDeviceInfoList(set);
        }
    }
    return ports;
}

std::string SystemDeviceTable::ParentOf(const std::string& instanceId) const {
    std::wstring id = WideOf(instanceId);
    DEVINST device = 0;
    DEVINST parent = 0;
    wchar_t parentId[MAX_DEVICE_ID_LEN + 1] = {};
    if (::CM_Locate_DevNodeW(&device, id.data(), CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS ||
        ::CM_Get_Parent(&parent, device, 0) != CR_SUCCESS ||
        ::CM_Get_Device_IDW(parent, parentId, MAX_DEVICE_ID_LEN + 1, 0) != CR_SUCCESS) {
        return {};
    }
    return Utf8Of(parentId);
}

std::optional<std::uint32_t> SystemDeviceTable::Parameter(const std::string& instanceId,
                                                          const std::string& name) const {
    const std::wstring key =
        L"SYSTEM\\CurrentControlSet\\Enum\\" + WideOf(instanceId) + L"\\Device Parameters";
    DWORD value = 0;
    DWORD bytes = sizeof value;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), WideOf(name).c_str(), RRF_RT_REG_DWORD,
                       nullptr, &value, &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

} // namespace tamsivo
