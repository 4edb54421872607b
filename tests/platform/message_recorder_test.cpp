#include "simulators/message_recorder.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(MessageRecorder, RecordsBoxesAndAnswersFromTheScript) {
  MessageRecorder recorder;
  recorder.QueueAnswer(kIdNo);
  recorder.QueueAnswer(kIdCancel);
  EXPECT_EQ(kIdNo, recorder.ShowMessage("Delete?", "quorvane", kMbYesNo | kMbIconQuestion));
  EXPECT_EQ(kIdCancel, recorder.ShowMessage("Go on?", "quorvane", kMbOkCancel));
  // The script is used up: default buttons.
  EXPECT_EQ(kIdYes, recorder.ShowMessage("Again?", "quorvane", kMbYesNo));
  EXPECT_EQ(kIdOk, recorder.ShowMessage("Bad value", "TBDL Button", kMbOk | kMbIconError));
  EXPECT_EQ(kIdOk, recorder.ShowMessage("Sure?", "x", kMbOkCancel));

  std::vector<RecordedMessage> m = recorder.messages();
  ASSERT_EQ(5u, m.size());
  EXPECT_EQ("Delete?", m[0].text);
  EXPECT_EQ("quorvane", m[0].caption);
  EXPECT_EQ(kMbYesNo | kMbIconQuestion, m[0].style);
  EXPECT_EQ(kIdNo, m[0].answer);
  EXPECT_EQ("TBDL Button", m[3].caption);
  EXPECT_EQ(kIdOk, m[4].answer);

  recorder.Clear();
  EXPECT_EQ(0u, recorder.count());
}

}  // namespace
}  // namespace qv
