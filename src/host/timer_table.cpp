#include "host/timer_table.h"

#include "platform/toolbar_surface.h"

namespace qv {

const TimerTable::Entry* TimerTable::Find(unsigned id) const {
  for (const Entry& e : entries_) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

TimerTable::Entry* TimerTable::Find(unsigned id) {
  return const_cast<Entry*>(static_cast<const TimerTable*>(this)->Find(id));
}

bool TimerTable::Register(unsigned id, unsigned periodMs, std::function<void()> onTick) {
  if (Find(id) || !onTick) return false;
  entries_.push_back(Entry{id, periodMs, std::move(onTick)});
  return true;
}

bool TimerTable::Start(unsigned id) {
  Entry* e = Find(id);
  if (!e || e->periodMs == 0 || !timers_.SetTimer(id, e->periodMs)) return false;
  e->running = true;
  return true;
}

void TimerTable::Kill(unsigned id) {
  Entry* e = Find(id);
  if (!e || !e->running) return;
  timers_.KillTimer(id);
  e->running = false;
}

void TimerTable::KillAll() {
  for (const Entry& e : entries_) Kill(e.id);
}

bool TimerTable::IsRunning(unsigned id) const {
  const Entry* e = Find(id);
  return e && e->running;
}

bool TimerTable::Dispatch(unsigned id) {
  Entry* e = Find(id);
  if (!e) return false;
  // The work may register or kill timers; a copy of it stays valid
  // whatever happens to the table meanwhile.
  const std::function<void()> onTick = e->onTick;
  onTick();
  return true;
}

}  // namespace qv
