#include "formats/bitmap_file.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace qv {
namespace {

uint32_t Le16(const unsigned char* p) {
  return p[0] | (p[1] << 8);
}
uint32_t Le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
// Far beyond any toolbar strip; keeps the size arithmetic in range.
constexpr int64_t kMaxDimension = 1 << 16;

}  // namespace

bool ParseBitmapFileInfo(const unsigned char* data, size_t size, BitmapFileInfo* info) {
  if (size < kFileHeaderSize + 12 || data[0] != 'B' || data[1] != 'M') return false;
  const uint64_t offBits = Le32(data + 10);
  const unsigned char* h = data + kFileHeaderSize;
  const uint32_t headerSize = Le32(h);
  if (headerSize < 12 || kFileHeaderSize + headerSize > size) return false;

  int64_t width = 0, height = 0;
  uint32_t bits = 0, compression = kBiRgb, imageSize = 0;
  if (headerSize == 12) {  // BITMAPCOREHEADER
    width = Le16(h + 4);
    height = Le16(h + 6);
    bits = Le16(h + 10);
  } else if (headerSize >= 40) {  // BITMAPINFOHEADER and its successors
    width = static_cast<int32_t>(Le32(h + 4));
    height = static_cast<int32_t>(Le32(h + 8));
    bits = Le16(h + 14);
    compression = Le32(h + 16);
    imageSize = Le32(h + 20);
  } else {
    return false;
  }
  if (height < 0) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;

  uint64_t dataSize = 0;
  if (compression == kBiRgb || compression == kBiBitfields) {
    const uint64_t row = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
    dataSize = row * static_cast<uint64_t>(height);
  } else if (compression == kBiRle8 || compression == kBiRle4) {
    if (imageSize == 0) return false;
    dataSize = imageSize;
  } else {
    return false;
  }
  if (offBits < kFileHeaderSize + headerSize || offBits + dataSize > size) return false;

  info->width = static_cast<int>(width);
  info->height = static_cast<int>(height);
  info->bitsPerPixel = static_cast<int>(bits);
  return true;
}

bool ReadBitmapFileInfo(const std::string& path, BitmapFileInfo* info) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  return ParseBitmapFileInfo(bytes.data(), bytes.size(), info);
}

}  // namespace qv
