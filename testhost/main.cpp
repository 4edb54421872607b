// testhost.exe: runs the registered quorvane.dll in a test browser window
// and prints what happened as one JSON object.
//
//   testhost.exe --json [--register DLL] [--definition-dir DIR]
//                [--page URL [--page-file FILE]]... [--click ID]...
//                [--type ID=TEXT] [--enter ID] [--search ID=TEXT]
//                [--mousedown N] [--new-window] [--no-follow] [--snapshot FILE]
//                [--setting NAME=NUMBER]... [--key-down VK] [--key-up VK]
//                [--script-move] [--user-drag] [--sheet STEP]...
//                [--alert-wait MS [--alert-snapshot FILE]]
//
// --sheet steps work the options sheet when a command opens it (see
// sheet_driver.h); without them a sheet is cancelled.
// The steps run in the order given. ID is a toolbar button's command id
// (1024 + the item's index); --search types and presses Enter. --alert-wait
// stands in for the browser control of the toolbar's alert window (Wine's
// never completes a page) and, after the steps, waits up to MS for the
// alert to come up; the JSON then gains "alert".
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "alert_stand_in.h"
#include "band_host.h"
#include "json_writer.h"

namespace {

int Usage(const std::string& problem) {
  std::fprintf(stderr,
               "testhost: %s\nusage: testhost.exe --json [--register DLL] [--definition-dir DIR]"
               " [--page URL [--page-file FILE]]... [--click ID]... [--type ID=TEXT] [--enter ID]"
               " [--search ID=TEXT] [--mousedown N] [--new-window] [--no-follow]"
               " [--snapshot FILE] [--setting NAME=NUMBER] [--key-down VK] [--key-up VK]"
               " [--script-move] [--user-drag] [--sheet STEP]... [--alert-wait MS "
               "[--alert-snapshot FILE]]\n",
               problem.c_str());
  return 2;
}

std::wstring Wide(const std::string& text) {
  std::wstring out(text.size() * 2 + 1, L'\0');
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()));
  out.resize(size > 0 ? static_cast<size_t>(size - 1) : 0);
  return out;
}

bool ParseId(const std::string& text, int* id) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 0 || value > 65535) return false;
  *id = static_cast<int>(value);
  return true;
}

