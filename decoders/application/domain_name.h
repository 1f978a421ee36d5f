// Domain names as DNS messages carry them: length-prefixed labels ended by a
// zero byte, or cut short by a two-byte compression pointer to an earlier
// place of the message.
#pragma once

#include <cstdint>

#include "vel/byte_view.h"
#include "vel/text.h"

namespace vel {

struct DomainName {
  // Bytes the name occupies where it starts: its labels and the zero byte,
  // or up to and including the first pointer; as far as readable when cut.
  uint32_t occupied = 0;
  // A compression pointer was met.
  bool compressed = false;
  // A pointer was not followed because it does not point before the labels
  // that lead to it (a loop or a forward pointer), or because the name had
  // already grown past the longest a name may be.
  bool pointerRefused = false;
};

// Reads the name at offset `at` of message (the bytes from the message start
// to the end of the captured data) and appends its labels, joined by dots, to
// text. The labels at the starting place are read no further than offset
// `end`; pointers lead anywhere in message. Never reads outside message.
DomainName ReadDomainName(ByteView message, uint32_t at, uint32_t end, TextBuffer& text);

}  // namespace vel
