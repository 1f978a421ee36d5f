// Test frames: bytes from hex and text, and builders that wrap a payload in
// Ethernet, IPv4 or IPv6, and UDP or TCP with correct lengths and checksums.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vel::test {

using Bytes = std::vector<uint8_t>;

// Hex digits to bytes; blanks, colons and newlines are ignored.
Bytes Hex(std::string_view hex);
// The bytes of a text, as they stand (no terminator).
Bytes Ascii(std::string_view text);
// Joins byte strings.
Bytes Concat(std::initializer_list<Bytes> parts);

// ---- Builders -----------------------------------------------------------

inline constexpr uint16_t kEtherTypeIPv4 = 0x0800, kEtherTypeIPv6 = 0x86DD;
inline constexpr uint8_t kIpProtocolTcp = 6, kIpProtocolUdp = 17;
inline constexpr uint8_t kTcpFin = 0x01, kTcpSyn = 0x02, kTcpPush = 0x08, kTcpAck = 0x10;

// Ethernet II from 66:55:44:33:22:11 to 00:11:22:33:44:55.
Bytes EthernetFrame(uint16_t etherType, const Bytes& payload);
// A 20-byte IPv4 header (identification 1, TTL 64) with its checksum, then
// the payload; a TCP or UDP payload gets its transport checksum filled in.
Bytes IPv4Packet(uint8_t protocol, Bytes payload, std::string_view source = "192.168.0.1",
                 std::string_view destination = "192.168.0.2");
// A 40-byte IPv6 header (hop limit 64), then the payload; TCP and UDP get their checksums.
Bytes IPv6Packet(uint8_t nextHeader, Bytes payload, std::string_view source = "2001:db8::1",
                 std::string_view destination = "2001:db8::2");
// A UDP header and payload; the checksum is left for the IP builders.
Bytes UdpDatagram(uint16_t sourcePort, uint16_t destinationPort, const Bytes& payload);
// A 20-byte TCP header (window 8192) and payload; the checksum is left for the IP builders.
Bytes TcpSegment(uint16_t sourcePort, uint16_t destinationPort, const Bytes& payload,
                 uint8_t flags = kTcpPush | kTcpAck, uint32_t sequence = 1, uint32_t acknowledgement = 1);

// Whole frames: Ethernet, IPv4 or IPv6, UDP or TCP around a payload.
Bytes UdpFrame(uint16_t sourcePort, uint16_t destinationPort, const Bytes& payload);
Bytes TcpFrame(uint16_t sourcePort, uint16_t destinationPort, const Bytes& payload,
               uint8_t flags = kTcpPush | kTcpAck);
Bytes Udp6Frame(uint16_t sourcePort, uint16_t destinationPort, const Bytes& payload);
Bytes Tcp6Frame(uint16_t sourcePort, uint16_t destinationPort, const Bytes& payload,
                uint8_t flags = kTcpPush | kTcpAck);

// Frame offsets of the payload in the frames above.
inline constexpr uint32_t kUdpPayload = 42, kTcpPayload = 54, kUdp6Payload = 62, kTcp6Payload = 74;

// A NetBIOS name as the NetBIOS services carry it: the name blank-padded to
// fifteen bytes and the suffix byte, in first-level encoding (one 32-letter
// label), then the zero byte; 34 bytes.
Bytes NetBIOSName(std::string_view name, uint8_t suffix);

// Writes a 16-bit big-endian value into a frame (to spoil a checksum, say).
Bytes WithWord(Bytes frame, size_t offset, uint16_t value);

// ---- Packet records -----------------------------------------------------

// A host packet record followed by its frame, in one heap block of exactly
// that size, so that any read past the frame's end is a sanitizer report.
class PacketRecord {
 public:
  PacketRecord(const Bytes& frame, uint32_t captureLength, uint32_t sequence = 1, uint64_t timestamp = 0);
  explicit PacketRecord(const Bytes& frame) : PacketRecord(frame, static_cast<uint32_t>(frame.size())) {}
  uint8_t* data() { return block_.get(); }

 private:
  std::unique_ptr<uint8_t[]> block_;
};

}  // namespace vel::test
