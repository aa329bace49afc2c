#pragma once

namespace tamsivo {

// Why a package was refused. The numbers travel as lParam of the dialog's package-error
// notification and are the tamsivo-flash JSON "reason" codes, so they never change meaning.
enum class PackageError : int {
    None = 0,
    InvalidCharacter = 1, // something other than a hexadecimal digit or whitespace
    TooLarge = 2,         // more bytes than the image holds
    Empty = 3,            // no byte at all
    FrameOverrun = 4,     // the frames do not end exactly at the byte count
    TruncatedByte = 5,    // the text ends in the middle of a byte: a cut-off file
};

} // namespace tamsivo
