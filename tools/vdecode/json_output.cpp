#include "tools/vdecode/json_output.h"

#include <charconv>
#include <type_traits>

#include "tools/vdecode/decoding_tree.h"
#include "tools/vdecode/utf8.h"

namespace vdecode {

using namespace vel;

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// ASCII that a JSON string holds as it is.
constexpr AsciiRange kUnescaped{0x20, 0x7F, u'"', u'\\'};

void AppendEscaped(BlockWriter& out, char32_t cp) {
  switch (cp) {
    case U'"': out += "\\\""; return;
    case U'\\': out += "\\\\"; return;
    case U'\b': out += "\\b"; return;
    case U'\t': out += "\\t"; return;
    case U'\n': out += "\\n"; return;
    case U'\f': out += "\\f"; return;
    case U'\r': out += "\\r"; return;
    default: break;
  }
  if (cp < 0x20) {
    const char escape[] = {'\\', 'u', '0', '0', kHexDigits[cp >> 4], kHexDigits[cp & 0xF]};
    out += std::string_view(escape, sizeof escape);
  } else {
    AppendUtf8CodePoint(out, cp);
  }
}

template <class Number>
void AppendNumber(BlockWriter& out, Number value) {
  static_assert(std::is_unsigned_v<Number>);
  // Most numbers of an item (type, severity, protocol) are one digit.
  if (value < 10) {
    out += static_cast<char>('0' + value);
    return;
  }
  char* digits = out.Room(24);
  out.Advance(static_cast<size_t>(std::to_chars(digits, digits + 24, value).ptr - digits));
}

// Text as a JSON string: quotes, backslashes and control characters escaped
// (\b \t \n \f \r, else \u00XX), everything else as UTF-8; a lone
// surrogate becomes U+FFFD.
void AppendJsonString(BlockWriter& out, std::u16string_view text) {
  out += '"';
  const size_t size = text.size();
  for (size_t i = 0; i < size;) {
    if (kUnescaped.Holds(text[i])) {
      AppendAsciiRun(out, text, i, kUnescaped);
      continue;
    }
    AppendEscaped(out, NextCodePoint(text, i));
  }
  out += '"';
}

// A member of an object: its opening (the comma or brace before it, the key
// and the colon), then its value.
template <size_t N>
void AppendMember(BlockWriter& out, const char (&opening)[N], std::u16string_view text) {
  out.AppendLiteral(opening);
  AppendJsonString(out, text);
}

template <size_t N, class Number>
void AppendMember(BlockWriter& out, const char (&opening)[N], Number number) {
  out.AppendLiteral(opening);
  AppendNumber(out, number);
}

void AppendItem(BlockWriter& out, const DecodingItem& item);

template <class Items>
void AppendItems(BlockWriter& out, const Items& items) {
  out += '[';
  bool first = true;
  for (const DecodingItem* item : items) {
    if (!first) out += ',';
    first = false;
    AppendItem(out, *item);
  }
  out += ']';
}

void AppendItem(BlockWriter& out, const DecodingItem& item) {
  AppendMember(out, "{\"name\":", item.Name());
  AppendMember(out, ",\"value\":", item.Value());
  AppendMember(out, ",\"comment\":", item.Comment());
  AppendMember(out, ",\"start\":", item.startPos);
  AppendMember(out, ",\"length\":", item.length);
  AppendMember(out, ",\"type\":", item.type);
  AppendMember(out, ",\"severity\":", item.severity);
  AppendMember(out, ",\"protocol\":", item.protocol);
  AppendMember(out, ",\"summary\":", item.Summary());
  if (item.isGroup != 0)
    out.AppendLiteral(",\"is_group\":true,\"children\":");
  else
    out.AppendLiteral(",\"is_group\":false,\"children\":");
  AppendItems(out, item.Children());
  out += '}';
}

}  // namespace

void AppendPacketJsonLine(std::string& text, IVELPacketsDecodingInfo* decoding) {
  const DecodingInfo& info = InfoOf(decoding);
  BlockWriter out(text);
  AppendMember(out, "{\"number\":", info.sequence);
  AppendMember(out, ",\"timestamp\":", info.timeStamp);
  AppendMember(out, ",\"capture_length\":", info.captureLength);
  AppendMember(out, ",\"original_length\":", info.originalLength);
  AppendMember(out, ",\"severity\":", info.Severity());
  AppendMember(out, ",\"summary\":", PacketSummary(info));
  out.AppendLiteral(",\"groups\":");
  AppendItems(out, info.Groups());
  out += "}\n";
}

}  // namespace vdecode
