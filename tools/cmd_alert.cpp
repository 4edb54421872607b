// quorvane-tbdl alert FILE [--registry REGFILE] [--script FILE_OR_URL]
// [--work-area LEFT,TOP,RIGHT,BOTTOM]: one desktop alert check as the
// toolbar's alert timer runs it (the definition's properties, the due rule
// on LastAlertsCheckTime, the fetch of the alert script), printing the
// decision, the parameters of the alert and the window's rectangle at the
// start of its showing and at every 100 ms tick of its cycle on the work
// area (by default a 1024 x 768 screen above a 30-pixel taskbar). --script
// reads the alert script from a file or an http(s) address instead of the
// definition's AlertScriptURL. With --registry the settings come from
// REGFILE and the check's time is written back to it.
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "alerts/alert_animation.h"
#include "alerts/alert_check.h"
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

using alerts::AlertRect;

constexpr AlertRect kDefaultWorkArea{0, 0, 1024, 738};
// Ten minutes of ticks: a cycle that waits longer is cut, and says so.
constexpr size_t kMaxFrames = 6000;

bool ParseWorkArea(const std::string& text, AlertRect* area) {
  int values[4];
  const char* p = text.c_str();
  for (int i = 0; i < 4; ++i) {
    char* end = nullptr;
    const long v = std::strtol(p, &end, 10);
    if (end == p || v < -100000 || v > 100000) return false;
    values[i] = static_cast<int>(v);
    if (*end != (i < 3 ? ',' : '\0')) return false;
    p = end + (i < 3 ? 1 : 0);
  }
  *area = AlertRect{values[0], values[1], values[2], values[3]};
  return area->right > area->left && area->bottom > area->top;
}

bool IsWebAddress(const std::string& source) {
  return source.rfind("http://", 0) == 0 || source.rfind("https://", 0) == 0;
}

// A script file is read whole, as much of it as a fetch would take.
bool ReadScriptFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  *text = bytes.str();
  return true;
}

void WriteRect(StructuredWriter& w, const AlertRect& r) {
  w.BeginArray().Int(r.left).Int(r.top).Int(r.right).Int(r.bottom).EndArray();
}

}  // namespace

int RunAlert(ToolContext& context) {
  std::string file, registryFile, script;
  AlertRect workArea = kDefaultWorkArea;
  for (size_t i = 0; i < context.args.size(); ++i) {
    const std::string& arg = context.args[i];
    const bool hasValue = i + 1 < context.args.size();
    if (arg == "--registry" && hasValue) {
      registryFile = context.args[++i];
    } else if (arg == "--script" && hasValue) {
      script = context.args[++i];
    } else if (arg == "--work-area" && hasValue) {
      if (!ParseWorkArea(context.args[++i], &workArea)) {
        context.err << "quorvane-tbdl: --work-area needs LEFT,TOP,RIGHT,BOTTOM with RIGHT > LEFT "
                       "and BOTTOM > TOP, not "
                    << context.args[i] << "\n";
        return kExitUsage;
      }
    } else if (file.empty() && arg.rfind("--", 0) != 0) {
      file = arg;
    } else {
      return UsageError(context, "alert");
    }
  }
  if (file.empty()) return UsageError(context, "alert");

  RegistryFile settings;
  Registry* registry = Services().registry;
  if (!registryFile.empty()) {
    if (!settings.Load(registryFile, true, context.err)) return kExitFailed;
    settings.PrintIssues(context.err);
    registry = &settings.registry();
  }
  ScopedService<Registry> useRegistry(&PlatformServices::registry, registry);
  MessageRecorder recorder;
  ScopedService<UserMessages> messages(&PlatformServices::messages, &recorder);

  DefinitionFolderLookup lookup(file);
  std::unique_ptr<tbdl::TBDLToolbar> model;
  std::ostringstream skipped;
  const bool loaded = tbdl::LoadToolbarDefinition(model, lookup, &skipped);

  bool scriptUnreadable = false;
  std::string source;
  const alerts::AlertScriptFetcher fetch = [&](const std::string& url, std::string* text) {
    source = script.empty() ? url : script;
    if (script.empty() || IsWebAddress(script)) return alerts::FetchAlertScript(source, text);
    if (ReadScriptFile(script, text)) return true;
    scriptUnreadable = true;
    return false;
  };
  class NoWindow : public alerts::AlertWindowControl {
   public:
    bool Exists() override { return false; }
    void Create(const alerts::AlertParameters&) override {}
  } window;
  alerts::AlertCheckResult result;
  if (loaded) {
    const alerts::PropertyReader properties = [&model](std::string_view id, std::string_view def) {
      return model->GetProperty(id, def);
    };
    RegKey key = OpenProductKey();
    result = alerts::CheckDesktopAlert(properties, key, std::time(nullptr), fetch, window);
  }

  JsonWriter json;
  TextWriter text;
  StructuredWriter& w = context.json ? static_cast<StructuredWriter&>(json) : text;
  w.BeginObject().BoolField("loaded", loaded);
  if (!loaded) {
    w.Key("messages").BeginArray();
    WriteMessageBoxes(w, recorder.messages());
    w.EndArray().EndObject();
    context.out << w.Text();
    return kExitFailed;
  }
  w.StringField("decision", alerts::DecisionName(result.decision));
  if (result.fetched) {
    w.StringField("scriptUrl", result.scriptUrl)
        .StringField("source", source)
        .BoolField("fetched", result.fetchOk)
        .IntField("scriptBytes", static_cast<int64_t>(result.scriptBytes));
  }
  const bool scripted = result.decision == alerts::AlertDecision::kShown ||
                        result.decision == alerts::AlertDecision::kNoUrl ||
                        result.decision == alerts::AlertDecision::kRefusedUrl;
  if (scripted) {
    const alerts::AlertParameters& p = result.params;
    w.Key("parameters")
        .BeginObject()
        .StringField("url", p.url)
        .IntField("width", p.width)
        .IntField("height", p.height)
        .IntField("showTime", p.showTime)
        .IntField("hideTime", p.hideTime)
        .BoolField("hideAutomatically", p.hideAutomatically)
        .IntField("waitTime", p.waitTime)
        .EndObject();
  }
  if (result.decision == alerts::AlertDecision::kShown) {
    w.Key("workArea");
    WriteRect(w, workArea);
    bool truncated = false;
    const auto frames = alerts::SimulateAlertCycle(result.params, workArea, kMaxFrames, &truncated);
    w.Key("frames").BeginArray();
    for (const alerts::AlertFrame& f : frames) {
      w.BeginObject()
          .IntField("ms", f.ms)
          .IntField("timer", f.timer)
          .StringField("phase", alerts::PhaseName(f.phase));
      // The window is gone once the cycle has finished.
      if (f.phase == alerts::AlertPhase::kFinished) {
        w.NullField("rect");
      } else {
        w.Key("rect");
        WriteRect(w, f.rect);
      }
      w.EndObject();
    }
    w.EndArray().BoolField("truncated", truncated);
  }
  w.EndObject();
  context.out << w.Text();

  if (!registryFile.empty() && !settings.Save(context.err)) return kExitFailed;
  if (scriptUnreadable) {
    context.err << "quorvane-tbdl: cannot read the alert script " << script << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace qv::tools
