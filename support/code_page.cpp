// Packet bytes to UTF-16 with the calling thread's code page.
#include "support/hot_thread_local.h"
#include "vel/text.h"

namespace vel {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

VEL_HOT_THREAD_LOCAL uint32_t t_codePage = kCodePageUtf8;

// Windows-1252 assigns printable characters to most of 0x80..0x9F; the
// five unassigned positions are 0.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Length of the UTF-8 sequence starting at lead, or 0 for an invalid lead byte.
int SequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

void AppendCodePoint(TextBuffer& out, uint32_t cp) {
  if (cp < 0x10000) {
    out.append(static_cast<char16_t>(cp));
    return;
  }
  cp -= 0x10000;
  out.append(static_cast<char16_t>(0xD800 + (cp >> 10)));
  out.append(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

// Decodes one sequence at bytes[0..length); returns the bytes consumed. An
// invalid sequence consumes one byte and yields the replacement character.
size_t DecodeUtf8(const uint8_t* bytes, size_t length, TextBuffer& out) {
  int n = SequenceLength(bytes[0]);
  if (n == 0 || static_cast<size_t>(n) > length) {
    out.append(kReplacement);
    return 1;
  }
  uint32_t cp = n == 1 ? bytes[0] : bytes[0] & (0x7F >> n);
  for (int i = 1; i < n; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) {
      out.append(kReplacement);
      return 1;
    }
    cp = (cp << 6) | (bytes[i] & 0x3F);
  }
  bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
  bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
  if (overlong || surrogate || cp > 0x10FFFF) {
    out.append(kReplacement);
    return 1;
  }
  AppendCodePoint(out, cp);
  return static_cast<size_t>(n);
}

char16_t SingleByte(uint8_t b, uint32_t codePage) {
  if (b < 0x80) return b;
  switch (codePage) {
    case kCodePageLatin1: return b;
    case kCodePageWindows1252: {
      if (b >= 0xA0) return b;
      char16_t c = kWindows1252High[b - 0x80];
      return c ? c : kReplacement;
    }
    default: return kReplacement;
  }
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    bool high = cp >= 0xD800 && cp <= 0xDBFF;
    bool pairs = high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (pairs) cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    else if (cp >= 0xD800 && cp <= 0xDFFF) cp = kReplacement;
    AppendUtf8CodePoint(out, cp);
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  TextBuffer out;
  for (size_t i = 0; i < text.size();)
    i += DecodeUtf8(reinterpret_cast<const uint8_t*>(text.data()) + i, text.size() - i, out);
  return std::u16string(out.view());
}

bool SetThreadCodePage(uint32_t codePage) {
  switch (codePage) {
    case kCodePageUtf8: case kCodePageLatin1: case kCodePageWindows1252: case kCodePageAscii:
      t_codePage = codePage;
      return true;
    default:
      return false;
  }
}

uint32_t GetThreadCodePage() { return t_codePage; }

void AppendPacketText(TextBuffer& out, const uint8_t* bytes, size_t length) {
  uint32_t codePage = t_codePage;
  for (size_t i = 0; i < length;) {
    if (codePage == kCodePageUtf8) {
      i += DecodeUtf8(bytes + i, length - i, out);
    } else {
      out.append(SingleByte(bytes[i], codePage));
      ++i;
    }
  }
}

}  // namespace vel
