#include "tools/vdecode/packet_record.h"

#include <cstring>

namespace vdecode {

PacketRecord::PacketRecord(uint32_t sequence, uint64_t timestamp, std::span<const uint8_t> frame,
                           uint32_t originalLength, uint16_t linkType)
    : block_(new uint8_t[sizeof(vel::CapturedPacket) + frame.size()]) {
  vel::CapturedPacket header{};
  header.Sequence = sequence;
  header.TimeStamp = timestamp;
  header.CaptureLength = static_cast<uint32_t>(frame.size());
  header.OriginalLength = originalLength;
  header.HeaderSize = sizeof(vel::CapturedPacket);
  header.LinkType = linkType;
  std::memcpy(block_.get(), &header, sizeof header);
  if (!frame.empty()) std::memcpy(block_.get() + sizeof header, frame.data(), frame.size());
}

vel::CapturedPacket PacketRecord::header() const {
  vel::CapturedPacket header;
  std::memcpy(&header, block_.get(), sizeof header);
  return header;
}

std::span<const uint8_t> PacketRecord::frame() const {
  return {block_.get() + sizeof(vel::CapturedPacket), header().CaptureLength};
}

}  // namespace vdecode
