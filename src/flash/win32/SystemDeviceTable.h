#pragma once

#include "flash/win32/DeviceTable.h"

namespace tamsivo {

// The device manager's own facts: SetupAPI over the Ports class and the COM port interface,
// the device tree through cfgmgr32, the driver parameters from the registry. Nothing it reads
// needs administrator rights.
class SystemDeviceTable : public DeviceTable {
public:
    std::vector<Port> Ports() const override;
    std::string ParentOf(const std::string& instanceId) const override;
    std::optional<std::uint32_t> Parameter(const std::string& instanceId,
                                           const std::string& name) const override;
};

} // namespace tamsivo
