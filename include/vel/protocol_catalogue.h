// Protocol types and the maps from wire numbers to them.
//
// A protocol type is a small number naming a protocol throughout the engine:
// modules, layer groups and the per-packet layer list all carry one. Type 0
// is an unknown protocol. Every table behind these functions is constant data
// built at compile time, so they may be called from any thread.
#pragma once

#include <cstdint>

namespace vel {

inline constexpr uint32_t kProtocolTypeCount = 331;

// The link layers besides Ethernet that a host can name in its packet record
// lie beyond the catalogue, in a block of their own clear of its rows; their
// modules name their groups from the string table.
inline constexpr uint32_t kLinuxCookedType = 400;    // Linux cooked capture
inline constexpr uint32_t kLinuxCookedV2Type = 401;  // Linux cooked capture v2
inline constexpr uint32_t kLoopbackType = 402;       // BSD loopback

// Short / long name of a protocol type; nullptr for type >= 331.
const char16_t* ProtocolShortName(uint32_t type) noexcept;
const char16_t* ProtocolLongName(uint32_t type) noexcept;

// IP protocol number (byte 9 of an IPv4 header) -> protocol type; 0 for
// p >= 141 or a null header.
uint32_t IpProtocolToType(const uint8_t* ipHeader) noexcept;

// The same table read directly by number (IPv6 next header, AH next header);
// 0 for n >= 141.
uint32_t IpProtocolNumberToType(uint32_t number) noexcept;

// 16-bit PPP protocol number -> protocol type; 0 when the number has no type.
uint32_t PppProtocolToType(uint32_t number) noexcept;

// The header starts with the big-endian source port, then the destination
// port (4 bytes are read). The source port is tried first; a port without an
// entry, or a null header, gives the plain transport type: 2 (TCP) / 20 (UDP).
uint32_t TcpPortToType(const uint8_t* tcpHeader) noexcept;
uint32_t UdpPortToType(const uint8_t* udpHeader) noexcept;

// EtherType map: 0x0800->1, 0x0806->16, 0x8035->17, 0x8100->326, 0x86DD->52,
// 0x8863->59, 0x8864->60, 0x88CC->327, 0x88A7->328; others 0.
uint32_t EtherTypeToType(uint32_t etherType) noexcept;

}  // namespace vel
