#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The package that the Windows-side tests send. Plain C++ so that the native Wine harness
// compiles the same definition and knows, byte for byte, what the simulator must accept.
namespace tamsivo::test {

// One frame: big-endian payload length, then a payload made of the bytes that a text-mode
// or flow-controlled line would eat or change (NUL, LF, CR, XON, XOFF, ^Z, 0xFF, ...).
std::vector<std::uint8_t> AwkwardFrame(std::uint16_t payloadLength, unsigned seed);

// Every frame of the package, length bytes included, in order.
std::vector<std::uint8_t> PackageBytes();

// The running byte total after each frame: what WM_FLASH_PROGRESS carries.
std::vector<std::uint32_t> FrameEnds();

// The package as a file holds it: hexadecimal pairs, one frame per line (CR LF).
std::string PackageText();

} // namespace tamsivo::test
