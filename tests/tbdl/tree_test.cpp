#include <string>

#include <functional>

#include "tbdl_generator.h"
#include "tbdl_test_util.h"

namespace qv::tbdl {
namespace {

using testing::ParseText;
using testing::Repeat;

class Tree : public ::testing::Test {
 protected:
  void TearDown() override { EndTree(); }
  const TBDLNode& Root() { return *TreeState().root; }
};

// The node's shape in one line: NAME(prop=value,...)[children].
std::string Shape(const TBDLNode& n) {
  std::string s(n.Name());
  if (!n.names.empty() || !n.values.empty()) {
    s += "(";
    for (size_t i = 0; i < std::max(n.names.size(), n.values.size()); ++i) {
      if (i) s += ",";
      if (i < n.names.size()) s += n.PropertyName(i);
      s += "=";
      if (i < n.values.size()) s += n.values[i];
    }
    s += ")";
  }
  if (!n.children.empty()) {
    s += "[";
    for (size_t i = 0; i < n.children.size(); ++i) {
      if (i) s += " ";
      s += Shape(*n.children[i]);
    }
    s += "]";
  }
  return s;
}

TEST_F(Tree, BuiltFromTheTokensInFileOrder) {
  ASSERT_EQ(ParseText(R"(TBW_Toolbar { image = "a.bmp" hotimage = "b\\c"
    BUTTON { caption = "Mail" MENU { type = "Split" MENUITEM { caption = "Check" }
      MENUSEPARATOR SUBMENU { caption = "More" MENUITEM { command = "o" } } } }
    COMBO { name = "s" COMBOVALUE { value = "1" } }
    INDICATOR { addimg3 = "x" }
    COMMANDS { GOTOURL { name = "g" } } SETTINGS { PROPERTY { id = "p" } } })")
                .result,
            kParseOk);
  EXPECT_EQ(Shape(Root()),
            "TBWToolBar(image=a.bmp,hotimage=b\\\\c)["
            "BUTTON(caption=Mail)[MENU(type=Split)[MENUITEM(caption=Check) MENUSEPARATOR "
            "SUBMENU(caption=More)[MENUITEM(command=o)]]] "
            "COMBO(name=s)[COMBOVALUE(value=1)] INDICATOR(addimg3=x) "
            "COMMANDS[GOTOURL(name=g)] SETTINGS[PROPERTY(id=p)]]");
  EXPECT_EQ(TreeState().current, TreeState().root.get());
}

TEST_F(Tree, SeparatorBodyLandsInTheEnclosingNode) {
  ASSERT_EQ(ParseText(R"(TBW_Toolbar { TEXT { } SEPARATOR { name = "x" }
    NAMEDSEPARATOR { name = "y" } })")
                .result,
            kParseOk);
  EXPECT_EQ(Shape(Root()), "TBWToolBar(name=x)[TEXT SEPARATOR NAMEDSEPARATOR(name=y)]");
}

TEST_F(Tree, BodilessNamedSeparatorAdoptsPartsUpToTheFirstBody) {
  ASSERT_EQ(ParseText(R"(TBW_Toolbar { NAMEDSEPARATOR SEPARATOR
    TEXT { caption = "t" } BUTTON { } NAMEDSEPARATOR SEPARATOR })")
                .result,
            kParseOk);
  EXPECT_EQ(Shape(Root()),
            "TBWToolBar[NAMEDSEPARATOR[SEPARATOR TEXT(caption=t)] BUTTON "
            "NAMEDSEPARATOR[SEPARATOR]]");
  // The toolbar's brace popped the root's own entry.
  EXPECT_TRUE(TreeState().stack.empty());
  EXPECT_EQ(TreeState().current, TreeState().root.get());
}

TEST_F(Tree, ClosingBracesWithNothingToPopAreHarmless) {
  // Rejected input: the parser stops at the first token, the scanner goes on.
  BeginTree();
  std::ostringstream echo;
  TBDLScanner scanner("BUTTON } } MENU { } } } caption = \"c\"", &echo);
  while (scanner.Next() != kTokEnd) {
  }
  EXPECT_EQ(Shape(Root()), "TBWToolBar(caption=c)[BUTTON MENU]");
  EndTree();
  // Without a tree the scanner only scans.
  TBDLScanner after("BUTTON { name = \"x\" }", &echo);
  while (after.Next() != kTokEnd) {
  }
  EXPECT_EQ(TreeState().root, nullptr);
}

TEST_F(Tree, ManyPropertiesKeepTheirOrder) {
  ASSERT_EQ(ParseText(R"(TBW_Toolbar { COMBO { name = "1" width = "2" caption = "3"
    type = "4" password = "5" command = "6" hint = "7" maxchars = "8" maxhistlines = "9" } })")
                .result,
            kParseOk);
  EXPECT_EQ(Shape(Root()),
            "TBWToolBar[COMBO(name=1,width=2,caption=3,type=4,password=5,command=6,hint=7,"
            "maxchars=8,maxhistlines=9)]");
  TBDLNode& combo = *TreeState().root->children[0];
  combo.names = {Keyword::url};
  combo.values = {"u"};
  EXPECT_EQ(Shape(combo), "COMBO(url=u)");
}

TEST_F(Tree, ValuesViewTheInputAndNamesAreKeywords) {
  std::string text = "TBW_Toolbar { TEXT { caption = \"abc\" } }";
  ASSERT_EQ(ParseText(text).result, kParseOk);
  const TBDLNode& t = *Root().children[0];
  EXPECT_EQ(t.keyword, Keyword::TEXT);
  EXPECT_EQ(t.names[0], Keyword::caption);
  EXPECT_EQ(t.values[0].data(), text.data() + text.find("abc"));
}

TEST_F(Tree, DeepChainsTearDownWithoutRecursion) {
  std::string text = "TBW_Toolbar {" + Repeat(" NAMEDSEPARATOR", 100000) + " }";
  ASSERT_EQ(ParseText(text).result, kParseOk);
  size_t depth = 0;
  for (const TBDLNode* n = &Root(); !n->children.empty(); n = n->children[0].get()) ++depth;
  EXPECT_EQ(depth, 100000u);
  EndTree();
  // A new tree replaces a deep leftover one the same way.
  ASSERT_EQ(ParseText(text).result, kParseOk);
  BeginTree();
  EXPECT_TRUE(Root().children.empty());
}

size_t CountParts(const TBDLNode& root) {
  size_t parts = 0;
  std::function<void(const TBDLNode&)> walk = [&](const TBDLNode& n) {
    parts += n.children.size();
    for (const auto& c : n.children) walk(*c);
  };
  walk(root);
  return parts;
}

TEST_F(Tree, GeneratedDefinitionsParseIntoEveryPartTheyWrite) {
  for (size_t size : {size_t{2000}, size_t{300000}}) {
    bench::GeneratedCounts counts;
    std::string text = bench::GenerateDefinition(size, 7, &counts);
    ASSERT_GE(text.size(), size);
    auto p = ParseText(text);
    ASSERT_EQ(p.result, kParseOk) << p.errors;
    EXPECT_EQ(CountParts(Root()), counts.parts);
  }
}

}  // namespace
}  // namespace qv::tbdl
