// The compiled string table: one dense array per language, indexed by id - kFirstId,
// of views into one array of units per language.
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

// Every text of both languages, one after the other; the tables point into it.
extern const char16_t kUnits[];
extern const uint32_t kUnitCount;

// True when text lies in the table's own storage, which lasts as long as the
// library: such a text can be pointed to rather than copied.
inline bool IsTableText(const char16_t* text) {
  auto offset = reinterpret_cast<uintptr_t>(text) - reinterpret_cast<uintptr_t>(kUnits);
  return offset < uintptr_t{kUnitCount} * sizeof(char16_t);
}

}  // namespace vel::string_data
