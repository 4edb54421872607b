// Reads the size of a device-independent bitmap file without trusting it:
// the headers must be complete and the pixel data must fit in the file.
#pragma once

#include <string>

namespace qv {

struct BitmapFileInfo {
  int width = 0;
  int height = 0;  // always positive; top-down bitmaps are reported as such
  int bitsPerPixel = 0;
};

// False for a file that cannot be read, is not a bitmap, has headers this
// reader does not know, or is shorter than its pixel data.
bool ReadBitmapFileInfo(const std::string& path, BitmapFileInfo* info);
// The same rules on bytes already in memory.
bool ParseBitmapFileInfo(const unsigned char* data, size_t size, BitmapFileInfo* info);

}  // namespace qv
