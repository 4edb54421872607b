// Splitting a Windows command line into arguments, for starting programs
// where the system takes an argument vector instead of a command line.
#pragma once

#include <string>
#include <vector>

namespace qv {

// The program name (first token) ends at the first white space outside
// quotes and keeps its backslashes. The other arguments follow the C
// runtime's rules: 2n backslashes before a quote give n backslashes and the
// quote opens or closes a quoted part; 2n+1 give n backslashes and a
// literal quote; "" inside a quoted part gives one quote; other backslashes
// are literal.
std::vector<std::string> SplitWindowsCommandLine(const std::string& commandLine);

}  // namespace qv
