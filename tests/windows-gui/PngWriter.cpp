#include "PngWriter.h"

#include <array>
#include <cstdio>

namespace tamsivo::test {
namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type,
              const std::vector<std::uint8_t>& data) {
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigEndian(out, Crc32(out.data() + typeAt, 4 + data.size()));
}

} // namespace

bool PngWriter::Write(const std::wstring& path, int width, int height,
                      const std::vector<std::uint32_t>& bgra) {
    if (width <= 0 || height <= 0 || bgra.size() != std::size_t(width) * std::size_t(height)) {
        return false;
    }
    // Scanlines: filter byte 0, then RGB.
    std::vector<std::uint8_t> raw;
    raw.reserve(std::size_t(height) * (1 + 3 * std::size_t(width)));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = bgra[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            raw.push_back(static_cast<std::uint8_t>(p >> 16));
            raw.push_back(static_cast<std::uint8_t>(p >> 8));
            raw.push_back(static_cast<std::uint8_t>(p));
        }
    }
    // zlib stream of stored blocks of at most 65535 bytes, then Adler-32.
    std::vector<std::uint8_t> zlib = {0x78, 0x01};
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const std::size_t size = std::min<std::size_t>(65535, raw.size() - at);
        const bool last = at + size >= raw.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(static_cast<std::uint8_t>(size));
        zlib.push_back(static_cast<std::uint8_t>(size >> 8));
        zlib.push_back(static_cast<std::uint8_t>(~size));
        zlib.push_back(static_cast<std::uint8_t>(~size >> 8));
        for (std::size_t i = at; i < at + size; ++i) {
            zlib.push_back(raw[i]);
            a = (a + raw[i]) % 65521;
            b = (b + a) % 65521;
        }
        if (last) {
            break;
        }
    }
    PutBigEndian(zlib, (b << 16) | a);

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBigEndian(header, static_cast<std::uint32_t>(width));
    PutBigEndian(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", {});

    std::FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}

} // namespace tamsivo::test
