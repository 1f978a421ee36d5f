// Text for decoding results: printf-style formatting into UTF-16 without heap
// traffic for ordinary lengths, the string table, and packet text conversion
// with the thread's code page.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "vel/platform.h"

namespace vel {

// ---- Formatting ---------------------------------------------------------

// A text being built. Short texts stay in the inline array; longer ones move to
// a heap block, which the buffer keeps for reuse until it is destroyed.
class TextBuffer {
 public:
  TextBuffer() = default;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;
  ~TextBuffer() {
    if (data_ != inline_) delete[] data_;
  }

  void clear() { size_ = 0; }
  void append(std::u16string_view text) {
    char16_t* to = Extend(text.size());
    std::char_traits<char16_t>::copy(to, text.data(), text.size());
  }
  void append(char16_t c, size_t count = 1) {
    char16_t* to = Extend(count);
    size_t i = 0;
    if (count >= 8) {
      // Eight units a store: padding to a column runs to dozens of blanks.
      const char16_t eight[8] = {c, c, c, c, c, c, c, c};
      for (; i + 8 <= count; i += 8) std::memcpy(to + i, eight, sizeof eight);
    }
    for (; i < count; ++i) to[i] = c;
  }
  // Appends ASCII or UTF-8 text from the engine's own narrow strings.
  void appendAscii(std::string_view text) {
    char16_t* to = Extend(text.size());
    for (char c : text) *to++ = static_cast<char16_t>(static_cast<unsigned char>(c));
  }
  // Makes room for count more units at the end and returns where they go.
  char16_t* Extend(size_t count) {
    if (count > capacity_ - size_) Grow(size_ + count);
    char16_t* to = data_ + size_;
    size_ += count;
    return to;
  }
  // Drops the last count units (after Extend reserved more than was written).
  void Shrink(size_t count) { size_ -= count; }
  std::u16string_view view() const { return std::u16string_view(data_, size_); }
  size_t size() const { return size_; }
  operator std::u16string_view() const { return view(); }

 private:
  VEL_API void Grow(size_t needed);

  static constexpr size_t kInline = 160;
  char16_t inline_[kInline];
  char16_t* data_ = inline_;
  size_t size_ = 0;
  size_t capacity_ = kInline;
};

// One argument of a formatted text: an integer (with its width and sign) or a text.
struct FormatArg {
  enum Kind : uint8_t { kInteger, kText } kind;
  bool isSigned = false;
  uint8_t bytes = 4;
  uint64_t integer = 0;
  std::u16string_view text;

  template <class T>
    requires std::is_integral_v<T> || std::is_enum_v<T>
  FormatArg(T v)
      : kind(kInteger), isSigned(std::is_signed_v<T>), bytes(sizeof(T)),
        integer(static_cast<uint64_t>(static_cast<std::conditional_t<std::is_signed_v<T>, int64_t, uint64_t>>(v))) {}
  FormatArg(std::u16string_view t) : kind(kText), text(t) {}
  FormatArg(const std::u16string& t) : kind(kText), text(t) {}
  FormatArg(const char16_t* t) : kind(kText), text(t ? std::u16string_view(t) : std::u16string_view()) {}
  FormatArg(char16_t* t) : FormatArg(static_cast<const char16_t*>(t)) {}
  FormatArg(const TextBuffer& t) : kind(kText), text(t.view()) {}
};

// printf-style: %d %i %u %x %X %o %c %s %%, flags - 0 + blank #, width and
// precision (numbers or *), length modifiers accepted and ignored (the
// argument's own type decides its width).
VEL_API void AppendFormatArgs(TextBuffer& out, std::u16string_view format, std::span<const FormatArg> args);

// The decimal digits of value.
VEL_API void AppendDecimal(TextBuffer& out, uint32_t value);

template <class... A>
std::u16string_view Format(TextBuffer& out, std::u16string_view format, const A&... args) {
  out.clear();
  // A bare "%u" of one unsigned number, the commonest format, needs no parsing.
  if constexpr (sizeof...(A) == 1 && (std::is_same_v<A, uint32_t> && ...)) {
    if (format == std::u16string_view(u"%u")) {
      (AppendDecimal(out, args), ...);
      return out.view();
    }
  }
  const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
  AppendFormatArgs(out, format, std::span<const FormatArg>(list, sizeof...(A)));
  return out.view();
}

template <class... A>
void AppendFormat(TextBuffer& out, std::u16string_view format, const A&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
  AppendFormatArgs(out, format, std::span<const FormatArg>(list, sizeof...(A)));
}

// ---- String table -------------------------------------------------------

inline constexpr uint16_t kLanguageEnglish = 1033;
inline constexpr uint16_t kLanguageChinese = 4;

// The calling thread's user-interface language. Its first value comes from the
// process locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG: a value beginning with
// "zh" selects Chinese, anything else English). Any language id whose primary
// language is Chinese selects Chinese.
VEL_API void SetThreadUILanguage(uint16_t language);
VEL_API uint16_t GetThreadUILanguage();

inline constexpr uint32_t kNoText = 0xFFFFFFFF;

// The text of an id in the thread's language; empty when the id has none.
VEL_API std::u16string_view ResText(uint32_t id);
VEL_API bool HasResText(uint32_t id);

VEL_API std::u16string LoadResText(uint32_t id);
VEL_API bool LoadResTextInto(std::u16string& text, uint32_t id);

// Formats with the id's text as the format; throws a ComError(E_FAIL) when the id has no text.
struct ComError {
  HRESULT code;
};
template <class... A>
std::u16string_view FormatResText(TextBuffer& out, uint32_t id, const A&... args) {
  if (!HasResText(id)) throw ComError{E_FAIL};
  return Format(out, ResText(id), args...);
}

// ---- Value names --------------------------------------------------------

// {code, text id} pairs ended by a pair whose text id is 0.
struct NameIdPair {
  uint32_t code;
  uint32_t textId;
};
VEL_API uint32_t LookupNameId(const NameIdPair* table, uint32_t code);  // kNoText when absent
VEL_API uint32_t LookupNameIdOrZero(const NameIdPair* table, uint32_t code);
// The text named by the table for code, empty when absent.
inline std::u16string_view NameOf(const NameIdPair* table, uint32_t code) {
  return ResText(LookupNameId(table, code));
}

// ---- Packet text --------------------------------------------------------

inline constexpr uint32_t kCodePageUtf8 = 65001;
inline constexpr uint32_t kCodePageLatin1 = 28591;
inline constexpr uint32_t kCodePageWindows1252 = 1252;
inline constexpr uint32_t kCodePageAscii = 20127;

// The code page in which the calling thread reads text carried in packets;
// UTF-8 unless set. Returns false (and changes nothing) for an unsupported page.
VEL_API bool SetThreadCodePage(uint32_t codePage);
VEL_API uint32_t GetThreadCodePage();
// Appends packet bytes as text: ASCII unchanged, bytes that are not valid in
// the code page become U+FFFD.
VEL_API void AppendPacketText(TextBuffer& out, const uint8_t* bytes, size_t length);

// UTF-16 to UTF-8 and back; lone surrogates and invalid bytes become U+FFFD.
VEL_API std::string Utf16ToUtf8(std::u16string_view text);
VEL_API std::u16string Utf8ToUtf16(std::string_view text);

// Appends one code point as UTF-8; out is a std::string or anything else that
// takes characters with +=.
template <class Out>
void AppendUtf8CodePoint(Out& out, char32_t cp) {
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

}  // namespace vel
