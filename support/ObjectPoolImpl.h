// A process-wide pool of object storage for one class: 128 slots at first
// use, 4 more whenever it runs dry, slots reused first in, first out. Storage
// goes back to the pool, never to the heap.
//
// Each thread moves slots between the shared free list and itself in batches,
// so taking and returning an object costs no lock: a thread takes up to
// kBatch slots from the front of the free list at once and hands them out in
// order, and collects returned slots until kBatch of them go to the back of
// the list together. Before it takes a new batch it hands its returned slots
// back, so on one thread the order is exactly that of a single queue: the
// slots it holds, then the free list, then the slots it returned.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <new>
#include <string>

#include "support/diagnostic_log.h"
#include "support/hot_thread_local.h"

namespace vel {

template <class T>
class ObjectPoolImpl {
 public:
  static constexpr uint32_t kInitialObjects = 128;
  static constexpr uint32_t kGrowthObjects = 4;
  // Link word at the head of every chunk, as counted in the growth report.
  static constexpr uint64_t kLinkBytes = 4;
  static constexpr uint32_t kBatch = 64;

  static ObjectPoolImpl& Instance() {
    static ObjectPoolImpl pool;
    return pool;
  }

  // Storage for one T, or null when the heap is exhausted.
  void* TakeObject() {
    ThreadSlots* mine = Mine();
    if (!mine) return TakeShared();
    if (mine->takenHead == mine->takenCount && !Refill(*mine)) return nullptr;
    return mine->taken[mine->takenHead++];
  }

  // Called after the object's destructor has run.
  void ReturnObject(void* storage) {
    ThreadSlots* mine = Mine();
    if (!mine) {
      std::lock_guard lock(mutex_);
      free_.push_back(storage);
      return;
    }
    mine->returned[mine->returnedCount++] = storage;
    if (mine->returnedCount == kBatch) {
      std::lock_guard lock(mutex_);
      HandBackReturned(*mine);
    }
  }

  uint64_t TotalBytes() {
    std::lock_guard lock(mutex_);
    return totalBytes_;
  }
  uint64_t TotalObjects() {
    std::lock_guard lock(mutex_);
    return totalObjects_;
  }

  // The name the growth report gives the pooled class.
  static void SetTypeName(const char* name) { typeName_ = name; }

 private:
  struct Chunk {
    Chunk* next;
  };
  static constexpr size_t kSlotOffset = (sizeof(Chunk) + alignof(T) - 1) / alignof(T) * alignof(T);

  // The slots one thread holds: taken[takenHead, takenCount) still to hand
  // out, returned[0, returnedCount) given back.
  struct ThreadSlots {
    void* taken[kBatch];
    uint32_t takenHead = 0;
    uint32_t takenCount = 0;
    void* returned[kBatch];
    uint32_t returnedCount = 0;
  };

  // A thread's slots live in its ordinary thread storage and go back to the
  // shared list when the thread ends; a pointer to them in the static block
  // makes reaching them cheap.
  struct ThreadState {
    ThreadSlots slots;
    ~ThreadState() {
      ObjectPoolImpl& pool = Instance();
      std::lock_guard lock(pool.mutex_);
      while (slots.takenCount > slots.takenHead) pool.free_.push_front(slots.taken[--slots.takenCount]);
      pool.HandBackReturned(slots);
      mine_ = nullptr;
      gone_ = true;  // the thread is ending: the shared list from now on
    }
  };

  // Null once the thread is ending.
  static ThreadSlots* Mine() {
    if (mine_ || gone_) return mine_;
    thread_local ThreadState state;
    return mine_ = &state.slots;
  }

  ObjectPoolImpl() { Grow(kInitialObjects); }

  // Hands back the returned slots, then takes the next batch from the front
  // of the shared list, growing it when it is empty.
  bool Refill(ThreadSlots& mine) {
    std::lock_guard lock(mutex_);
    HandBackReturned(mine);
    if (free_.empty() && !Grow(kGrowthObjects)) return false;
    auto count = static_cast<uint32_t>(std::min<size_t>(kBatch, free_.size()));
    for (uint32_t i = 0; i < count; ++i) {
      mine.taken[i] = free_.front();
      free_.pop_front();
    }
    mine.takenHead = 0;
    mine.takenCount = count;
    return true;
  }

  void* TakeShared() {
    std::lock_guard lock(mutex_);
    if (free_.empty() && !Grow(kGrowthObjects)) return nullptr;
    void* slot = free_.front();
    free_.pop_front();
    return slot;
  }

  void HandBackReturned(ThreadSlots& mine) {
    for (uint32_t i = 0; i < mine.returnedCount; ++i) free_.push_back(mine.returned[i]);
    mine.returnedCount = 0;
  }

  bool Grow(uint32_t n) {
    auto* chunk = static_cast<Chunk*>(std::aligned_alloc(alignof(T), RoundUp(kSlotOffset + n * sizeof(T))));
    if (!chunk) return false;
    chunk->next = chunks_;
    chunks_ = chunk;
    char* slots = reinterpret_cast<char*>(chunk) + kSlotOffset;
    for (uint32_t i = 0; i < n; ++i) free_.push_back(slots + i * sizeof(T));
    uint64_t grown = uint64_t{n} * (sizeof(T) + 4) + kLinkBytes;
    totalBytes_ += grown;
    totalObjects_ += n;
    DiagnosticLog::Instance().Log(
        kLogError, "%s(%d): %s", "ObjectPoolImpl.h", 109,
        (std::string(typeName_) + ": The Class Mem Pool has allocated memroy (" + std::to_string(grown) +
         "Bytes, total bytes: " + std::to_string(totalBytes_ / 1024) +
         " Kb,total object = " + std::to_string(totalObjects_))
            .c_str());
    return true;
  }

  static size_t RoundUp(size_t bytes) { return (bytes + alignof(T) - 1) / alignof(T) * alignof(T); }

  Chunk* chunks_ = nullptr;
  std::deque<void*> free_;
  std::mutex mutex_;
  uint64_t totalBytes_ = 0;
  uint64_t totalObjects_ = 0;
  static inline const char* typeName_ = "object";
  static inline VEL_HOT_THREAD_LOCAL ThreadSlots* mine_ = nullptr;
  static inline VEL_HOT_THREAD_LOCAL bool gone_ = false;
};

}  // namespace vel
