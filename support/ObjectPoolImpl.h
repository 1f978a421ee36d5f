// A process-wide pool of object storage for one class: 128 slots at first
// use, 4 more whenever it runs dry, slots reused first in, first out. Storage
// goes back to the pool, never to the heap.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <new>
#include <string>

#include "support/diagnostic_log.h"

namespace vel {

template <class T>
class ObjectPoolImpl {
 public:
  static constexpr uint32_t kInitialObjects = 128;
  static constexpr uint32_t kGrowthObjects = 4;
  // Link word at the head of every chunk, as counted in the growth report.
  static constexpr uint64_t kLinkBytes = 4;

  static ObjectPoolImpl& Instance() {
    static ObjectPoolImpl pool;
    return pool;
  }

  // Storage for one T, or null when the heap is exhausted.
  void* TakeObject() {
    std::lock_guard lock(mutex_);
    if (free_.empty() && !Grow(kGrowthObjects)) return nullptr;
    void* slot = free_.front();
    free_.pop_front();
    return slot;
  }

  // Called after the object's destructor has run.
  void ReturnObject(void* storage) {
    std::lock_guard lock(mutex_);
    free_.push_back(storage);
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

  ObjectPoolImpl() { Grow(kInitialObjects); }

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
};

}  // namespace vel
