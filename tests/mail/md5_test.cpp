#include "mail/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace qv::mail {
namespace {

TEST(Md5, RfcTestSuite) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5Hex("1234567890123456789012345678901234567890123456789012345678901234567890123456"
                   "7890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PiecewiseUpdatesGiveTheSameDigest) {
  // Lengths around the 56- and 64-byte padding boundaries, fed in uneven
  // pieces.
  for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
    std::string text(length, '\0');
    for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + i % 26);
    Md5 md5;
    for (size_t at = 0; at < length; at += 7) md5.Update(text.substr(at, 7));
    uint8_t digest[16];
    md5.Final(digest);
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : digest) {
      hex += kHex[b >> 4];
      hex += kHex[b & 15];
    }
    EXPECT_EQ(hex, Md5Hex(text)) << length;
  }
}

TEST(Md5, ApopDigestOfTimestampAndSecret) {
  EXPECT_EQ(Md5Hex("<1896.697170952@dbc.mil>tanstaaf"), "a9d67899f7a17e8124ef41234fcd4fa9");
}

}  // namespace
}  // namespace qv::mail
