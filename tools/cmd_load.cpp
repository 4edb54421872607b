// quorvane-tbdl load FILE: loads a definition into the toolbar model as the
// toolbar does and prints the model and the message boxes it would show.
#include <memory>
#include <ostream>
#include <sstream>
#include <string>

#include "simulators/message_recorder.h"
#include "platform/services.h"
#include "tbdl/loader.h"
#include "tools/definition_files.h"
#include "tools/json_writer.h"
#include "tools/model_writer.h"
#include "tools/text_writer.h"
#include "tools/tool.h"

namespace qv::tools {

int RunLoad(ToolContext& context) {
  if (context.args.size() != 1) return UsageError(context, "load");
  MessageRecorder recorder;
  ScopedService<UserMessages> messages(&PlatformServices::messages, &recorder);
  DefinitionFolderLookup lookup(context.args[0]);
  std::unique_ptr<tbdl::TBDLToolbar> model;
  std::ostringstream skipped;
  const bool ok = tbdl::LoadToolbarDefinition(model, lookup, &skipped);

  JsonWriter json;
  TextWriter text;
  StructuredWriter& w = context.json ? static_cast<StructuredWriter&>(json) : text;
  w.BeginObject().BoolField("ok", ok).Key("messages").BeginArray();
  WriteMessageBoxes(w, recorder.messages());
  w.EndArray().StringField("skipped", skipped.str()).Key("model");
  WriteModel(w, *model);
  w.EndObject();
  context.out << w.Text();
  return ok ? kExitOk : kExitFailed;
}

}  // namespace qv::tools
