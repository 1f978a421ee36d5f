// The host's packet record: a CapturedPacket header followed by the frame.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "vel/interfaces.h"

namespace vdecode {

// One record in a heap block of exactly its size, so that a read past the
// frame's end is caught by the address sanitizer.
class PacketRecord {
 public:
  PacketRecord(uint32_t sequence, uint64_t timestamp, std::span<const uint8_t> frame, uint32_t originalLength,
               uint16_t linkType = vel::VEL_LT_ETHERNET);

  // What the manager's Decode takes.
  uint8_t* data() const { return block_.get(); }
  vel::CapturedPacket header() const;
  std::span<const uint8_t> frame() const;

 private:
  std::unique_ptr<uint8_t[]> block_;
};

}  // namespace vdecode
