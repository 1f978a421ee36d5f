// Hex and ASCII dump of a frame, sixteen bytes a line.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vdecode {

// Lines like "0010  08 00 45 00 00 54 1c 46  40 00 40 01 a5 d8 c0 a8  ..E..T.F@.@.....":
// the offset, the bytes in two halves, and the bytes as ASCII ('.' for the others).
void AppendHexDump(std::string& out, std::span<const uint8_t> frame, std::string_view newline);

}  // namespace vdecode
