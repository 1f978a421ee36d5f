// The compiled string table: one dense array per language, indexed by id - kFirstId.
#pragma once

#include <cstdint>

namespace vel::string_data {

struct Text {
  const char16_t* text;  // null where the language has no text of its own
  uint16_t length;
};

inline constexpr uint32_t kFirstId = 100;
inline constexpr uint32_t kLastId = 1991;
inline constexpr uint32_t kCount = kLastId - kFirstId + 1;

extern const Text kEnglish[kCount];
extern const Text kChinese[kCount];

}  // namespace vel::string_data
