#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tamsivo {

// SHA-256 (FIPS 180-4) of a message fed in pieces of any size. Our own because the Windows
// build links statically and needs no crypto library for one file digest a run.
class Sha256 {
public:
    Sha256();

    void Update(const void* data, std::size_t size);

    // The digest of everything fed so far, 64 lower-case hexadecimal digits. The message may
    // go on afterwards.
    std::string HexDigest() const;

private:
    void Compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> block_{};
    std::size_t buffered_ = 0; // bytes waiting in block_
    std::uint64_t length_ = 0; // bytes fed in all
};

} // namespace tamsivo
