// A packet's decoding as one JSON object (JSON Lines: one object per line).
// Every text is converted to UTF-8 whatever the packet held, so the output
// is always valid JSON.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "vel/interfaces.h"

namespace vdecode {

// Keys: number, timestamp (microseconds), capture_length, original_length,
// severity, summary, groups. Each item: name, value, comment, start, length,
// type, severity, protocol, summary, is_group, children.
nlohmann::ordered_json PacketJson(vel::IVELPacketsDecodingInfo* info);

// The object on one line, followed by a line feed.
void AppendPacketJsonLine(std::string& out, vel::IVELPacketsDecodingInfo* info);

}  // namespace vdecode
