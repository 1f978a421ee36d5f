#include "frames.h"

#include <arpa/inet.h>

#include <cctype>
#include <cstring>
#include <stdexcept>

#include "vel/interfaces.h"

namespace vel::test {

namespace {

void PutWord(Bytes& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<uint8_t>(value >> 8);
  bytes[at + 1] = static_cast<uint8_t>(value);
}

void AppendWord(Bytes& bytes, uint32_t value) {
  bytes.push_back(static_cast<uint8_t>(value >> 8));
  bytes.push_back(static_cast<uint8_t>(value));
}

void AppendLong(Bytes& bytes, uint32_t value) {
  AppendWord(bytes, value >> 16);
  AppendWord(bytes, value & 0xFFFF);
}

Bytes Address(int family, std::string_view text) {
  Bytes address(family == AF_INET ? 4 : 16);
  if (inet_pton(family, std::string(text).c_str(), address.data()) != 1)
    throw std::invalid_argument("not an address: " + std::string(text));
  return address;
}

// The one's-complement sum of big-endian words, folded to 16 bits.
uint32_t OnesComplementSum(const Bytes& bytes, uint32_t sum = 0) {
  for (size_t i = 0; i < bytes.size(); i += 2) sum += uint32_t{bytes[i]} << 8 | (i + 1 < bytes.size() ? bytes[i + 1] : 0);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return sum;
}

// Fills in the checksum of a TCP or UDP payload over the given pseudo-header.
void FillTransportChecksum(uint8_t protocol, Bytes& segment, const Bytes& pseudo) {
  size_t field = protocol == kIpProtocolUdp ? 6 : protocol == kIpProtocolTcp ? 16 : 0;
  if (!field || segment.size() < field + 2) return;
  PutWord(segment, field, 0);
  uint32_t checksum = ~OnesComplementSum(segment, OnesComplementSum(pseudo)) & 0xFFFF;
  // UDP sends a computed 0 as 0xFFFF, since 0 means "no checksum".
  if (checksum == 0 && protocol == kIpProtocolUdp) checksum = 0xFFFF;
  PutWord(segment, field, checksum);
}

}  // namespace

Bytes Hex(std::string_view hex) {
  Bytes out;
  int high = -1;
  for (char c : hex) {
    int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : (c >= 'a' && c <= 'f')                     ? c - 'a' + 10
            : (c >= 'A' && c <= 'F')                     ? c - 'A' + 10
                                                         : -1;
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  return out;
}

Bytes Ascii(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes EthernetFrame(uint16_t etherType, const Bytes& payload) {
  Bytes frame = Hex("001122334455 665544332211");
  AppendWord(frame, etherType);
  frame.insert(frame.end(), payload.begin(), payload.end());
  return frame;
}

Bytes IPv4Packet(uint8_t protocol, Bytes payload, std::string_view source, std::string_view destination) {
  Bytes from = Address(AF_INET, source), to = Address(AF_INET, destination);
  Bytes pseudo = Concat({from, to, {0, protocol}});
  AppendWord(pseudo, static_cast<uint32_t>(payload.size()));
  FillTransportChecksum(protocol, payload, pseudo);

  Bytes packet = {0x45, 0x00};
  AppendWord(packet, static_cast<uint32_t>(20 + payload.size()));
  AppendWord(packet, 1);       // identification
  AppendWord(packet, 0);       // flags and fragment offset
  packet.push_back(64);        // time to live
  packet.push_back(protocol);
  AppendWord(packet, 0);       // checksum, below
  packet = Concat({packet, from, to});
  PutWord(packet, 10, ~OnesComplementSum(packet) & 0xFFFF);
  packet.insert(packet.end(), payload.begin(), payload.end());
  return packet;
}

Bytes IPv6Packet(uint8_t nextHeader, Bytes payload, std::string_view source, std::string_view destination) {
  Bytes from = Address(AF_INET6, source), to = Address(AF_INET6, destination);
  Bytes pseudo = Concat({from, to});
  AppendLong(pseudo, static_cast<uint32_t>(payload.size()));
  pseudo.insert(pseudo.end(), {0, 0, 0, nextHeader});
  FillTransportChecksum(nextHeader, payload, pseudo);

  Bytes packet = Hex("60000000");
  AppendWord(packet, static_cast<uint32_t>(payload.size()));
  packet.push_back(nextHeader);
  packet.push_back(64);  // hop limit
  return Concat({packet, from, to, payload});
}

Bytes UdpDatagram(uint16_t sourcePort, uint16_t destinationPort, const Bytes& payload) {
  Bytes datagram;
  AppendWord(datagram, sourcePort);
  AppendWord(datagram, destinationPort);
  AppendWord(datagram, static_cast<uint32_t>(8 + payload.size()));
  AppendWord(datagram, 0);
  datagram.insert(datagram.end(), payload.begin(), payload.end());
  return datagram;
}

Bytes TcpSegment(uint16_t sourcePort, uint16_t destinationPort, const Bytes& payload, uint8_t flags,
                 uint32_t sequence, uint32_t acknowledgement) {
  Bytes segment;
  AppendWord(segment, sourcePort);
  AppendWord(segment, destinationPort);
  AppendLong(segment, sequence);
  AppendLong(segment, acknowledgement);
  segment.push_back(0x50);  // 20-byte header
  segment.push_back(flags);
  AppendWord(segment, 8192);  // window
  AppendLong(segment, 0);     // checksum and urgent pointer
  segment.insert(segment.end(), payload.begin(), payload.end());
  return segment;
}

Bytes UdpFrame(uint16_t sourcePort, uint16_t destinationPort, const Bytes& payload) {
  return EthernetFrame(kEtherTypeIPv4, IPv4Packet(kIpProtocolUdp, UdpDatagram(sourcePort, destinationPort, payload)));
}

Bytes TcpFrame(uint16_t sourcePort, uint16_t destinationPort, const Bytes& payload, uint8_t flags) {
  return EthernetFrame(kEtherTypeIPv4,
                       IPv4Packet(kIpProtocolTcp, TcpSegment(sourcePort, destinationPort, payload, flags)));
}

Bytes NetBIOSName(std::string_view name, uint8_t suffix) {
  constexpr size_t kNameCharacters = 15;
  std::string plain(name.substr(0, kNameCharacters));
  plain.resize(kNameCharacters, ' ');
  plain.push_back(static_cast<char>(suffix));
  Bytes encoded{static_cast<uint8_t>(2 * plain.size())};
  for (char c : plain) {
    encoded.push_back(static_cast<uint8_t>('A' + (static_cast<uint8_t>(c) >> 4)));
    encoded.push_back(static_cast<uint8_t>('A' + (static_cast<uint8_t>(c) & 0x0F)));
  }
  encoded.push_back(0);
  return encoded;
}

Bytes Udp6Frame(uint16_t sourcePort, uint16_t destinationPort, const Bytes& payload) {
  return EthernetFrame(kEtherTypeIPv6, IPv6Packet(kIpProtocolUdp, UdpDatagram(sourcePort, destinationPort, payload)));
}

Bytes Tcp6Frame(uint16_t sourcePort, uint16_t destinationPort, const Bytes& payload, uint8_t flags) {
  return EthernetFrame(kEtherTypeIPv6,
                       IPv6Packet(kIpProtocolTcp, TcpSegment(sourcePort, destinationPort, payload, flags)));
}

Bytes WithWord(Bytes frame, size_t offset, uint16_t value) {
  PutWord(frame, offset, value);
  return frame;
}

PacketRecord::PacketRecord(const Bytes& frame, uint32_t captureLength, uint32_t sequence, uint64_t timestamp)
    : block_(new uint8_t[sizeof(CapturedPacket) + captureLength]) {
  CapturedPacket header{};
  header.Sequence = sequence;
  header.TimeStamp = timestamp;
  header.CaptureLength = captureLength;
  header.OriginalLength = static_cast<uint32_t>(frame.size());
  header.HeaderSize = sizeof(CapturedPacket);
  std::memcpy(block_.get(), &header, sizeof header);
  if (captureLength) std::memcpy(block_.get() + sizeof header, frame.data(), captureLength);
}

}  // namespace vel::test
