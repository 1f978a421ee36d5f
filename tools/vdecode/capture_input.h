// Where packets come from: a capture file (a path or "-" for standard input),
// classic pcap read through libpcap or pcapng read by our own reader, or one
// frame given as hex. Live capture from an interface is in live_capture.h.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vdecode {

// A problem with the input itself; the message names it in one line.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr uint32_t kLinkTypeEthernet = 1;

struct RawPacket {
  uint64_t timestamp = 0;  // microseconds since 1970-01-01 00:00:00 UTC
  uint32_t originalLength = 0;
  uint32_t linkType = kLinkTypeEthernet;  // the capture's link-type number
  std::span<const uint8_t> frame;         // the captured bytes, valid until the next read
};

class PacketSource {
 public:
  virtual ~PacketSource() = default;
  // Reads the next packet; false at the end of the input. Throws InputError
  // when the input turns out damaged; the packets read before stay valid.
  virtual bool Next(RawPacket& packet) = 0;
  // The input as messages name it: its path, "standard input" or "--hex".
  virtual std::string Name() const = 0;
  // Bytes of the input consumed so far, and its whole size (0 when unknown).
  virtual uint64_t Position() const { return 0; }
  virtual uint64_t Size() const { return 0; }
  // A live source: each packet is written out as soon as it is decoded.
  virtual bool Live() const { return false; }
  // The link type of every packet, when the source has one for all.
  virtual std::optional<uint32_t> LinkType() const { return std::nullopt; }
  // What to say on standard error once the input is done; empty for nothing.
  virtual std::string ClosingNote() { return {}; }
};

// Opens a capture file. A classic pcap file of a link type the engine does
// not decode is refused; a pcapng file may mix link types, and its packets of
// undecoded ones are left to the caller. Throws InputError when the file is
// missing or unreadable, is not a capture, or is of an undecoded link type.
std::unique_ptr<PacketSource> OpenCaptureFile(const std::string& path);

// A link type as messages name it: "LINUX_SLL (Linux cooked v1, 113)".
std::string LinkTypeText(uint32_t linkType);
// The value libpcap knows a capture file's link-type number by: they differ
// for raw IP alone among the link types the engine decodes.
int PcapDataLink(uint32_t linkType);

// One frame, captured whole, at the given time.
std::unique_ptr<PacketSource> MakeFrameSource(std::vector<uint8_t> frame, uint64_t timestamp);

// Hex digits, two per byte, with blanks and colons allowed between them.
// Throws std::invalid_argument naming what is wrong.
std::vector<uint8_t> ParseHexFrame(std::string_view text);

}  // namespace vdecode
