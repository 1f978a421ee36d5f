#include "decoders/application/der_reader.h"

namespace vel {

namespace {

constexpr uint32_t kLongForm = 0x80, kLengthBytesMask = 0x7F, kMaxLengthBytes = 4;
constexpr uint32_t kArcContinues = 0x80, kArcBits = 0x7F;
// The first value byte holds the first two arcs as 40 * first + second.
constexpr uint32_t kFirstArcs = 40, kLastFirstArc = 2;

}  // namespace

DerElement ReadDerElement(ByteView data, uint32_t limit) {
  DerElement element;
  element.tag = data.U8(0);
  uint32_t header = 2, length = 0;
  bool readable = limit >= header;
  if (readable) {
    const uint32_t first = data.U8(1);
    if (first < kLongForm) {
      length = first;
    } else {
      const uint32_t count = first & kLengthBytesMask;
      header += count;
      readable = count > 0 && count <= kMaxLengthBytes && header <= limit;
      for (uint32_t i = 0; readable && i < count; ++i) length = length << 8 | data.U8(2 + i);
    }
  }
  if (!readable) {
    // The value starts after the tag alone, so that the walk still moves on.
    element.headerLength = 1;
    element.length = limit - 1;
    element.overruns = true;
  } else {
    element.headerLength = header;
    element.overruns = length > limit - header;
    element.length = element.overruns ? limit - header : length;
  }
  element.value = data.Clamp(element.headerLength, element.length);
  return element;
}

void AppendObjectIdentifier(TextBuffer& out, ByteView value) {
  uint64_t arc = 0;
  bool first = true;
  for (uint32_t i = 0; i < value.size(); ++i) {
    const uint32_t byte = value.U8(i);
    arc = arc << 7 | (byte & kArcBits);
    if (byte & kArcContinues) continue;
    if (first) {
      const uint64_t leading = arc / kFirstArcs < kLastFirstArc ? arc / kFirstArcs : kLastFirstArc;
      AppendFormat(out, u"%u.%u", leading, arc - leading * kFirstArcs);
      first = false;
    } else {
      AppendFormat(out, u".%u", arc);
    }
    arc = 0;
  }
}

}  // namespace vel
