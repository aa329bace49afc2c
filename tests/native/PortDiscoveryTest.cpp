// Port discovery's bookkeeping over the ports found free, and the file names shown for
// package paths.
#include "ui/PortDiscovery.h"
#include "app/AppState.h"
#include "ui/FirmwareFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tamsivo {
namespace {

// A state as the application creates it just before the main dialog runs: an empty port list
// and the name remembered from the last run.
std::unique_ptr<AppState> FreshState(const std::string& remembered) {
    auto state = std::make_unique<AppState>();
    state->portNames = std::make_unique<StringList>();
    state->portName = remembered;
    return state;
}

TEST(PortDiscovery, ListsTheFreePortsInOrderAndShowsTheFirstWhenNothingIsRemembered) {
    // COM2 is held by another program, so it is not among the free ports.
    auto state = FreshState("");
    EXPECT_EQ(DiscoverSerialPorts(*state, {"COM1", "COM3"}), "COM1");
    EXPECT_EQ(*state->portNames, (StringList{"COM1", "COM3"}));
    EXPECT_EQ(state->portCount, 2);
    EXPECT_EQ(state->portIndex, 0);
    EXPECT_EQ(state->portName, "") << "discovery only reads the remembered name";
}

TEST(PortDiscovery, ShowsTheRememberedPortWhenItIsFree) {
    auto state = FreshState("COM3");
    EXPECT_EQ(DiscoverSerialPorts(*state, {"COM1", "COM3", "COM7"}), "COM3");
    EXPECT_EQ(state->portIndex, 1);
    EXPECT_EQ(state->portCount, 3);

    // The highest port there is can be remembered like any other.
    state = FreshState("COM256");
    EXPECT_EQ(DiscoverSerialPorts(*state, {"COM4", "COM256"}), "COM256");
    EXPECT_EQ(state->portIndex, 1);
}

TEST(PortDiscovery, FallsBackToTheFirstPortWhenTheRememberedOneIsNotAnExactMatch) {
    const std::vector<std::string> free = {"COM1", "COM3"};
    // Absent, stored in another case, the placeholder of a run without ports, or a name that
    // only begins like a free one: none of them is the name of a free port.
    for (const std::string remembered : {"COM9", "com3", "Com3", "HET", "COM3 ", "COM", "COM30"}) {
        auto state = FreshState(remembered);
        EXPECT_EQ(DiscoverSerialPorts(*state, free), "COM1") << remembered;
        EXPECT_EQ(state->portIndex, 0) << remembered;
        EXPECT_EQ(state->portName, remembered);
    }
}

TEST(PortDiscovery, WithoutFreePortsShowsLatinHetAndLeavesNothingToIndex) {
    auto state = FreshState("COM3");
    const std::string shown = DiscoverSerialPorts(*state, {});
    // Latin H, E, T: not the Cyrillic word it resembles.
    EXPECT_EQ(shown, std::string("\x48\x45\x54"));
    EXPECT_NE(shown, std::string("НЕТ"));
    EXPECT_EQ(state->portCount, 0);
    EXPECT_EQ(state->portIndex, 0);
    EXPECT_TRUE(state->portNames->empty());
    EXPECT_EQ(state->portName, "COM3");
}

TEST(PortDiscovery, ARepeatedDiscoveryStartsFromAnEmptyList) {
    auto state = FreshState("COM5");
    ASSERT_EQ(DiscoverSerialPorts(*state, {"COM2", "COM5"}), "COM5");
    EXPECT_EQ(DiscoverSerialPorts(*state, {"COM1"}), "COM1");
    EXPECT_EQ(*state->portNames, (StringList{"COM1"}));
    EXPECT_EQ(state->portCount, 1);
    EXPECT_EQ(state->portIndex, 0) << "no stale index past the new list";

    // Without a list at all there is still one to fill.
    AppState bare;
    EXPECT_EQ(DiscoverSerialPorts(bare, {"COM4"}), "COM4");
    ASSERT_NE(bare.portNames, nullptr);
    EXPECT_EQ(*bare.portNames, (StringList{"COM4"}));
}

TEST(PortDiscovery, TheSharedStateAgreesWithWhatIsShown) {
    AppState& state = TheAppState();
    auto savedNames = std::move(state.portNames);
    const std::string savedName = state.portName;
    state.portNames = std::make_unique<StringList>();
    state.portName = "";

    const std::string shown = DiscoverSerialPorts();
    EXPECT_EQ(state.portCount, static_cast<std::int32_t>(state.portNames->size()));
    if (state.portCount == 0) {
        EXPECT_EQ(shown, "HET");
        EXPECT_EQ(state.portIndex, 0);
    } else {
        EXPECT_EQ(state.portIndex, 0) << "nothing remembered: the first port";
        EXPECT_EQ(shown, state.portNames->front());
    }

    state.portNames = std::move(savedNames);
    state.portName = savedName;
    state.portCount = 0;
    state.portIndex = 0;
}

TEST(FileNameOfPath, TakesWhatFollowsTheLastBackslash) {
    EXPECT_EQ(FileNameOfPath("C:\\Tamsivo\\UPDATES\\bk-2.enc"), "bk-2.enc");
    EXPECT_EQ(FileNameOfPath("\\\\server\\share\\updates\\a.ENC"), "a.ENC");
    // Cyrillic names are Windows-1251 bytes and come through untouched.
    EXPECT_EQ(FileNameOfPath("C:\\Программы\\updates\\Прошивка БК.enc"), "Прошивка БК.enc");
    // Only the backslash separates: a slash is part of the name here.
    EXPECT_EQ(FileNameOfPath("C:\\updates\\a/b.enc"), "a/b.enc");
}

TEST(FileNameOfPath, WithoutABackslashOrNameAfterIt) {
    EXPECT_EQ(FileNameOfPath("plain.enc"), "plain.enc");
    EXPECT_EQ(FileNameOfPath(""), "");
    EXPECT_EQ(FileNameOfPath("C:\\updates\\"), "");
}

} // namespace
} // namespace tamsivo
