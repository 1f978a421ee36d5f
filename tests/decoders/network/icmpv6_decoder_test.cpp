#include "test_support.h"
#include "vel/object.h"

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

const CVELPacketsDecodingItem* Icmpv6(IVELPacketsDecodingInfo* info) {
  return FindGroup(info, "ICMPv6 - Internet Control Message Protocol (v6)");
}

std::vector<std::string> Names(std::initializer_list<const char*> names) { return {names.begin(), names.end()}; }

TEST(ICMPv6Decoder, EchoRequestWithSummaryAndEchoData) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kEchoRequest);
  const auto* icmp = Icmpv6(info.get());
  ASSERT_NE(icmp, nullptr);
  EXPECT_EQ(icmp->startPos, kMessage);
  EXPECT_EQ(icmp->length, 40u);
  EXPECT_EQ(SummaryOf(icmp), "Type = 128; Code = 0; ID = 1; Seq = 2");
  ExpectFields(icmp, {
                         {"Type", 54, 1, "128 (0x80)", "Echo Request", 0},
                         {"Code", 55, 1, "0 (0x00)", "", 0},
                         {"Checksum", 56, 2, "64864 (0xFD60)", "", 0},
                         {"Identifier", 58, 2, "1 (0x0001)", "", 0},
                         {"Sequence Number", 60, 2, "2 (0x0002)", "", 0},
                         {"Echo Data", 62, 32, "", "32 (0x20) Bytes Remaining", 0},
                     });
  EXPECT_EQ(GroupNames(info.get()).back(), "ICMPv6 - Internet Control Message Protocol (v6)");
  TruncationSweep(m.get(), kEchoRequest);
}

TEST(ICMPv6Decoder, ErrorMessagesNameTheirCodesAndShowTheInvokingPacket) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kPortUnreachable);
  const auto* icmp = Icmpv6(info.get());
  ExpectFields(icmp, {
                         {"Type", 54, 1, "1 (0x01)", "Destination Unreachable", 0},
                         {"Code", 55, 1, "4 (0x04)", "Port unreachable", 0},
                         {"Checksum", 56, 2, "12760 (0x31D8)", "", 0},
                         {"Unused", 58, 4, "0 (0x00000000)", "", 0},
                         {"Echo Data", 62, 60, "", "60 (0x3C) Bytes Remaining", 0},
                     });
  EXPECT_EQ(SummaryOf(icmp), "Type = 1; Code = 4");
  TruncationSweep(m.get(), kPortUnreachable);

  struct Case {
    const Bytes& frame;
    const char* typeName;
    const char* codeName;
    const char* field;
    const char* value;
    const char* summary;
  };
  const Case cases[] = {
      {kUnreachableCode9, "Destination Unreachable", "", "Unused", "0 (0x00000000)", "Type = 1; Code = 9"},
      {kPacketTooBig, "Packet Too Big", "", "MTU", "1280 (0x00000500)", "Type = 2; Code = 0"},
      {kTimeExceeded, "Time Exceeded ", "", "Unused", "0 (0x00000000)", "Type = 3; Code = 1"},
      {kParameterProblem, "Parameter Problem", "Unrecognized Next Header type encountered", "Pointer",
       "40 (0x00000028)", "Type = 4; Code = 1"},
  };
  for (const Case& c : cases) {
    auto decoded = Decode(m.get(), c.frame);
    const auto* group = Icmpv6(decoded.get());
    EXPECT_EQ(CommentOf(Child(group, 0)), c.typeName);
    EXPECT_EQ(CommentOf(Child(group, 1)), c.codeName) << c.typeName;
    EXPECT_EQ(Narrow(Child(group, 3)->Name()), c.field);
    EXPECT_EQ(ValueOf(Child(group, 3)), c.value);
    EXPECT_EQ(SummaryOf(group), c.summary);
    TruncationSweep(m.get(), c.frame);
  }
}

