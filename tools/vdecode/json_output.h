// A packet's decoding as one JSON object (JSON Lines: one object per line),
// written straight into the output text. Every text is converted to UTF-8
// whatever the packet held, so the output is always valid JSON.
#pragma once

#include <string>

#include "vel/interfaces.h"

namespace vdecode {

// The object on one line, followed by a line feed. Keys: number, timestamp
// (microseconds), capture_length, original_length, severity, summary,
// groups. Each item: name, value, comment, start, length, type, severity,
// protocol, summary, is_group, children.
void AppendPacketJsonLine(std::string& out, vel::IVELPacketsDecodingInfo* info);

}  // namespace vdecode
