// The count of live objects and server locks that keeps the library loaded.
//
// Every pooled item takes and gives back a lock, so the count is kept per
// thread: each thread adds to a slot of its own with plain (uncontended)
// stores, and the count is the sum of all slots. A slot outlives its thread;
// a later thread adopts it and goes on counting in it, so the sum stays right
// whichever thread releases what another one created.
#include <atomic>
#include <mutex>

#include "support/hot_thread_local.h"
#include "vel/platform.h"

namespace vel {

namespace {

// A cache line each, so that threads counting side by side do not share one.
struct alignas(64) CountSlot {
  std::atomic<long> count{0};
  std::atomic<bool> inUse{true};
  CountSlot* next = nullptr;
};

std::mutex g_slotsMutex;
CountSlot* g_slots = nullptr;
// Locks taken or given while a thread had no slot (during its exit).
std::atomic<long> g_unslotted{0};

VEL_HOT_THREAD_LOCAL CountSlot* t_slot = nullptr;
VEL_HOT_THREAD_LOCAL bool t_exited = false;

// Gives the thread's slot up for adoption when the thread ends.
struct SlotRelease {
  ~SlotRelease() {
    if (t_slot) t_slot->inUse.store(false, std::memory_order_release);
    t_slot = nullptr;
    t_exited = true;
  }
};

CountSlot* AdoptSlot() {
  if (t_exited) return nullptr;
  thread_local SlotRelease release;
  (void)release;
  std::lock_guard lock(g_slotsMutex);
  for (CountSlot* slot = g_slots; slot; slot = slot->next) {
    bool free = false;
    if (!slot->inUse.load(std::memory_order_relaxed) &&
        slot->inUse.compare_exchange_strong(free, true, std::memory_order_acquire))
      return t_slot = slot;
  }
  auto* slot = new CountSlot;
  slot->next = g_slots;
  g_slots = slot;
  return t_slot = slot;
}

// A thread's first count, and counts during its exit.
[[gnu::noinline]] void AddWithoutSlot(long delta) {
  if (CountSlot* slot = AdoptSlot()) {
    slot->count.store(slot->count.load(std::memory_order_relaxed) + delta, std::memory_order_relaxed);
    return;
  }
  g_unslotted.fetch_add(delta, std::memory_order_relaxed);
}

inline void Add(long delta) {
  CountSlot* slot = t_slot;
  if (!slot) return AddWithoutSlot(delta);
  // Only this thread writes its slot: no interlocked step needed.
  slot->count.store(slot->count.load(std::memory_order_relaxed) + delta, std::memory_order_relaxed);
}

}  // namespace

void ModuleLock() { Add(1); }
void ModuleUnlock() { Add(-1); }

long ModuleLockCount() {
  std::lock_guard lock(g_slotsMutex);
  long total = g_unslotted.load(std::memory_order_relaxed);
  for (CountSlot* slot = g_slots; slot; slot = slot->next) total += slot->count.load(std::memory_order_relaxed);
  return total;
}

}  // namespace vel
