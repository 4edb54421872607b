// quorvane-tbdl: the definition tool. Each subcommand lives in its own
// cmd_*.cpp file and is listed in the dispatch table of commands.cpp.
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// What a subcommand gets: its own arguments (the command words and the
// global options removed), the output format and the two streams.
struct ToolContext {
  std::vector<std::string> args;
  bool json = false;
  std::ostream& out;
  std::ostream& err;
};

struct ToolCommand {
  // One or more words ("load", "mail check").
  std::string_view name;
  // Argument synopsis for the usage text ("FILE").
  std::string_view synopsis;
  std::string_view summary;
  int (*run)(ToolContext& context);
};

// The dispatch table (commands.cpp).
std::span<const ToolCommand> Commands();

// Runs the tool on argv without the program name. Returns the exit status.
int RunTool(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);

// Set by the program, whose process ends as soon as the subcommand returns:
// a subcommand may then leave a large result to the end of the process
// instead of freeing it piece by piece. Runs inside tests free everything.
void SetProcessEndsAfterRun(bool ends);
bool ProcessEndsAfterRun();

// Prints "usage: quorvane-tbdl NAME SYNOPSIS" for a subcommand to err and
// returns kExitUsage.
int UsageError(const ToolContext& context, std::string_view name);

// Reads the definition file named by the subcommand's only argument as a
// text stream delivers it. False, with a message on err, when it cannot.
bool ReadDefinitionArgument(const ToolContext& context, std::string* text);

// Appends text in double quotes for the readable output: quotes,
// backslashes and control characters are escaped C-style; other bytes are
// copied.
void AppendQuoted(std::string& out, std::string_view text);
std::string Quoted(std::string_view text);

}  // namespace qv::tools
