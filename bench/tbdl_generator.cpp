#include "tbdl_generator.h"

#include <initializer_list>
#include <string_view>
#include <utility>

namespace qv::tbdl::bench {

namespace {

class Writer {
 public:
  Writer(std::string* out, uint32_t seed, GeneratedCounts* counts)
      : out_(*out), state_(seed ? seed : 1), counts_(*counts) {}

  uint32_t Random(uint32_t bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) % bound;
  }
  template <typename T, size_t N>
  const T& Pick(const T (&choices)[N]) {
    return choices[Random(N)];
  }

  void Open(std::string_view part) {
    Indent();
    out_ += part;
    out_ += " {\n";
    ++depth_;
    ++counts_.parts;
  }
  void Close() {
    --depth_;
    Indent();
    out_ += "}\n";
  }
  void Bare(std::string_view part) {
    Indent();
    out_ += part;
    out_ += '\n';
    ++counts_.parts;
  }
  void Prop(std::string_view name, std::string_view value) {
    Indent();
    out_ += name;
    out_ += " = \"";
    out_ += value;
    out_ += "\"\n";
    ++counts_.properties;
  }
  void Prop(std::string_view name, std::string_view prefix, uint32_t n) {
    Prop(name, std::string(prefix) + std::to_string(n));
  }
  // A one-line part with a few properties, the way menus are usually written.
  void Line(std::string_view part,
            std::initializer_list<std::pair<std::string_view, std::string>> props) {
    Indent();
    out_ += part;
    out_ += " {";
    for (const auto& [name, value] : props) {
      out_ += ' ';
      out_ += name;
      out_ += " = \"";
      out_ += value;
      out_ += '"';
      ++counts_.properties;
    }
    out_ += " }\n";
    ++counts_.parts;
  }
  void Enter() { ++depth_; }

 private:
  void Indent() { out_.append(2 * depth_, ' '); }

