#include "tools/vdecode/decode_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/vdecode/messages.h"
#include "tools/vdecode/packet_printer.h"
#include "tools/vdecode/packet_record.h"
#include "tools/vdecode/progress.h"

namespace vdecode {

using namespace vel;

namespace {

constexpr size_t kFlushThreshold = 1 << 16;

// Standard output, written in large pieces; remembers the first write error.
class Output {
 public:
  std::string& text() { return text_; }
  void FlushWhenFull() {
    if (text_.size() >= kFlushThreshold) Flush();
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

class DecodingLoop {
 public:
  DecodingLoop(const Options& options, IOrvDecoderManager* manager, PacketSource& source)
      : options_(options), manager_(manager), source_(source), printer_(options),
        progress_(ProgressBar::WantedOnStandardError(options.quiet), stderr) {}

  int Run() {
    int status = ReadAll();
    progress_.Finish();
    output_.Flush();
    if (output_.error()) return Fail(kExitInputError, std::string("cannot write the output: ") + std::strerror(output_.error()));
    if (status == kExitSuccess && options_.onlyPacket && !foundOnlyPacket_)
      return Fail(kExitInputError, source_.Name() + ": there is no packet " + std::to_string(*options_.onlyPacket) +
                                       "; it holds " + std::to_string(sequence_) + (sequence_ == 1 ? " packet" : " packets"));
    return status;
  }

 private:
  int ReadAll() {
    RawPacket packet;
    int status = kExitSuccess;
    try {
      while (!Done() && source_.Next(packet)) {
        if (++sequence_ == 1) printer_.SetTimeReference(packet.timestamp);
        if (Wanted()) status = std::max(status, DecodeOne(packet));
        progress_.Update(source_.Position(), source_.Size(), sequence_);
      }
    } catch (const InputError& damage) {
      progress_.Finish();
      output_.Flush();
      return Fail(kExitInputError, damage.what());
    }
    return status;
  }

  bool Done() const {
    return (options_.count && decoded_ >= *options_.count) || (options_.onlyPacket && foundOnlyPacket_);
  }

  bool Wanted() {
    if (!options_.onlyPacket) return true;
    foundOnlyPacket_ = sequence_ == *options_.onlyPacket;
    return foundOnlyPacket_;
  }

  int DecodeOne(const RawPacket& packet) {
    PacketRecord record(static_cast<uint32_t>(sequence_), packet.timestamp, packet.frame, packet.originalLength);
    ComPtr<IVELPacketsDecodingInfo> info;
    HRESULT result = manager_->Decode(record.data(), &info);
    if (FAILED(result) || !info) {
      output_.Flush();
      return Fail(kExitInputError, source_.Name() + ": packet " + std::to_string(sequence_) +
                                       ": the engine could not decode it (" + ResultText(result) + ")");
    }
    ++decoded_;
    printer_.Print(output_.text(), info.get(), record.frame());
    output_.FlushWhenFull();
    return kExitSuccess;
  }

  const Options& options_;
  IOrvDecoderManager* manager_;
  PacketSource& source_;
  PacketPrinter printer_;
  ProgressBar progress_;
  Output output_;
  uint64_t sequence_ = 0;
  uint64_t decoded_ = 0;
  bool foundOnlyPacket_ = false;
};

}  // namespace

int DecodePackets(const Options& options, IOrvDecoderManager* manager, PacketSource& source) {
  return DecodingLoop(options, manager, source).Run();
}

}  // namespace vdecode