TEST(ICMPv6Decoder, NeighborSolicitationWithSourceLinkLayerAddress) {
  auto m = MakeManager();
  SetVendorTable(m.get());
  auto info = Decode(m.get(), kNeighborSolicitation);
  const auto* icmp = Icmpv6(info.get());
  EXPECT_EQ(ChildNames(icmp), Names({"Type", "Code", "Checksum", "Reserved", "Target Address",
                                     "ICMPv6 Option - Source link-layer address"}));
  EXPECT_EQ(CommentOf(Child(icmp, 0)), "Neighbor Solicitation");
  EXPECT_EQ(ValueOf(Child(icmp, 4)), "FE80::2AA:FF:FE9A:4CA2");
  EXPECT_EQ(Child(icmp, 4)->type, VEL_DII_IP_ADRESS);
  EXPECT_EQ(SummaryOf(icmp), "");
  const auto* option = Child(icmp, 5);
  EXPECT_EQ(option->isGroup, 1);
  EXPECT_EQ(option->startPos, 78u);
  EXPECT_EQ(option->length, 8u);
  ExpectFields(option, {
                           {"Type", 78, 1, "1 (0x01)", "Source link-layer address", 0},
                           {"Length", 79, 1, "1 (0x01)", "8 Bytes", 0},
                           {"Source Link-layer Address", 80, 6, "00:0C:29:11:22:33", "VMware",
                            VEL_DII_DESTINATION_ADDRESS},
                       });
  EXPECT_EQ(icmp->length, 32u);
  TruncationSweep(m.get(), kNeighborSolicitation);
}

TEST(ICMPv6Decoder, NeighborAdvertisementFlagsAndTargetLinkLayerAddress) {
  auto m = MakeManager();
  SetVendorTable(m.get());
  auto info = Decode(m.get(), kNeighborAdvertisement);
  const auto* icmp = Icmpv6(info.get());
  EXPECT_EQ(ChildNames(icmp), Names({"Type", "Code", "Checksum", "Flags", "Target Address",
                                     "ICMPv6 Option - Target link-layer address"}));
  const auto* flags = Child(icmp, 3);
  EXPECT_EQ(ValueOf(flags), "0110 0000 0000 0000 0000 0000 0000 0000");
  ExpectFields(flags, {
                          {"Router Flag", 58, 4, "0... .... .... .... .... .... .... ....", "No", 0},
                          {"Solicited Flag", 58, 4, ".1.. .... .... .... .... .... .... ....", "Yes", 0},
                          {"Override flag", 58, 4, "..1. .... .... .... .... .... .... ....", "Yes", 0},
                      });
  EXPECT_EQ(Child(icmp, 4)->startPos, 62u);
  const auto* address = FindItem(Child(icmp, 5), "Target Link-layer Address");
  EXPECT_EQ(ValueOf(address), "00:50:56:AA:BB:CC");
  EXPECT_EQ(CommentOf(address), "");  // a vendor the name table does not know
  TruncationSweep(m.get(), kNeighborAdvertisement);
}

TEST(ICMPv6Decoder, RouterAdvertisementWithPrefixInformation) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kRouterAdvertisement);
  const auto* icmp = Icmpv6(info.get());
  EXPECT_EQ(ChildNames(icmp),
            Names({"Type", "Code", "Checksum", "Cur Hop Limit", "Flags", "Router Lifetime", "Reachable Time",
                   "Retrans Timer", "ICMPv6 Option - Source link-layer address", "ICMPv6 Option - MTU",
                   "ICMPv6 Option - Prefix information"}));
  EXPECT_EQ(CommentOf(Child(icmp, 0)), "Router Advertisement");
  ExpectFields(Child(icmp, 4), {
                                   {"Managed address configuration", 59, 1, "0... ....", "No", 0},
                                   {"Other configuration", 59, 1, ".1.. ....", "Yes", 0},
                                   {"Home Agent", 59, 1, "..0. ....", "No", 0},
                                   {"Default Router Preference", 59, 1, "...0 0...", "", 0},
                                   {"Proxy", 59, 1, ".... .0..", "No", 0},
                               });
  EXPECT_EQ(ValueOf(Child(icmp, 5)), "1800 (0x0708)");
  ExpectFields(Child(icmp, 9), {
                                   {"Type", 78, 1, "5 (0x05)", "MTU", 0},
                                   {"Length", 79, 1, "1 (0x01)", "8 Bytes", 0},
                                   {"Reserved", 80, 2, "0 (0x0000)", "", 0},
                                   {"MTU", 82, 4, "1500 (0x000005DC)", "", 0},
                               });
  const auto* prefix = Child(icmp, 10);
  EXPECT_EQ(prefix->length, 32u);
  ExpectFields(prefix, {
                           {"Type", 86, 1, "3 (0x03)", "Prefix information", 0},
                           {"Length", 87, 1, "4 (0x04)", "32 Bytes", 0},
                           {"Prefix Length", 88, 1, "64 (0x40)", "", 0},
                           {"Flags", 89, 1, "1100 0000", "", 0},
                           {"Valid Lifetime", 90, 4, "2592000 (0x00278D00)", "", 0},
                           {"Preferred Lifetime", 94, 4, "604800 (0x00093A80)", "", 0},
                           {"Reserved", 98, 4, "0 (0x00000000)", "", 0},
                           {"Prefix", 102, 16, "2001:DB8:0:1::", "", VEL_DII_IP_ADRESS},
                       });
  ExpectFields(Child(prefix, 3), {
                                     {"On Link", 89, 1, "1... ....", "Yes", 0},
                                     {"Autonomous Address Configuration", 89, 1, ".1.. ....", "Yes", 0},
                                 });
  EXPECT_EQ(icmp->length, 64u);
  TruncationSweep(m.get(), kRouterAdvertisement);
}

