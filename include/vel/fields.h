// Field texts shared by all decoders: bit pictures, address texts, the
// Internet checksum and the layer list accessor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vel/interfaces.h"

namespace vel {

// Bit pictures, most significant bit first: '1'/'0' for bits in the mask, '.'
// for the others, a blank after every fourth character. Each width has one
// buffer per thread, overwritten by the next call of the same width.
VEL_API const char16_t* BitsText8(uint32_t value, uint32_t mask);
VEL_API const char16_t* BitsText16(uint32_t value, uint32_t mask);
VEL_API const char16_t* BitsText32(uint32_t value, uint32_t mask);

inline constexpr size_t kIPv4TextSize = 16;
inline constexpr size_t kMacTextSize = 18;
inline constexpr size_t kIPv6TextSize = 40;

// Dotted decimal of 4 bytes in packet order; zero-terminated.
VEL_API char16_t* IPv4Text(const uint8_t* address, char16_t* buffer);
// Six upper-case hex pairs separated by ':'; writes no terminator.
VEL_API char16_t* MacText(const uint8_t* bytes, char16_t* buffer);
// Eight big-endian groups in upper-case hex; the first run of two or more
// zero groups becomes "::". Zero-terminated.
VEL_API char16_t* IPv6Text(const uint8_t* words, char16_t* buffer);

constexpr uint32_t ReadUInt16BE(const uint8_t* b) { return uint32_t{b[0]} << 8 | b[1]; }
constexpr uint32_t ReadUInt24BE(const uint8_t* b) { return uint32_t{b[0]} << 16 | uint32_t{b[1]} << 8 | b[2]; }
constexpr uint32_t ReadUInt32BE(const uint8_t* b) { return ReadUInt24BE(b) << 8 | b[3]; }

// The Internet checksum: the low 16 bits are 0 over data holding a correct checksum.
VEL_API uint32_t InternetChecksum(const uint8_t* data, size_t length);
// 0 when the TCP or UDP checksum of the IPv4 datagram is correct. The segment
// length comes from the header's total length: call it only when the whole
// datagram was captured.
VEL_API uint32_t TransportChecksumIPv4(const uint8_t* ipHeader);
// 0 when the checksum of an upper-layer message of the given length over IPv6
// (source and destination taken from ipv6Header) is correct.
VEL_API uint32_t TransportChecksumIPv6(const uint8_t* ipv6Header, const uint8_t* segment, uint32_t length,
                                       uint8_t nextHeader);

// Pseudo-headers of the transport checksums: IPv4 (12 bytes: addresses, zero,
// protocol, length) and IPv6 (40 bytes: addresses, length, zeros, next header).
inline constexpr size_t kPseudoHeaderIPv4Size = 12;
inline constexpr size_t kPseudoHeaderIPv6Size = 40;
VEL_API void PseudoHeaderIPv4(const uint8_t* ipHeader, uint8_t protocol, uint32_t length, uint8_t* out);
VEL_API void PseudoHeaderIPv6(const uint8_t* ipv6Header, uint8_t nextHeader, uint32_t length, uint8_t* out);

// The value the 16-bit checksum field at fieldOffset of data should hold,
// summing pseudo (may be null) and data with that field counted as zero,
// returned as the big-endian number the field shows. Nothing is written.
VEL_API uint32_t ExpectedChecksum(const uint8_t* pseudo, size_t pseudoLength, const uint8_t* data, size_t length,
                                  size_t fieldOffset);

// Layer i of the packet's layer list for i < 10, else 0.
inline uint32_t LayerProtocolType(const ParsedPacket* packet, uint32_t i) {
  return (packet && i < kMaxLayers) ? packet->nLayers[i] : 0;
}

}  // namespace vel
