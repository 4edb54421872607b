#include "image_file.h"

#include <cstdio>
#include <memory>

namespace qv::testhost {
namespace {

void Put32(std::vector<uint8_t>* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(value >> shift));
}

void PutLittle(std::vector<uint8_t>* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Chunk(std::vector<uint8_t>* out, const char type[4], const std::vector<uint8_t>& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  out->insert(out->end(), typed.begin(), typed.end());
  Put32(out, Crc32(typed.data(), typed.size()));
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t size) {
  uint32_t a = 1, b = 0;
  for (size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

std::vector<uint8_t> EncodePng(const Picture& picture) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  Put32(&header, static_cast<uint32_t>(picture.width));
  Put32(&header, static_cast<uint32_t>(picture.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
  Chunk(&out, "IHDR", header);

  // Each row behind filter type 0, the whole in stored deflate blocks.
  std::vector<uint8_t> raw;
  const size_t row = static_cast<size_t>(picture.width) * 3;
  for (int y = 0; y < picture.height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), picture.rgb.begin() + y * row, picture.rgb.begin() + (y + 1) * row);
  }
  std::vector<uint8_t> z = {0x78, 0x01};
  size_t at = 0;
  do {
    const size_t size = std::min<size_t>(65535, raw.size() - at);
    const bool last = at + size == raw.size();
    z.push_back(last ? 1 : 0);
    PutLittle(&z, static_cast<uint32_t>(size), 2);
    PutLittle(&z, static_cast<uint32_t>(~size & 0xFFFF), 2);
    z.insert(z.end(), raw.begin() + at, raw.begin() + at + size);
    at += size;
  } while (at < raw.size());
  Put32(&z, Adler32(raw.data(), raw.size()));
  Chunk(&out, "IDAT", z);
  Chunk(&out, "IEND", {});
  return out;
}

std::vector<uint8_t> EncodeBmp(const Picture& picture) {
  const uint32_t stride = (static_cast<uint32_t>(picture.width) * 3 + 3) & ~3u;
  const uint32_t pixels = stride * static_cast<uint32_t>(picture.height);
  std::vector<uint8_t> out = {'B', 'M'};
  PutLittle(&out, 54 + pixels, 4);
  PutLittle(&out, 0, 4);
  PutLittle(&out, 54, 4);
  PutLittle(&out, 40, 4);
  PutLittle(&out, static_cast<uint32_t>(picture.width), 4);
  PutLittle(&out, static_cast<uint32_t>(picture.height), 4);  // bottom-up
  PutLittle(&out, 1, 2);
  PutLittle(&out, 24, 2);
  for (int i = 0; i < 6; ++i) PutLittle(&out, 0, 4);
  for (int y = picture.height - 1; y >= 0; --y) {
    const uint8_t* line = picture.rgb.data() + static_cast<size_t>(y) * picture.width * 3;
    for (int x = 0; x < picture.width; ++x)
      out.insert(out.end(), {line[3 * x + 2], line[3 * x + 1], line[3 * x]});
    for (uint32_t pad = static_cast<uint32_t>(picture.width) * 3; pad < stride; ++pad)
      out.push_back(0);
  }
  return out;
}

bool WritePicture(const Picture& picture, const std::string& path, std::string* error) {
  if (picture.width <= 0 || picture.height <= 0) {
    *error = "nothing to write: the picture is empty";
    return false;
  }
  const bool bmp = path.size() >= 4 && (path.compare(path.size() - 4, 4, ".bmp") == 0 ||
                                        path.compare(path.size() - 4, 4, ".BMP") == 0);
  const std::vector<uint8_t> bytes = bmp ? EncodeBmp(picture) : EncodePng(picture);
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) {
    *error = "cannot write " + path;
    return false;
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    *error = "short write to " + path;
    return false;
  }
  return true;
}

}  // namespace qv::testhost
