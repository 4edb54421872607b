// Pictures of the frame window: a capture with BitBlt from its device
// context, written as PNG (stored deflate blocks, no compression library)
// or BMP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::testhost {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows top first, three bytes a pixel
};

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t size);
std::vector<uint8_t> EncodePng(const Picture& picture);
std::vector<uint8_t> EncodeBmp(const Picture& picture);
// By the file's extension: ".bmp" writes BMP, anything else PNG.
bool WritePicture(const Picture& picture, const std::string& path, std::string* error);

}  // namespace qv::testhost
