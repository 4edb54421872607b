#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/services.h"
#include "platform/system.h"

// The core is linked into this test program, so the toolbar's module is the
// program itself: files beside the module are looked up beside it.
TEST(Services, DefaultSystemNamesTheRunningProgramAsTheModule) {
#ifndef _WIN32
  if (std::getenv("QUORVANE_MODULE_PATH"))
    GTEST_SKIP() << "QUORVANE_MODULE_PATH stands the module elsewhere";
#endif
  const std::filesystem::path module = qv::GetSystem().GetModulePath();
  EXPECT_TRUE(module.is_absolute()) << module;
  EXPECT_TRUE(std::filesystem::is_regular_file(module)) << module;
  std::string stem = module.stem().string();
  for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ("test_platform", stem) << module;
}
