// SHA-256 of the packages a run log records.
#include "record/Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tamsivo {
namespace {

TEST(Sha256, StandardVectorsFedWholeOrInAwkwardPieces) {
    const std::vector<std::pair<std::string, const char*>> vectors = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopq"
         "rlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        // The longest message whose length still fits into its last block (coreutils' sha256sum).
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    const std::size_t pieces[] = {1, 63, 64, 65, 0, 127, 55, 200, 9};
    for (const auto& [message, digest] : vectors) {
        SCOPED_TRACE(message.size());
        Sha256 whole;
        whole.Update(message.data(), message.size());
        EXPECT_EQ(whole.HexDigest(), digest);
        Sha256 split; // a digest taken on the way must not disturb the rest
        for (std::size_t at = 0, i = 0; at < message.size(); ++i) {
            const std::size_t size = std::min(pieces[i % std::size(pieces)], message.size() - at);
            split.Update(message.data() + at, size);
            at += size;
            EXPECT_EQ(split.HexDigest().size(), 64u);
        }
        EXPECT_EQ(split.HexDigest(), digest);
    }
}

} // namespace
} // namespace tamsivo
