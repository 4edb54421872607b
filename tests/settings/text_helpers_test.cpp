#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings.h"

namespace qv {
namespace {

TEST(ReplaceAll, ReplacesEveryOccurrenceAndSaysWhether) {
  std::string text = "%q and %q";
  EXPECT_TRUE(ReplaceAll(text, "%q", "word"));
  EXPECT_EQ("word and word", text);
  EXPECT_FALSE(ReplaceAll(text, "%q", "x"));
  EXPECT_EQ("word and word", text);
  EXPECT_FALSE(ReplaceAll(text, "", "x"));
  // Case matters.
  EXPECT_FALSE(ReplaceAll(text, "WORD", "x"));
}

TEST(ReplaceAll, ReplacesOccurrencesThatAReplacementForms) {
  // Removing "b" joins "a" and "c" into a new "ac" before the replaced spot.
  std::string text = "aabcc";
  EXPECT_TRUE(ReplaceAll(text, "abc", "b"));
  EXPECT_EQ("b", text);
  text = "%%urlurl";
  EXPECT_TRUE(ReplaceAll(text, "%url", ""));
  EXPECT_EQ("", text);
}

TEST(ReplaceAll, EndsWhenTheReplacementContainsTheSearchedText) {
  // A page address that contains the macro name itself.
  std::string text = "go %url now %url";
  EXPECT_TRUE(ReplaceAll(text, "%url", "http://x/?q=%url"));
  EXPECT_EQ("go http://x/?q=%url now http://x/?q=%url", text);
  text = "aa";
  EXPECT_TRUE(ReplaceAll(text, "a", "aa"));
  EXPECT_EQ("aaaa", text);
}

TEST(ReplaceAll, EndsWhenReplacementsKeepFormingNewOccurrences) {
  // Each replacement ends in "%%", which with the "url" of the next forms the
  // macro again: the rescan would grow the text for ever. Every occurrence of
  // the text as given is then replaced once.
  std::string text = "%%url";
  EXPECT_TRUE(ReplaceAll(text, "%url", "urlurl%%"));
  EXPECT_EQ("%urlurl%%", text);
  text = "a %%q b %%q";
  EXPECT_TRUE(ReplaceAllIfNotEmpty(text, "%q", "qq%%"));
  EXPECT_EQ("a %qq%% b %qq%%", text);
}

TEST(ReplaceAll, LongRescansThatShrinkTheTextRunToTheirEnd) {
  // Every replacement forms the next occurrence, thousands of times over.
  std::string text = std::string(5000, 'a') + std::string(5000, 'b');
  EXPECT_TRUE(ReplaceAll(text, "ab", ""));
  EXPECT_EQ("", text);
  // Same length: the rescan moves every "b" in front of every "a".
  text = "aaaabbbb";
  EXPECT_TRUE(ReplaceAll(text, "ab", "ba"));
  EXPECT_EQ("bbbbaaaa", text);
}

TEST(ReplaceFirst, ReplacesOnlyTheFirst) {
  std::string text = "x-x-x";
  EXPECT_TRUE(ReplaceFirst(text, "x", "y"));
  EXPECT_EQ("y-x-x", text);
  EXPECT_FALSE(ReplaceFirst(text, "z", "y"));
  EXPECT_FALSE(ReplaceFirst(text, "", "y"));
}

TEST(ReplaceIfNotEmpty, AnEmptyReplacementLeavesTheText) {
  std::string text = "a %domain b %domain";
  EXPECT_FALSE(ReplaceAllIfNotEmpty(text, "%domain", ""));
  EXPECT_FALSE(ReplaceFirstIfNotEmpty(text, "%domain", ""));
  EXPECT_EQ("a %domain b %domain", text);
  EXPECT_TRUE(ReplaceFirstIfNotEmpty(text, "%domain", "d"));
  EXPECT_EQ("a d b %domain", text);
  EXPECT_TRUE(ReplaceAllIfNotEmpty(text, "%domain", "e"));
  EXPECT_EQ("a d b e", text);
}

TEST(SplitWordsJoinPlus, SplitsAtRunsOfSpaces) {
  std::vector<std::string> words;
  EXPECT_EQ("", SplitWordsJoinPlus("", words));
  EXPECT_TRUE(words.empty());
  EXPECT_EQ("one", SplitWordsJoinPlus("one", words));
  EXPECT_EQ(std::vector<std::string>{"one"}, words);

  words.clear();
  EXPECT_EQ("two+words", SplitWordsJoinPlus("  two   words ", words));
  EXPECT_EQ((std::vector<std::string>{"two", "words"}), words);

  // Words already in the list come first.
  EXPECT_EQ("two+words+more", SplitWordsJoinPlus("more", words));
  // Only spaces: no new words, the list as it is.
  EXPECT_EQ("two+words+more", SplitWordsJoinPlus("   ", words));
  // Tabs are not separators.
  words.clear();
  EXPECT_EQ("a\tb", SplitWordsJoinPlus("a\tb", words));
}

}  // namespace
}  // namespace qv
