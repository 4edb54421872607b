// The subcommands of quorvane-tbdl. To add one, write its cmd_*.cpp file,
// declare its entry point here and add a row to the table.
#include "tools/tool.h"

namespace qv::tools {

int RunTokens(ToolContext& context);
int RunTree(ToolContext& context);
int RunLoad(ToolContext& context);
int RunCheck(ToolContext& context);
int RunShow(ToolContext& context);
int RunMailCheck(ToolContext& context);
int RunRun(ToolContext& context);
int RunAlert(ToolContext& context);
int RunUpdate(ToolContext& context);

namespace {

constexpr ToolCommand kCommands[] = {
    {"tokens", "FILE", "list the tokens the scanner delivers and the characters it skips",
     RunTokens},
    {"tree", "FILE", "parse and print the parse tree", RunTree},
    {"load", "FILE", "load the definition into the toolbar model and print it", RunLoad},
    {"check", "FILE",
     "load the definition as load does and print only where it goes wrong (FILE:LINE:COLUMN), "
     "the message boxes and the verdict",
     RunCheck},
    {"show", "FILE [--registry REGFILE]",
     "build the toolbar on a headless control and print its buttons, menus and controls", RunShow},
    {"mail check", "[--registry REGFILE] [--force] [--port N]",
     "run one mail check pass over the POP3 accounts and print each account's result",
     RunMailCheck},
    {"run", "FILE [--registry REGFILE] [--page URL] [--type NAME=TEXT]... ACTION...",
     "run searches, clicks, menu choices and commands against a recording browser; actions: "
     "--click ID, --menu ID, --enter NAME, --choose NAME=INDEX, --drop NAME=TEXT, "
     "--command NAME; browser events for the popup blocker: --navigate URL, --mousedown PATH "
     "(a tag path, BODY/A/IMG), --hold KEY, --release KEY (SHIFT, CTRL or a key code), "
     "--new-window, --element PATH[@VALUE] (OBJECT class id or EMBED source; IFRAME/... for a "
     "frame), --ready, --resize",
     RunRun},
    {"alert", "FILE [--registry REGFILE] [--script FILE_OR_URL] [--work-area L,T,R,B]",
     "run one desktop alert check as the toolbar's alert timer does and print the decision, the "
     "alert's parameters and the window's rectangle at every 100 ms tick of its cycle (default "
     "work area 0,0,1024,738)",
     RunAlert},
    {"update", "FILE [--registry REGFILE]",
     "fetch every file of the load anew from the vendor's site (--base-url) into FILE's folder, "
     "as the toolbar's Update command does, then load; reports each file: fetched, kept, "
     "failed or refused, with its CRC",
     RunUpdate},
};

}  // namespace

std::span<const ToolCommand> Commands() {
  return kCommands;
}

}  // namespace qv::tools
