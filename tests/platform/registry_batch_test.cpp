#ifndef _WIN32

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include "platform/posix/file_registry.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

RegStatus SetDword(Registry& registry, RegHandle key, const std::string& name, uint32_t value) {
  return registry.SetValue(key, name, kRegDword, reinterpret_cast<const uint8_t*>(&value), 4);
}

bool HasValue(Registry& registry, const std::string& name) {
  RegKey key;
  if (key.Open(registry, kHkeyCurrentUser, "Batch") != kErrorSuccess) return false;
  uint32_t size = 0;
  return registry.QueryValue(key.get(), name, nullptr, nullptr, &size) == kErrorSuccess;
}

TEST(RegistryBatchTest, FileIsWrittenOnceWhenTheOutermostBatchEnds) {
  TempDir dir;
  FileRegistry writer(dir.File("r.reg"));
  FileRegistry reader(dir.File("r.reg"));
  auto fileSize = [&] {
    struct stat st;
    return stat(dir.File("r.reg").c_str(), &st) == 0 ? st.st_size : -1;
  };
  {
    RegBatch outer(writer);
    RegKey key;
    ASSERT_EQ(key.Create(writer, kHkeyCurrentUser, "Batch"), kErrorSuccess);
    {
      RegBatch inner(writer);
      EXPECT_EQ(SetDword(writer, key.get(), "a", 1), kErrorSuccess);
    }
    EXPECT_EQ(SetDword(writer, key.get(), "b", 2), kErrorSuccess);
    EXPECT_TRUE(HasValue(writer, "b"));
    // Another instance would wait for the lock; the file is not there yet.
    EXPECT_EQ(fileSize(), -1);
  }
  EXPECT_TRUE(HasValue(reader, "a"));
  EXPECT_TRUE(HasValue(reader, "b"));
  // Unbatched changes are stored at once again.
  RegKey key;
  key.Open(writer, kHkeyCurrentUser, "Batch");
  SetDword(writer, key.get(), "c", 3);
  EXPECT_TRUE(HasValue(reader, "c"));
}

}  // namespace
}  // namespace qv

#endif
