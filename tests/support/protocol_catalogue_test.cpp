#include "vel/protocol_catalogue.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <string>

namespace vel {
namespace {

// Null names become a text no row has, so a missing name fails the
// comparison readably instead of crashing the test.
std::u16string Text(const char16_t* name) {
  return name != nullptr ? std::u16string(name) : u"<no name>";
}

std::u16string ShortName(uint32_t type) {
  return Text(ProtocolShortName(type));
}
std::u16string LongName(uint32_t type) { return Text(ProtocolLongName(type)); }

// A transport header reduced to the part the port maps read.
std::array<uint8_t, 4> Ports(uint16_t source, uint16_t destination) {
  return {static_cast<uint8_t>(source >> 8), static_cast<uint8_t>(source),
          static_cast<uint8_t>(destination >> 8),
          static_cast<uint8_t>(destination)};
}

uint32_t Tcp(uint16_t source, uint16_t destination) {
  return TcpPortToType(Ports(source, destination).data());
}

uint32_t Udp(uint16_t source, uint16_t destination) {
  return UdpPortToType(Ports(source, destination).data());
}

TEST(ProtocolCatalogue, NamesTypesAndStopsAtTheLastType) {
  EXPECT_EQ(ShortName(0), u"UNKNOWN");
  EXPECT_EQ(LongName(0), u"Unknown Protocol");
  EXPECT_EQ(ShortName(1), u"IP");
  EXPECT_EQ(LongName(1), u"Internet Protocol (v4)");
  EXPECT_EQ(ShortName(20), u"UDP");
  EXPECT_EQ(LongName(20), u"User Datagram Protocol");
  EXPECT_EQ(ShortName(330), u"Alarm");
  EXPECT_EQ(LongName(330), u"Alarm");

  EXPECT_EQ(ProtocolShortName(331), nullptr);
  EXPECT_EQ(ProtocolLongName(331), nullptr);
  EXPECT_EQ(ProtocolShortName(UINT32_MAX), nullptr);
}

TEST(ProtocolCatalogue, EveryTypeHasBothNamesAndADistinctShortName) {
  std::set<std::u16string> shortNames;
  for (uint32_t type = 0; type < kProtocolTypeCount; ++type) {
    ASSERT_NE(ProtocolShortName(type), nullptr) << type;
    ASSERT_NE(ProtocolLongName(type), nullptr) << type;
    EXPECT_TRUE(shortNames.insert(ShortName(type)).second)
        << "duplicate short name at type " << type;
  }
}

TEST(ProtocolCatalogue, LongNamesShownAsCommentsKeepTheirExactText) {
  const std::pair<uint32_t, std::u16string> expected[] = {
      {66, u"IPv6 Hop-by-Hop Option"},
      {67, u"IPv4 encapsulation"},
      {101, u"Routing Header for IPv6"},
      {105, u"Generic Routing Encapsulation"},
      {115, u"Destination Options for IPv6"},
      {148, u" "},
      {156, u"Ipsilon Flow Management Protocol "},
      {185, u"Stream Control Transmission Protocol"},
      {188, u"Mobility Header"},
      {189, u"UDPLite"},
      {199, u"Internet Protocol version 4"},
      {225, u"Internet Protocol version 6"},
      {254, u"ETSI TETRA Network Procotol Type 1"},
      {293, u"IPv6 Control Protocol"},
      {298, u"MP+ Contorol Protocol"},
      {318, u"Challenge Handshake Authentication Protocol"},
      {320, u" Extensible Authentication Protocol"},
      {323, u"Proprietary Authentication Protoco"},
  };
  for (const auto& [type, longName] : expected) {
    EXPECT_EQ(LongName(type), longName) << "type " << type;
  }
}

TEST(ProtocolCatalogue, IpProtocolNumbersMapOntoOwnRowsThenTheIpBlock) {
  EXPECT_EQ(IpProtocolNumberToType(6), 2u);
  EXPECT_EQ(IpProtocolNumberToType(17), 20u);
  EXPECT_EQ(IpProtocolNumberToType(58), 53u);
  EXPECT_EQ(IpProtocolNumberToType(0), 66u);
  EXPECT_EQ(IpProtocolNumberToType(59), 114u);
  EXPECT_EQ(ShortName(IpProtocolNumberToType(59)), u"IPv6-NoNxt");
  EXPECT_EQ(IpProtocolNumberToType(140), 195u);
  EXPECT_EQ(ShortName(IpProtocolNumberToType(140)), u"ROHC");
  EXPECT_EQ(IpProtocolNumberToType(141), 0u);
  EXPECT_EQ(IpProtocolNumberToType(255), 0u);

  std::set<uint32_t> blockRowsReached;
  for (uint32_t number = 0; number <= 140; ++number) {
    const uint32_t type = IpProtocolNumberToType(number);
    if (type >= 66) blockRowsReached.insert(type);
  }
  EXPECT_EQ(blockRowsReached.size(), 130u);
  EXPECT_EQ(*blockRowsReached.begin(), 66u);
  EXPECT_EQ(*blockRowsReached.rbegin(), 195u);
}

TEST(ProtocolCatalogue, IpHeaderIsClassifiedByItsProtocolByte) {
  std::array<uint8_t, 20> header{0x45};
  header[9] = 6;
  EXPECT_EQ(IpProtocolToType(header.data()), 2u);
  header[9] = 141;
  EXPECT_EQ(IpProtocolToType(header.data()), 0u);
  EXPECT_EQ(IpProtocolToType(nullptr), 0u);
}

TEST(ProtocolCatalogue, PppNumbersMapOntoOwnRowsThenThePppBlock) {
  EXPECT_EQ(PppProtocolToType(0x0057), 52u);
  EXPECT_EQ(PppProtocolToType(0xC021), 62u);
  EXPECT_EQ(PppProtocolToType(0x8057), 65u);
  EXPECT_EQ(PppProtocolToType(0x0021), 199u);
  EXPECT_EQ(ShortName(PppProtocolToType(0x0021)), u"PPP IP");
  EXPECT_EQ(PppProtocolToType(0xC223), 318u);
  EXPECT_EQ(ShortName(PppProtocolToType(0xC223)), u"PPP CHAP");
  EXPECT_EQ(PppProtocolToType(0xC481), 325u);
  EXPECT_EQ(PppProtocolToType(0x0000), 0u);
  EXPECT_EQ(PppProtocolToType(0x0037), 0u);
  EXPECT_EQ(PppProtocolToType(0x10021), 0u);
}

TEST(ProtocolCatalogue, ExactlyTheListedPppNumbersHaveATypeAndSkipIpv6Rows) {
  uint32_t numbersWithType = 0;
  std::set<uint32_t> blockRowsReached;
  for (uint32_t number = 0; number <= 0xFFFF; ++number) {
    const uint32_t type = PppProtocolToType(number);
    if (type == 0) continue;
    ++numbersWithType;
    if (type >= 196) blockRowsReached.insert(type);
  }
  EXPECT_EQ(numbersWithType, 133u);
  EXPECT_EQ(blockRowsReached.size(), 128u);
  EXPECT_EQ(blockRowsReached.count(225), 0u);
  EXPECT_EQ(blockRowsReached.count(293), 0u);
}

TEST(ProtocolCatalogue, TcpPortsTrySourceFirstThenDestination) {
  EXPECT_EQ(Tcp(50000, 443), 5u);
  EXPECT_EQ(Tcp(80, 443), 3u);
  EXPECT_EQ(Tcp(1863, 80), 23u);
  EXPECT_EQ(Tcp(1025, 445), 46u);
  EXPECT_EQ(Tcp(2000, 2001), 2u);
  EXPECT_EQ(TcpPortToType(nullptr), 2u);
}

TEST(ProtocolCatalogue, UdpPortsFallBackToPlainUdp) {
  EXPECT_EQ(Udp(68, 67), 12u);
  EXPECT_EQ(Udp(68, 68), 20u);
  EXPECT_EQ(Udp(1024, 53), 29u);
  EXPECT_EQ(Udp(40000, 1813), 58u);
  EXPECT_EQ(UdpPortToType(nullptr), 20u);
}

TEST(ProtocolCatalogue, EtherTypesMapToLinkAndNetworkLayers) {
  EXPECT_EQ(EtherTypeToType(0x0800), 1u);
  EXPECT_EQ(EtherTypeToType(0x0806), 16u);
  EXPECT_EQ(EtherTypeToType(0x8035), 17u);
  EXPECT_EQ(EtherTypeToType(0x8100), 326u);
  EXPECT_EQ(EtherTypeToType(0x86DD), 52u);
  EXPECT_EQ(EtherTypeToType(0x8863), 59u);
  EXPECT_EQ(EtherTypeToType(0x8864), 60u);
  EXPECT_EQ(EtherTypeToType(0x88CC), 327u);
  EXPECT_EQ(EtherTypeToType(0x88A7), 328u);
  EXPECT_EQ(EtherTypeToType(0x0000), 0u);
  EXPECT_EQ(EtherTypeToType(0x88A8), 0u);
  EXPECT_EQ(EtherTypeToType(0x10800), 0u);
}

}  // namespace
}  // namespace vel
