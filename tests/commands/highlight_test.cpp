#include "command_test_host.h"
#include "commands/highlight.h"

namespace qv::testing {
namespace {

const char kToolbar[] = R"(TBW_Toolbar {
  COMBO { name = "a" type = "edit" }
  COMBO { name = "b" maxhistlines = "5" }
  BUTTON { name = "other" command = "find" }
  BUTTON { name = "hl" command = "Highlight" }
  COMMANDS {
    GOTOURL { name = "find" url = "http://s/?q=%a" }
    SERVICECOMMAND { name = "Highlight" type = "Highlight" caption = "#FF0" }
  }
})";

constexpr int kHighlightButton = 1024 + 3;
const char kMark[] = "<SPAN id=\"TBW\" style=\"color:#000000;background-color:#FF0;\">";

class HighlightTest : public CommandTest {
 protected:
  void Click() {
    commands::ExecuteCommand(bar, bar.Model()->FindCommand("Highlight"),
                             bar.control.IsButtonChecked(kHighlightButton));
  }
  TestToolbar bar{kToolbar};
};

TEST_F(HighlightTest, MarksEveryWholeWordOfEveryFieldIgnoringCase) {
  bar.page->SetBodyHtml("<p>Cat sat. The cat, the CAT! concatenate dog</p> <b>dog</b>");
  bar.Type("a", "cat");
  bar.Type("b", "  \"dog  ");
  Click();
  EXPECT_EQ(bar.page->CountSpans("TBW"), 5);
  EXPECT_EQ(bar.page->BodyText(), "Cat sat. The cat, the CAT! concatenate dog dog");
  EXPECT_NE(bar.page->BodyHtml().find(std::string(kMark) + "Cat</SPAN> sat."), std::string::npos)
      << bar.page->BodyHtml();
  EXPECT_NE(bar.page->BodyHtml().find("concatenate"), std::string::npos);
  EXPECT_TRUE(bar.control.IsButtonChecked(kHighlightButton));
  EXPECT_EQ(bar.page->focusCount, 1);
}

TEST_F(HighlightTest, SecondRunReplacesMarksAndPressedButtonRemovesThem) {
  const std::string page = "<p>one <i>two</i> one</p>";
  bar.page->SetBodyHtml(page);
  bar.Type("a", "one two");
  commands::RunHighlight(bar, "#FF0");
  const std::string once = bar.page->BodyHtml();
  commands::RunHighlight(bar, "#FF0");
  EXPECT_EQ(bar.page->BodyHtml(), once);
  EXPECT_EQ(bar.page->CountSpans("TBW"), 3);
  Click();  // shown pressed: the click resets
  EXPECT_EQ(bar.page->CountSpans("TBW"), 0);
  EXPECT_EQ(bar.page->BodyText(), "one two one");
  EXPECT_FALSE(bar.control.IsButtonChecked(kHighlightButton));
}

TEST_F(HighlightTest, RemovalTakesPageSpansAdjacentAndNestedMarks) {
  bar.page->SetBodyHtml(
      "<span id='TBW'>a</span><span id='TBW'>b</span><div id='TBW'>keep</div>"
      "<span id='tbw'>case</span><span id='TBW'>x<span id='TBW'>y</span></span>");
  EXPECT_EQ(commands::RemoveHighlights(*bar.page, "TBW"), 5);
  EXPECT_EQ(bar.page->BodyHtml(), "ab<DIV id=\"TBW\">keep</DIV><SPAN id=\"tbw\">case</SPAN>xy");
}

TEST_F(HighlightTest, FramesAreMarkedAndCleanedRecursively) {
  auto frame = std::make_shared<MemoryDocument>();
  frame->SetBodyHtml("word <span id='TBW'>old</span>");
  auto inner = std::make_shared<MemoryDocument>();
  inner->SetBodyHtml("a word b");
  frame->AddFrame(inner);
  bar.page->SetFrameset();  // no text range of its own, frames still visited
  bar.page->AddFrame(frame);
  bar.Type("a", "word");
  Click();
  EXPECT_EQ(frame->CountSpans("TBW"), 1);
  EXPECT_EQ(frame->BodyText(), "word old");
  EXPECT_EQ(inner->CountSpans("TBW"), 1);
  Click();
  EXPECT_EQ(frame->CountSpans("TBW") + inner->CountSpans("TBW"), 0);
}

TEST_F(HighlightTest, UnformattableTextAndPagesWithoutBodyAreLeftAlone) {
  bar.page->SetBodyHtml("<textarea>word</textarea> word");
  EXPECT_EQ(commands::HighlightWord(*bar.page, "word", 2, "s", "TBW"), 1);
  bar.page->SetFormattingEnabled(false);
  EXPECT_EQ(commands::HighlightWord(*bar.page, "word", 2, "s", "X"), 0);
  auto frame = std::make_shared<MemoryDocument>();
  frame->SetBodyHtml("word");
  bar.page->RemoveBody();
  bar.page->AddFrame(frame);
  EXPECT_EQ(commands::HighlightWord(*bar.page, "word", 2, "s", "TBW"), 0);
  EXPECT_EQ(commands::RemoveHighlights(*bar.page, "TBW"), 0);
}

TEST_F(HighlightTest, ButtonIsEnabledOnlyWhileFieldsHoldWords) {
  commands::UpdateHighlightButton(bar);
  ButtonInfo info;
  info.mask = kTbifState;
  auto enabled = [&] {
    bar.control.GetButtonInfo(kHighlightButton, &info);
    return (info.state & kTbstateEnabled) != 0;
  };
  EXPECT_FALSE(enabled());
  bar.Type("b", "   ");
  commands::OnEditUpdate(bar, bar.Field("b"), false);
  EXPECT_FALSE(enabled());
  bar.Type("a", "x");
  bar.control.CheckButton(kHighlightButton, true);
  commands::OnEditUpdate(bar, bar.Field("a"), false);
  EXPECT_TRUE(enabled());
  EXPECT_FALSE(bar.control.IsButtonChecked(kHighlightButton));
}

}  // namespace
}  // namespace qv::testing
