#include "capture_files.h"

namespace vel::test {

namespace {

constexpr uint32_t kSectionHeader = 0x0A0D0D0A, kInterface = 1, kSimplePacket = 3, kEnhancedPacket = 6;
constexpr uint32_t kOptionResolution = 9;

// Writes numbers in one byte order.
struct Writer {
  bool bigEndian;
  std::string out;

  void U16(uint32_t v) {
    char bytes[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
    if (bigEndian) std::swap(bytes[0], bytes[1]);
    out.append(bytes, 2);
  }
  void U32(uint32_t v) {
    U16(bigEndian ? v >> 16 : v & 0xFFFF);
    U16(bigEndian ? v & 0xFFFF : v >> 16);
  }
};

uint32_t Get32(const std::string& bytes, size_t at, bool bigEndian) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(bytes[at + (bigEndian ? i : 3 - i)]);
  return v;
}

std::string Block(bool bigEndian, uint32_t type, std::string body) {
  body.append((4 - body.size() % 4) % 4, '\0');
  Writer block{bigEndian, {}};
  block.U32(type);
  block.U32(static_cast<uint32_t>(body.size() + 12));
  block.out += body;
  block.U32(static_cast<uint32_t>(body.size() + 12));
  return block.out;
}

}  // namespace

std::string ClassicPcap(uint32_t linkType, const std::vector<std::string>& frames) {
  Writer file{false, {}};
  file.U32(0xA1B2C3D4);
  file.U16(2);
  file.U16(4);
  file.U32(0);
  file.U32(0);
  file.U32(65535);
  file.U32(linkType);
  for (size_t k = 0; k < frames.size(); ++k) {
    file.U32(static_cast<uint32_t>(k));
    file.U32(0);
    file.U32(static_cast<uint32_t>(frames[k].size()));
    file.U32(static_cast<uint32_t>(frames[k].size()));
    file.out += frames[k];
  }
  return file.out;
}

std::string PcapngSection(const std::vector<PcapngInterface>& interfaces, const std::vector<PcapngRecord>& records,
                          bool bigEndian) {
  Writer header{bigEndian, {}};
  header.U32(0x1A2B3C4D);  // byte-order magic
  header.U16(1);
  header.U16(0);
  header.U32(0xFFFFFFFF);  // section length unknown
  header.U32(0xFFFFFFFF);
  std::string file = Block(bigEndian, kSectionHeader, header.out);
  for (const PcapngInterface& interface : interfaces) {
    Writer description{bigEndian, {}};
    description.U16(interface.linkType);
    description.U16(0);
    description.U32(65535);
    if (interface.resolution) {
      description.U16(kOptionResolution);
      description.U16(1);
      description.out += std::string{static_cast<char>(*interface.resolution), 0, 0, 0};
      description.U32(0);  // end of options
    }
    file += Block(bigEndian, kInterface, description.out);
  }
  for (const PcapngRecord& record : records) {
    Writer packet{bigEndian, {}};
    if (record.simple) {
      packet.U32(static_cast<uint32_t>(record.frame.size()));
      file += Block(bigEndian, kSimplePacket, packet.out + record.frame);
      continue;
    }
    packet.U32(record.interface);
    packet.U32(static_cast<uint32_t>(record.units >> 32));
    packet.U32(static_cast<uint32_t>(record.units));
    packet.U32(static_cast<uint32_t>(record.frame.size()));
    packet.U32(static_cast<uint32_t>(record.frame.size()));
    file += Block(bigEndian, kEnhancedPacket, packet.out + record.frame);
  }
  return file;
}

size_t CountRecords(const std::string& pcap) {
  constexpr size_t kFileHeader = 24, kRecordHeader = 16;
  bool bigEndian = pcap.size() >= 4 && static_cast<uint8_t>(pcap[0]) == 0xA1;
  size_t count = 0;
  for (size_t at = kFileHeader; at + kRecordHeader <= pcap.size(); ++count)
    at += kRecordHeader + Get32(pcap, at + 8, bigEndian);
  return count;
}

size_t CountPcapngPackets(const std::string& pcapng) {
  bool bigEndian = false;
  size_t count = 0;
  for (size_t at = 0; at + 12 <= pcapng.size();) {
    if (Get32(pcapng, at, false) == kSectionHeader) bigEndian = static_cast<uint8_t>(pcapng[at + 8]) == 0x1A;
    uint32_t type = Get32(pcapng, at, bigEndian), length = Get32(pcapng, at + 4, bigEndian);
    if (length < 12 || length > pcapng.size() - at) break;
    count += type == 2 || type == kSimplePacket || type == kEnhancedPacket;
    at += length;
  }
  return count;
}

}  // namespace vel::test
