// Text output of a decoding: the engine's rendering made safe for a terminal,
// the rendering with the selected item marked, and one-line item locations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vel/interfaces.h"

namespace vdecode {

// Appends text as UTF-8 with control characters shown as escapes (\r, \n,
// \t, \xNN, \u0085), so packet bytes cannot drive the terminal. With
// renderedLines, each "\r\n" of the engine's rendering becomes newline.
void AppendTerminalText(std::string& out, std::u16string_view text, std::string_view newline, bool renderedLines);

// The decoding info's own text rendering.
void AppendVerbose(std::string& out, vel::IVELPacketsDecodingInfo* info, std::string_view newline);

// The same lines, each behind a two-column margin that holds "* " on the line
// of the packet's selected item.
void AppendVerboseMarked(std::string& out, vel::IVELPacketsDecodingInfo* info, std::string_view newline);

// "name: value [start/length]" of the item that covers frame byte offset, or
// a line saying that none does.
void AppendOffsetLine(std::string& out, vel::IVELPacketsDecodingInfo* info, uint32_t offset, std::string_view newline);

// "* name: value [start/length]" of the packet's selected item; nothing when
// no item of the packet is selected.
void AppendSelectedLine(std::string& out, vel::IVELPacketsDecodingInfo* info, std::string_view newline);

}  // namespace vdecode
