// The Internet checksum and the transport checksums over IPv4 and IPv6.
#include <cstring>

#include "vel/fields.h"

namespace vel {

namespace {

// Sums 16-bit words in the machine's byte order; an odd last byte counts as if
// followed by a zero byte.
uint64_t AddWords(const uint8_t* data, size_t length, uint64_t sum) {
  while (length >= 8) {
    uint32_t a, b;
    std::memcpy(&a, data, 4);
    std::memcpy(&b, data + 4, 4);
    sum += uint64_t{a} + b;
    data += 8;
    length -= 8;
  }
  while (length >= 2) {
    uint16_t w;
    std::memcpy(&w, data, 2);
    sum += w;
    data += 2;
    length -= 2;
  }
  if (length) {
    uint8_t last[2] = {data[0], 0};
    uint16_t w;
    std::memcpy(&w, last, 2);
    sum += w;
  }
  return sum;
}

uint32_t Fold(uint64_t sum) {
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum);
}

uint32_t AddEndAround(uint32_t a, uint32_t b) {
  uint32_t s = (a & 0xFFFF) + (b & 0xFFFF);
  return (s & 0xFFFF) + (s >> 16);
}

}  // namespace

uint32_t InternetChecksum(const uint8_t* data, size_t length) { return ~Fold(AddWords(data, length, 0)) & 0xFFFF; }

uint32_t TransportChecksumIPv4(const uint8_t* ip) {
  if (!ip) return 0;
  uint32_t headerLength = (ip[0] & 15u) * 4;
  uint16_t segmentLength = static_cast<uint16_t>(ReadUInt16BE(ip + 2) - headerLength);
  uint32_t c1 = InternetChecksum(ip + headerLength, segmentLength);
  uint8_t pseudo[kPseudoHeaderIPv4Size];
  PseudoHeaderIPv4(ip, ip[9], segmentLength, pseudo);
  uint32_t c2 = InternetChecksum(pseudo, sizeof pseudo);
  return AddEndAround(c1, c2) - 0xFFFF;
}

void PseudoHeaderIPv4(const uint8_t* ip, uint8_t protocol, uint32_t length, uint8_t* out) {
  std::memcpy(out, ip + 12, 8);
  out[8] = 0;
  out[9] = protocol;
  out[10] = static_cast<uint8_t>(length >> 8);
  out[11] = static_cast<uint8_t>(length);
}

void PseudoHeaderIPv6(const uint8_t* ipv6Header, uint8_t nextHeader, uint32_t length, uint8_t* out) {
  std::memcpy(out, ipv6Header + 8, 32);
  const uint8_t tail[8] = {static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
                           static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0, 0, 0, nextHeader};
  std::memcpy(out + 32, tail, 8);
}

uint32_t ExpectedChecksum(const uint8_t* pseudo, size_t pseudoLength, const uint8_t* data, size_t length,
                          size_t fieldOffset) {
  // The pseudo-header has an even length, so data's words keep their alignment in the sum.
  uint64_t sum = pseudo ? AddWords(pseudo, pseudoLength, 0) : 0;
  sum = AddWords(data, length, sum);
  if (fieldOffset + 2 <= length) {
    uint16_t field;
    std::memcpy(&field, data + fieldOffset, 2);
    sum += static_cast<uint16_t>(~field);  // one's-complement subtraction of the field
  }
  uint16_t expected = static_cast<uint16_t>(~Fold(sum));
  uint8_t bytes[2];
  std::memcpy(bytes, &expected, 2);
  return ReadUInt16BE(bytes);
}

uint32_t TransportChecksumIPv6(const uint8_t* ipv6Header, const uint8_t* segment, uint32_t length,
                               uint8_t nextHeader) {
  uint8_t pseudo[kPseudoHeaderIPv6Size];
  PseudoHeaderIPv6(ipv6Header, nextHeader, length, pseudo);
  uint64_t sum = AddWords(pseudo, sizeof pseudo, 0);
  sum = AddWords(segment, length, sum);
  return ~Fold(sum) & 0xFFFF;
}

}  // namespace vel
