#include "tools/vdecode/hex_dump.h"

#include <algorithm>
#include <cstdio>

namespace vdecode {

namespace {

constexpr size_t kBytesPerLine = 16;
constexpr size_t kHalfLine = kBytesPerLine / 2;
constexpr char kDigits[] = "0123456789abcdef";

void AppendLine(std::string& out, size_t offset, std::span<const uint8_t> bytes, std::string_view newline) {
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "%04zx  ", offset);
  out += prefix;
  for (size_t i = 0; i < kBytesPerLine; ++i) {
    if (i == kHalfLine) out += ' ';
    if (i < bytes.size()) {
      out += kDigits[bytes[i] >> 4];
      out += kDigits[bytes[i] & 0x0F];
      out += ' ';
    } else {
      out += "   ";
    }
  }
  out += ' ';
  for (uint8_t byte : bytes) out += (byte >= 0x20 && byte < 0x7F) ? static_cast<char>(byte) : '.';
  out += newline;
}

}  // namespace

void AppendHexDump(std::string& out, std::span<const uint8_t> frame, std::string_view newline) {
  for (size_t offset = 0; offset < frame.size(); offset += kBytesPerLine)
    AppendLine(out, offset, frame.subspan(offset, std::min(kBytesPerLine, frame.size() - offset)), newline);
}

}  // namespace vdecode
