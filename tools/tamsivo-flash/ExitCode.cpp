#include "ExitCode.h"

#include "flash/FlashProtocol.h"

namespace tamsivo::cli {

ExitCode ExitCodeForNotification(unsigned message) {
    switch (message) {
    case WM_FLASH_DONE:
        return ExitCode::Success;
    case WM_FLASH_PACKAGE_ERROR:
        return ExitCode::PackageError;
    case WM_FLASH_FILE_ERROR:
        return ExitCode::FileError;
    case WM_FLASH_PORT_ERROR:
        return ExitCode::PortError;
    case WM_FLASH_NO_ECHO:
        return ExitCode::NoEcho;
    case WM_FLASH_CHECKSUM_ERROR:
        return ExitCode::ChecksumError;
    case WM_FLASH_LINE_ERROR:
        return ExitCode::LineError;
    case WM_FLASH_SIGNATURE_ERROR:
        return ExitCode::SignatureError;
    case WM_FLASH_ADAPTER_SYNC_ERROR:
        return ExitCode::AdapterSyncError;
    case WM_FLASH_NO_ANSWER:
        return ExitCode::NoAnswer;
    case WM_FLASH_BAD_ANSWER:
        return ExitCode::BadAnswer;
    case WM_FLASH_LINK_ERROR:
        return ExitCode::LinkError;
    default:
        return ExitCode::Internal;
    }
}

const char* ResultName(ExitCode code) {
    switch (code) {
    case ExitCode::Success:
        return "done";
    case ExitCode::Usage:
        return "usage";
    case ExitCode::NoPackage:
        return "no_package";
    case ExitCode::ChoosePackage:
        return "choose_package";
    case ExitCode::PackageError:
        return "package_error";
    case ExitCode::FileError:
        return "file_error";
    case ExitCode::PortError:
        return "port_error";
    case ExitCode::NoEcho:
        return "no_echo";
    case ExitCode::ChecksumError:
        return "checksum_error";
    case ExitCode::LineError:
        return "line_error";
    case ExitCode::SignatureError:
        return "signature_error";
    case ExitCode::AdapterSyncError:
        return "adapter_sync_error";
    case ExitCode::NoAnswer:
        return "no_answer";
    case ExitCode::BadAnswer:
        return "bad_answer";
    case ExitCode::LinkError:
        return "link_error";
    case ExitCode::Cancelled:
        return "cancelled";
    case ExitCode::Internal:
        break;
    }
    return "internal_error";
}

const char* ExitCodeHelp() {
    return "Exit codes:\n"
           "   0  success (flashed; --check: package valid; --list-ports)\n"
           "   2  usage error\n"
           "   3  no .enc package in ./updates\n"
           "   4  several packages in ./updates: name one\n"
           "   5  package malformed\n"
           "   6  package file cannot be opened or read\n"
           "   7  serial port cannot be opened, or no free port\n"
           "   8  no echo from the adapter (K-line not connected?)\n"
           "   9  checksum error (resend requests exhausted)\n"
           "  10  line error (resend requests exhausted, or the stream out of step)\n"
           "  11  package signature refused\n"
           "  12  adapter out of sync\n"
           "  13  no answer from the on-board computer\n"
           "  14  unknown answer from the on-board computer\n"
           "  15  link failure reported by the on-board computer\n"
           "  16  cancelled by Ctrl+C (or SIGTERM, SIGHUP)\n"
           "  17  internal error\n";
}

} // namespace tamsivo::cli
