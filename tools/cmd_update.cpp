// quorvane-tbdl update FILE [--registry REGFILE]: what the toolbar's
// "Update" command does, against the vendor's site (--base-url): every file
// of the load fetched anew into FILE's folder, then the load. Reports each
// file: fetched, kept (the fetch failed, the local copy stays), failed (no
// copy at all) or refused (a name that would leave the folder), with its
// CRC as the settings store it.
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "install/resource_files.h"
#include "platform/services.h"
#include "settings/settings.h"
#include "simulators/message_recorder.h"
#include "tbdl/loader.h"
#include "tools/definition_files.h"
#include "tools/json_writer.h"
#include "tools/model_writer.h"
#include "tools/registry_file.h"
#include "tools/text_writer.h"
#include "tools/tool.h"

namespace qv::tools {
namespace {

const char* OutcomeName(ResourceFileReport::Outcome outcome) {
  switch (outcome) {
    case ResourceFileReport::kPresent:
      return "present";
    case ResourceFileReport::kFetched:
      return "fetched";
    case ResourceFileReport::kKept:
      return "kept";
    case ResourceFileReport::kFailed:
      return "failed";
    case ResourceFileReport::kRefused:
      return "refused";
  }
  return "?";
}

}  // namespace

int RunUpdate(ToolContext& context) {
  std::string file, registryFile;
  for (size_t i = 0; i < context.args.size(); ++i) {
    if (context.args[i] == "--registry" && i + 1 < context.args.size()) {
      registryFile = context.args[++i];
    } else if (file.empty() && context.args[i].rfind("--", 0) != 0) {
      file = context.args[i];
    } else {
      return UsageError(context, "update");
    }
  }
  if (file.empty()) return UsageError(context, "update");

  // The settings are held in memory: the bookkeeping of the fetch stays there.
  RegistryFile registry;
  if (!registryFile.empty() && !registry.Load(registryFile, false, context.err)) return kExitFailed;
  ScopedService<Registry> useRegistry(&PlatformServices::registry, &registry.registry());
  MessageRecorder recorder;
  ScopedService<UserMessages> messages(&PlatformServices::messages, &recorder);

  SetSettingFlag("GlobalUpdateFlag", true);
  DefinitionFolderLookup lookup(file);
  std::vector<ResourceFileReport> reports;
  lookup.Fetching().SetReporter([&](const ResourceFileReport& r) { reports.push_back(r); });
  std::unique_ptr<tbdl::TBDLToolbar> model;
  std::ostringstream skipped;
  const bool ok = tbdl::LoadToolbarDefinition(model, lookup, &skipped);

  JsonWriter json;
  TextWriter text;
  StructuredWriter& w = context.json ? static_cast<StructuredWriter&>(json) : text;
  w.BeginObject().BoolField("ok", ok).Key("files").BeginArray();
  for (const ResourceFileReport& r : reports) {
    w.BeginObject()
        .StringField("name", r.name)
        .StringField("result", OutcomeName(r.outcome))
        .StringField("url", r.url)
        .StringField("path", r.localPath);
    if (r.outcome != ResourceFileReport::kFailed && r.outcome != ResourceFileReport::kRefused)
      w.StringField("crc", SignedCrcText(r.crc));
    if (!r.error.empty()) w.StringField("error", r.error);
    w.EndObject();
  }
  w.EndArray().Key("messages").BeginArray();
  WriteMessageBoxes(w, recorder.messages());
  w.EndArray().EndObject();
  context.out << w.Text();
  return ok ? kExitOk : kExitFailed;
}

}  // namespace qv::tools
