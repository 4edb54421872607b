// quorvane-tbdl tree FILE: the parse result and the parse tree.
#include <algorithm>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tbdl/node.h"
#include "tbdl/parser.h"
#include "tbdl/scanner.h"
#include "tbdl/tree.h"
#include "tools/json_writer.h"
#include "tools/scan_output.h"
#include "tools/tool.h"

namespace qv::tools {
namespace {

using tbdl::TBDLNode;

// Visits the tree depth first without recursion (a definition can nest far
// deeper than the stack allows): enter(node, depth) before a node's
// children, leave(node) after them.
template <typename Enter, typename Leave>
void WalkTree(const TBDLNode& root, Enter enter, Leave leave) {
  struct Frame {
    const TBDLNode* node;
    size_t next_child;
  };
  std::vector<Frame> stack;
  enter(root, size_t{0});
  stack.push_back({&root, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next_child < top.node->children.size()) {
      const TBDLNode& child = *top.node->children[top.next_child++];
      enter(child, stack.size());
      stack.push_back({&child, 0});
    } else {
      leave(*top.node);
      stack.pop_back();
    }
  }
}

void WriteTreeJson(JsonWriter& json, const TBDLNode& root) {
  WalkTree(
      root,
      [&json](const TBDLNode& node, size_t) {
        json.BeginObject().StringField("name", node.Name());
        json.Key("names").BeginArray();
        for (size_t i = 0; i < node.names.size(); ++i) json.String(node.PropertyName(i));
        json.EndArray().Key("values").BeginArray();
        for (std::string_view value : node.values) json.String(value);
        json.EndArray().Key("children").BeginArray();
      },
      [&json](const TBDLNode&) { json.EndArray().EndObject(); });
}

// One line per node, indented by depth: the part keyword and its property
// pairs. Unpaired names or values (possible in a tree the parser rejected)
// are shown as name=? or ?="value".
void WriteTreeText(std::string& out, const TBDLNode& root) {
  WalkTree(
      root,
      [&out](const TBDLNode& node, size_t depth) {
        out.append(2 * std::min(depth, kMaxIndentLevels), ' ');
        out += node.Name();
        const size_t pairs = std::max(node.names.size(), node.values.size());
        for (size_t i = 0; i < pairs; ++i) {
          out.push_back(' ');
          out += i < node.names.size() ? node.PropertyName(i) : std::string_view("?");
          out.push_back('=');
          if (i < node.values.size()) {
            AppendQuoted(out, node.values[i]);
          } else {
            out.push_back('?');
          }
        }
        out.push_back('\n');
      },
      [](const TBDLNode&) {});
}

}  // namespace

int RunTree(ToolContext& context) {
  if (context.args.size() != 1) return UsageError(context, "tree");
  std::string text;
  if (!ReadDefinitionArgument(context, &text)) return kExitFailed;

  std::ostringstream skipped;
  tbdl::BeginTree();
  int result;
  std::string fatal;
  bool failed_scan;
  {
    tbdl::TBDLScanner scanner(text, &skipped);
    result = tbdl::TBDLParser().Parse(scanner);
    failed_scan = scanner.Fatal();
    fatal = scanner.FatalMessage();
  }
  // The tree as the scanner built it; after a failed parse it is the part
  // before the offending token, which the loader would discard.
  const TBDLNode& root = *tbdl::TreeState().root;
  if (context.json) {
    JsonWriter json;
    json.BeginObject().IntField("result", result);
    WriteScanSummary(json, skipped.str(), failed_scan ? &fatal : nullptr);
    json.Key("tree");
    WriteTreeJson(json, root);
    json.EndObject();
    context.out << json.Text();
  } else {
    std::string out = "result: " + std::to_string(result) +
                      (result == tbdl::kParseOk              ? " (accepted)\n"
                       : result == tbdl::kParseStackOverflow ? " (parser stack overflow)\n"
                                                             : " (syntax error)\n");
    context.out << out;
    WriteScanSummaryText(context.out, skipped.str(), failed_scan ? &fatal : nullptr);
    out.clear();
    WriteTreeText(out, root);
    context.out << out;
  }
  tbdl::EndTree();
  return result == tbdl::kParseOk ? kExitOk : kExitFailed;
}

}  // namespace qv::tools
