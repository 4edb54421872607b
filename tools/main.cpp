// quorvane-tbdl: checks, dumps and loads toolbar definitions.
#include <iostream>
#include <string>
#include <vector>

#include "tools/tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  qv::tools::SetProcessEndsAfterRun(true);
  const int status = qv::tools::RunTool(args, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
