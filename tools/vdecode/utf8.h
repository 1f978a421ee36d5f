// The pieces vdecode's writers use to turn the engine's UTF-16 texts into the
// UTF-8 that terminals, files and JSON expect: code points read from UTF-16
// (a lone surrogate becomes U+FFFD) and runs of plain ASCII copied as bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/vdecode/block_writer.h"
#include "vel/text.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vdecode {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

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
  // Whether an excluded unit lies inside the range, so that it needs a test of its own.
  constexpr bool Excludes() const { return Inside(excluded1) || Inside(excluded2); }
  constexpr bool Inside(char16_t c) const { return c >= low && c <= high; }
};

// Copies the units from text[i] on that the range holds, as bytes, and moves
// i past them. Sixteen or eight units at a time where the processor has SSE2.
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
    // Lanes holding a unit the run may not take.
    auto refused = [&](__m128i v) {
      // Unsigned range test: nothing is left when subtracting with saturation.
      __m128i outside = _mm_or_si128(_mm_subs_epu16(v, high), _mm_subs_epu16(low, v));
      __m128i bad = _mm_xor_si128(_mm_cmpeq_epi16(outside, _mm_setzero_si128()), _mm_set1_epi16(-1));
      if (range.Excludes())
        bad = _mm_or_si128(bad, _mm_or_si128(_mm_cmpeq_epi16(v, excluded1), _mm_cmpeq_epi16(v, excluded2)));
      return bad;
    };
    while (n + 16 <= kPiece && i + 16 <= size) {
      __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i + 8));
      if (_mm_movemask_epi8(_mm_or_si128(refused(v0), refused(v1))) != 0) break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + n), _mm_packus_epi16(v0, v1));
      n += 16;
      i += 16;
    }
    while (n + 8 <= kPiece && i + 8 <= size) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      if (_mm_movemask_epi8(refused(v)) != 0) break;
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

}  // namespace vdecode
