// Live capture from a network interface through libpcap, stopped by a packet
// count or by SIGINT/SIGTERM, and the list of interfaces to capture from.
#pragma once

#include <memory>
#include <string>

#include "tools/vdecode/capture_input.h"

namespace vdecode {

struct LiveCaptureSettings {
  std::string interface;
  bool promiscuous = true;
  int snapLength = 262144;
  std::string filter;  // libpcap syntax; empty for none
  bool announce = true;  // say on standard error when capturing starts
};

// Starts capturing. Until the source is destroyed, SIGINT and SIGTERM end the
// capture after the packet in hand (a second one ends the program). Throws
// InputError when the interface cannot be captured from (no such interface,
// no permission, an undecoded link type) and FilterError for a bad filter.
std::unique_ptr<PacketSource> OpenLiveCapture(const LiveCaptureSettings& settings);

// The interfaces libpcap can capture from, one per line: "1.eth0 [Up, Running]".
// Throws InputError when libpcap cannot list them.
std::string InterfaceListing();

}  // namespace vdecode
