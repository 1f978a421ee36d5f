// Classifies a frame into its protocol layers before any module runs.
#pragma once

#include "vel/byte_view.h"
#include "vel/interfaces.h"

namespace vel {

// Fills a zeroed record from the frame alone; never reads past the captured data.
void Preclassify(const CapturedPacket* captured, ParsedPacket* packet);

// The address family at the start of a BSD loopback header. LOOP writes it in
// network byte order, NULL in the byte order of the capturing host, which
// shows in where the number sits: a family is small, so read big-endian its
// upper half is zero.
struct LoopbackFamily {
  uint32_t value;
  bool networkOrder;
};
inline LoopbackFamily ReadLoopbackFamily(ByteView header, uint32_t linkType) {
  bool networkOrder = linkType == VEL_LT_LOOP || header.U16(0) == 0;
  return {networkOrder ? header.U32(0) : header.U32LE(0), networkOrder};
}

}  // namespace vel
