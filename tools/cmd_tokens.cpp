// quorvane-tbdl tokens FILE: what the scanner makes of a definition.
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tbdl/keywords.h"
#include "tbdl/scanner.h"
#include "tbdl/tree.h"
#include "tools/json_writer.h"
#include "tools/scan_output.h"
#include "tools/tool.h"

namespace qv::tools {

int RunTokens(ToolContext& context) {
  if (context.args.size() != 1) return UsageError(context, "tokens");
  std::string text;
  if (!ReadDefinitionArgument(context, &text)) return kExitFailed;

  struct Token {
    std::string_view kind;
    std::string text;
  };
  std::vector<Token> tokens;
  std::ostringstream skipped;
  std::string fatal;
  bool failed = false;
  {
    // The scanner builds the parse tree as it goes: give it a root.
    tbdl::BeginTree();
    tbdl::TBDLScanner scanner(text, &skipped);
    int kind;
    do {
      kind = scanner.Next();
      tokens.push_back({tbdl::TokenClassName(static_cast<tbdl::TokenKind>(kind)),
                        kind == tbdl::kTokEnd ? std::string() : std::string(scanner.Text())});
    } while (kind != tbdl::kTokEnd);
    failed = scanner.Fatal();
    fatal = scanner.FatalMessage();
    tbdl::EndTree();
  }

  if (context.json) {
    JsonWriter json;
    json.BeginObject().Key("tokens").BeginArray();
    for (const Token& token : tokens) {
      json.BeginObject()
          .StringField("kind", token.kind)
          .StringField("text", token.text)
          .EndObject();
    }
    json.EndArray();
    WriteScanSummary(json, skipped.str(), failed ? &fatal : nullptr);
    json.EndObject();
    context.out << json.Text();
  } else {
    std::string out;
    for (const Token& token : tokens) {
      out += token.kind;
      if (token.kind != "end") {
        out.append(token.kind.size() < 10 ? 10 - token.kind.size() : 1, ' ');
        if (token.kind == "string") {
          AppendQuoted(out, token.text);
        } else {
          out += token.text;
        }
      }
      out.push_back('\n');
    }
    context.out << out;
    WriteScanSummaryText(context.out, skipped.str(), failed ? &fatal : nullptr);
  }
  return failed ? kExitFailed : kExitOk;
}

}  // namespace qv::tools
