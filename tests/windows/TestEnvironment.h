#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What the Wine harness, or a person running the tests on Windows, tells the tests through
// the environment:
//   TAMSIVO_TEST_PORT        a COM port served by the simulator (tests that need it skip
//                            without it)
//   TAMSIVO_EXPECT_END       the ending notification (WM_FLASH_* number) of the fault run
//   TAMSIVO_EXPECT_PROGRESS  optional: how many WM_FLASH_PROGRESS notices that run sends
namespace tamsivo::test {

// The variable as Windows-1251 text; empty when unset.
std::string EnvironmentText(const wchar_t* name);

// The variable as an unsigned number; nothing when unset or not a number.
std::optional<std::uint32_t> EnvironmentNumber(const wchar_t* name);

// The simulator's port ("COM5"), or empty.
std::string TestPortName();

} // namespace tamsivo::test
