// SHA-256 against the FIPS 180-4 examples and sha256sum output.
#include <gtest/gtest.h>

#include <string>

#include "media/sha256.h"

namespace {

std::string HashInPieces(const std::string& s, std::size_t piece)
{
    Sha256 h;
    for (std::size_t i = 0; i < s.size(); i += piece) h.Update(s.data() + i, std::min(piece, s.size() - i));
    return Sha256::Hex(h.Finish());
}

TEST(Sha256, KnownDigests)
{
    const struct { std::string input; const char* digest; } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        // 55, 56 and 64 bytes: the padding edges (sha256sum).
        {std::string(55, 'x'), "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072"},
        {std::string(56, 'x'), "04c26261370ee7541549d16dee320c723e3fd14671e66a099afe0a377c16888e"},
        {std::string(64, 'x'), "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.size());
        for (std::size_t piece : {std::size_t(1), std::size_t(63), std::size_t(64), std::size_t(1000)})
            EXPECT_EQ(HashInPieces(c.input, piece), c.digest) << "piece " << piece;
    }
}

} // namespace
