// The port list's knowledge of adapters: the ports are probed for real (the harness serves
// TAMSIVO_TEST_PORT and TAMSIVO_OTHER_PORT), the device manager's facts come from a table
// that the test writes as Windows describes real adapters.
#include "WinSupport.h"

#include "flash/win32/DeviceTable.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tamsivo::test {
namespace {

// One device node: a port when it has a name, otherwise only a parent of one.
struct Node {
    std::string name = {}, id = {}, friendlyName = {}, maker = {}, parent = {};
    std::optional<std::uint32_t> latencyTimer = {};
};

class FakeDeviceTable : public DeviceTable {
public:
    explicit FakeDeviceTable(std::vector<Node> nodes) : nodes_(std::move(nodes)) {}
    std::vector<Port> Ports() const override {
        std::vector<Port> ports;
        for (const Node& node : nodes_) {
            if (!node.name.empty()) {
                ports.push_back({node.name, node.id, node.friendlyName, node.maker});
            }
        }
        return ports;
    }
    std::string ParentOf(const std::string& id) const override { return Find(id).parent; }
    std::optional<std::uint32_t> Parameter(const std::string& id,
                                           const std::string& name) const override {
        return name == "LatencyTimer" ? Find(id).latencyTimer : std::nullopt;
    }

private:
    Node Find(const std::string& id) const {
        const auto found = std::ranges::find(nodes_, id, &Node::id);
        return found != nodes_.end() ? *found : Node{};
    }
    std::vector<Node> nodes_;
};

TEST(PortListWin32, TheDeviceManagerTellsAdaptersApartAndTheyComeFirst) {
    const std::string a = Environment(L"TAMSIVO_TEST_PORT");
    const std::string b = Environment(L"TAMSIVO_OTHER_PORT");
    if (a.empty() || b.empty()) {
        GTEST_SKIP() << "TAMSIVO_TEST_PORT and TAMSIVO_OTHER_PORT name no served ports";
    }
    const std::string ftdi = "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000";
    const std::string leonardo = "USB\\VID_2341&PID_8036&MI_00\\7&1D6D9A8&0&0000";
    const std::string bluetooth = "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_0\\7&1B2C&0&0";
    const std::string radio = "BTH\\MS_BTHBRB\\6&A1B2&0&1";
    struct Case {
        const char* what;
        std::vector<Node> nodes;
        std::vector<std::string> listed;
    };
    const Case cases[] = {
        // FTDI's bus driver makes the port below the USB device, which holds the serial
        // number; the on-board UART comes after it. A port that the probe does not find is
        // not listed, whatever the table says.
        {"FTDI adapter and on-board UART",
         {{a, "ACPI\\PNP0501\\1", "Communications Port", "(Standard port types)"},
          {"com" + b.substr(3), ftdi, "USB Serial Port", "FTDI", "USB\\VID_0403&PID_6001\\A50285BI",
           16},
          {"COM200", "FTDIBUS\\VID_0403+PID_6015+DN02ABCDA\\0000", "USB Serial Port", "FTDI"}},
         {b + " 'USB Serial Port' usb 0403:6001 FTDI serial=A50285BI timer 16",
          a + " 'Communications Port'"}},
        // A composite device's interface: the serial number is its parent's. A CH340 has none,
        // and Windows makes its instance up.
        {"composite device and CH340",
         {{a, leonardo, "Arduino Leonardo", "Arduino LLC", "USB\\VID_2341&PID_8036\\HIDPC"},
          {b, "USB\\VID_1A86&PID_7523\\5&2B9C3E5&0&1", "USB-SERIAL CH340", "wch.cn"}},
         {a + " 'Arduino Leonardo' usb 2341:8036 Arduino LLC serial=HIDPC",
          b + " 'USB-SERIAL CH340' usb 1a86:7523 wch.cn serial="}},
        // A Bluetooth radio may sit on USB; its port is no adapter all the same. A port the
        // device manager does not know is listed as probed.
        {"Bluetooth port",
         {{a, bluetooth, "Standard Serial over Bluetooth link", "Microsoft", radio},
          {"", radio, "", "", "USB\\VID_8087&PID_0A2B\\5&3C&0&7"}},
         {a + " 'Standard Serial over Bluetooth link'", b + " ''"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> listed;
        for (const SerialPortInfo& port : ListSerialPorts(FakeDeviceTable(c.nodes))) {
            if (port.name == a || port.name == b || port.name == "COM200") {
                listed.push_back(
                    port.name + " '" + port.friendlyName + "'" +
                    (port.usb ? " usb " + port.vendorId + ":" + port.productId + " " +
                                    port.manufacturer + " serial=" + port.serial
                              : "") +
                    (port.latencyTimerMs ? " timer " + std::to_string(*port.latencyTimerMs) : ""));
            }
        }
        EXPECT_EQ(listed, c.listed);
    }
}

} // namespace
} // namespace tamsivo::test
