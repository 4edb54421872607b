#include "toolbar_fixture.h"

#include <fstream>

#include "host/standard_features.h"
#include "host/toolbar_command_host.h"
#include "settings/settings.h"

namespace qv::test {
namespace {

void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

}  // namespace

std::string BitmapBytes(int width, int height) {
  const uint32_t row = ((static_cast<uint32_t>(width) * 24 + 31) / 32) * 4;
  const uint32_t data = row * static_cast<uint32_t>(height);
  std::string s = "BM";
  Put32(s, 54 + data);
  Put32(s, 0);
  Put32(s, 54);
  Put32(s, 40);
  Put32(s, static_cast<uint32_t>(width));
  Put32(s, static_cast<uint32_t>(height));
  Put16(s, 1);
  Put16(s, 24);
  Put32(s, 0);
  Put32(s, data);
  Put32(s, 2835);
  Put32(s, 2835);
  Put32(s, 0);
  Put32(s, 0);
  s.append(data, '\0');
  return s;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

ToolbarTest::ToolbarTest() : lookup(dir.path()) {}

bool ToolbarTest::Build(const std::string& body) {
  MakeToolbar();
  return Rebuild(body);
}

void ToolbarTest::MakeToolbar() {
  WriteFile(dir.File("tbil.bmp"), BitmapBytes(16 * 12, 16));
  WriteFile(dir.File("tbhotil.bmp"), BitmapBytes(16 * 12, 16));
  toolbar = std::make_unique<TBWToolBarCtrl>(control, lookup, hooks.Hooks());
  AttachStandardFeatures(*toolbar);
  toolbar->CommandHost().SetBrowser(&browser);
}

std::vector<std::string> ToolbarTest::Navigations() {
  std::vector<std::string> urls;
  for (const RecordedCall& call : browser.Log().Named("Navigate2"))
    urls.push_back(call.Arg("url").value_or(""));
  return urls;
}

bool ToolbarTest::Rebuild(const std::string& body) {
  WriteFile(dir.File("quorvane.tbd"), "TBW_Toolbar {\n" + body + "\n}\n");
  return toolbar->BuildToolbar(true);
}

void ToolbarTest::SetDword(const std::string& name, uint32_t value) {
  SetSettingDword(name, value);
}

void ToolbarTest::SetString(const std::string& name, const std::string& value) {
  SetSettingString(name, value);
}

void ToolbarTest::SetAccountCount(uint32_t count) {
  RegKey key = OpenProductSubkey("POP3 Accounts", true);
  WriteKeyDword(key, "NumberOfConfiguredAccounts", count);
}

void ToolbarTest::SetAccount(unsigned n, const std::string& server, const std::string& user,
                             uint32_t stats, const std::string& error) {
  RegKey key = OpenProductSubkey("POP3 Accounts", true);
  const std::string number = std::to_string(n);
  WriteKeyString(key, "POP3Server" + number, server);
  WriteKeyString(key, "POP3Account" + number, user);
  WriteKeyDword(key, "AccountStats" + number, stats);
  if (!error.empty()) WriteKeyString(key, "AccountError" + number, error);
}

uint32_t ToolbarTest::AccountStats(unsigned n) {
  RegKey key = OpenProductSubkey("POP3 Accounts", false);
  return ReadKeyDword(key, "AccountStats" + std::to_string(n), 12345);
}

int ToolbarTest::WidthOf(int index) {
  Rect r;
  EXPECT_TRUE(control.GetItemRect(index, &r));
  return r.Width();
}

const HeadlessToolbar::Child& ToolbarTest::ChildOf(int index) {
  const HeadlessToolbar::Child* child = control.FindChild(toolbar->ItemWindow(index));
  EXPECT_NE(child, nullptr) << "item " << index << " has no control";
  static const HeadlessToolbar::Child none;
  return child ? *child : none;
}

}  // namespace qv::test
