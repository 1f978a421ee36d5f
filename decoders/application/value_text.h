// Value texts shared by the application decoders: names of codes wider than
// 32 bits, bytes as hex digit pairs in full, and text fields ended by a zero
// byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "vel/byte_view.h"
#include "vel/text.h"

namespace vel {

// The name a table gives a code that may be wider than the table's codes; empty when absent.
inline std::u16string_view NameOfCode(const NameIdPair* table, uint64_t code) {
  return code <= UINT32_MAX ? NameOf(table, static_cast<uint32_t>(code)) : std::u16string_view();
}

// The text id a table gives a code, or fallback when the table has none.
inline uint32_t LookupNameIdOr(const NameIdPair* table, uint32_t code, uint32_t fallback) {
  uint32_t id = LookupNameId(table, code);
  return id == kNoText ? fallback : id;
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

// The bytes of text at the start of a field: up to its first zero byte, or
// all of it. The field's size bytes must have been captured.
inline uint32_t TextLength(const uint8_t* field, uint32_t size) {
  const void* zero = std::memchr(field, 0, size);
  return zero ? static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - field) : size;
}

}  // namespace vel
