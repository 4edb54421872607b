#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "formats/reg_text.h"

namespace qv {
namespace {

std::vector<uint8_t> B(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

// Differences between two keys, by path, for readable failures.
void Compare(const RegTreeKey& a, const RegTreeKey& b, const std::string& path,
             std::vector<std::string>* diffs) {
  if (a.name != b.name) diffs->push_back(path + ": name " + a.name + " vs " + b.name);
  if (a.values.size() != b.values.size()) diffs->push_back(path + ": value count");
  for (size_t i = 0; i < std::min(a.values.size(), b.values.size()); ++i) {
    const RegValueEntry& x = a.values[i];
    const RegValueEntry& y = b.values[i];
    if (x.name != y.name || x.type != y.type || x.data != y.data)
      diffs->push_back(path + ": value " + std::to_string(i) + " \"" + x.name + "\"");
  }
  if (a.subkeys.size() != b.subkeys.size()) diffs->push_back(path + ": subkey count");
  auto ia = a.subkeys.begin();
  auto ib = b.subkeys.begin();
  for (; ia != a.subkeys.end() && ib != b.subkeys.end(); ++ia, ++ib)
    Compare(*ia->second, *ib->second, path + "\\" + ia->second->name, diffs);
}

std::vector<std::string> Differences(const RegTree& a, const RegTree& b) {
  std::vector<std::string> diffs;
  for (size_t i = 0; i < RegTree::kRoots.size(); ++i)
    Compare(a.root(i), b.root(i), RegTree::kRoots[i].name, &diffs);
  return diffs;
}

RegTree Parse(const std::string& text, std::vector<RegTextIssue>* issues = nullptr) {
  RegTree tree;
  ParseRegText(text, tree, issues);
  return tree;
}

RegTreeKey& Key(RegTree& tree, RegHandle root, std::initializer_list<const char*> path) {
  RegTreeKey* key = tree.FindRoot(root);
  for (const char* n : path) key = &key->AddSubkey(n);
  return *key;
}

// Every kind of value and name the store must keep, including those that a
// quoted line cannot hold.
RegTree EveryKindOfValue() {
  RegTree tree;
  RegTreeKey& k = Key(tree, kHkeyCurrentUser, {"SOFTWARE", "Ostrivel", "quorvane"});
  std::vector<uint8_t> all(300);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
  k.SetValue("text", kRegSz, B(std::string("plain text \xC3\xBC\x80\xFF") + '\0'));
  k.SetValue("quote\"back\\slash", kRegSz, B(std::string("C:\\dir\\\"x\"\\") + '\0'));
  k.SetValue("", kRegSz, B(std::string("default") + '\0'));
  k.SetValue("empty text", kRegSz, B(std::string(1, '\0')));
  k.SetValue("no zero", kRegSz, B("abc"));
  k.SetValue("no data", kRegSz, {});
  k.SetValue("embedded zero", kRegSz, B(std::string("a\0b\0", 4)));
  k.SetValue("line breaks", kRegSz, B(std::string("one\r\ntwo\nthree\0", 15)));
  k.SetValue("tab\tand;semicolon", kRegSz, B(std::string("x\ty;z") + '\0'));
  k.SetValue("expand", kRegExpandSz, B(std::string("%PATH%\\x\0", 9)));
  k.SetValue("multi", kRegMultiSz, B(std::string("a\0bc\0\0", 6)));
  k.SetValue("multi high bytes", kRegMultiSz, B(std::string("\xE9\0\0", 3)));
  k.SetValue("binary", kRegBinary, all);
  k.SetValue("empty binary", kRegBinary, {});
  k.SetValue("dword", kRegDword, {0x2a, 0, 0, 0});
  k.SetValue("dword max", kRegDword, {0xff, 0xff, 0xff, 0xff});
  k.SetValue("short dword", kRegDword, {1, 2, 3});
  k.SetValue("qword", kRegQword, {1, 2, 3, 4, 5, 6, 7, 8});
  k.SetValue("none", kRegNone, {9, 8});
  k.SetValue("odd type", 0x12345678u, {1});
  k.SetValue("two\nlines\rname", kRegSz, B(std::string("v") + '\0'));
  k.SetValue("@", kRegSz, B(std::string("at") + '\0'));
  k.SetValue("=]\"[", kRegDword, {1, 0, 0, 0});
  Key(tree, kHkeyCurrentUser, {"SOFTWARE", "Ostrivel", "quorvane", "Empty Key"});
  Key(tree, kHkeyCurrentUser, {"SOFTWARE", "Ostrivel", "quorvane", "odd]name [x]"})
      .SetValue("v", kRegSz, B(std::string("w") + '\0'));
  tree.FindRoot(kHkeyCurrentUser)->SetValue("root value", kRegDword, {1, 0, 0, 0});
  Key(tree, kHkeyLocalMachine, {"SOFTWARE", "Classes"});
  Key(tree, kHkeyClassesRoot, {"CLSID", "{00000000-0000-0000-0000-000000000001}"})
      .SetValue("", kRegSz, B(std::string("class") + '\0'));
  return tree;
}

TEST(RegText, EveryValueSurvivesTheRoundTrip) {
  RegTree original = EveryKindOfValue();
  std::string text = FormatRegText(original);
  std::vector<RegTextIssue> issues;
  RegTree read = Parse(text, &issues);
  EXPECT_TRUE(issues.empty()) << issues.front().line << ": " << issues.front().reason;
  std::vector<std::string> diffs = Differences(original, read);
  EXPECT_TRUE(diffs.empty()) << diffs.front() << "\n" << text;
  EXPECT_EQ(text, FormatRegText(read));
}

TEST(RegText, KeyNamesThatALineCannotHoldSurviveTheRoundTrip) {
  // History keys are named after items, whose names may hold anything.
  RegTree original;
  const char* const hostile[] = {"Historytwo\nlines", "a\r", "\r\n", "\n",   "]",
                                 "[x]\n[y]",          "-z",  "\\",   "0a\\", "\\\\0a"};
  for (const char* name : hostile)
    Key(original, kHkeyCurrentUser, {"SOFTWARE", "Ostrivel", "quorvane", name})
        .SetValue(std::string("v\n") + name, kRegDword, {1, 0, 0, 0});
  Key(original, kHkeyCurrentUser, {"a\n", "\n", "b"});
  std::string text = FormatRegText(original);
  std::vector<RegTextIssue> issues;
  RegTree read = Parse(text, &issues);
  EXPECT_TRUE(issues.empty()) << issues.front().line << ": " << issues.front().reason;
  std::vector<std::string> diffs = Differences(original, read);
  EXPECT_TRUE(diffs.empty()) << diffs.front() << "\n" << text;
  EXPECT_EQ(text, FormatRegText(read));
  EXPECT_NE(std::string::npos,
            text.find("\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Ostrivel\\quorvane\\Historytwo"
                      "\\\\0alines]\r\n"))
      << text;
  EXPECT_NE(std::string::npos, text.find("\r\n[HKEY_CURRENT_USER\\a\\\\0a\\\\\\0a\\b]\r\n"))
      << text;

  // Ordinary names are written as they always were, and a doubled
  // backslash that introduces no byte still separates names.
  EXPECT_NE(std::string::npos,
            FormatRegText(EveryKindOfValue())
                .find("\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Ostrivel\\quorvane\\odd]name [x]]\r\n"));
  RegTree old = Parse("REGEDIT4\r\n[HKEY_CURRENT_USER\\a\\\\b\\\\1]\r\n\"v\"=\"w\"\r\n");
  EXPECT_EQ(nullptr, old.root(1).FindSubkey("a\\b"));
  ASSERT_NE(nullptr, old.root(1).FindSubkey("a"));
  ASSERT_NE(nullptr, old.root(1).FindSubkey("a")->FindSubkey("b"));
  EXPECT_NE(nullptr, old.root(1).FindSubkey("a")->FindSubkey("b")->FindSubkey("1"));
}

TEST(RegText, WritesTheExportFormat) {
  std::string text = FormatRegText(EveryKindOfValue());
  EXPECT_EQ(0u,
            text.find("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\CLSID]"));
  for (const char* line : {
           "\r\n[HKEY_CURRENT_USER]\r\n\"root value\"=dword:00000001\r\n",
           "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Ostrivel\\quorvane]\r\n\"text\"=\"plain text",
           "\r\n\"quote\\\"back\\\\slash\"=\"C:\\\\dir\\\\\\\"x\\\"\\\\\"\r\n",
           "\r\n@=\"default\"\r\n",
           "\r\n\"empty text\"=\"\"\r\n",
           "\r\n\"no zero\"=hex(1):61,00,62,00,63,00\r\n",
           "\r\n\"no data\"=hex(1):\r\n",
           "\r\n\"expand\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,5c,00,78,00,00,00\r\n",
           "\r\n\"multi\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\r\n",
           "\r\n\"empty binary\"=hex:\r\n",
           "\r\n\"dword\"=dword:0000002a\r\n",
           "\r\n\"dword max\"=dword:ffffffff\r\n",
           "\r\n\"short dword\"=hex(4):01,02,03\r\n",
           "\r\n\"qword\"=hex(b):01,02,03,04,05,06,07,08\r\n",
           "\r\n\"none\"=hex(0):09,08\r\n",
           "\r\n\"odd type\"=hex(12345678):01\r\n",
           "\r\n\"two\\nlines\\rname\"=\"v\"\r\n",
           "\r\n\"@\"=\"at\"\r\n",
           "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Ostrivel\\quorvane\\Empty Key]\r\n\r\n",
           "\r\n\"binary\"=hex:00,01,02,",
       })
    EXPECT_NE(std::string::npos, text.find(line)) << line;
  // Long hex data goes on over lines of at most 80 characters.
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 81u) << line;
  EXPECT_NE(std::string::npos, text.find(",\\\r\n  "));
}

TEST(RegText, ReadsWhatAPersonOrTheRegistryEditorWrites) {
  const std::string text =
      "REGEDIT4\n"
      "; a comment\n"
      "\n"
      "[HKCU\\Software\\Test]   \n"
      "  \"spaced\" = \"value\"  \n"
      "\"upper\"=DWORD:2A\n"
      "\"short\"=dword:7\n"
      "\"path\"=\"C:\\Program Files\\x\"\n"
      "\"wrapped\"=hex:01, 02,\\\n"
      "    03,\\\n"
      "  04\n"
      "\"wide\"=hex(2):41,00,e9,00,00,00\n"
      "\"really wide\"=hex(1):41,00,42,20,00,00\n"
      "\"gone\"=\"x\"\n"
      "\"gone\"=-\n"
      "\"Again\"=\"first\"\n"
      "\"again\"=\"second\"\n"
      "[HKEY_CURRENT_USER\\Software\\Test\\Sub]\n"
      "@=\"d\"\n"
      "[-HKEY_CURRENT_USER\\Software\\Test\\Sub]\n"
      "\"ignored\"=\"because the key is deleted\"\n"
      "[hkey_current_user\\software\\test\\\\Other\\]\n"
      "\"last\"=\"no newline at the end\"";
  std::vector<RegTextIssue> issues;
  RegTree tree = Parse(text, &issues);
  EXPECT_TRUE(issues.empty()) << issues.front().line << ": " << issues.front().reason;
  RegTreeKey& k = Key(tree, kHkeyCurrentUser, {"Software", "Test"});
  auto value = [&](const char* name) {
    const RegValueEntry* v = k.FindValue(name);
    return v ? v->data : B("<missing>");
  };
  EXPECT_EQ(B(std::string("value") + '\0'), value("spaced"));
  EXPECT_EQ((std::vector<uint8_t>{0x2a, 0, 0, 0}), value("upper"));
  EXPECT_EQ((std::vector<uint8_t>{7, 0, 0, 0}), value("short"));
  EXPECT_EQ(B(std::string("C:\\Program Files\\x") + '\0'), value("path"));
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4}), value("wrapped"));
  EXPECT_EQ((std::vector<uint8_t>{'A', 0xE9, 0}), value("wide"));
  // Characters beyond one byte stay as they were written.
  EXPECT_EQ((std::vector<uint8_t>{0x41, 0, 0x42, 0x20, 0, 0}), value("really wide"));
  EXPECT_EQ(nullptr, k.FindValue("gone"));
  ASSERT_NE(nullptr, k.FindValue("again"));
  EXPECT_EQ("Again", k.FindValue("again")->name);
  EXPECT_EQ(B(std::string("second") + '\0'), value("again"));
  EXPECT_EQ(nullptr, k.FindSubkey("Sub"));
  ASSERT_NE(nullptr, k.FindSubkey("Other"));
  EXPECT_NE(nullptr, k.FindSubkey("Other")->FindValue("last"));
  EXPECT_EQ(1u, k.subkeys.size());
}

