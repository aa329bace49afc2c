#pragma once

#include <cstdint>

namespace tamsivo {

// The on-board computer's one-byte answer after each frame's echo.
inline constexpr std::uint8_t ANSWER_OK = 0x11;
inline constexpr std::uint8_t ANSWER_CHECKSUM_RETRY = 0x22;
inline constexpr std::uint8_t ANSWER_LINE_RETRY = 0x33;
inline constexpr std::uint8_t ANSWER_BAD_SIGNATURE = 0x44;
inline constexpr std::uint8_t ANSWER_ADAPTER_OUT_OF_SYNC = 0x66;
inline constexpr std::uint8_t ANSWER_LINK_FAILURE = 0x77;
inline constexpr std::uint8_t ANSWER_WAIT = 0x88;

// Line settings of every run.
inline constexpr std::uint32_t kFlashBaudRate = 115200;
inline constexpr std::uint32_t kLineTimeoutMs = 10000;
// A frame is sent at most this many times in a row before the run gives up.
inline constexpr unsigned kMaxRetryableAnswers = 4;
// A wait answer resets that count, so a computer that alternates waits and resend requests
// would have a frame sent for ever; no frame is sent more often than this in all.
inline constexpr unsigned kMaxSendsOfAFrame = 16;
// How long the line must stay quiet after the last frame's verdict before the run believes it:
// a byte that still follows means the verdict was not the computer's last word (a stray byte
// came ahead of the real verdict, which comes when the computer has judged the frame). At
// least this long, and at least kQuietAnswerTimes times the longest the computer took to
// answer during the run, but no longer than the answer timeout when that is longer than this.
inline constexpr std::uint32_t kMinQuietAfterVerdictMs = 1000;
inline constexpr std::uint32_t kQuietAnswerTimes = 3;

// A frame: 16-bit big-endian payload length, then the payload.
inline constexpr std::uint32_t kFrameHeaderBytes = 2;
inline constexpr std::uint32_t kLargestFrameBytes = kFrameHeaderBytes + 0xFFFF;

} // namespace tamsivo
