#include "test_support.h"

namespace vel::test {
namespace {

constexpr uint32_t kMessage = 54;  // frame offset of the ICMPv6 message in the frames below

// Echo request from FE80::2AA:FF:FE9A:4CA2 to 2001:DB8:0:1::1, identifier 1,
// sequence 2, 32 data bytes.
const Bytes kEchoRequest = Hex(
    "005056aabbcc 000c29112233 86dd"
    "60000000 0028 3a 40 fe8000000000000002aa00fffe9a4ca2 20010db8000000010000000000000001"
    "8000fd60 0001 0002 6162636465666768696a6b6c6d6e6f707172737475767778797a7b7c7d7e7f80");

// Port unreachable quoting the UDP datagram that caused it.
const Bytes kPortUnreachable = Hex(
    "000c29112233 005056aabbcc 86dd"
    "60000000 0044 3a 40 20010db8000000000000000000000002 20010db8000000010000000000000001"
    "010431d8 00000000"
    "60000000 0014 11 40 20010db8000000010000000000000001 20010db8000000000000000000000002"
    "1388 1389 0014 3cf3 68656c6c6f2c20776f726c64");

// Neighbour solicitation for FE80::2AA:FF:FE9A:4CA2 from 00:0C:29:11:22:33.
const Bytes kNeighborSolicitation = Hex(
    "3333ff9a4ca2 000c29112233 86dd"
    "60000000 0020 3a ff 20010db8000000010000000000000001 ff0200000000000000000001ff9a4ca2"
    "870065f0 00000000 fe8000000000000002aa00fffe9a4ca2 0101 000c29112233");

// Solicited, override neighbour advertisement with the target's link-layer address.
const Bytes kNeighborAdvertisement = Hex(
    "000c29112233 005056aabbcc 86dd"
    "60000000 0020 3a ff fe8000000000000002aa00fffe9a4ca2 20010db8000000010000000000000001"
    "88003a53 60000000 fe8000000000000002aa00fffe9a4ca2 0201 005056aabbcc");

// Router advertisement: hop limit 64, other configuration, lifetime 1800;
// source link-layer address, MTU 1500 and prefix 2001:DB8:0:1::/64 (on link, autonomous).
const Bytes kRouterAdvertisement = Hex(
    "333300000001 005056aabbcc 86dd"
    "60000000 0040 3a ff fe8000000000000002aa00fffe9a4ca2 ff020000000000000000000000000001"
    "86008dfd 40 40 0708 00000000 00000000"
    "0101 005056aabbcc"
    "0501 0000 000005dc"
    "0304 40 c0 00278d00 00093a80 00000000 20010db8000000010000000000000000");

// The messages below travel from FE80::2AA:FF:FE9A:4CA2 to FF02::1, with
// checksums computed for those addresses.
Bytes MessageFrame(std::string_view message) {
  Bytes body = Hex(message);
  Bytes frame = Hex(
      "333300000001 005056aabbcc 86dd 60000000 0000 3a ff"
      "fe8000000000000002aa00fffe9a4ca2 ff020000000000000000000000000001");
  frame[18] = static_cast<uint8_t>(body.size() >> 8);
  frame[19] = static_cast<uint8_t>(body.size());
  frame.insert(frame.end(), body.begin(), body.end());
  return frame;
}

const Bytes kPacketTooBig = MessageFrame("0200ac4a 00000500 0000000000000000");
const Bytes kTimeExceeded = MessageFrame("0301b049 00000000 0000000000000000");
const Bytes kParameterProblem = MessageFrame("0401af21 00000028 0000000000000000");
const Bytes kUnreachableCode9 = MessageFrame("0109b249 00000000");
// Router solicitation whose first option claims a length of 0.
const Bytes kZeroLengthOption = MessageFrame("85000f9e 00000000 0100 005056aabbcc 0501 0000000005dc");
// Node information response naming "host.example", TTL 3600.
const Bytes kNodeNameResponse =
    MessageFrame("8c0084dc 0002 0000 0102030405060708 00000e10 04686f7374076578616d706c6500");
// RPL DIO: instance 1, version 2, rank 256, grounded, storing mode with
// multicast, preference 3; DODAG 2001:DB8::1.
const Bytes kRplDio = MessageFrame("9b014d7b 01 02 0100 9b 05 00 00 20010db8000000000000000000000001");
// Secure DIS: counter is time, key identifier mode 2, level 1; counter 77.
const Bytes kSecureDis = MessageFrame("9b807fde 80 00 81 00 0000004d a1a2a3a4a5a6a7a8 04 0000");
const Bytes kMulticastRouterAdvertisement = MessageFrame("97141bbf 007d 0002");
const Bytes kUnknownType = MessageFrame("c807e744 01020304");
// Locator update advertisement with two locators.
const Bytes kLocatorUpdate = MessageFrame("9c00d19a 02 01 0000 a0000001 000a 0258 a0000002 0014 012c");
// Redirect to FE80::1 for 2001:DB8::9 with a target link-layer address and a
// redirected header option.
const Bytes kRedirect = MessageFrame(
    "8900ac82 00000000 fe800000000000000000000000000001 20010db8000000000000000000000009"
    "0201 000c29112233 0402 000000000000 0000000000000000");
// Router advertisement with a recursive DNS server, a route information
// option and a DNS search list.
const Bytes kRouterAdvertisementOptions = MessageFrame(
    "8600d15f 40 88 0000 00000000 00000000"
    "1903 0000 00000258 20010db8000000000000000000000053"
    "1802 3008 00000384 0000000000000000"
    "1f02 0000 00000258 036c616e00000000");

const Node* Icmpv6(IVELPacketsDecodingInfo* info) {
  return FindGroup(info, "ICMPv6 - Internet Control Message Protocol (v6)");
}

using ICMPv6Decoder = DecoderTest;

TEST_F(ICMPv6Decoder, EchoRequestWithSummaryAndEchoData) {
  auto info = SweepAndDecode(kEchoRequest);
  const Node* icmp = Icmpv6(info.get());
  ExpectItem(icmp, kMessage, 40, "");
  EXPECT_EQ(SummaryOf(icmp), "Type = 128; Code = 0; ID = 1; Seq = 2");
  ExpectFields(icmp, {{"Type", 54, 1, "128 (0x80)", "Echo Request"},
                      {"Code", 55, 1, "0 (0x00)"},
                      {"Checksum", 56, 2, "64864 (0xFD60)"},
                      {"Identifier", 58, 2, "1 (0x0001)"},
                      {"Sequence Number", 60, 2, "2 (0x0002)"},
                      {"Echo Data", 62, 32, "", "32 (0x20) Bytes Remaining"}});
  EXPECT_EQ(GroupNames(info.get()).back(), "ICMPv6 - Internet Control Message Protocol (v6)");
}

TEST_F(ICMPv6Decoder, ErrorMessagesNameTheirCodesAndShowTheInvokingPacket) {
  auto info = SweepAndDecode(kPortUnreachable);
  const Node* icmp = Icmpv6(info.get());
  ExpectFields(icmp, {{"Type", 54, 1, "1 (0x01)", "Destination Unreachable"},
                      {"Code", 55, 1, "4 (0x04)", "Port unreachable"},
                      {"Checksum", 56, 2, "12760 (0x31D8)"},
                      {"Unused", 58, 4, "0 (0x00000000)"},
                      {"Echo Data", 62, 60, "", "60 (0x3C) Bytes Remaining"}});
  EXPECT_EQ(SummaryOf(icmp), "Type = 1; Code = 4");

  struct Case {
    const Bytes& frame;
    const char *typeName, *codeName, *field, *value, *summary;
  };
  const Case cases[] = {
      {kUnreachableCode9, "Destination Unreachable", "", "Unused", "0 (0x00000000)", "Type = 1; Code = 9"},
      {kPacketTooBig, "Packet Too Big", "", "MTU", "1280 (0x00000500)", "Type = 2; Code = 0"},
      {kTimeExceeded, "Time Exceeded ", "", "Unused", "0 (0x00000000)", "Type = 3; Code = 1"},
      {kParameterProblem, "Parameter Problem", "Unrecognized Next Header type encountered", "Pointer",
       "40 (0x00000028)", "Type = 4; Code = 1"},
  };
  for (const Case& c : cases) {
    auto decoded = SweepAndDecode(c.frame);
    const Node* group = Icmpv6(decoded.get());
    EXPECT_EQ(CommentOf(Child(group, 0)), c.typeName);
    EXPECT_EQ(CommentOf(Child(group, 1)), c.codeName) << c.typeName;
    EXPECT_EQ(Narrow(Child(group, 3)->Name()), c.field);
    EXPECT_EQ(ValueOf(Child(group, 3)), c.value);
    EXPECT_EQ(SummaryOf(group), c.summary);
  }
}

TEST_F(ICMPv6Decoder, NeighborSolicitationAndAdvertisementWithLinkLayerAddresses) {
  SetVendorTable(m_.get());
  auto info = SweepAndDecode(kNeighborSolicitation);
  const Node* icmp = Icmpv6(info.get());
  EXPECT_EQ(icmp->length, 32u);
  EXPECT_EQ(SummaryOf(icmp), "");
  ExpectFields(icmp, {{"Type", 54, 1, "135 (0x87)", "Neighbor Solicitation"},
                      {"Code", 55, 1, "0 (0x00)"},
                      {"Checksum", 56, 2, "26096 (0x65F0)"},
                      {"Reserved", 58, 4, "0 (0x00000000)"},
                      {"Target Address", 62, 16, "FE80::2AA:FF:FE9A:4CA2", "", VEL_DII_IP_ADRESS},
                      {"ICMPv6 Option - Source link-layer address", 78, 8, ""}});
  ExpectFields(Child(icmp, 5),
               {{"Type", 78, 1, "1 (0x01)", "Source link-layer address"},
                {"Length", 79, 1, "1 (0x01)", "8 Bytes"},
                {"Source Link-layer Address", 80, 6, "00:0C:29:11:22:33", "VMware", VEL_DII_DESTINATION_ADDRESS}});

  auto advertisement = SweepAndDecode(kNeighborAdvertisement);
  icmp = Icmpv6(advertisement.get());
  ExpectFields(icmp, {{"Type", 54, 1, "136 (0x88)", "Neighbor Advertisement"},
                      {"Code", 55, 1, "0 (0x00)"},
                      {"Checksum", 56, 2, "14931 (0x3A53)"},
                      {"Flags", 58, 4, "0110 0000 0000 0000 0000 0000 0000 0000"},
                      {"Target Address", 62, 16, "FE80::2AA:FF:FE9A:4CA2", "", VEL_DII_IP_ADRESS},
                      {"ICMPv6 Option - Target link-layer address", 78, 8, ""}});
  ExpectFields(Child(icmp, 3), {{"Router Flag", 58, 4, "0... .... .... .... .... .... .... ....", "No"},
                                {"Solicited Flag", 58, 4, ".1.. .... .... .... .... .... .... ....", "Yes"},
                                {"Override flag", 58, 4, "..1. .... .... .... .... .... .... ....", "Yes"}});
  // A vendor the name table does not know.
  ExpectFields(Child(icmp, 5),
               {{"Type", 78, 1, "2 (0x02)", "Target link-layer address"},
                {"Length", 79, 1, "1 (0x01)", "8 Bytes"},
                {"Target Link-layer Address", 80, 6, "00:50:56:AA:BB:CC", "", VEL_DII_DESTINATION_ADDRESS}});
}

TEST_F(ICMPv6Decoder, RouterAdvertisementWithPrefixInformation) {
  auto info = SweepAndDecode(kRouterAdvertisement);
  const Node* icmp = Icmpv6(info.get());
  EXPECT_EQ(icmp->length, 64u);
  ExpectFields(icmp, {{"Type", 54, 1, "134 (0x86)", "Router Advertisement"},
                      {"Code", 55, 1, "0 (0x00)"},
                      {"Checksum", 56, 2, "36349 (0x8DFD)"},
                      {"Cur Hop Limit", 58, 1, "64 (0x40)"},
                      {"Flags", 59, 1, "0100 0000"},
                      {"Router Lifetime", 60, 2, "1800 (0x0708)"},
                      {"Reachable Time", 62, 4, "0 (0x00000000)"},
                      {"Retrans Timer", 66, 4, "0 (0x00000000)"},
                      {"ICMPv6 Option - Source link-layer address", 70, 8, ""},
                      {"ICMPv6 Option - MTU", 78, 8, ""},
                      {"ICMPv6 Option - Prefix information", 86, 32, ""}});
  ExpectFields(Child(icmp, 4), {{"Managed address configuration", 59, 1, "0... ....", "No"},
                                {"Other configuration", 59, 1, ".1.. ....", "Yes"},
                                {"Home Agent", 59, 1, "..0. ....", "No"},
                                {"Default Router Preference", 59, 1, "...0 0..."},
                                {"Proxy", 59, 1, ".... .0..", "No"}});
  ExpectFields(Child(icmp, 9), {{"Type", 78, 1, "5 (0x05)", "MTU"},
                                {"Length", 79, 1, "1 (0x01)", "8 Bytes"},
                                {"Reserved", 80, 2, "0 (0x0000)"},
                                {"MTU", 82, 4, "1500 (0x000005DC)"}});
  const Node* prefix = Child(icmp, 10);
  ExpectFields(prefix, {{"Type", 86, 1, "3 (0x03)", "Prefix information"},
                        {"Length", 87, 1, "4 (0x04)", "32 Bytes"},
                        {"Prefix Length", 88, 1, "64 (0x40)"},
                        {"Flags", 89, 1, "1100 0000"},
                        {"Valid Lifetime", 90, 4, "2592000 (0x00278D00)"},
                        {"Preferred Lifetime", 94, 4, "604800 (0x00093A80)"},
                        {"Reserved", 98, 4, "0 (0x00000000)"},
                        {"Prefix", 102, 16, "2001:DB8:0:1::", "", VEL_DII_IP_ADRESS}});
  ExpectFields(Child(prefix, 3), {{"On Link", 89, 1, "1... ....", "Yes"},
                                  {"Autonomous Address Configuration", 89, 1, ".1.. ....", "Yes"}});
}

TEST_F(ICMPv6Decoder, MoreNeighborDiscoveryOptions) {
  auto info = SweepAndDecode(kRouterAdvertisementOptions);
  const Node* icmp = Icmpv6(info.get());
  // An option without a layout of its own (route information) is passed over by its length; no bytes are left over.
  const Names names = ChildNames(icmp);
  EXPECT_EQ(Names(names.begin() + 8, names.end()),
            (Names{"ICMPv6 Option - Recursive DNS Server", "ICMPv6 Option - Route Information",
                   "ICMPv6 Option - DNS Search List "}));
  ExpectFields(Child(icmp, 8), {{"Type", 70, 1, "25 (0x19)", "Recursive DNS Server"},
                                {"Length", 71, 1, "3 (0x03)", "24 Bytes"},
                                {"Reserved", 72, 2, "0 (0x0000)"},
                                {"Lifetime", 74, 4, "600 (0x00000258)"},
                                {"IPv6 Address", 78, 16, "2001:DB8::53", "", VEL_DII_IP_ADRESS}});
  ExpectFields(Child(icmp, 9),
               {{"Type", 94, 1, "24 (0x18)", "Route Information"}, {"Length", 95, 1, "2 (0x02)", "16 Bytes"}});
  ExpectItem(FindItem(Child(icmp, 10), "DNS Search List"), 118, 8, "036C616E00000000");

  auto redirect = SweepAndDecode(kRedirect);
  const Node* group = Icmpv6(redirect.get());
  ExpectFields(group, {{"Type", 54, 1, "137 (0x89)", "Redirect Message"},
                       {"Code", 55, 1, "0 (0x00)"},
                       {"Checksum", 56, 2, "44162 (0xAC82)"},
                       {"Reserved", 58, 4, "0 (0x00000000)"},
                       {"Target Address", 62, 16, "FE80::1", "", VEL_DII_IP_ADRESS},
                       {"Destination Address", 78, 16, "2001:DB8::9", "", VEL_DII_IP_ADRESS},
                       {"ICMPv6 Option - Target link-layer address", 94, 8, ""},
                       {"ICMPv6 Option - Redirected header", 102, 16, ""}});
}

TEST_F(ICMPv6Decoder, OptionOfLengthZeroEndsTheWalk) {
  auto info = SweepAndDecode(kZeroLengthOption);
  const Node* icmp = Icmpv6(info.get());
  ExpectFields(icmp, {{"Type", 54, 1, "133 (0x85)", "Router Solicitation"},
                      {"Code", 55, 1, "0 (0x00)"},
                      {"Checksum", 56, 2, "3998 (0x0F9E)"},
                      {"Reserved", 58, 4, "0 (0x00000000)"},
                      {"ICMPv6 Option - Source link-layer address", 62, 2, ""},
                      {"Echo Data", 64, 14, "", "14 (0xE) Bytes Remaining"}});
  ExpectFields(Child(icmp, 4),
               {{"Type", 62, 1, "1 (0x01)", "Source link-layer address"}, {"Length", 63, 1, "0 (0x00)", "0 Bytes"}});
}

TEST_F(ICMPv6Decoder, NodeInformationResponseWithAName) {
  auto info = SweepAndDecode(kNodeNameResponse);
  ExpectFields(Icmpv6(info.get()), {{"Type", 54, 1, "140 (0x8C)", "ICMP Node Information Response"},
                                    {"Code", 55, 1, "0 (0x00)", "Successful"},
                                    {"Checksum", 56, 2, "34012 (0x84DC)"},
                                    {"Qtype", 58, 2, "2 (0x0002)", "Node Name"},
                                    {"Flags", 60, 2, "0 (0x0000)", "0000 0000 0000 0000"},
                                    {"Nonce", 62, 8, "72623859790382856 (0x0102030405060708)"},
                                    {"TTL", 70, 4, "3600 (0x00000E10)"},
                                    {"Node Name", 74, 14, "host.example"}});
}

TEST_F(ICMPv6Decoder, RplControlMessages) {
  auto info = SweepAndDecode(kRplDio);
  const Node* icmp = Icmpv6(info.get());
  EXPECT_EQ(CommentOf(Child(icmp, 0)), "RPL Control Message");
  EXPECT_EQ(CommentOf(Child(icmp, 1)), "DODAG Information Object");
  EXPECT_EQ(ChildNames(icmp), (Names{"Type", "Code", "Checksum", "RPLInstanceID", "Version Number", "Rank", "Flags",
                                     "DTSN", "Flags", "Reserved", "IP Address"}));
  ExpectFields(Child(icmp, 6),
               {{"Grounded", 62, 1, "1... ....", "Yes"},
                {"Mode of Operation", 62, 1, "..01 1...", "Storing Mode of Operation with multicast support"},
                {"DODAGPreference", 62, 1, ".... .011"}});
  EXPECT_EQ(ValueOf(Child(icmp, 10)), "2001:DB8::1");

  auto secure = SweepAndDecode(kSecureDis);
  icmp = Icmpv6(secure.get());
  EXPECT_EQ(CommentOf(Child(icmp, 1)), "Secure DODAG Information Solicitation");
  EXPECT_EQ(ChildNames(icmp), (Names{"Type", "Code", "Checksum", "Flags", "Algorithm", "Flags", "Reserved", "Counter",
                                     "Key Source", "Key Index", "Flags", "Reserved"}));
  ExpectFields(Child(icmp, 5), {{"Key Identifier Mode", 60, 1, "10.. ...."},
                                {"Reserved", 60, 1, "..00 0..."},
                                {"Reserved", 60, 1, ".... .001", "ENC-MAC-32"}});
  EXPECT_EQ(ValueOf(Child(icmp, 8)), "A1A2A3A4A5A6A7A8");
}

TEST_F(ICMPv6Decoder, LesserMessageLayouts) {
  auto advertisement = SweepAndDecode(kMulticastRouterAdvertisement);
  ExpectFields(Icmpv6(advertisement.get()), {{"Type", 54, 1, "151 (0x97)", "Multicast Router Advertisement"},
                                             {"Advertisement Interval", 55, 1, "20 (0x14)", "Seconds"},
                                             {"Checksum", 56, 2, "7103 (0x1BBF)"},
                                             {"Query Interval", 58, 2, "125 (0x007D)", "Seconds"},
                                             {"Robustness Variable", 60, 2, "2 (0x0002)"}});

  auto unknown = SweepAndDecode(kUnknownType);
  ExpectFields(Icmpv6(unknown.get()), {{"Type", 54, 1, "200 (0xC8)"},
                                       {"Code", 55, 1, "7 (0x07)"},
                                       {"Checksum", 56, 2, "59204 (0xE744)"},
                                       {"Echo Data", 58, 4, "", "4 (0x4) Bytes Remaining"}});

  auto locators = SweepAndDecode(kLocatorUpdate);
  const Node* update = Icmpv6(locators.get());
  EXPECT_EQ(ChildNames(update),
            (Names{"Type", "Code", "Checksum", "Num of Locs", "Operation", "Reserved", "Locator - 1", "Locator - 2"}));
  EXPECT_EQ(CommentOf(Child(update, 4)), "Locator Update Advertisement");
  ExpectFields(Child(update, 7), {{"Locator", 70, 4, "2684354562 (0xA0000002)"},
                                  {"Preference", 74, 2, "20 (0x0014)"},
                                  {"Lifetime", 76, 2, "300 (0x012C)"}});
}

TEST_F(ICMPv6Decoder, CutMessageKeepsItsFieldsAndErrorSummary) {
  auto info = Decode(m_.get(), kPortUnreachable, 60);
  const Node* icmp = Icmpv6(info.get());
  EXPECT_EQ(ChildNames(icmp), (Names{"Type", "Code", "Checksum", "Truncated"}));
  EXPECT_EQ(SummaryOf(icmp), "Type = 1; Code = 4");
  EXPECT_EQ(icmp->length, 6u);

  auto echo = Decode(m_.get(), kEchoRequest, 60);
  EXPECT_EQ(SummaryOf(Icmpv6(echo.get())), "");  // the sequence number was not captured
}

}  // namespace
}  // namespace vel::test
