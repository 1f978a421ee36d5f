#include "decoders/application/domain_name.h"

#include <algorithm>

namespace vel {

namespace {

constexpr uint32_t kPointerMark = 0xC0;
constexpr uint32_t kPointerSize = 2;
// The longest name a message may hold, in bytes on the wire.
constexpr uint32_t kMaxNameBytes = 255;

}  // namespace

// Every pointer followed must point before the place where the labels that
// led to it began, so the places read move strictly backwards and a loop
// cannot form. Once a pointer was followed, the name also ends when it passes
// the longest a name may be, which bounds the text however the labels are laid.
DomainName ReadDomainName(ByteView message, uint32_t at, uint32_t end, TextBuffer& text) {
  DomainName name;
  const uint32_t start = at;
  uint32_t runStart = at;
  uint32_t limit = std::min(end, message.size());
  uint32_t wireBytes = 0;
  bool home = true;
  auto leaveHome = [&](uint32_t next) {
    if (home) name.occupied = next - start;
    home = false;
  };

  for (;;) {
    if (at >= limit) {
      leaveHome(limit);
      return name;
    }
    uint32_t length = message.U8(at);
    if (length == 0) {
      leaveHome(at + 1);
      return name;
    }

    if ((length & kPointerMark) == kPointerMark) {
      name.compressed = true;
      if (limit - at < kPointerSize) {
        leaveHome(limit);
        return name;
      }
      uint32_t target = (length & ~kPointerMark) << 8 | message.U8(at + 1);
      leaveHome(at + kPointerSize);
      wireBytes += kPointerSize;
      if (target >= runStart || wireBytes > kMaxNameBytes) {
        name.pointerRefused = true;
        return name;
      }
      runStart = at = target;
      limit = message.size();
      continue;
    }

    if (!home && wireBytes + 1 + length > kMaxNameBytes) {
      name.pointerRefused = true;
      return name;
    }
    if (text.size() > 0) text.append(u'.');
    ByteView label = message.Clamp(at + 1, std::min(length, limit - at - 1));
    AppendPacketText(text, label.data(), label.size());
    wireBytes += 1 + length;
    at += 1 + length;
  }
}

}  // namespace vel
