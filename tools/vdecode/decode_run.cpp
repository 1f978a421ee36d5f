#include "tools/vdecode/decode_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "tools/vdecode/decoder_pool.h"
#include "tools/vdecode/messages.h"
#include "tools/vdecode/packet_printer.h"
#include "tools/vdecode/progress.h"

namespace vdecode {

using namespace vel;

namespace {

constexpr size_t kFlushThreshold = 1 << 16;
// Packets a batch for the workers holds.
constexpr size_t kBatchPackets = 128;

// Standard output, written in large pieces; remembers the first write error.
class Output {
 public:
  // Large pieces go out at once, small ones are collected first.
  void Append(std::string_view text) {
    if (text.size() < kFlushThreshold) {
      text_ += text;
      if (text_.size() >= kFlushThreshold) Flush();
      return;
    }
    Flush();
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() && !error_) error_ = errno;
  }
  void Flush() {
    if (!text_.empty() && std::fwrite(text_.data(), 1, text_.size(), stdout) != text_.size() && !error_) error_ = errno;
    text_.clear();
    if (std::fflush(stdout) != 0 && !error_) error_ = errno;
  }
  int error() const { return error_; }

 private:
  std::string text_;
  int error_ = 0;
};

// Reads the input, hands the packets to the decoding in batches (decoded here
// one at a time, or by the pool's workers) and writes what comes back in the
// input's order. Everything that depends on the order (the packet count, the
// skipped packets, the messages) is settled here as the batches come back.
class DecodingLoop {
 public:
  DecodingLoop(const Options& options, DecodingThreads& threads, PacketSource& source, CaptureFilter* filter)
      : options_(options), threads_(threads), pool_(source.Live() ? nullptr : threads.pool), source_(source),
        filter_(filter), printer_(options),
        progress_(!source.Live() && ProgressBar::WantedOnStandardError(options.quiet), stderr) {}

  int Run() {
    int status = ReadAll();
    status = std::max(status, Drain());
    progress_.Finish();
    output_.Flush();
    if (output_.error()) return Fail(kExitInputError, std::string("cannot write the output: ") + std::strerror(output_.error()));
    if (status == kExitUsageError) return status;
    if (!skipped_.empty()) Note(SkippedText());
    if (std::string closing = source_.ClosingNote(); !closing.empty()) Note(closing);
    if (status == kExitSuccess && options_.onlyPacket && !foundOnlyPacket_)
      return Fail(kExitInputError, source_.Name() + ": there is no packet " + std::to_string(*options_.onlyPacket) +
                                       "; it holds " + std::to_string(sequence_) + (sequence_ == 1 ? " packet" : " packets"));
    return status;
  }

 private:
  // Reads until the input ends or enough was printed. A damaged input or a
  // filter that cannot be compiled ends the reading; its message follows the
  // packets read before it, unless they already printed all that was asked for.
  int ReadAll() {
    RawPacket packet;
    try {
      while (!Done() && source_.Next(packet)) {
        if (++sequence_ == 1) timeReference_ = packet.timestamp;
        if (Wanted()) Enter(packet);
        if (progress_.Due()) progress_.Update(source_.Position(), source_.Size(), sequence_);
      }
    } catch (const InputError& damage) {
      return EndWith(kExitInputError, damage.what());
    } catch (const FilterError& problem) {
      return EndWith(kExitUsageError, problem.what());
    }
    return kExitSuccess;
  }

  int EndWith(int status, const std::string& message) {
    Drain();
    progress_.Finish();
    output_.Flush();
    // Read ahead for the workers: what was asked for may be printed already.
    return CountReached() ? kExitSuccess : Fail(status, message);
  }

  // Packets of link types the engine does not decode (interfaces of a pcapng
  // file) are counted, not decoded; the filter sees the others.
  void Enter(const RawPacket& packet) {
    int32_t linkType = LinkTypeFromPcap(packet.linkType);
    if (linkType >= 0 && !Passes(packet)) return;
    BatchEntry& entry = Batch().entries.emplace_back();
    entry.sequence = sequence_;
    entry.linkType = packet.linkType;
    if (linkType >= 0)
      entry.record.emplace(static_cast<uint32_t>(sequence_), packet.timestamp, packet.frame, packet.originalLength,
                           static_cast<uint16_t>(linkType));
    if (!pool_ || batch_->entries.size() >= kBatchPackets) Dispatch();
  }

