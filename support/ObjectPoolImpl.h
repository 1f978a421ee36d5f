// A process-wide pool of object storage for one class: 128 slots at first
// use, 4 more whenever it runs dry, slots reused first in, first out. Storage
// goes back to the pool, never to the heap.
//
// Each thread keeps a queue of free slots of its own, so taking and returning
// an object costs no lock and a slot stays with the thread that uses it (it
// does not travel between processor caches). A thread whose queue is empty
// takes the whole shared list into it, growing the pool when that is empty
// too. A queue that grows past kSpillSlots (a thread that frees what others
// made) puts its newest slots at the front of the shared list, and while the
// shared list holds slots, returned ones go to its back. So on one thread the
// free slots always form one FIFO queue, its own followed by the shared list,
// and the pool grows at the same points. With several threads, a thread that
// finds no free slot of its own and none shared makes the pool grow even when
// other threads hold free ones.
#pragma once

#include <algorithm>
#include <atomic>
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
  static constexpr size_t kSpillSlots = 4096;

  static ObjectPoolImpl& Instance() {
    static ObjectPoolImpl pool;
    return pool;
  }

  // Storage for one T, or null when the heap is exhausted.
  void* TakeObject() {
    SlotQueue* mine = Mine();
    if (!mine) return TakeShared();
    if (mine->empty() && !Refill(*mine)) return nullptr;
    return mine->pop_front();
  }

  // Called after the object's destructor has run.
  void ReturnObject(void* storage) {
    SlotQueue* mine = Mine();
    if (!mine || sharedCount_.load(std::memory_order_relaxed) != 0 || !mine->push_back(storage))
      return ReturnShared(storage);
    if (mine->size() > kSpillSlots) Spill(*mine);
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

  // A thread's free slots, oldest first: a ring that doubles when full.
  class SlotQueue {
   public:
    SlotQueue() = default;
    SlotQueue(const SlotQueue&) = delete;
    SlotQueue& operator=(const SlotQueue&) = delete;
    ~SlotQueue() { std::free(ring_); }

    bool empty() const { return count_ == 0; }
    size_t size() const { return count_; }
    void* pop_front() {
      void* slot = ring_[head_];
      head_ = (head_ + 1) & (capacity_ - 1);
      --count_;
      return slot;
    }
    void* pop_back() { return ring_[(head_ + --count_) & (capacity_ - 1)]; }
    // False when the ring could not be widened (the slot was not taken).
    bool push_back(void* slot) {
      if (count_ == capacity_ && !Widen()) return false;
      ring_[(head_ + count_++) & (capacity_ - 1)] = slot;
      return true;
    }

   private:
    bool Widen() {
      size_t capacity = capacity_ ? capacity_ * 2 : 256;
      auto** ring = static_cast<void**>(std::malloc(capacity * sizeof(void*)));
      if (!ring) return false;
      for (size_t i = 0; i < count_; ++i) ring[i] = ring_[(head_ + i) & (capacity_ - 1)];
      std::free(ring_);
      ring_ = ring;
      head_ = 0;
      capacity_ = capacity;
      return true;
    }

    void** ring_ = nullptr;
    size_t head_ = 0;
    size_t count_ = 0;
    size_t capacity_ = 0;
  };

  // A thread's queue lives in its ordinary thread storage and goes to the
  // front of the shared list when the thread ends; a pointer to it in the
  // static block makes reaching it cheap.
  struct ThreadState {
    SlotQueue queue;
    ~ThreadState() {
      ObjectPoolImpl& pool = Instance();
      std::lock_guard lock(pool.mutex_);
      while (!queue.empty()) pool.PutSharedFront(queue.pop_back());
      mine_ = nullptr;
      gone_ = true;  // the thread is ending: the shared list from now on
    }
  };

  // Null once the thread is ending.
  static SlotQueue* Mine() {
    if (mine_ || gone_) return mine_;
    thread_local ThreadState state;
    return mine_ = &state.queue;
  }

  ObjectPoolImpl() { Grow(kInitialObjects); }

  // Takes the whole shared list, growing it first when it is empty.
  bool Refill(SlotQueue& mine) {
    std::lock_guard lock(mutex_);
    if (free_.empty() && !Grow(kGrowthObjects)) return false;
    while (!free_.empty() && mine.push_back(free_.front())) free_.pop_front();
    sharedCount_.store(free_.size(), std::memory_order_relaxed);
    return !mine.empty();
  }

  [[gnu::noinline]] void ReturnShared(void* storage) {
    std::lock_guard lock(mutex_);
    PutShared(storage);
  }

  // Moves the newest half of a long queue to the front of the shared list.
  [[gnu::noinline]] void Spill(SlotQueue& mine) {
    std::lock_guard lock(mutex_);
    for (size_t n = mine.size() / 2; n > 0; --n) PutSharedFront(mine.pop_back());
  }

  void* TakeShared() {
    std::lock_guard lock(mutex_);
    if (free_.empty() && !Grow(kGrowthObjects)) return nullptr;
    void* slot = free_.front();
    free_.pop_front();
    sharedCount_.store(free_.size(), std::memory_order_relaxed);
    return slot;
  }

  void PutShared(void* slot) {
    free_.push_back(slot);
    sharedCount_.store(free_.size(), std::memory_order_relaxed);
  }
  void PutSharedFront(void* slot) {
    free_.push_front(slot);
    sharedCount_.store(free_.size(), std::memory_order_relaxed);
  }

  bool Grow(uint32_t n) {
    auto* chunk = static_cast<Chunk*>(std::aligned_alloc(alignof(T), RoundUp(kSlotOffset + n * sizeof(T))));
    if (!chunk) return false;
    chunk->next = chunks_;
    chunks_ = chunk;
    char* slots = reinterpret_cast<char*>(chunk) + kSlotOffset;
    for (uint32_t i = 0; i < n; ++i) PutShared(slots + i * sizeof(T));
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
  std::atomic<size_t> sharedCount_{0};  // free_.size(), readable without the lock
  static inline VEL_HOT_THREAD_LOCAL SlotQueue* mine_ = nullptr;
  static inline VEL_HOT_THREAD_LOCAL bool gone_ = false;
};

}  // namespace vel
