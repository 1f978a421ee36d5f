// The packets of the sources that read through libpcap (classic pcap files
// and live capture), as vdecode's packets.
#pragma once

#include <pcap/pcap.h>

#include "tools/vdecode/capture_input.h"

namespace vdecode {

// What pcap_next_ex gave for capture, as a packet; its bytes stay libpcap's.
inline void TakePcapPacket(pcap_t* capture, const pcap_pkthdr& header, const u_char* data, RawPacket& packet) {
  constexpr uint64_t kMicrosecondsPerSecond = 1000000;
  packet.timestamp =
      static_cast<uint64_t>(header.ts.tv_sec) * kMicrosecondsPerSecond + static_cast<uint64_t>(header.ts.tv_usec);
  packet.originalLength = header.len;
  packet.linkType = static_cast<uint32_t>(pcap_datalink(capture));
  packet.frame = {data, header.caplen};
}

}  // namespace vdecode
