#include "tools/vdecode/packet_printer.h"

#include "tools/vdecode/hex_dump.h"
#include "tools/vdecode/json_output.h"
#include "tools/vdecode/text_output.h"

namespace vdecode {

PacketPrinter::PacketPrinter(const Options& options)
    : options_(options), newline_(options.crlf ? "\r\n" : "\n"), summaryLine_(options.timeFormat) {}

void PacketPrinter::Print(std::string& out, vel::IVELPacketsDecodingInfo* info, std::span<const uint8_t> frame) {
  switch (options_.mode) {
    case OutputMode::kJson:
      AppendPacketJsonLine(out, info);
      return;
    case OutputMode::kVerbose:
      if (options_.select)
        AppendVerboseMarked(out, info, newline_);
      else
        AppendVerbose(out, info, newline_);
      break;
    case OutputMode::kSummary:
      summaryLine_.Append(out, info, newline_);
      if (options_.select) AppendSelectedLine(out, info, newline_);
      break;
  }
  if (options_.offset) AppendOffsetLine(out, info, *options_.offset, newline_);
  if (options_.hexDump) AppendHexDump(out, frame, newline_);
  // Multi-line packets are set apart by a blank line.
  if (options_.mode == OutputMode::kVerbose || options_.hexDump) out += newline_;
}

}  // namespace vdecode
