// SHA-256 against the FIPS 180-4 examples and sha256sum output.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "media/sha256.h"

namespace {

// Runs the body under each engine this CPU has; the portable one always.
template <typename Body>
void ForEachEngine(Body body)
{
    const Sha256::Engine before = Sha256::ActiveEngine();
    for (Sha256::Engine e : {Sha256::Engine::kPortable, Sha256::Engine::kShaExtensions}) {
        if (!Sha256::UseEngine(e)) continue;
        SCOPED_TRACE(e == Sha256::Engine::kPortable ? "portable engine" : "SHA extensions engine");
        body();
    }
    Sha256::UseEngine(before);
}

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
    ForEachEngine([&] {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.input.size());
            for (std::size_t piece : {std::size_t(1), std::size_t(63), std::size_t(64), std::size_t(1000)})
                EXPECT_EQ(HashInPieces(c.input, piece), c.digest) << "piece " << piece;
        }
    });
}

// Bytes of a 32-bit LCG (x = x * 1103515245 + 12345, high byte); the
// expected digests are Python hashlib's of the same bytes.
std::string LcgBytes(std::size_t n)
{
    std::string s(n, '\0');
    std::uint32_t x = 1;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

TEST(Sha256, PrefixesOfPseudoRandomBytes)
{
    const std::string data = LcgBytes(3 * 1048576 + 37);
    const struct { std::size_t size; const char* digest; } cases[] = {
        {0, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {1, "559aead08264d5795d3909718cdd05abd49572e84fe55590eef31a88a08fdffd"},
        {63, "fb2aeb0ad9730a0d29bf9544c05de2977bc6ea50667cea5ff6879a987ee6c420"},
        {64, "db95e489d22a0e3eec564999c5d3f20a991270c392151a3cde20a9e87258f75c"},
        {65, "6476e37410da2b4f7d360c889aaa096e1ef5daa83bc6107c9a093dc100b42c66"},
        {119, "789531f3088a2dc1360e60226a302fda533874d2cd0146a3b0fcea22e8f9c3fb"},
        {120, "9fcafe6b5e7031a5648dfac8dc34382ca67ff45d83ad8177a1e365dbd662a4ff"},
        {127, "981124bf26b5568834f97a38d083405b950986aa3708f46856b769aec5ee684a"},
        {128, "9fc43230131498f7711ac755420dd0c3fc808e13fdd01ba12133e4349ccadcc5"},
        {129, "c5acb730820142d1c16a6c2dc7d903a0d3a5ca9600081ad6e33a8da2225f482f"},
        {191, "280458454f2226a5b2558480e516e124044baf1d9df754f7c3b6ffc2cd9b482a"},
        {447, "b6e65768435e70e4d39b70a1273fe7add5c5f669460471020445025f240474b7"},
        {448, "69da7774d36e577a663d56516338e779dd1e7d93ae50ab8e524d6b446dd89da3"},
        {1000, "dd8c914beb8d49a6b6f3eb6302c9175821c2225fe45d6ff66260cc72d61da26c"},
        {3 * 1048576 + 37, "af6c28ae0bb0df4082a8cbd23a2109604c8db1eb09975093362c2689f79255e9"},
    };
    ForEachEngine([&] {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.size);
            const std::string input = data.substr(0, c.size);
            // Whole, in odd pieces, and in the large reads the tools make.
            for (std::size_t piece : {c.size + 1, std::size_t(7), std::size_t(260), std::size_t(262144)})
                EXPECT_EQ(HashInPieces(input, piece), c.digest) << "piece " << piece;
        }
    });
}

// Every length up to 1000 in one piece and in pieces of 100: the engines
// agree (the portable one is held to the vectors above).
TEST(Sha256, EnginesAgreeOnEveryShortLength)
{
    Sha256::Engine before = Sha256::ActiveEngine();
    if (!Sha256::UseEngine(Sha256::Engine::kShaExtensions)) GTEST_SKIP() << "this CPU lacks the SHA extensions";
    const std::string data = LcgBytes(1000);
    std::vector<std::string> fast;
    for (std::size_t n = 0; n <= data.size(); ++n) fast.push_back(HashInPieces(data.substr(0, n), 100));
    Sha256::UseEngine(Sha256::Engine::kPortable);
    for (std::size_t n = 0; n <= data.size(); ++n)
        EXPECT_EQ(HashInPieces(data.substr(0, n), n + 1), fast[n]) << "length " << n;
    Sha256::UseEngine(before);
}

} // namespace
