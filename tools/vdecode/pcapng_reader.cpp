#include "tools/vdecode/pcapng_reader.h"

#include <algorithm>

namespace vdecode {

namespace {

constexpr uint32_t kSectionHeaderBlock = 0x0A0D0D0A;
constexpr uint32_t kInterfaceBlock = 1, kObsoletePacketBlock = 2, kSimplePacketBlock = 3;
constexpr uint32_t kEnhancedPacketBlock = 6;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;

// Sizes: the type and length in front of every body, the length behind it,
// and the fixed parts of the bodies.
constexpr size_t kBlockHead = 8, kBlockFrame = 12;
constexpr size_t kSectionFixed = 16, kInterfaceFixed = 8;
constexpr size_t kTimedFixed = 20, kSimpleFixed = 4;

constexpr uint32_t kOptionEnd = 0, kOptionResolution = 9, kOptionOffset = 14;
constexpr uint8_t kMicrosecondResolution = 6;
constexpr uint8_t kBinaryResolution = 0x80;
constexpr uint32_t kLargestDecimalExponent = 19, kLargestBinaryExponent = 63;
constexpr uint64_t kMicrosecondsPerSecond = 1000000;

// The file is read in pieces of this size, so a block grows in memory only as
// far as the file really holds it.
constexpr size_t kReadPiece = 1 << 16;

uint64_t PowerOfTen(uint32_t exponent) {
  uint64_t value = 1;
  while (exponent--) value *= 10;
  return value;
}

}  // namespace

bool PcapngReader::Next(PcapngPacket& packet) {
  while (ReadBlock()) {
    switch (blockType_) {
      case kSectionHeaderBlock: StartSection(); break;
      case kInterfaceBlock: AddInterface(); break;
      case kEnhancedPacketBlock: return TimedPacket(packet, true);
      case kSimplePacketBlock: return SimplePacket(packet);
      case kObsoletePacketBlock: return TimedPacket(packet, false);
      default: break;  // name resolution, statistics, secrets, custom blocks
    }
  }
  return false;
}

bool PcapngReader::ReadBlock() {
  blockStart_ = position_;
  block_.clear();
  if (!Append(kBlockHead)) {
    if (block_.empty()) return false;
    throw PcapngError("the file ends inside the header of the block at byte " + std::to_string(blockStart_), true);
  }
  // The section header's type reads the same in either byte order; its
  // byte-order magic sets the order of everything up to the next section.
  blockType_ = U32(0);
  if (blockType_ == kSectionHeaderBlock) {
    if (!Append(4)) throw PcapngError("the file ends inside the section header at byte " + std::to_string(blockStart_), true);
    uint32_t magic = uint32_t{block_[8]} << 24 | uint32_t{block_[9]} << 16 | uint32_t{block_[10]} << 8 | block_[11];
    if (magic != kByteOrderMagic && __builtin_bswap32(magic) != kByteOrderMagic)
      Damaged("the section header has no byte-order magic");
    bigEndian_ = magic == kByteOrderMagic;
    blockType_ = kSectionHeaderBlock;
  } else if (!inSection_) {
    Damaged("the file does not start with a section header");
  }
  uint32_t length = U32(4);
  if (length < kBlockFrame + (blockType_ == kSectionHeaderBlock ? kSectionFixed : 0) || length % 4 != 0)
    Damaged("the block length " + std::to_string(length) + " is impossible");
  if (!Append(length - block_.size()))
    throw PcapngError("the file ends inside the block at byte " + std::to_string(blockStart_) + ", which claims " +
                          std::to_string(length) + " bytes of which the file holds " + std::to_string(block_.size()),
                      true);
  if (U32(length - 4) != length) Damaged("the block's leading and trailing lengths differ");
  body_ = std::span<const uint8_t>(block_).subspan(kBlockHead, length - kBlockFrame);
  return true;
}

void PcapngReader::StartSection() {
  uint32_t major = U16(12);
  if (major != 1) Damaged("the section has format version " + std::to_string(major) + ", not 1");
  inSection_ = true;
  interfaces_.clear();
}

void PcapngReader::AddInterface() {
  if (body_.size() < kInterfaceFixed) Damaged("the interface description is too short");
  Interface interface{U16(8), U32(12), kMicrosecondResolution, 0};
  size_t end = kBlockHead + body_.size();
  for (size_t at = kBlockHead + kInterfaceFixed; end - at >= 4;) {
    uint32_t code = U16(at), length = U16(at + 2);
    if (code == kOptionEnd) break;
    size_t padded = (length + 3u) & ~size_t{3};
    if (padded > end - at - 4) Damaged("option " + std::to_string(code) + " runs past its block");
    if (code == kOptionResolution && length >= 1) interface.resolution = block_[at + 4];
    if (code == kOptionOffset && length >= 8)
      interface.offsetSeconds = bigEndian_ ? uint64_t{U32(at + 4)} << 32 | U32(at + 8)
                                           : uint64_t{U32(at + 8)} << 32 | U32(at + 4);
    at += 4 + padded;
  }
  bool binary = interface.resolution & kBinaryResolution;
  uint32_t exponent = interface.resolution & ~kBinaryResolution;
  if (exponent > (binary ? kLargestBinaryExponent : kLargestDecimalExponent))
    Damaged("the interface has an unusable time-stamp resolution");
  interfaces_.push_back(interface);
}

// The enhanced packet block and the obsolete one it replaced differ only in
// the interface field: 32 bits, or 16 followed by a drop count.
bool PcapngReader::TimedPacket(PcapngPacket& packet, bool wideInterface) {
  if (body_.size() < kTimedFixed) Damaged("the packet block is too short");
  uint32_t index = wideInterface ? U32(8) : U16(8);
  const Interface& interface = InterfaceAt(index);
  uint32_t captured = U32(20);
  if (captured > body_.size() - kTimedFixed)
    Damaged("the packet's captured length " + std::to_string(captured) + " runs past its block");
  packet = {index, interface.linkType, Microseconds(interface, uint64_t{U32(12)} << 32 | U32(16)), U32(24),
            body_.subspan(kTimedFixed, captured)};
  return true;
}

// A simple packet belongs to the section's first interface; it holds no time
// stamp and no captured length: the data run to the end of the block, cut at
// the interface's snapshot length and at the packet's own length.
bool PcapngReader::SimplePacket(PcapngPacket& packet) {
  if (body_.size() < kSimpleFixed) Damaged("the simple packet block is too short");
  const Interface& interface = InterfaceAt(0);
  uint32_t original = U32(8);
  size_t captured = std::min<size_t>(original, body_.size() - kSimpleFixed);
  if (interface.snapLength != 0) captured = std::min<size_t>(captured, interface.snapLength);
  packet = {0, interface.linkType, 0, original, body_.subspan(kSimpleFixed, captured)};
  return true;
}

const PcapngReader::Interface& PcapngReader::InterfaceAt(uint32_t index) const {
  if (index >= interfaces_.size())
    Damaged("a packet of interface " + std::to_string(index) + ", which the section does not describe");
  return interfaces_[index];
}

// Time stamps count units of the interface's resolution from its offset;
// arithmetic wraps rather than overflows for absurd values.
uint64_t PcapngReader::Microseconds(const Interface& interface, uint64_t units) const {
  uint32_t exponent = interface.resolution & ~kBinaryResolution;
  uint64_t micros;
  if (interface.resolution & kBinaryResolution)
    micros = static_cast<uint64_t>((static_cast<unsigned __int128>(units) * kMicrosecondsPerSecond) >> exponent);
  else if (exponent >= kMicrosecondResolution)
    micros = units / PowerOfTen(exponent - kMicrosecondResolution);
  else
    micros = units * PowerOfTen(kMicrosecondResolution - exponent);
  return micros + interface.offsetSeconds * kMicrosecondsPerSecond;
}

bool PcapngReader::Append(size_t count) {
  while (count > 0) {
    size_t piece = std::min(count, kReadPiece);
    size_t had = block_.size();
    block_.resize(had + piece);
    size_t got = std::fread(block_.data() + had, 1, piece, file_);
    block_.resize(had + got);
    position_ += got;
    if (got < piece) return false;
    count -= piece;
  }
  return true;
}

uint32_t PcapngReader::U16(size_t at) const {
  return bigEndian_ ? uint32_t{block_[at]} << 8 | block_[at + 1] : uint32_t{block_[at + 1]} << 8 | block_[at];
}

uint32_t PcapngReader::U32(size_t at) const {
  return bigEndian_ ? U16(at) << 16 | U16(at + 2) : U16(at + 2) << 16 | U16(at);
}

void PcapngReader::Damaged(const std::string& problem) const {
  throw PcapngError("block at byte " + std::to_string(blockStart_) + ": " + problem, false);
}

}  // namespace vdecode
