// NetBIOS names as the name, datagram and session services carry them: a
// DNS-style name whose first label holds the sixteen name bytes in first-level
// encoding (two letters 'A'..'P' per byte), possibly followed by scope labels
// and ended by a zero byte or a compression pointer.
#pragma once

#include <cstdint>

#include "vel/byte_view.h"
#include "vel/text.h"

namespace vel {

// A name as it is shown: the fifteen name characters (padding kept), the
// suffix byte as "<XX>", the scope labels after dots.
struct NetBIOSName {
  TextBuffer text;
  // The suffix's description, "Compressed Name" after a compression pointer,
  // or empty.
  std::u16string_view comment;
  // Bytes the name occupies where it was read: through its zero byte or
  // through the second byte of its compression pointer.
  uint32_t length = 0;
  // When the capture ends inside the name: length holds the captured part,
  // needed the bytes the name needs as far as they are known.
  bool cut = false;
  uint32_t needed = 0;
};

// Reads the name at offset at of message (a view from the message start to
// the end of the captured data), where compression pointers count from.
void ReadNetBIOSName(ByteView message, uint32_t at, NetBIOSName& name);

// Shows sixteen plain (not encoded) name bytes the way ReadNetBIOSName shows
// a decoded name: fifteen characters, then the suffix.
void PlainNetBIOSName(const uint8_t* bytes, NetBIOSName& name);

}  // namespace vel
