#include "mail/md5.h"

#include <cstring>

namespace qv::mail {
namespace {

inline uint32_t RotateLeft(uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}

inline uint32_t LoadLittle32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Per-step additive constants: floor(abs(sin(i + 1)) * 2^32).
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

}  // namespace

void Md5::Reset() {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  bitCount_ = 0;
  std::memset(buffer_, 0, sizeof buffer_);
}

void Md5::Transform(const uint8_t block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLittle32(block + 4 * i);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    const int round = i / 16;
    uint32_t f;
    int k;
    switch (round) {
      case 0:
        f = (b & c) | (~b & d);
        k = i;
        break;
      case 1:
        f = (b & d) | (c & ~d);
        k = (1 + 5 * i) % 16;
        break;
      case 2:
        f = b ^ c ^ d;
        k = (5 + 3 * i) % 16;
        break;
      default:
        f = c ^ (b | ~d);
        k = (7 * i) % 16;
        break;
    }
    const uint32_t next = b + RotateLeft(a + f + kSine[i] + x[k], kShift[round][i % 4]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void Md5::Update(const void* data, size_t size) {
  const uint8_t* in = static_cast<const uint8_t*>(data);
  size_t used = static_cast<size_t>((bitCount_ / 8) % 64);
  bitCount_ += static_cast<uint64_t>(size) * 8;
  if (used != 0) {
    const size_t take = size < 64 - used ? size : 64 - used;
    std::memcpy(buffer_ + used, in, take);
    in += take;
    size -= take;
    used += take;
    if (used < 64) return;
    Transform(buffer_);
  }
  for (; size >= 64; in += 64, size -= 64) Transform(in);
  std::memcpy(buffer_, in, size);
}

void Md5::Final(uint8_t out[16]) {
  const uint64_t bits = bitCount_;
  uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(bits >> (8 * i));
  // Pad with a single 1 bit and zeros up to 56 bytes mod 64, then the length.
  static const uint8_t kPadding[64] = {0x80};
  const size_t used = static_cast<size_t>((bits / 8) % 64);
  Update(kPadding, used < 56 ? 56 - used : 120 - used);
  Update(length, 8);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) out[4 * i + j] = static_cast<uint8_t>(state_[i] >> (8 * j));
}

std::string Md5Hex(std::string_view text) {
  Md5 md5;
  md5.Update(text);
  uint8_t digest[16];
  md5.Final(digest);
  static const char kHex[] = "0123456789abcdef";
  std::string hex(32, '0');
  for (int i = 0; i < 16; ++i) {
    hex[2 * i] = kHex[digest[i] >> 4];
    hex[2 * i + 1] = kHex[digest[i] & 0xF];
  }
  return hex;
}

}  // namespace qv::mail
