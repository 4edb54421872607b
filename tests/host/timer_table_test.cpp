// The timer table alone on the headless surface, and features attached to
// a toolbar: their timers are started, dispatched and killed through the
// table, and ids nobody registered are ignored.
#include "host/timer_table.h"

#include <memory>

#include "toolbar_fixture.h"

namespace qv::test {
namespace {

TEST(TimerTableTest, StartsDispatchesAndKillsRegisteredTimersOnly) {
  HeadlessToolbar surface;
  TimerTable table(surface);
  int ticks = 0;
  ASSERT_TRUE(table.Register(7, 250, [&] { ++ticks; }));
  ASSERT_TRUE(table.Register(8, 0, [&] { ticks += 10; }));
  EXPECT_FALSE(table.Register(7, 100, [] {}));  // one owner per id
  EXPECT_FALSE(table.Register(9, 100, nullptr));

  EXPECT_TRUE(table.Start(7));
  EXPECT_EQ(surface.Timers().at(7), 250u);
  EXPECT_FALSE(table.Start(8));  // no period: never a window timer
  EXPECT_FALSE(table.Start(99));
  EXPECT_EQ(surface.Timers().size(), 1u);

  EXPECT_TRUE(table.Dispatch(7));
  EXPECT_TRUE(table.Dispatch(8));
  EXPECT_FALSE(table.Dispatch(99));
  EXPECT_EQ(ticks, 11);

  table.Kill(8);  // not running: nothing
  table.KillAll();
  EXPECT_TRUE(surface.Timers().empty());
  EXPECT_FALSE(table.IsRunning(7));
}

// A feature with one timer that counts its ticks and follows the
// definition's "Ticking" property.
class TickingFeature : public ToolbarFeature {
 public:
  explicit TickingFeature(TBWToolBarCtrl& toolbar, unsigned id = 50000)
      : toolbar_(toolbar), id_(id) {}
  std::vector<FeatureTimer> Timers() override {
    return {FeatureTimer{id_, 1000, [this] { ++ticks; }}};
  }
  void OnStartPeriodicTimers(const tbdl::TBDLToolbar* model) override {
    toolbar_.Timers().Kill(id_);
    if (model && model->GetProperty("Ticking", "0") == "1") toolbar_.Timers().Start(id_);
  }
  void OnStop() override { ++stops; }
  void OnBrowserEvent(int dispid) override { events.push_back(dispid); }

  int ticks = 0;
  int stops = 0;
  std::vector<int> events;

 private:
  TBWToolBarCtrl& toolbar_;
  unsigned id_;
};

TEST_F(ToolbarTest, AFeaturesTimerRunsThroughTheTable) {
  MakeToolbar();
  auto owned = std::make_unique<TickingFeature>(*toolbar);
  TickingFeature& feature = *owned;
  ASSERT_TRUE(toolbar->AttachFeature(std::move(owned)));
  // A second owner of a taken id is refused.
  EXPECT_FALSE(toolbar->AttachFeature(std::make_unique<TickingFeature>(*toolbar)));
  EXPECT_FALSE(toolbar->AttachFeature(std::make_unique<TickingFeature>(*toolbar, kMailTimerId)));

  ASSERT_TRUE(Rebuild(R"(BUTTON { caption = "B" }
                         SETTINGS { PROPERTY { id = "Ticking" value = "1" } })"));
  EXPECT_EQ(control.Timers().at(50000), 1000u);
  toolbar->OnTimer(50000);
  toolbar->OnTimer(50000);
  EXPECT_EQ(feature.ticks, 2);
  toolbar->OnBrowserEvent(kDispidDocumentComplete);
  EXPECT_EQ(feature.events, std::vector<int>{kDispidDocumentComplete});

  ASSERT_TRUE(Rebuild(R"(BUTTON { caption = "B" })"));
  EXPECT_EQ(control.Timers().count(50000), 0u);
  ASSERT_TRUE(Rebuild(R"(BUTTON { caption = "B" }
                         SETTINGS { PROPERTY { id = "Ticking" value = "1" } })"));
  toolbar->Stop();
  EXPECT_TRUE(control.Timers().empty());
  EXPECT_EQ(feature.stops, 1);
  // After the stop no browser event reaches the features.
  toolbar->OnBrowserEvent(kDispidDownloadBegin);
  EXPECT_EQ(feature.events.size(), 1u);
}

TEST_F(ToolbarTest, UnknownTimerIdsAreIgnored) {
  ASSERT_TRUE(Build(R"(INDICATOR { caption = "Pop" type = "POPUP" param3 = "None" })"));
  const auto timers = control.Timers();
  const std::string text = ButtonOf(0).text;
  for (unsigned id : {0u, 1u, 43689u, 43695u, 0xFFFFFFFFu}) toolbar->OnTimer(id);
  EXPECT_EQ(control.Timers(), timers);
  EXPECT_EQ(ButtonOf(0).text, text);
}

}  // namespace
}  // namespace qv::test
