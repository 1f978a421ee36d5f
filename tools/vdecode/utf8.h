// Conversions between the engine's UTF-16 texts and the UTF-8 that terminals,
// files and JSON expect. Both directions always produce well-formed output:
// a lone surrogate or an invalid byte sequence becomes U+FFFD.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vdecode {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

inline void AppendCodePoint(std::string& out, char32_t cp) {
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
