// Value texts shared by the application decoders: names kept as constant
// lists indexed by a code, and bytes shown as hex digit pairs in full.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "vel/byte_view.h"
#include "vel/text.h"

namespace vel {

// The name at position code of a list; empty past its end or where the list has none.
template <size_t N>
std::u16string_view NameAt(const char16_t* const (&names)[N], uint64_t code) {
  return code < N && names[code] ? std::u16string_view(names[code]) : std::u16string_view();
}

// Appends every byte of the view as two upper-case hex digits, without separators.
inline void AppendHexPairs(TextBuffer& out, ByteView bytes) {
  constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  const uint8_t* data = bytes.Bytes(0, bytes.size());
  for (uint32_t i = 0; i < bytes.size(); ++i) {
    out.append(kDigits[data[i] >> 4]);
    out.append(kDigits[data[i] & 0x0F]);
  }
}

}  // namespace vel
