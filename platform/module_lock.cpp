// The count of live objects and server locks that keeps the library loaded.
#include <atomic>

#include "vel/platform.h"

namespace vel {

namespace {
std::atomic<long> g_locks{0};
}

void ModuleLock() { g_locks.fetch_add(1, std::memory_order_relaxed); }
void ModuleUnlock() { g_locks.fetch_sub(1, std::memory_order_relaxed); }
long ModuleLockCount() { return g_locks.load(std::memory_order_relaxed); }

}  // namespace vel
