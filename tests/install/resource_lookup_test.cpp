#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "install/resource_lookup.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(LocalResourceLookup, GivesThePathOfAnExistingFileOnly) {
  TempDir dir;
  std::ofstream(dir.File("tbil.bmp")) << "b";
  std::filesystem::create_directories(dir.File("folder.bmp"));
  LocalResourceLookup lookup(dir.path());

  std::string name = "tbil.bmp";
  ASSERT_TRUE(lookup.EnsureResourceFile(name));
  EXPECT_TRUE(std::filesystem::equivalent(name, dir.File("tbil.bmp")));

  for (std::string missing : {"tbhotil.bmp", "folder.bmp", ""}) {
    std::string asked = missing;
    EXPECT_FALSE(lookup.EnsureResourceFile(asked)) << missing;
    EXPECT_EQ(asked, missing);
  }
}

TEST(LocalResourceLookup, DirectoryWithOrWithoutTrailingSeparator) {
  TempDir dir;
  std::ofstream(dir.File("a.bmp")) << "b";
  for (std::string path : {dir.path(), dir.path() + "/"}) {
    LocalResourceLookup lookup(path);
    std::string name = "a.bmp";
    EXPECT_TRUE(lookup.EnsureResourceFile(name)) << path;
  }
}

#ifndef _WIN32
TEST(LocalResourceLookup, DefaultsToTheInstallationDirectory) {
  TempDir dir;
  std::ofstream(dir.File("quorvane.tbd")) << "TBW_Toolbar { }";
  const char* previous = std::getenv("QUORVANE_MODULE_PATH");
  std::string saved = previous ? previous : "";
  setenv("QUORVANE_MODULE_PATH", dir.File("quorvane.so").c_str(), 1);
  LocalResourceLookup lookup;
  std::string name = "quorvane.tbd";
  bool found = lookup.EnsureResourceFile(name);
  if (previous) {
    setenv("QUORVANE_MODULE_PATH", saved.c_str(), 1);
  } else {
    unsetenv("QUORVANE_MODULE_PATH");
  }
  ASSERT_TRUE(found);
  EXPECT_EQ(name, dir.File("quorvane.tbd"));
}
#endif

}  // namespace
}  // namespace qv
