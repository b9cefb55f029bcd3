#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "foundation/md5.hpp"

namespace {

struct digest_case {
    std::string text;
    std::string hex;
};

// The test suite of RFC 1321, appendix A.5.
const digest_case rfc1321_suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

} // namespace

TEST(Md5, Rfc1321SuiteWholeAndInUnevenPieces) {
    for (const digest_case& c : rfc1321_suite) {
        EXPECT_EQ(md5(c.text).hexdigest(), c.hex) << '"' << c.text << '"';

        // Pieces of 7 bytes cross the 64-byte block and the 56-byte padding boundaries.
        md5 pieces;
        for (std::size_t at = 0; at < c.text.size(); at += 7) {
            const std::string piece = c.text.substr(at, 7);
            pieces.update(piece.data(), static_cast<std::uint32_t>(piece.size()));
        }
        EXPECT_EQ(pieces.finalize().hexdigest(), c.hex) << '"' << c.text << '"';
    }
}

TEST(Md5, LengthsAroundTheBlockBoundaryDifferAndAreStable) {
    // 55, 56 and 64 bytes take the one- and two-block padding paths.
    const std::string x55(55, 'x'), x56(56, 'x'), x64(64, 'x');
    EXPECT_EQ(md5(x55).hexdigest(), "04364420e25c512fd958a70738aa8f72");
    EXPECT_EQ(md5(x56).hexdigest(), "668a72d5ba17f08e62dabcafad6db14b");
    EXPECT_EQ(md5(x64).hexdigest(), "c1bb4f81d892b2d57947682aeb252456");
}

TEST(Md5, EmptyUntilFinalizedAndFinalizeIsIdempotent) {
    md5 m;
    m.update("abc", 3);
    EXPECT_EQ(m.hexdigest(), "");
    const std::string once = m.finalize().hexdigest();
    EXPECT_EQ(m.finalize().hexdigest(), once);
    EXPECT_EQ(once, "900150983cd24fb0d6963f7d28e17f72");

    std::ostringstream shown;
    shown << m;
    EXPECT_EQ(shown.str(), once);
}
