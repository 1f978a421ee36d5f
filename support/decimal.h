// Decimal digits written two at a time, for the formatting paths that every
// field takes (number values, the text rendering's extents, "%u").
#pragma once

#include <cstdint>

namespace vel {

// The count of decimal digits of value.
constexpr uint32_t DecimalDigits(uint32_t value) {
  uint32_t digits = 1;
  for (; value >= 10000; value /= 10000) digits += 4;
  return digits + (value >= 10) + (value >= 100) + (value >= 1000);
}

// Writes the digits of value at to (DecimalDigits(value) units) and returns their end.
inline char16_t* PutDecimal(char16_t* to, uint32_t value) {
  static constexpr char kPairs[] =
      "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
      "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";
  char16_t* const end = to + DecimalDigits(value);
  char16_t* at = end;
  for (; value >= 100; value /= 100) {
    const uint32_t pair = 2 * (value % 100);
    *--at = static_cast<char16_t>(kPairs[pair + 1]);
    *--at = static_cast<char16_t>(kPairs[pair]);
  }
  if (value >= 10) {
    *--at = static_cast<char16_t>(kPairs[2 * value + 1]);
    *--at = static_cast<char16_t>(kPairs[2 * value]);
  } else {
    *--at = static_cast<char16_t>(u'0' + value);
  }
  return end;
}

}  // namespace vel
