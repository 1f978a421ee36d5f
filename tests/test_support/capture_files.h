// Capture files for the tests, built from bytes: classic pcap of any link
// type, pcapng with interfaces of any link types and time-stamp resolutions
// in either byte order, and counts of the packets a file holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vel::test {

// Link-type numbers as capture files write them.
inline constexpr uint32_t kLinkNull = 0, kLinkEthernet = 1, kLinkRawIp = 101, kLinkRawIpOld = 12;
inline constexpr uint32_t kLinkLoop = 108, kLinkLinuxCooked = 113, kLinkLinuxCookedV2 = 276;
inline constexpr uint32_t kLinkIPv4 = 228, kLinkIPv6 = 229;
inline constexpr uint32_t kLinkIeee80211 = 105, kLinkPrivate = 147;  // not decoded

// Little-endian classic pcap, microsecond time stamps; frame k at k seconds.
std::string ClassicPcap(uint32_t linkType, const std::vector<std::string>& frames);

// One interface of a pcapng file: its link type and, when given, the if_tsresol byte.
struct PcapngInterface {
  uint32_t linkType;
  std::optional<uint8_t> resolution = std::nullopt;
};
// One enhanced packet block: the interface's index, the time stamp in the
// interface's units, the frame; or a simple packet block, which has neither
// interface (it is the first one's) nor time stamp.
struct PcapngRecord {
  uint32_t interface;
  uint64_t units;
  std::string frame;
  bool simple = false;
};
// One section: a section header, the interface descriptions, then the packets.
std::string PcapngSection(const std::vector<PcapngInterface>& interfaces, const std::vector<PcapngRecord>& records,
                          bool bigEndian = false);

// Records of a classic pcap file (either byte order), counted by walking its headers.
size_t CountRecords(const std::string& pcap);
// Packet blocks of a pcapng file (every section, either byte order), counted
// by walking its blocks up to the first that does not fit.
size_t CountPcapngPackets(const std::string& pcapng);

}  // namespace vel::test