TEST(ICMPv6Decoder, MoreNeighborDiscoveryOptions) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kRouterAdvertisementOptions);
  const auto* icmp = Icmpv6(info.get());
  EXPECT_EQ(ChildNames(Child(icmp, 8)), Names({"Type", "Length", "Reserved", "Lifetime", "IPv6 Address"}));
  EXPECT_EQ(Narrow(Child(icmp, 8)->Name()), "ICMPv6 Option - Recursive DNS Server");
  EXPECT_EQ(ValueOf(Child(Child(icmp, 8), 4)), "2001:DB8::53");
  // An option without a layout of its own is passed over by its length.
  const auto* route = Child(icmp, 9);
  EXPECT_EQ(Narrow(route->Name()), "ICMPv6 Option - Route Information");
  EXPECT_EQ(ChildNames(route), Names({"Type", "Length"}));
  EXPECT_EQ(CommentOf(Child(route, 1)), "16 Bytes");
  const auto* searchList = Child(icmp, 10);
  EXPECT_EQ(Narrow(searchList->Name()), "ICMPv6 Option - DNS Search List ");
  EXPECT_EQ(ValueOf(FindItem(searchList, "DNS Search List")), "036C616E00000000");
  EXPECT_EQ(ChildNames(icmp).back(), "ICMPv6 Option - DNS Search List ");  // no bytes left over
  TruncationSweep(m.get(), kRouterAdvertisementOptions);

  auto redirect = Decode(m.get(), kRedirect);
  const auto* group = Icmpv6(redirect.get());
  EXPECT_EQ(ChildNames(group), Names({"Type", "Code", "Checksum", "Reserved", "Target Address", "Destination Address",
                                      "ICMPv6 Option - Target link-layer address",
                                      "ICMPv6 Option - Redirected header"}));
  EXPECT_EQ(CommentOf(Child(group, 0)), "Redirect Message");
  EXPECT_EQ(ValueOf(Child(group, 5)), "2001:DB8::9");
  EXPECT_EQ(Child(group, 7)->length, 16u);
  TruncationSweep(m.get(), kRedirect);
}

TEST(ICMPv6Decoder, OptionOfLengthZeroEndsTheWalk) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kZeroLengthOption);
  const auto* icmp = Icmpv6(info.get());
  EXPECT_EQ(ChildNames(icmp), Names({"Type", "Code", "Checksum", "Reserved",
                                     "ICMPv6 Option - Source link-layer address", "Echo Data"}));
  const auto* option = Child(icmp, 4);
  EXPECT_EQ(option->length, 2u);
  EXPECT_EQ(ChildNames(option), Names({"Type", "Length"}));
  EXPECT_EQ(CommentOf(Child(option, 1)), "0 Bytes");
  EXPECT_EQ(Child(icmp, 5)->startPos, 64u);
  EXPECT_EQ(CommentOf(Child(icmp, 5)), "14 (0xE) Bytes Remaining");
  TruncationSweep(m.get(), kZeroLengthOption);
}

TEST(ICMPv6Decoder, NodeInformationResponseWithAName) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kNodeNameResponse);
  const auto* icmp = Icmpv6(info.get());
  ExpectFields(icmp, {
                         {"Type", 54, 1, "140 (0x8C)", "ICMP Node Information Response", 0},
                         {"Code", 55, 1, "0 (0x00)", "Successful", 0},
                         {"Checksum", 56, 2, "34012 (0x84DC)", "", 0},
                         {"Qtype", 58, 2, "2 (0x0002)", "Node Name", 0},
                         {"Flags", 60, 2, "0 (0x0000)", "0000 0000 0000 0000", 0},
                         {"Nonce", 62, 8, "72623859790382856 (0x0102030405060708)", "", 0},
                         {"TTL", 70, 4, "3600 (0x00000E10)", "", 0},
                         {"Node Name", 74, 14, "host.example", "", 0},
                     });
  TruncationSweep(m.get(), kNodeNameResponse);

}