TEST(RegText, ReadsUtf16FilesSavedOnWindows) {
  std::string utf8 =
      "Windows Registry Editor Version "
      "5.00\r\n\r\n[HKEY_CURRENT_USER\\T]\r\n\"n\"=\"\xC3\xA9\"\r\n";
  std::string utf16 = "\xFF\xFE";
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\xC3') {  // é is one code unit
      utf16 += "\xE9";
      utf16 += '\0';
      ++i;
      continue;
    }
    utf16 += utf8[i];
    utf16 += '\0';
  }
  std::vector<RegTextIssue> issues;
  RegTree tree = Parse(utf16, &issues);
  EXPECT_TRUE(issues.empty());
  const RegValueEntry* v = Key(tree, kHkeyCurrentUser, {"T"}).FindValue("n");
  ASSERT_NE(nullptr, v);
  EXPECT_EQ(B("\xC3\xA9" + std::string(1, '\0')), v->data);
}

TEST(RegText, DamagedLinesAreReportedAndEverythingElseKept) {
  const std::string text =
      "[HKEY_CURRENT_USER\\Good]\n"           // 1: no header
      "\"a\"=\"1\"\n"                         // 2
      "\"b\"=dword:123456789\n"               // 3: nine digits
      "\"c\"=hex:01,zz,03\n"                  // 4
      "\"d\"=\"unterminated\n"                // 5
      "\"e\"=\"x\" trailing\n"                // 6
      "\"f\"\n"                               // 7: no '='
      "\"g\"=text\n"                          // 8
      "\"h\"=hex(\n"                          // 9
      "garbage line\n"                        // 10
      "\"unterminated name=\"x\"\n"           // 11
      "[HKEY_NOWHERE\\X]\n"                   // 12
      "\"lost\"=\"under an unknown root\"\n"  // 13: silently with its key
      "[HKEY_CURRENT_USER\\Good\n"            // 14: no ']'
      "[HKEY_CURRENT_USER\\Good\\Sub]\n"      // 15
      "\"i\"=hex:0102\n"                      // 16: bytes need commas
      "\"j\"=\"2\"\n"                         // 17
      "[HKEY_CURRENT_USER\\Good\\Cut]\n"      // 18
      "\"k\"=hex:01,\\\n"                     // 19: the continuation is missing
      "[HKEY_CURRENT_USER\\Good\\After]\n"    // 20
      "\"l\"=\"3\"\n"                         // 21
      "[-HKEY_CURRENT_USER]\n";               // 22
  std::vector<RegTextIssue> issues;
  RegTree tree = Parse(text, &issues);
  std::vector<int> lines;
  for (const RegTextIssue& i : issues) lines.push_back(i.line);
  EXPECT_EQ((std::vector<int>{1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 19, 22}), lines);
  for (const RegTextIssue& i : issues) EXPECT_FALSE(i.reason.empty());
  RegTreeKey& good = Key(tree, kHkeyCurrentUser, {"Good"});
  EXPECT_NE(nullptr, good.FindValue("a"));
  EXPECT_EQ(1u, good.values.size());
  EXPECT_NE(nullptr, good.FindSubkey("Sub")->FindValue("j"));
  // A value cut off before its continuation keeps what it has, and the key
  // line after it is a key line.
  EXPECT_EQ(std::vector<uint8_t>{1}, good.FindSubkey("Cut")->FindValue("k")->data);
  EXPECT_NE(nullptr, good.FindSubkey("After")->FindValue("l"));
}

