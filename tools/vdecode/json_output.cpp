#include "tools/vdecode/json_output.h"

#include <charconv>

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
    AppendCodePoint(out, cp);
  }
}

template <class Number>
void AppendNumber(BlockWriter& out, Number value) {
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

void AppendItem(BlockWriter& out, const DecodingItem& item) {
  out += "{\"name\":";
  AppendJsonString(out, item.Name());
  out += ",\"value\":";
  AppendJsonString(out, item.Value());
  out += ",\"comment\":";
  AppendJsonString(out, item.Comment());
  out += ",\"start\":";
  AppendNumber(out, item.startPos);
  out += ",\"length\":";
  AppendNumber(out, item.length);
  out += ",\"type\":";
  AppendNumber(out, item.type);
  out += ",\"severity\":";
  AppendNumber(out, item.severity);
  out += ",\"protocol\":";
  AppendNumber(out, item.protocol);
  out += ",\"summary\":";
  AppendJsonString(out, item.Summary());
  out += item.isGroup != 0 ? ",\"is_group\":true,\"children\":[" : ",\"is_group\":false,\"children\":[";
  bool first = true;
  for (const DecodingItem* child : item.Children()) {
    if (!first) out += ',';
    first = false;
    AppendItem(out, *child);
  }
  out += "]}";
}

}  // namespace

void AppendPacketJsonLine(std::string& text, IVELPacketsDecodingInfo* decoding) {
  const DecodingInfo& info = InfoOf(decoding);
  BlockWriter out(text);
  out += "{\"number\":";
  AppendNumber(out, info.sequence);
  out += ",\"timestamp\":";
  AppendNumber(out, info.timeStamp);
  out += ",\"capture_length\":";
  AppendNumber(out, info.captureLength);
  out += ",\"original_length\":";
  AppendNumber(out, info.originalLength);
  out += ",\"severity\":";
  AppendNumber(out, info.Severity());
  out += ",\"summary\":";
  AppendJsonString(out, PacketSummary(info));
  out += ",\"groups\":[";
  bool first = true;
  for (const DecodingItem* group : info.Groups()) {
    if (!first) out += ',';
    first = false;
    AppendItem(out, *group);
  }
  out += "]}\n";
}

}  // namespace vdecode
