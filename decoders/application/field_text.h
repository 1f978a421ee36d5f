// Small text helpers shared by the application decoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace vel {

// The name at a field's value in a list indexed by it; empty past the list's end.
template <size_t N>
std::u16string_view IndexedName(const std::u16string_view (&names)[N], uint32_t value) {
  return value < N ? names[value] : std::u16string_view{};
}

// The bytes of text at the start of a field: up to its first zero byte, or all of it.
inline uint32_t TextLength(const uint8_t* field, uint32_t size) {
  const void* zero = std::memchr(field, 0, size);
  return zero ? static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - field) : size;
}

}  // namespace vel