// Runs the band's messages until the alert frame has come up and stopped
// growing, or the time is up; the alert as JSON.
std::string WaitForAlert(qv::testhost::BandHost& host, qv::testhost::AlertStandIn& standIn,
                         int waitMs, const std::string& snapshot, int* status) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(waitMs);
  HWND frame = nullptr;
  RECT last{};
  ULONGLONG stableSince = 0;
  int steps = 0;
  while (GetTickCount64() < end) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    host.Pump();
    standIn.CompletePending();
    frame = qv::testhost::FindAlertFrame();
    if (!frame || !IsWindowVisible(frame)) continue;
    RECT r;
    GetWindowRect(frame, &r);
    if (!EqualRect(&r, &last)) {
      last = r;
      stableSince = GetTickCount64();
      ++steps;
    } else if (r.bottom > r.top && GetTickCount64() - stableSince > 600) {
      break;
    }
  }
  const bool shown = frame && IsWindowVisible(frame) && last.bottom > last.top;
  if (shown && !snapshot.empty()) {
    qv::testhost::Picture picture;
    std::string error;
    if (!qv::testhost::CaptureWindow(frame, &picture) ||
        !qv::testhost::WritePicture(picture, snapshot, &error)) {
      std::fprintf(stderr, "testhost: cannot write the alert snapshot %s %s\n", snapshot.c_str(),
                   error.c_str());
      *status = 1;
    }
  }
  std::string url;
  if (!standIn.Completed().empty()) {
    for (wchar_t c : standIn.Completed().back())
      url.push_back(c < 128 && c != '"' && c != '\\' ? static_cast<char>(c) : '?');
  }
  char text[256];
  std::snprintf(text, sizeof text,
                "{\"shown\":%s,\"rect\":[%ld,%ld,%ld,%ld],\"moves\":%d,\"page\":\"%s\"}",
                shown ? "true" : "false", last.left, last.top, last.right, last.bottom, steps,
                url.substr(0, 120).c_str());
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  using qv::testhost::Step;
  qv::testhost::HostOptions options;
  std::string snapshot, alertSnapshot;
  int alertWait = 0;
  std::vector<std::string> sheetSteps;
  bool json = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--json") {
      json = true;
    } else if (arg == "--no-follow") {
      options.followNavigations = false;
    } else if (arg == "--new-window") {
      Step step;
      step.kind = Step::Kind::kNewWindow;
      options.steps.push_back(step);
    } else if (arg == "--script-move" || arg == "--user-drag") {
      Step step;
      step.kind = arg == "--script-move" ? Step::Kind::kScriptMove : Step::Kind::kUserDrag;
      options.steps.push_back(step);
    } else if (!value(&v)) {
      return Usage(arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unknown argument " + arg);
    } else if (arg == "--register") {
      options.registerDll = v;
    } else if (arg == "--definition-dir") {
      options.definitionDir = v;
    } else if (arg == "--sheet") {
      sheetSteps.push_back(v);
    } else if (arg == "--snapshot") {
      snapshot = v;
    } else if (arg == "--alert-snapshot") {
      alertSnapshot = v;
    } else if (arg == "--alert-wait") {
      if (!ParseId(v, &alertWait)) return Usage("--alert-wait needs milliseconds, not " + v);
    } else if (arg == "--page") {
      Step step;
      step.page.url = Wide(v);
      step.page.title = step.page.url;
      options.steps.push_back(step);
    } else if (arg == "--page-file") {
      if (options.steps.empty() || options.steps.back().kind != Step::Kind::kNavigate)
        return Usage("--page-file must follow a --page");
      std::string error;
      if (!qv::testhost::ReadPageFile(v, &options.steps.back().page, &error)) return Usage(error);
    } else if (arg == "--setting") {
      const size_t equals = v.find('=');
      char* end = nullptr;
      const std::string number = equals == std::string::npos ? "" : v.substr(equals + 1);
      const unsigned long value = std::strtoul(number.c_str(), &end, 10);
      if (equals == 0 || number.empty() || *end != '\0')
        return Usage("--setting needs NAME=NUMBER, not " + v);
      options.settings.emplace_back(v.substr(0, equals), static_cast<DWORD>(value));
    } else if (arg == "--key-down" || arg == "--key-up") {
      Step step;
      step.kind = arg == "--key-down" ? Step::Kind::kKeyDown : Step::Kind::kKeyUp;
      if (!ParseId(v, &step.id) || step.id > 255) return Usage(arg + " needs a key code, not " + v);
      options.steps.push_back(step);
    } else if (arg == "--click" || arg == "--enter" || arg == "--mousedown") {
      Step step;
      step.kind = arg == "--click"   ? Step::Kind::kClick
                  : arg == "--enter" ? Step::Kind::kEnter
                                     : Step::Kind::kMouseDown;
      if (!ParseId(v, &step.id)) return Usage(arg + " needs a number, not " + v);
      options.steps.push_back(step);
    } else if (arg == "--type" || arg == "--search") {
      const size_t equals = v.find('=');
      Step step;
      step.kind = Step::Kind::kType;
      if (equals == std::string::npos || !ParseId(v.substr(0, equals), &step.id))
        return Usage(arg + " needs ID=TEXT, not " + v);
      step.text = Wide(v.substr(equals + 1));
      options.steps.push_back(step);
      if (arg == "--search") {
        step.kind = Step::Kind::kEnter;
        options.steps.push_back(step);
      }
    } else {
      return Usage("unknown argument " + arg);
    }
  }
  if (!json) return Usage("only --json output is offered");

  int status = 0;
  std::string alertJson;
  {
    qv::testhost::BandHost host;
    qv::testhost::AlertStandIn standIn;
    host.Answerer().Sheets().script = sheetSteps;
    if (host.Start(options)) {
      if (alertWait > 0) standIn.Register();
      for (const Step& step : options.steps) host.RunStep(step);
      if (alertWait > 0) alertJson = WaitForAlert(host, standIn, alertWait, alertSnapshot, &status);
      if (!snapshot.empty()) {
        qv::testhost::Picture picture;
        std::string error;
        if (!host.Snapshot(&picture) || !qv::testhost::WritePicture(picture, snapshot, &error)) {
          std::fprintf(stderr, "testhost: cannot write the snapshot %s %s\n", snapshot.c_str(),
                       error.c_str());
          status = 1;
        }
      }
    } else {
      status = 1;
    }
    host.Stop();
    standIn.Revoke();
    std::string report = host.Json();
    if (!alertJson.empty() && !report.empty() && report.back() == '}')
      report.insert(report.size() - 1, ",\"alert\":" + alertJson);
    std::printf("%s\n", report.c_str());
    if (!host.AllReferencesBack() && status == 0) status = 3;
  }
  std::fflush(stdout);
  return status;
}
