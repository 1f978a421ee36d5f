// The compiled string table: one dense array per language, indexed by id - kFirstId,
// of views into one array of units per language.
#pragma once

#include <cstdint>
#include <functional>

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

// Every text of a language, one after the other; the tables point into these.
extern const char16_t kEnglishUnits[];
extern const uint32_t kEnglishUnitCount;
extern const char16_t kChineseUnits[];
extern const uint32_t kChineseUnitCount;

// True when text lies in the table's own storage, which lasts as long as the
// library: such a text can be pointed to rather than copied.
inline bool IsTableText(const char16_t* text) {
  auto within = [text](const char16_t* units, uint32_t count) {
    return std::less_equal<>()(units, text) && std::less<>()(text, units + count);
  };
  return within(kEnglishUnits, kEnglishUnitCount) || within(kChineseUnits, kChineseUnitCount);
}

}  // namespace vel::string_data
