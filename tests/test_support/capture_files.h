// Capture files for the tests, built from bytes: classic pcap of any link
// type, pcapng with interfaces of two link types, and a record count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vel::test {

inline constexpr uint32_t kLinkEthernet = 1;
inline constexpr uint32_t kLinkLinuxCooked = 113;
inline constexpr uint32_t kLinkIeee80211 = 105;

// Little-endian classic pcap, microsecond time stamps; frame k at k seconds.
std::string ClassicPcap(uint32_t linkType, const std::vector<std::string>& frames);
// A pcapng file with one Ethernet interface; frame k at k + 1 seconds.
std::string EthernetPcapng(const std::vector<std::string>& frames);
// A pcapng file: an Ethernet interface with one frame, then an interface of
// link type 113, then a frame on each.
std::string MixedLinkTypePcapng(const std::string& frame);
// Records of a classic pcap file (either byte order), counted by walking its headers.
size_t CountRecords(const std::string& pcap);

}  // namespace vel::test
