#include "tools/tool.h"

#include <algorithm>
#include <ostream>

#include "tbdl/text_stream.h"
#include "install/vendor_site.h"
#include "tools/json_writer.h"

namespace qv::tools {
namespace {

std::vector<std::string_view> Words(std::string_view name) {
  std::vector<std::string_view> words;
  while (!name.empty()) {
    const size_t space = name.find(' ');
    words.push_back(name.substr(0, space));
    if (space == std::string_view::npos) break;
    name.remove_prefix(space + 1);
  }
  return words;
}

void PrintUsage(std::ostream& out) {
  out << "usage: quorvane-tbdl COMMAND [--json] [--base-url URL] ARGS...\n\n"
         "Loads a toolbar definition the way the toolbar does; the definition's folder\n"
         "stands for the installation directory, and files missing there are fetched\n"
         "from URL (default "
      << kBuiltInVendorBaseUrl
      << ") followed by quorvane/ and\n"
         "the file name. --json prints JSON instead of text.\n\n"
         "commands:\n";
  for (const ToolCommand& command : Commands()) {
    std::string line = "  ";
    line += command.name;
    line += ' ';
    line += command.synopsis;
    // Long synopses put the summary on a line of its own.
    if (line.size() >= 30) line += "\n" + std::string(30, ' ');
    line.resize(std::max<size_t>(line.size(), 30), ' ');
    out << line << ' ' << command.summary << '\n';
  }
  out << "\nexit status: 0 success, 1 failure, 2 usage error\n";
}

}  // namespace

int RunTool(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args;
  bool json = false;
  std::string baseUrl;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--base-url") {
      if (i + 1 >= argv.size() || !IsValidBaseUrl(argv[i + 1])) {
        err << "quorvane-tbdl: --base-url needs an http or https URL ending in /\n";
        return kExitUsage;
      }
      baseUrl = argv[++i];
    } else if (arg == "--help" || arg == "-h" || (arg == "help" && args.empty())) {
      PrintUsage(out);
      return kExitOk;
    } else {
      args.push_back(arg);
    }
  }
  // The command whose words match the most leading arguments.
  const ToolCommand* best = nullptr;
  size_t best_words = 0;
  for (const ToolCommand& command : Commands()) {
    const std::vector<std::string_view> words = Words(command.name);
    if (words.size() <= best_words || words.size() > args.size()) continue;
    bool match = true;
    for (size_t i = 0; i < words.size() && match; ++i) match = args[i] == words[i];
    if (match) {
      best = &command;
      best_words = words.size();
    }
  }
  if (best == nullptr) {
    if (!args.empty()) err << "quorvane-tbdl: unknown command '" << args[0] << "'\n";
    PrintUsage(err);
    return kExitUsage;
  }
  ToolContext context{std::vector<std::string>(args.begin() + best_words, args.end()), json, out,
                      err};
  // Missing files are fetched from here, as the toolbar fetches them.
  struct BaseUrlInForce {
    explicit BaseUrlInForce(const std::string& url) { SetVendorBaseUrl(url); }
    ~BaseUrlInForce() { SetVendorBaseUrl(""); }
  } inForce(baseUrl);
  return best->run(context);
}

namespace {
bool process_ends_after_run = false;
}  // namespace

void SetProcessEndsAfterRun(bool ends) {
  process_ends_after_run = ends;
}

bool ProcessEndsAfterRun() {
  return process_ends_after_run;
}

int UsageError(const ToolContext& context, std::string_view name) {
  for (const ToolCommand& command : Commands()) {
    if (command.name == name) {
      context.err << "usage: quorvane-tbdl " << command.name << " [--json] " << command.synopsis
                  << '\n';
    }
  }
  return kExitUsage;
}

bool ReadDefinitionArgument(const ToolContext& context, std::string* text) {
  if (tbdl::ReadTextFile(context.args[0], text)) return true;
  context.err << "quorvane-tbdl: cannot read " << context.args[0] << '\n';
  return false;
}

void AppendQuoted(std::string& out, std::string_view text) {
  AppendEscapedText(out, text, EscapeStyle::kReadable);
}

std::string Quoted(std::string_view text) {
  std::string out;
  AppendQuoted(out, text);
  return out;
}

}  // namespace qv::tools
