// The toolbar window's timers: every id registered once with its period
// and its work, started and killed by id, ticks dispatched by id. Only the
// ids of running timers are kept, so that stopping kills exactly those.
#pragma once

#include <functional>
#include <vector>

namespace qv {

class MenusAndTimers;

class TimerTable {
 public:
  explicit TimerTable(MenusAndTimers& timers) : timers_(timers) {}
  TimerTable(const TimerTable&) = delete;
  TimerTable& operator=(const TimerTable&) = delete;

  // False when the id is already taken: a timer has one owner.
  bool Register(unsigned id, unsigned periodMs, std::function<void()> onTick);
  bool IsRegistered(unsigned id) const { return Find(id) != nullptr; }
  // Sets the window timer with its registered period; false for an id that
  // is not registered, has no period, or that the window refused.
  bool Start(unsigned id);
  // Kills the timer when it runs.
  void Kill(unsigned id);
  void KillAll();
  bool IsRunning(unsigned id) const;
  // Runs the work of the timer (whether or not it runs as a window timer);
  // false, and nothing done, for an id that is not registered.
  bool Dispatch(unsigned id);

 private:
  struct Entry {
    unsigned id;
    unsigned periodMs;
    std::function<void()> onTick;
    bool running = false;
  };
  const Entry* Find(unsigned id) const;
  Entry* Find(unsigned id);

  MenusAndTimers& timers_;
  std::vector<Entry> entries_;
};

}  // namespace qv
