#pragma once

namespace tamsivo::cli {

// The exit status of tamsivo-flash. Scripts and service stations test these numbers, so a
// number never changes meaning and a new failure kind gets a new number.
//
//   code  result (JSON)         meaning
//   ----  --------------------  ---------------------------------------------------------------
//     0   done / valid / ports  flashed; --check: the package is well formed; --list-ports
//     2   usage                 bad or conflicting options; --simulate outside POSIX
//     3   no_package            ./updates holds no .enc package
//     4   choose_package        ./updates holds several packages and none was chosen
//     5   package_error         the package is malformed ("reason": 1 invalid character,
//                               2 larger than the image, 3 empty, 4 frames overrun the bytes,
//                               5 the text ends in half a byte)
//     6   file_error            the package file cannot be opened or read
//     7   port_error            the serial port cannot be opened, or there is no free port
//     8   no_echo               the adapter did not echo a frame: no K-line
//     9   checksum_error        the on-board computer kept asking to resend (0x22)
//    10   line_error            the line kept failing (0x33), or an echo or a stray byte put
//                               the stream out of step
//    11   signature_error       the on-board computer refused the package's signature (0x44)
//    12   adapter_sync_error    the adapter lost synchronisation (0x66)
//    13   no_answer             the on-board computer did not answer a frame
//    14   bad_answer            the on-board computer gave an unknown answer
//    15   link_error            the on-board computer reported a link failure (0x77)
//    16   cancelled             stopped by Ctrl+C (or SIGTERM, SIGHUP) after the frame in flight
//    17   internal_error        an unexpected failure of this program
enum class ExitCode : int {
    Success = 0,
    Usage = 2,
    NoPackage = 3,
    ChoosePackage = 4,
    PackageError = 5,
    FileError = 6,
    PortError = 7,
    NoEcho = 8,
    ChecksumError = 9,
    LineError = 10,
    SignatureError = 11,
    AdapterSyncError = 12,
    NoAnswer = 13,
    BadAnswer = 14,
    LinkError = 15,
    Cancelled = 16,
    Internal = 17,
};

// The exit code of a run's ending notification (WM_FLASH_*); Internal for anything else.
ExitCode ExitCodeForNotification(unsigned message);

// The JSON "result" word of an exit code; Success is "done".
const char* ResultName(ExitCode code);

// The table above in the words of --help.
const char* ExitCodeHelp();

} // namespace tamsivo::cli
