// MD5 message digest (RFC 1321). The mail checker needs it for the APOP
// login, which sends the digest of the server's timestamp and the password.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::mail {

class Md5 {
 public:
  Md5() { Reset(); }
  void Reset();
  void Update(const void* data, size_t size);
  void Update(std::string_view text) { Update(text.data(), text.size()); }
  // Finishes the digest into out; the object must be Reset before reuse.
  void Final(uint8_t out[16]);

 private:
  void Transform(const uint8_t block[64]);

  uint32_t state_[4];
  uint64_t bitCount_;
  uint8_t buffer_[64];
};

// The digest of text as 32 lowercase hexadecimal digits, two per byte.
std::string Md5Hex(std::string_view text);

}  // namespace qv::mail
