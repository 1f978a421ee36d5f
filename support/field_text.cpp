// Bit pictures and address texts.
#include <algorithm>
#include <array>
#include <cstring>

#include "support/hot_thread_local.h"
#include "vel/fields.h"

namespace vel {

namespace {

// The picture of each nibble under each mask nibble: '1' or '0' for a bit
// of the mask, '.' for others; four units each, copied as one.
constexpr auto kNibblePictures = [] {
  std::array<std::array<std::array<char16_t, 4>, 16>, 16> pictures{};
  for (uint32_t mask = 0; mask < 16; ++mask)
    for (uint32_t value = 0; value < 16; ++value)
      for (uint32_t bit = 0; bit < 4; ++bit) {
        uint32_t m = 8u >> bit;
        pictures[mask][value][bit] = (mask & m) ? ((value & m) ? u'1' : u'0') : u'.';
      }
  return pictures;
}();

// Each width gets its own buffer per thread, so decoding on several threads at once is safe.
template <int N>
const char16_t* BitsText(uint32_t value, uint32_t mask) {
  static VEL_HOT_THREAD_LOCAL char16_t buffer[N + N / 4];
  char16_t* out = buffer;
  for (int shift = N - 4; shift >= 0; shift -= 4) {
    std::memcpy(out, kNibblePictures[(mask >> shift) & 0xF][(value >> shift) & 0xF].data(), 4 * sizeof(char16_t));
    out += 4;
    *out++ = shift ? u' ' : u'\0';
  }
  return buffer;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Upper-case hex of value, at least minDigits digits (zeros in front).
char16_t* AppendHex(char16_t* out, uint32_t value, int minDigits) {
  int digits = 1;
  while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
  digits = std::max(digits, minDigits);
  for (int i = digits - 1; i >= 0; --i) *out++ = static_cast<char16_t>(kHexDigits[(value >> (4 * i)) & 0xF]);
  return out;
}

char16_t* AppendDecimalByte(char16_t* out, uint32_t value) {
  if (value >= 100) *out++ = static_cast<char16_t>(u'0' + value / 100);
  if (value >= 10) *out++ = static_cast<char16_t>(u'0' + value / 10 % 10);
  *out++ = static_cast<char16_t>(u'0' + value % 10);
  return out;
}

}  // namespace

const char16_t* BitsText8(uint32_t value, uint32_t mask) { return BitsText<8>(value, mask); }
const char16_t* BitsText16(uint32_t value, uint32_t mask) { return BitsText<16>(value, mask); }
const char16_t* BitsText32(uint32_t value, uint32_t mask) { return BitsText<32>(value, mask); }

char16_t* IPv4Text(const uint8_t* address, char16_t* buffer) {
  char16_t* out = buffer;
  for (int i = 0; i < 4; ++i) {
    if (i) *out++ = u'.';
    out = AppendDecimalByte(out, address[i]);
  }
  *out = 0;
  return buffer;
}

char16_t* MacText(const uint8_t* bytes, char16_t* buffer) {
  char16_t* out = buffer;
  for (int i = 0; i < 6; ++i) {
    if (i) *out++ = u':';
    *out++ = static_cast<char16_t>(kHexDigits[bytes[i] >> 4]);
    *out++ = static_cast<char16_t>(kHexDigits[bytes[i] & 0xF]);
  }
  *out = 0;
  return buffer;
}

char16_t* IPv6Text(const uint8_t* words, char16_t* buffer) {
  char16_t* out = buffer;
  bool compressed = false;
  for (int g = 0; g < 8;) {
    uint32_t group = ReadUInt16BE(words + 2 * g);
    bool runStarts = group == 0 && g < 7 && ReadUInt16BE(words + 2 * g + 2) == 0;
    if (!compressed && runStarts) {
      compressed = true;
      if (g == 0) *out++ = u':';
      *out++ = u':';
      while (g < 8 && ReadUInt16BE(words + 2 * g) == 0) ++g;
      continue;
    }
    out = AppendHex(out, group, 1);
    if (g != 7) *out++ = u':';
    ++g;
  }
  *out = 0;
  return buffer;
}

}  // namespace vel