TEST(ICMPv6Decoder, RplControlMessages) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kRplDio);
  const auto* icmp = Icmpv6(info.get());
  EXPECT_EQ(CommentOf(Child(icmp, 0)), "RPL Control Message");
  EXPECT_EQ(CommentOf(Child(icmp, 1)), "DODAG Information Object");
  EXPECT_EQ(ChildNames(icmp), Names({"Type", "Code", "Checksum", "RPLInstanceID", "Version Number", "Rank", "Flags",
                                     "DTSN", "Flags", "Reserved", "IP Address"}));
  ExpectFields(Child(icmp, 6), {
                                   {"Grounded", 62, 1, "1... ....", "Yes", 0},
                                   {"Mode of Operation", 62, 1, "..01 1...",
                                    "Storing Mode of Operation with multicast support", 0},
                                   {"DODAGPreference", 62, 1, ".... .011", "", 0},
                               });
  EXPECT_EQ(ValueOf(Child(icmp, 10)), "2001:DB8::1");
  TruncationSweep(m.get(), kRplDio);

  auto secure = Decode(m.get(), kSecureDis);
  const auto* secureGroup = Icmpv6(secure.get());
  EXPECT_EQ(CommentOf(Child(secureGroup, 1)), "Secure DODAG Information Solicitation");
  EXPECT_EQ(ChildNames(secureGroup),
            Names({"Type", "Code", "Checksum", "Flags", "Algorithm", "Flags", "Reserved", "Counter", "Key Source",
                   "Key Index", "Flags", "Reserved"}));
  ExpectFields(Child(secureGroup, 5), {
                                          {"Key Identifier Mode", 60, 1, "10.. ....", "", 0},
                                          {"Reserved", 60, 1, "..00 0...", "", 0},
                                          {"Reserved", 60, 1, ".... .001", "ENC-MAC-32", 0},
                                      });
  EXPECT_EQ(ValueOf(Child(secureGroup, 8)), "A1A2A3A4A5A6A7A8");
  TruncationSweep(m.get(), kSecureDis);
}

TEST(ICMPv6Decoder, LesserMessageLayouts) {
  auto m = MakeManager();
  auto advertisement = Decode(m.get(), kMulticastRouterAdvertisement);
  ExpectFields(Icmpv6(advertisement.get()), {
                                                {"Type", 54, 1, "151 (0x97)", "Multicast Router Advertisement", 0},
                                                {"Advertisement Interval", 55, 1, "20 (0x14)", "Seconds", 0},
                                                {"Checksum", 56, 2, "7103 (0x1BBF)", "", 0},
                                                {"Query Interval", 58, 2, "125 (0x007D)", "Seconds", 0},
                                                {"Robustness Variable", 60, 2, "2 (0x0002)", "", 0},
                                            });

  auto unknown = Decode(m.get(), kUnknownType);
  ExpectFields(Icmpv6(unknown.get()), {
                                          {"Type", 54, 1, "200 (0xC8)", "", 0},
                                          {"Code", 55, 1, "7 (0x07)", "", 0},
                                          {"Checksum", 56, 2, "59204 (0xE744)", "", 0},
                                          {"Echo Data", 58, 4, "", "4 (0x4) Bytes Remaining", 0},
                                      });

  auto locators = Decode(m.get(), kLocatorUpdate);
  const auto* update = Icmpv6(locators.get());
  EXPECT_EQ(ChildNames(update), Names({"Type", "Code", "Checksum", "Num of Locs", "Operation", "Reserved",
                                       "Locator - 1", "Locator - 2"}));
  EXPECT_EQ(CommentOf(Child(update, 4)), "Locator Update Advertisement");
  ExpectFields(Child(update, 7), {
                                     {"Locator", 70, 4, "2684354562 (0xA0000002)", "", 0},
                                     {"Preference", 74, 2, "20 (0x0014)", "", 0},
                                     {"Lifetime", 76, 2, "300 (0x012C)", "", 0},
                                 });

  for (const Bytes* frame : {&kMulticastRouterAdvertisement, &kUnknownType, &kLocatorUpdate})
    TruncationSweep(m.get(), *frame);
}

TEST(ICMPv6Decoder, CutMessageKeepsItsFieldsAndErrorSummary) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kPortUnreachable, 60);
  const auto* icmp = Icmpv6(info.get());
  EXPECT_EQ(ChildNames(icmp), Names({"Type", "Code", "Checksum", "Truncated"}));
  EXPECT_EQ(SummaryOf(icmp), "Type = 1; Code = 4");
  EXPECT_EQ(icmp->length, 6u);

  auto echo = Decode(m.get(), kEchoRequest, 60);
  EXPECT_EQ(SummaryOf(Icmpv6(echo.get())), "");  // the sequence number was not captured
}

}  // namespace
}  // namespace vel::test