  bool Passes(const RawPacket& packet) { return !filter_ || filter_->Matches(packet); }

  // The batch being filled; batches that were written are used again, so
  // their entries and text keep the room they grew.
  PacketBatch& Batch() {
    if (!batch_ && !spare_.empty()) {
      batch_ = std::move(spare_.back());
      spare_.pop_back();
    }
    if (!batch_) {
      batch_ = std::make_unique<PacketBatch>();
      batch_->entries.reserve(pool_ ? kBatchPackets : 1);
    }
    batch_->timeReference = timeReference_;
    return *batch_;
  }

  void WriteAndKeep(std::unique_ptr<PacketBatch> batch) {
    Write(*batch);
    batch->entries.clear();
    spare_.push_back(std::move(batch));
  }

  // Decodes the batch here, or hands it to the pool and writes what is done.
  void Dispatch() {
    if (!batch_ || batch_->entries.empty()) return;
    if (!pool_) {
      DecodeBatch(options_, threads_.manager, printer_, *batch_);
      Write(*batch_);
      batch_->entries.clear();
      return;
    }
    while (pool_->Full()) WriteAndKeep(pool_->TakeDone(true));
    pool_->Submit(std::move(batch_));
    while (std::unique_ptr<PacketBatch> done = pool_->TakeDone(false)) WriteAndKeep(std::move(done));
  }

  // Hands in the last batch and writes everything still under way.
  int Drain() {
    Dispatch();
    if (pool_)
      while (std::unique_ptr<PacketBatch> done = pool_->TakeDone(true)) WriteAndKeep(std::move(done));
    return status_;
  }

  // The packets' texts follow each other in the batch's text, so what lies
  // between two messages goes out in one piece.
  void Write(const PacketBatch& batch) {
    std::string_view text = batch.output;
    size_t written = 0, end = 0;
    for (const BatchEntry& entry : batch.entries) {
      if (CountReached()) break;
      if (!entry.record) {
        ++skipped_[entry.linkType];
      } else if (!entry.decoded) {
        output_.Append(text.substr(written, end - written));
        written = end;
        output_.Flush();
        status_ = std::max(status_, Fail(kExitInputError, source_.Name() + ": packet " + std::to_string(entry.sequence) +
                                                              ": the engine could not decode it (" +
                                                              ResultText(entry.result) + ")"));
      } else if (entry.printed) {
        ++decoded_;
      }
      end = entry.outputEnd;
    }
    output_.Append(text.substr(written, end - written));
    if (source_.Live()) output_.Flush();
  }

  // "skipped 3 packets of link types vdecode does not decode: 2 of C_HDLC (Cisco HDLC, 104), 1 of PPP (PPP, 9)"
  std::string SkippedText() const {
    uint64_t total = 0;
    std::string types;
    for (const auto& [linkType, count] : skipped_) {
      total += count;
      types += (types.empty() ? "" : ", ") + std::to_string(count) + " of " + LinkTypeText(linkType);
    }
    return source_.Name() + ": skipped " + std::to_string(total) + (total == 1 ? " packet" : " packets") +
           " of link types vdecode does not decode: " + types;
  }

  bool CountReached() const { return options_.count && decoded_ >= *options_.count; }
  bool Done() const { return CountReached() || (options_.onlyPacket && foundOnlyPacket_); }

  bool Wanted() {
    if (!options_.onlyPacket) return true;
    foundOnlyPacket_ = sequence_ == *options_.onlyPacket;
    return foundOnlyPacket_;
  }

  const Options& options_;
  DecodingThreads& threads_;
  DecoderPool* pool_;  // null: decode on this thread
  PacketSource& source_;
  CaptureFilter* filter_;
  PacketPrinter printer_;
  ProgressBar progress_;
  Output output_;
  std::unique_ptr<PacketBatch> batch_;
  std::vector<std::unique_ptr<PacketBatch>> spare_;
  uint64_t timeReference_ = 0;
  uint64_t sequence_ = 0;
  uint64_t decoded_ = 0;  // and printed
  int status_ = kExitSuccess;
  bool foundOnlyPacket_ = false;
  std::map<uint32_t, uint64_t> skipped_;  // packets by link type
};

}  // namespace

int DecodePackets(const Options& options, DecodingThreads& threads, PacketSource& source, CaptureFilter* filter) {
  return DecodingLoop(options, threads, source, filter).Run();
}

}  // namespace vdecode
