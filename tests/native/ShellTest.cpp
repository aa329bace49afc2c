// The application shell's portable parts: port discovery on the shared state and the
// generated resources.
#include "PosixHelpers.h"
#include "app/AppState.h"
#include "skingen/ResourceFiles.h"
#include "text/Cp1251Literal.h"
#include "ui/PortDiscovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace tamsivo {
namespace {

TEST(PortDiscovery, ShowsTheRememberedPortOnlyWhenItIsFreeByExactName) {
    struct Case {
        std::string remembered;
        std::vector<std::string> free;
        std::string shown;
        std::int32_t index;
    };
    const std::vector<Case> cases = {
        {"", {"COM1", "COM3"}, "COM1", 0},
        {"COM3", {"COM1", "COM3", "COM7"}, "COM3", 1},
        {"COM256", {"COM4", "COM256"}, "COM256", 1},
        // Absent, in another case, the placeholder of a run without ports, or a name that only
        // begins like a free one: none is the name of a free port.
        {"COM9", {"COM1", "COM3"}, "COM1", 0},
        {"com3", {"COM1", "COM3"}, "COM1", 0},
        {"HET", {"COM1", "COM3"}, "COM1", 0},
        {"COM30", {"COM1", "COM3"}, "COM1", 0},
        // No port: the Latin letters H, E, T, not the Cyrillic word they resemble.
        {"COM3", {}, "\x48\x45\x54", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remembered + " of " + std::to_string(c.free.size()));
        AppState state;
        state.portNames = std::make_unique<StringList>(StringList{"stale"});
        state.portIndex = 5;
        state.portName = c.remembered;
        EXPECT_EQ(DiscoverSerialPorts(state, c.free), c.shown);
        EXPECT_EQ(*state.portNames, c.free) << "the list starts empty";
        EXPECT_EQ(state.portCount, static_cast<std::int32_t>(c.free.size()));
        EXPECT_EQ(state.portIndex, c.index);
        EXPECT_EQ(state.portName, c.remembered) << "discovery only reads the remembered name";
    }
    AppState bare; // without a list at all there is still one to fill
    EXPECT_EQ(DiscoverSerialPorts(bare, {"COM4"}), "COM4");
    EXPECT_EQ(*bare.portNames, StringList{"COM4"});
}

// The skin, the icon and the cursor are drawn by our own generator and committed with the
// resource script, which is stored in Windows-1251 as the resource compiler reads it.
TEST(Resources, CommittedPicturesAreWhatTheGeneratorDrawsAndTheScriptIsWindows1251) {
    const std::filesystem::path resources = TAMSIVO_RESOURCE_DIR;
    const std::string script = test::ReadWhole(resources / "Tamsivo.rc");
    for (const skingen::ResourceFiles::File& file : skingen::ResourceFiles::generate()) {
        const std::string committed = test::ReadWhole(resources / file.name);
        EXPECT_TRUE(
            std::equal(committed.begin(), committed.end(), file.bytes.begin(), file.bytes.end(),
                       [](char c, std::uint8_t u) { return static_cast<std::uint8_t>(c) == u; }))
            << file.name << " is stale: build the regenerate-resources target";
        EXPECT_NE(script.find("\"" + file.name + "\""), std::string::npos) << file.name;
    }
    EXPECT_NE(script.find(kCp1251<"СТАРТ 115200">), std::string::npos);
    EXPECT_NE(script.find(kCp1251<"Техническая поддержка:  тел.">), std::string::npos);
    EXPECT_EQ(script.find("\xD0\xA1\xD0\xA2"), std::string::npos) << "UTF-8 in the script";
}

} // namespace
} // namespace tamsivo
