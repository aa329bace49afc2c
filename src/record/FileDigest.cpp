#include "record/FileDigest.h"

#include "flash/Platform.h"
#include "record/RecordPlatform.h"
#include "record/Sha256.h"

#include <vector>

namespace tamsivo {

FileDigest FileDigest::Of(const std::string& path) {
    FileDigest digest;
    const FilePtr file = OpenForReading(path);
    if (!file) {
        return digest;
    }
    digest.bytes = OpenFileSize(file.get());
    if (!digest.bytes || *digest.bytes > kMaxDigestedBytes) {
        return digest;
    }
    Sha256 sha256;
    std::vector<char> piece(64 * 1024);
    std::uint64_t total = 0;
    std::size_t got = 0;
    do {
        got = std::fread(piece.data(), 1, piece.size(), file.get());
        sha256.Update(piece.data(), got);
        total += got;
        if (total > kMaxDigestedBytes) {
            return digest; // it grew while being read
        }
    } while (got == piece.size());
    if (std::ferror(file.get())) {
        return digest;
    }
    // What was hashed, should the file have changed since its size was taken.
    digest.bytes = total;
    digest.sha256 = sha256.HexDigest();
    return digest;
}

} // namespace tamsivo
