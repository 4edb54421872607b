#include "simulators/scripted_browser.h"

namespace qv {

std::optional<std::string> RecordedCall::Arg(const std::string& name) const {
  for (const auto& [key, value] : args)
    if (key == name) return value;
  return std::nullopt;
}

std::vector<RecordedCall> CallLog::Named(const std::string& call) const {
  std::vector<RecordedCall> result;
  for (const RecordedCall& c : calls)
    if (c.call == call) result.push_back(c);
  return result;
}

ScriptedBrowser::ScriptedBrowser(std::shared_ptr<CallLog> log, int window)
    : log_(log ? std::move(log) : std::make_shared<CallLog>()), window_(window) {}

RecordedCall ScriptedBrowser::Call(const std::string& name) const {
  RecordedCall call{name, {}};
  if (window_ != 0) call.args.emplace_back("window", std::to_string(window_));
  return call;
}

bool ScriptedBrowser::Navigate2(const NavigateRequest& request) {
  RecordedCall call = Call("Navigate2");
  call.args.emplace_back("url", request.url);
  if (request.target) call.args.emplace_back("target", *request.target);
  if (request.postData) call.args.emplace_back("post", *request.postData);
  if (request.headers) call.args.emplace_back("headers", *request.headers);
  log_->Add(std::move(call));
  location_ = request.url;
  return true;
}

std::unique_ptr<Browser> ScriptedBrowser::CreateNewWindow() {
  if (!canOpenWindows_) {
    log_->Add(Call("NewWindowFailed"));
    return nullptr;
  }
  int window = ++log_->windowsOpened;
  RecordedCall call = Call("NewWindow");
  call.args.emplace_back("new", std::to_string(window));
  log_->Add(std::move(call));
  return std::make_unique<ScriptedBrowser>(log_, window);
}

bool ScriptedBrowser::SetVisible(bool visible) {
  RecordedCall call = Call("put_Visible");
  call.args.emplace_back("visible", visible ? "true" : "false");
  log_->Add(std::move(call));
  return true;
}

bool ScriptedBrowser::GetLocationUrl(std::string* url) {
  *url = location_;
  return true;
}

bool ScriptedBrowser::SetStatusText(const std::string& text) {
  RecordedCall call = Call("put_StatusText");
  call.args.emplace_back("text", text);
  log_->Add(std::move(call));
  return true;
}

bool ScriptedBrowser::ShowBrowserBar(const std::string& clsid, bool show) {
  RecordedCall call = Call("ShowBrowserBar");
  call.args.emplace_back("clsid", clsid);
  call.args.emplace_back("show", show ? "true" : "false");
  log_->Add(std::move(call));
  return true;
}

bool ScriptedBrowser::Quit() {
  log_->Add(Call("Quit"));
  return true;
}

void ScriptedBrowser::ShowPage(const std::string& url) {
  location_ = url;
  document_ = std::make_shared<PageDocument>(log_, url, HostOfUrl(url));
}

PageDocument::PageDocument(std::shared_ptr<CallLog> log, std::string url, std::string domain)
    : log_(std::move(log)), url_(std::move(url)), domain_(std::move(domain)) {}

bool PageDocument::GetUrl(std::string* url) {
  *url = url_;
  return true;
}

bool PageDocument::GetDomain(std::string* domain) {
  *domain = domain_;
  return true;
}

bool PageDocument::FocusWindow() {
  log_->Add({"focus", {}});
  return true;
}

bool PageDocument::ShowModalDialog(const std::string& url, const std::string& argument,
                                   const std::string& features) {
  log_->Add({"showModalDialog", {{"url", url}, {"argument", argument}, {"features", features}}});
  return true;
}

bool PageDocument::SetDefaultStatus(const std::string& text) {
  log_->Add({"put_defaultStatus", {{"text", text}}});
  return true;
}

std::string HostOfUrl(const std::string& url) {
  size_t scheme = url.find("://");
  if (scheme == std::string::npos) return std::string();
  size_t start = scheme + 3;
  size_t end = url.find_first_of("/?#", start);
  std::string authority =
      url.substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (size_t at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
  if (size_t colon = authority.find(':'); colon != std::string::npos) authority.erase(colon);
  return authority;
}

}  // namespace qv