  std::string& out_;
  uint32_t state_;
  GeneratedCounts& counts_;
  int depth_ = 0;
};

constexpr const char* kWords[] = {"News",    "Weather", "Mail",   "Search", "Maps",
                                  "Finance", "Sports",  "Travel", "Music",  "Video"};
constexpr const char* kServices[] = {"CheckMail", "Options", "Highlight", "ClearHistory",
                                     "Update",    "Popup",   "Uninstall", "Proxy"};

void Menu(Writer& w, uint32_t group, int depth);

void MenuEntries(Writer& w, uint32_t group, int depth) {
  uint32_t entries = 3 + w.Random(6);
  for (uint32_t e = 0; e < entries; ++e) {
    uint32_t r = w.Random(10);
    if (r == 0) {
      w.Bare("MENUSEPARATOR");
    } else if (r == 1 && depth < 3) {
      w.Open("SUBMENU");
      w.Prop("caption", std::string(w.Pick(kWords)) + " more");
      w.Prop("image", "", w.Random(12));
      MenuEntries(w, group, depth + 1);
      w.Close();
    } else {
      std::string cmd = "cmd_" + std::to_string(group) + "_" + std::to_string(w.Random(8));
      if (r < 6) {
        w.Line("MENUITEM", {{"caption", std::string(w.Pick(kWords)) + " item " + std::to_string(e)},
                            {"command", cmd}});
      } else {
        w.Line("MENUITEM", {{"caption", std::string(w.Pick(kWords)) + "\\tpage"},
                            {"command", cmd},
                            {"image", std::to_string(w.Random(12))},
                            {"hint", "Opens \\\"" + std::string(w.Pick(kWords)) + "\\\" now"}});
      }
    }
  }
}

void Menu(Writer& w, uint32_t group, int depth) {
  w.Open("MENU");
  if (w.Random(2)) w.Prop("type", "Split");
  MenuEntries(w, group, depth);
  w.Close();
}

void Group(Writer& w, uint32_t g) {
  const std::string n = std::to_string(g);
  w.Open("BUTTON");
  w.Prop("name", "btn" + n);
  w.Prop("caption", w.Pick(kWords));
  w.Prop("image", "", w.Random(12));
  w.Prop("hint", "Go to " + std::string(w.Pick(kWords)) + " (group " + n + ")");
  w.Prop("command", "cmd_" + n + "_0");
  Menu(w, g, 0);
  w.Close();

  w.Open("COMBO");
  w.Prop("name", "q" + n);
  w.Prop("type", "edit");
  w.Prop("width", "", 10 + w.Random(30));
  w.Prop("maxchars", "256");
  w.Prop("maxhistlines", "", w.Random(20));
  w.Prop("hint", "Type your search words and press Enter");
  w.Prop("command", "search_" + n);
  for (uint32_t v = 0, values = w.Random(4); v < values; ++v) {
    w.Line("COMBOVALUE", {{"caption", w.Pick(kWords)}, {"value", std::to_string(v)}});
  }
  w.Close();

  w.Bare("SEPARATOR");
  w.Line("TEXT", {{"caption", std::string(w.Pick(kWords)) + ":"}, {"name", "t" + n}});
  w.Open("WEBPAGE");
  w.Prop("name", "web" + n);
  w.Prop("url", "http://www.example.com/box.html?id=%url&n=" + n);
  w.Prop("width", "", 80 + w.Random(100));
  w.Prop("border", "0");
  w.Prop("autosize", "1");
  w.Prop("relay_navigation", "1");
  w.Close();

  w.Open("INDICATOR");
  w.Prop("type", g % 2 ? "MAIL" : "POPUP");
  w.Prop("name", "ind" + n);
  w.Prop("image", "4");
  w.Prop("addimg1", "5");
  w.Prop("addimg2", "6");
  w.Prop("param1", "", w.Random(5));
  w.Prop("command", "check_" + n);
  if (g % 3 == 0) Menu(w, g, 2);
  w.Close();
  w.Line("NAMEDSEPARATOR", {{"name", "sep" + n}});

  w.Open("COMMANDS");
  for (uint32_t c = 0; c < 8; ++c) {
    const std::string name = "cmd_" + n + "_" + std::to_string(c);
    w.Line("GOTOURL", {{"name", name},
                       {"url", "http://search.example.com/q?p=%q" + n + "&c=" + std::to_string(c)},
                       {"target", "_self"}});
  }
  w.Line("GOTOURL", {{"name", "search_" + n},
                     {"url", "http://search.example.com/find"},
                     {"post", "q=%q" + n + "&src=tb"},
                     {"newwindow", "0"},
                     {"options", "highlight"}});
  w.Line("SERVICECOMMAND", {{"name", "check_" + n}, {"type", w.Pick(kServices)}});
  w.Line("SHELLEXECUTE", {{"name", "run_" + n},
                          {"shellcmd", "C:\\\\Windows\\\\notepad.exe"},
                          {"failmsg", "Cannot start the editor"}});
  w.Line("CUSTOMCOMMAND", {{"name", "custom_" + n},
                           {"progid", "Vendor.Command." + n},
                           {"parameters", "a=1;b=2"},
                           {"failmsg", "Not installed"}});
  w.Close();

  w.Open("SETTINGS");
  w.Line("ITEMOPTIONS", {{"id", "btn" + n},
                         {"toggle_visibility", "1"},
                         {"change_width", "1"},
                         {"width_from", "10"},
                         {"width_to", "200"},
                         {"description", "Button " + n}});
  w.Open("CSPSETTING");
  w.Prop("id", "csp" + n);
  w.Prop("description", "Preferred " + std::string(w.Pick(kWords)));
  w.Line("COMBOVALUE", {{"caption", "On"}, {"value", "1"}});
  w.Line("COMBOVALUE", {{"caption", "Off"}, {"value", "0"}});
  w.Close();
  w.Line("PROPERTY", {{"id", "Prop" + n}, {"value", "value " + n}});
  w.Close();
}

}  // namespace

std::string GenerateDefinition(size_t target_bytes, uint32_t seed, GeneratedCounts* counts) {
  GeneratedCounts ignored;
  std::string out;
  out.reserve(target_bytes + 8192);
  Writer w(&out, seed, counts ? counts : &ignored);
  if (counts) *counts = {};
  // The header opens no node of its own: its properties go to the root.
  out += "TBW_Toolbar {\n";
  w.Enter();
  w.Prop("image", "tbil.bmp");
  w.Prop("hotimage", "tbhotil.bmp");
  for (uint32_t g = 0; out.size() + 2 < target_bytes; ++g) Group(w, g);
  out += "}\n";
  return out;
}

}  // namespace qv::tbdl::bench
