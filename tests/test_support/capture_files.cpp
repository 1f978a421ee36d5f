#include "capture_files.h"

#include <cstring>

namespace vel::test {

namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8 & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

uint32_t Get32(const std::string& bytes, size_t at, bool bigEndian) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(bytes[at + (bigEndian ? i : 3 - i)]);
  return v;
}

std::string Block(uint32_t type, std::string body) {
  body.append((4 - body.size() % 4) % 4, '\0');
  std::string block;
  Put32(block, type);
  Put32(block, static_cast<uint32_t>(body.size() + 12));
  block += body;
  Put32(block, static_cast<uint32_t>(body.size() + 12));
  return block;
}

std::string SectionHeaderBlock() {
  std::string body;
  Put32(body, 0x1A2B3C4D);  // byte-order magic
  Put16(body, 1);
  Put16(body, 0);
  Put32(body, 0xFFFFFFFF);  // section length unknown
  Put32(body, 0xFFFFFFFF);
  return Block(0x0A0D0D0A, body);
}

std::string InterfaceBlock(uint32_t linkType) {
  std::string body;
  Put16(body, linkType);
  Put16(body, 0);
  Put32(body, 65535);
  return Block(1, body);
}

std::string PacketBlock(uint32_t interface, uint32_t second, const std::string& frame) {
  std::string body;
  uint64_t micros = uint64_t{second} * 1000000;
  Put32(body, interface);
  Put32(body, static_cast<uint32_t>(micros >> 32));
  Put32(body, static_cast<uint32_t>(micros));
  Put32(body, static_cast<uint32_t>(frame.size()));
  Put32(body, static_cast<uint32_t>(frame.size()));
  return Block(6, body + frame);
}

}  // namespace

std::string ClassicPcap(uint32_t linkType, const std::vector<std::string>& frames) {
  std::string out;
  Put32(out, 0xA1B2C3D4);
  Put16(out, 2);
  Put16(out, 4);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 65535);
  Put32(out, linkType);
  for (size_t k = 0; k < frames.size(); ++k) {
    Put32(out, static_cast<uint32_t>(k));
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(frames[k].size()));
    Put32(out, static_cast<uint32_t>(frames[k].size()));
    out += frames[k];
  }
  return out;
}

std::string EthernetPcapng(const std::vector<std::string>& frames) {
  std::string file = SectionHeaderBlock() + InterfaceBlock(kLinkEthernet);
  for (size_t k = 0; k < frames.size(); ++k) file += PacketBlock(0, static_cast<uint32_t>(k + 1), frames[k]);
  return file;
}

std::string MixedLinkTypePcapng(const std::string& frame) {
  return SectionHeaderBlock() + InterfaceBlock(kLinkEthernet) + PacketBlock(0, 1, frame) +
         InterfaceBlock(kLinkLinuxCooked) + PacketBlock(1, 2, frame) + PacketBlock(0, 3, frame);
}

size_t CountRecords(const std::string& pcap) {
  constexpr size_t kFileHeader = 24, kRecordHeader = 16;
  bool bigEndian = pcap.size() >= 4 && static_cast<uint8_t>(pcap[0]) == 0xA1;
  size_t count = 0;
  for (size_t at = kFileHeader; at + kRecordHeader <= pcap.size(); ++count)
    at += kRecordHeader + Get32(pcap, at + 8, bigEndian);
  return count;
}

}  // namespace vel::test
