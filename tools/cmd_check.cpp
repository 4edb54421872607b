// quorvane-tbdl check FILE: loads a definition exactly as load does, but
// prints only what an author acts on: where the scanner skipped characters
// and where the parse stopped, as FILE:LINE:COLUMN: lines, then the message
// boxes the toolbar would show and a one-line verdict. Printing no model
// also makes it the way to time a whole load from outside.
#include <cstring>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "simulators/message_recorder.h"
#include "platform/services.h"
#include "tbdl/loader.h"
#include "tbdl/scanner.h"
#include "tools/model_writer.h"
#include "tools/definition_files.h"
#include "tools/json_writer.h"
#include "tools/text_writer.h"
#include "tools/tool.h"

namespace qv::tools {
namespace {

// Longer skipped runs and tokens are shown by their beginning.
constexpr size_t kMostShown = 40;

struct Diagnostic {
  size_t line = 0;
  size_t column = 0;
  std::string text;
};

// Turns the scanner's byte offsets into lines and columns (from 1, columns
// in bytes). Offsets arrive in increasing order, so counting goes on from
// the last one and a whole load costs one pass over the text at most.
class PositionedDiagnostics : public tbdl::ScanDiagnostics {
 public:
  void Skipped(std::string_view input, size_t offset, size_t length) override {
    std::string text = "skipped ";
    if (length > kMostShown) text += std::to_string(length) + " characters starting ";
    text += Excerpt(input.substr(offset, length));
    Add(input, offset, std::move(text));
  }

  void Stopped(std::string_view input, size_t offset, size_t length,
               std::string_view reason) override {
    std::string text = "syntax error at ";
    if (length == 0) {
      text += "the end of the file";
    } else if (length <= kMostShown && input[offset] != '"') {
      // A keyword or a brace: nothing to escape.
      text += '\'';
      text += input.substr(offset, length);
      text += '\'';
    } else {
      text += Excerpt(input.substr(offset, length));
    }
    text += ": ";
    text += reason;
    Add(input, offset, std::move(text));
  }

  const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }

 private:
  static std::string Excerpt(std::string_view text) {
    std::string out = Quoted(text.substr(0, kMostShown));
    if (text.size() > kMostShown) out += "...";
    return out;
  }

  void Add(std::string_view input, size_t offset, std::string text) {
    if (input.data() != input_ || offset < counted_) {
      input_ = input.data();
      counted_ = 0;
      line_ = 1;
      line_start_ = 0;
    }
    while (const void* lf = std::memchr(input.data() + counted_, '\n', offset - counted_)) {
      ++line_;
      line_start_ = static_cast<const char*>(lf) - input.data() + 1;
      counted_ = line_start_;
    }
    counted_ = offset;
    diagnostics_.push_back({line_, offset - line_start_ + 1, std::move(text)});
  }

  std::vector<Diagnostic> diagnostics_;
  const char* input_ = nullptr;
  size_t counted_ = 0;
  size_t line_ = 1;
  size_t line_start_ = 0;
};

// Skipped characters are reported as diagnostics, not echoed.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

class ScopedScanDiagnostics {
 public:
  explicit ScopedScanDiagnostics(tbdl::ScanDiagnostics* d)
      : previous_(tbdl::SetScanDiagnostics(d)) {}
  ~ScopedScanDiagnostics() { tbdl::SetScanDiagnostics(previous_); }
  ScopedScanDiagnostics(const ScopedScanDiagnostics&) = delete;
  ScopedScanDiagnostics& operator=(const ScopedScanDiagnostics&) = delete;

 private:
  tbdl::ScanDiagnostics* previous_;
};

// A failed load that showed nothing failed for its bitmaps: name them, as
// the toolbar itself never does.
std::string MissingBitmaps(const tbdl::TBDLToolbar& model, ResourceLookup& lookup) {
  std::string missing;
  for (std::string name : {model.ImageFile(), model.HotImageFile()}) {
    const std::string shown = name;
    if (lookup.EnsureResourceFile(name)) continue;
    missing += missing.empty() ? "missing bitmap " : ", ";
    missing += Quoted(shown);
  }
  return missing;
}

// Where a model left to the end of the process stays reachable, so that
// leak checkers do not count it.
tbdl::TBDLToolbar* model_kept_until_exit = nullptr;

}  // namespace

int RunCheck(ToolContext& context) {
  if (context.args.size() != 1) return UsageError(context, "check");
  const std::string& file = context.args[0];
  MessageRecorder recorder;
  ScopedService<UserMessages> messages(&PlatformServices::messages, &recorder);
  PositionedDiagnostics diagnostics;
  NullBuffer null_buffer;
  std::ostream no_echo(&null_buffer);
  DefinitionFolderLookup lookup(file);
  std::unique_ptr<tbdl::TBDLToolbar> model;
  bool ok;
  {
    ScopedScanDiagnostics listen(&diagnostics);
    ok = tbdl::LoadToolbarDefinition(model, lookup, &no_echo);
  }
  std::string why;
  if (!ok && recorder.messages().empty()) why = MissingBitmaps(*model, lookup);

  if (context.json) {
    JsonWriter w;
    w.BeginObject().BoolField("ok", ok).Key("messages").BeginArray();
    WriteMessageBoxes(w, recorder.messages());
    w.EndArray().Key("diagnostics").BeginArray();
    for (const Diagnostic& d : diagnostics.diagnostics()) {
      w.BeginObject()
          .IntField("line", static_cast<int64_t>(d.line))
          .IntField("column", static_cast<int64_t>(d.column))
          .StringField("text", d.text)
          .EndObject();
    }
    w.EndArray().EndObject();
    context.out << w.Text();
  } else {
    // Compiler style, so that editors can jump to the spot. Everything the
    // scanner reports comes before the boxes: they are shown after the parse.
    std::string out;
    for (const Diagnostic& d : diagnostics.diagnostics()) {
      out += file + ':' + std::to_string(d.line) + ':' + std::to_string(d.column) + ": " + d.text +
             '\n';
    }
    for (const RecordedMessage& message : recorder.messages()) {
      out += file + ": message " + Quoted(message.caption) + ": " + Quoted(message.text) + '\n';
    }
    out += file + (ok ? ": ok" : ": fails") + (why.empty() ? "" : " (" + why + ")") + '\n';
    context.out << out;
  }
  // Freeing the model of a 10 MB definition takes an eighth of its check.
  if (ProcessEndsAfterRun()) model_kept_until_exit = model.release();
  return ok ? kExitOk : kExitFailed;
}

}  // namespace qv::tools
