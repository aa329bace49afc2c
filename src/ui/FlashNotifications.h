#pragma once

#include "flash/Outcome.h"

namespace tamsivo {

// The flash run's notifications to the main dialog: window messages with wParam 0, sent by the
// worker's WindowReporter and handled by MainDialog, nowhere else. lParam: the byte count for
// WM_FLASH_SIZE, the bytes sent so far for WM_FLASH_PROGRESS and WM_FLASH_DONE, the
// PackageError for WM_FLASH_PACKAGE_ERROR, 0 for the others. The ending ones are the outcome
// table's.
inline constexpr unsigned WM_FLASH_SIZE = kFirstUserMessage + 1;
inline constexpr unsigned WM_FLASH_PROGRESS = kFirstUserMessage + 3;
inline constexpr unsigned WM_FLASH_PORT_ERROR = RowOf(Outcome::PortError).notification;
inline constexpr unsigned WM_FLASH_NO_ECHO = RowOf(Outcome::NoEcho).notification;
inline constexpr unsigned WM_FLASH_CHECKSUM_ERROR = RowOf(Outcome::ChecksumError).notification;
inline constexpr unsigned WM_FLASH_LINE_ERROR = RowOf(Outcome::LineError).notification;
inline constexpr unsigned WM_FLASH_SIGNATURE_ERROR = RowOf(Outcome::SignatureError).notification;
inline constexpr unsigned WM_FLASH_ADAPTER_SYNC_ERROR =
    RowOf(Outcome::AdapterSyncError).notification;
inline constexpr unsigned WM_FLASH_NO_ANSWER = RowOf(Outcome::NoAnswer).notification;
inline constexpr unsigned WM_FLASH_DONE = RowOf(Outcome::Done).notification;
inline constexpr unsigned WM_FLASH_FILE_ERROR = RowOf(Outcome::FileError).notification;
inline constexpr unsigned WM_FLASH_BAD_ANSWER = RowOf(Outcome::BadAnswer).notification;
inline constexpr unsigned WM_FLASH_PACKAGE_ERROR = RowOf(Outcome::PackageError).notification;
inline constexpr unsigned WM_FLASH_INTERNAL_ERROR = RowOf(Outcome::InternalError).notification;
inline constexpr unsigned WM_FLASH_LINK_ERROR = RowOf(Outcome::LinkError).notification;

} // namespace tamsivo
