#include "tools/vdecode/decode_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "tools/vdecode/decoding_tree.h"
#include "tools/vdecode/messages.h"
#include "tools/vdecode/packet_printer.h"
#include "tools/vdecode/packet_record.h"
#include "tools/vdecode/progress.h"
#include "tools/vdecode/utf8.h"

namespace vdecode {

using namespace vel;

namespace {

constexpr size_t kFlushThreshold = 1 << 16;

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
           return lower(x) == lower(y);
         });
}

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
  DecodingLoop(const Options& options, IOrvDecoderManager* manager, PacketSource& source, CaptureFilter* filter)
      : options_(options), manager_(manager), source_(source), filter_(filter), printer_(options),
        progress_(!source.Live() && ProgressBar::WantedOnStandardError(options.quiet), stderr) {}

  int Run() {
    int status = ReadAll();
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
  int ReadAll() {
    RawPacket packet;
    int status = kExitSuccess;
    try {
      while (!Done() && source_.Next(packet)) {
        if (++sequence_ == 1) printer_.SetTimeReference(packet.timestamp);
        if (Wanted() && Decodable(packet) && Passes(packet)) status = std::max(status, DecodeOne(packet));
        progress_.Update(source_.Position(), source_.Size(), sequence_);
      }
    } catch (const InputError& damage) {
      progress_.Finish();
      output_.Flush();
      return Fail(kExitInputError, damage.what());
    } catch (const FilterError& problem) {
      progress_.Finish();
      output_.Flush();
      return Fail(kExitUsageError, problem.what());
    }
    return status;
  }

  // Packets of link types the engine does not decode (interfaces of a pcapng
  // file) are counted, not decoded.
  bool Decodable(const RawPacket& packet) {
    if (LinkTypeFromPcap(packet.linkType) >= 0) return true;
    ++skipped_[packet.linkType];
    return false;
  }

  bool Passes(const RawPacket& packet) { return !filter_ || filter_->Matches(packet); }

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

  // Whether the decoding has a layer of one of the short names the options ask for.
  bool ShowsWantedProtocol(IVELPacketsDecodingInfo* info) const {
    if (options_.protocols.empty()) return true;
    for (const DecodingItem* group : InfoOf(info).Groups()) {
      if (group->protocol == 0) continue;  // "Packet Info"
      std::string name = ToUtf8(LayerShortName(*group));
      for (const std::string& wanted : options_.protocols)
        if (EqualIgnoringCase(name, wanted)) return true;
    }
    return false;
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
    PacketRecord record(static_cast<uint32_t>(sequence_), packet.timestamp, packet.frame, packet.originalLength,
                        static_cast<uint16_t>(LinkTypeFromPcap(packet.linkType)));
    ComPtr<IVELPacketsDecodingInfo> info;
    HRESULT result = manager_->Decode(record.data(), &info);
    if (FAILED(result) || !info) {
      output_.Flush();
      return Fail(kExitInputError, source_.Name() + ": packet " + std::to_string(sequence_) +
                                       ": the engine could not decode it (" + ResultText(result) + ")");
    }
    if (!ShowsWantedProtocol(info.get())) return kExitSuccess;
    ++decoded_;
    printer_.Print(output_.text(), info.get(), record.frame());
    if (source_.Live())
      output_.Flush();
    else
      output_.FlushWhenFull();
    return kExitSuccess;
  }

  const Options& options_;
  IOrvDecoderManager* manager_;
  PacketSource& source_;
  CaptureFilter* filter_;
  PacketPrinter printer_;
  ProgressBar progress_;
  Output output_;
  uint64_t sequence_ = 0;
  uint64_t decoded_ = 0;  // and printed
  bool foundOnlyPacket_ = false;
  std::map<uint32_t, uint64_t> skipped_;  // packets by link type
};

}  // namespace

int DecodePackets(const Options& options, IOrvDecoderManager* manager, PacketSource& source, CaptureFilter* filter) {
  return DecodingLoop(options, manager, source, filter).Run();
}

}  // namespace vdecode
