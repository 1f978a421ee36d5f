// A reader of pcapng files of our own, since libpcap stops at an interface
// whose link type differs from the first one's. It reads every block of every
// section: interfaces with their link type, time-stamp resolution and offset,
// and the packets of the enhanced, simple and obsolete packet blocks; other
// blocks are skipped. Every length is checked against its block, and every
// block against what the file holds: a lying length ends the reading with an
// error instead of a read past the data or an allocation the file does not back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace vdecode {

// A damaged or truncated file; the message says what and at which byte offset.
class PcapngError : public std::runtime_error {
 public:
  PcapngError(const std::string& problem, bool truncated) : std::runtime_error(problem), truncated_(truncated) {}
  // The file ends inside a block (rather than holding a block that makes no sense).
  bool truncated() const { return truncated_; }

 private:
  bool truncated_;
};

struct PcapngPacket {
  uint32_t interface = 0;   // index within its section
  uint32_t linkType = 0;    // the interface's LINKTYPE_ value
  uint64_t timestamp = 0;   // microseconds since 1970-01-01 00:00:00 UTC
  uint32_t originalLength = 0;
  std::span<const uint8_t> data;  // the captured bytes, valid until the next read
};

class PcapngReader {
 public:
  // Reads from file, which stays the caller's.
  explicit PcapngReader(FILE* file) : file_(file) {}

  // The next packet; false at the end of the file. Throws PcapngError.
  bool Next(PcapngPacket& packet);
  // Bytes of the file consumed so far.
  uint64_t Position() const { return position_; }

 private:
  struct Interface {
    uint32_t linkType;
    uint32_t snapLength;
    uint8_t resolution;      // if_tsresol: 10^-n, or 2^-n with the high bit set
    uint64_t offsetSeconds;  // if_tsoffset, two's complement
  };

  // Reads the next block into block_; false at a clean end of the file.
  bool ReadBlock();
  void StartSection();
  void AddInterface();
  bool TimedPacket(PcapngPacket& packet, bool wideInterface);
  bool SimplePacket(PcapngPacket& packet);
  const Interface& InterfaceAt(uint32_t index) const;
  uint64_t Microseconds(const Interface& interface, uint64_t units) const;

  // Reads exactly count bytes, appending them to block_; false when the file ends first.
  bool Append(size_t count);
  uint32_t U16(size_t at) const;
  uint32_t U32(size_t at) const;
  [[noreturn]] void Damaged(const std::string& problem) const;

  FILE* file_;
  uint64_t position_ = 0;
  uint64_t blockStart_ = 0;
  bool bigEndian_ = false;
  bool inSection_ = false;
  std::vector<Interface> interfaces_;
  // The block being read: its type, the whole block, and its body (the bytes
  // between the two length fields).
  uint32_t blockType_ = 0;
  std::vector<uint8_t> block_;
  std::span<const uint8_t> body_;
};

}  // namespace vdecode
