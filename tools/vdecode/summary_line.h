// The one-line summary of a packet: number, time, source, destination, the
// top layer's protocol and the packet's summary text, and a marker when the
// packet's severity is above "information".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/vdecode/options.h"
#include "vel/interfaces.h"

namespace vdecode {

class SummaryLine {
 public:
  explicit SummaryLine(TimeFormat timeFormat) : timeFormat_(timeFormat) {}

  // Relative times count from this time stamp (the input's first packet).
  void SetReference(uint64_t timestamp) { reference_ = timestamp; }
  void Append(std::string& out, vel::IVELPacketsDecodingInfo* info, std::string_view newline);

 private:
  void AppendTime(std::string& out, uint64_t timestamp);

  TimeFormat timeFormat_;
  uint64_t reference_ = 0;
  // The date and time of the last second shown (absolute time formats).
  int64_t dateSecond_ = -1;
  std::string date_;
};

}  // namespace vdecode
