// Conversions between the engine's UTF-16 texts and the UTF-8 that terminals,
// files and JSON expect. Both directions always produce well-formed output:
// a lone surrogate or an invalid byte sequence becomes U+FFFD.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/vdecode/block_writer.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vdecode {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Out is a std::string or anything else that takes characters with +=.
template <class Out>
void AppendCodePoint(Out& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

inline bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Decodes the code point at text[i] and advances i past it.
inline char32_t NextCodePoint(std::u16string_view text, size_t& i) {
  char32_t unit = text[i++];
  if (IsHighSurrogate(unit) && i < text.size() && IsLowSurrogate(text[i]))
    return 0x10000 + ((unit - 0xD800) << 10) + (text[i++] - 0xDC00);
  if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) return kReplacementCharacter;
  return unit;
}

// The units a text run copied as plain bytes may hold: those in [low, high]
// other than the two excluded ones (which may lie outside the range to
// exclude none).
struct AsciiRange {
  char16_t low, high, excluded1, excluded2;
  bool Holds(char16_t c) const { return c >= low && c <= high && c != excluded1 && c != excluded2; }
};

// Copies the units from text[i] on that the range holds, as bytes, and moves
// i past them. Eight units at a time where the processor has SSE2.
inline void AppendAsciiRun(BlockWriter& out, std::u16string_view text, size_t& i, AsciiRange range) {
  constexpr size_t kPiece = 512;
  const char16_t* units = text.data();
  const size_t size = text.size();
  for (;;) {
    char* to = out.Room(kPiece);
    size_t n = 0;
#ifdef __SSE2__
    const __m128i low = _mm_set1_epi16(static_cast<short>(range.low));
    const __m128i high = _mm_set1_epi16(static_cast<short>(range.high));
    const __m128i excluded1 = _mm_set1_epi16(static_cast<short>(range.excluded1));
    const __m128i excluded2 = _mm_set1_epi16(static_cast<short>(range.excluded2));
    while (n + 8 <= kPiece && i + 8 <= size) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      // Unsigned range test: nothing is left when subtracting with saturation.
      __m128i outside = _mm_or_si128(_mm_subs_epu16(v, high), _mm_subs_epu16(low, v));
      __m128i bad = _mm_or_si128(_mm_cmpeq_epi16(v, excluded1), _mm_cmpeq_epi16(v, excluded2));
      bad = _mm_or_si128(bad, _mm_xor_si128(_mm_cmpeq_epi16(outside, _mm_setzero_si128()), _mm_set1_epi16(-1)));
      if (_mm_movemask_epi8(bad) != 0) break;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(to + n), _mm_packus_epi16(v, v));
      n += 8;
      i += 8;
    }
#endif
    while (n < kPiece && i < size && range.Holds(units[i])) to[n++] = static_cast<char>(units[i++]);
    out.Advance(n);
    if (n < kPiece) return;
  }
}

inline void AppendUtf8(std::string& out, std::u16string_view text) {
  for (size_t i = 0; i < text.size();) AppendCodePoint(out, NextCodePoint(text, i));
}

inline std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendUtf8(out, text);
  return out;
}

// Decodes UTF-8 (command-line arguments); malformed, overlong and surrogate
// sequences become U+FFFD, one per offending byte.
inline std::u16string ToUtf16(std::string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    auto lead = static_cast<uint8_t>(text[i]);
    int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
    bool valid = extra >= 0 && i + extra < text.size();
    char32_t cp = extra <= 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; valid && k <= extra; ++k) {
      auto next = static_cast<uint8_t>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      cp = cp << 6 | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    valid = valid && cp >= kSmallest[extra < 0 ? 0 : extra] && cp <= 0x10FFFF && !IsHighSurrogate(cp) &&
            !IsLowSurrogate(cp);
    if (!valid) {
      out += static_cast<char16_t>(kReplacementCharacter);
      ++i;
      continue;
    }
    i += static_cast<size_t>(extra) + 1;
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

}  // namespace vdecode
