// Decoding on several threads: packets travel in batches to worker threads,
// each with a decoder manager of its own, and come back in the order they were
// handed in, each batch with its printed text. At most a few batches per
// worker are under way at once, so memory stays flat however long the input.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/vdecode/options.h"
#include "tools/vdecode/packet_printer.h"
#include "tools/vdecode/packet_record.h"
#include "vel/interfaces.h"

namespace vdecode {

// One packet of the input in its place: a frame to decode, or one of a link
// type the engine does not decode (no record), counted where it stands.
struct BatchEntry {
  uint64_t sequence = 0;
  uint32_t linkType = 0;
  std::optional<PacketRecord> record;
  // What decoding it gave.
  vel::HRESULT result = vel::S_OK;
  bool decoded = false;  // the engine returned a decoding
  bool printed = false;  // and it was printed: its text ends at outputEnd
  size_t outputEnd = 0;
};

struct PacketBatch {
  uint64_t timeReference = 0;  // the input's first time stamp
  std::vector<BatchEntry> entries;
  std::string output;  // the printed packets' text, in order
};

// Decodes a batch with one manager and printer: the decoding of each frame
// is printed when it has a layer the options ask for.
void DecodeBatch(const Options& options, vel::IOrvDecoderManager* manager, PacketPrinter& printer, PacketBatch& batch);

class DecoderPool {
 public:
  // One worker per manager; the managers are the workers' own from now on.
  DecoderPool(const Options& options, std::vector<vel::ComPtr<vel::IOrvDecoderManager>> managers);
  ~DecoderPool();
  DecoderPool(const DecoderPool&) = delete;
  DecoderPool& operator=(const DecoderPool&) = delete;

  // Hands a batch in. Take the done ones first while the pool is full.
  void Submit(std::unique_ptr<PacketBatch> batch);
  bool Full();
  // The oldest batch handed in, once decoded; null when none is under way.
  // With wait false, also null while the oldest is still being decoded.
  std::unique_ptr<PacketBatch> TakeDone(bool wait);

 private:
  struct Job {
    std::unique_ptr<PacketBatch> batch;
    bool done = false;
  };
  void Work(vel::IOrvDecoderManager* manager);

  const Options& options_;
  std::vector<vel::ComPtr<vel::IOrvDecoderManager>> managers_;
  size_t maxUnderWay_;
  std::mutex mutex_;
  std::condition_variable workReady_;
  std::condition_variable jobDone_;
  std::deque<std::shared_ptr<Job>> order_;    // every job under way, in the order handed in
  std::deque<std::shared_ptr<Job>> waiting_;  // jobs no worker has taken yet
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace vdecode
