// Runs quorvane-tbdl in process and reads its JSON answer.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "json_test_reader.h"
#include "tools/tool.h"

namespace qv::tools::testing {

// The shipped example definition, or empty when the source tree is unknown.
inline std::string ExampleDefinition() {
  const char* source = std::getenv("QV_SOURCE_DIR");
  return source ? std::string(source) + "/examples/quorvane.tbd" : std::string();
}

inline JsonValue RunToolJson(const std::vector<std::string>& args, int* status) {
  std::ostringstream out, err;
  *status = RunTool(args, out, err);
  JsonValue json;
  EXPECT_TRUE(JsonReader::Parse(out.str(), &json)) << out.str() << err.str();
  return json;
}

}  // namespace qv::tools::testing
