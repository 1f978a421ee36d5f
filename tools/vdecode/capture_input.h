// Where packets come from: a capture file read through libpcap (classic pcap
// or pcapng, a path or "-" for standard input), or one frame given as hex.
#pragma once

#include <cstdint>
#include <memory>
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

struct RawPacket {
  uint64_t timestamp = 0;  // microseconds since 1970-01-01 00:00:00 UTC
  uint32_t originalLength = 0;
  std::span<const uint8_t> frame;  // the captured bytes, valid until the next read
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
};

// Opens a capture of link type Ethernet. Throws InputError when the file is
// missing or unreadable, is not a capture, or holds another link type.
std::unique_ptr<PacketSource> OpenCaptureFile(const std::string& path);

// One frame, captured whole, at the given time.
std::unique_ptr<PacketSource> MakeFrameSource(std::vector<uint8_t> frame, uint64_t timestamp);

// Hex digits, two per byte, with blanks and colons allowed between them.
// Throws std::invalid_argument naming what is wrong.
std::vector<uint8_t> ParseHexFrame(std::string_view text);

}  // namespace vdecode