// Whatever is kept of damaged text is written out and read back unchanged:
// the next change rewrites the file from what was kept, and must lose
// nothing more.
void ExpectStableRewrite(const std::string& damaged) {
  RegTree kept = Parse(damaged);
  std::string written = FormatRegText(kept);
  std::vector<RegTextIssue> issues;
  RegTree again = Parse(written, &issues);
  EXPECT_TRUE(issues.empty()) << issues.front().line << ": " << issues.front().reason << "\n"
                              << written;
  std::vector<std::string> diffs = Differences(kept, again);
  EXPECT_TRUE(diffs.empty()) << diffs.front() << "\n" << written;
}

TEST(RegText, MangledTextKeepsWhatItCanAndRewritesItUnchanged) {
  std::string text = FormatRegText(EveryKindOfValue());
  // Every truncation, as a crash in the middle of a write by another program
  // would leave it.
  for (size_t n = 0; n <= text.size(); n += 7) {
    SCOPED_TRACE("cut at " + std::to_string(n));
    ExpectStableRewrite(text.substr(0, n));
    if (HasFailure()) return;
  }
  std::mt19937 random(12345);
  for (int round = 0; round < 300; ++round) {
    std::string mangled = text;
    for (int k = 0; k < 20; ++k) {
      size_t at = random() % mangled.size();
      const char pick[] = "\\\"[]=,:-@\r\n\0\xFF(";
      mangled[at] = pick[random() % (sizeof pick - 1)];
    }
    SCOPED_TRACE("round " + std::to_string(round));
    ExpectStableRewrite(mangled);
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace qv
