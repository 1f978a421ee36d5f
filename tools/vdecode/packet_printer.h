// Writes each decoded packet in the output mode the options ask for.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "tools/vdecode/options.h"
#include "tools/vdecode/summary_line.h"
#include "vel/interfaces.h"

namespace vdecode {

class PacketPrinter {
 public:
  explicit PacketPrinter(const Options& options);

  // Relative times count from the input's first packet, printed or not.
  void SetTimeReference(uint64_t timestamp) { summaryLine_.SetReference(timestamp); }
  // Appends the packet's output to out.
  void Print(std::string& out, vel::IVELPacketsDecodingInfo* info, std::span<const uint8_t> frame);

 private:
  const Options& options_;
  std::string newline_;
  SummaryLine summaryLine_;
};

}  // namespace vdecode
