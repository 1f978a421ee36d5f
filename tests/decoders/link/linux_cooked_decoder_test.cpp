#include "test_support.h"

namespace vel::test {
namespace {

const Bytes kUdp = IPv4Packet(kIpProtocolUdp, UdpDatagram(40000, 40001, Ascii("hello")), "10.0.2.15", "10.0.2.3");
const Bytes kArpReply = Hex("0001 0800 06 04 0002 525400123502 0a000202 080027123456 0a00020f");

using LinuxCookedDecoder = DecoderTest;
using LinuxCookedV2Decoder = DecoderTest;

TEST_F(LinuxCookedDecoder, HeaderFieldsThenTheCarriedPacket) {
  auto info = SweepAndDecode(LinuxCookedFrame(kEtherTypeIPv4, kUdp), VEL_LT_LINUX_SLL);
  EXPECT_EQ(GroupNames(info.get()), (Names{"Packet Info", "SLL - Linux Cooked Capture", "IP - Internet Protocol (v4)",
                                           "UDP - User Datagram Protocol"}));
  const Node* sll = FindGroup(info.get(), "SLL - ");
  EXPECT_EQ(sll->protocol, kLinuxCookedType);
  ExpectItem(sll, 0, 16, "");
  ExpectFields(sll, {{"Packet Type", 0, 2, "0 (0x0000)", "Unicast to us"},
                     {"Address Type", 2, 2, "1 (0x0001)", "Ethernet"},
                     {"Address Length", 4, 2, "6 (0x0006)"},
                     {"Source Address", 6, 8, "08:00:27:12:34:56", "", VEL_DII_SOURCE_ADDRESS},
                     {"Protocol", 14, 2, "0x0800", "Internet Protocol (v4)"}});
  EXPECT_EQ(FindGroup(info.get(), "IP - ")->startPos, 16u);
  ExpectItem(ItemAt(info.get(), {"IP - ", "Source IP"}), 28, 4, "10.0.2.15");
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"UDP - ", "Checksum"})), "Correct");
}

TEST_F(LinuxCookedDecoder, CarriesArpAndNamesCodesItKnows) {
  Bytes frame = LinuxCookedFrame(0x0806, kArpReply);
  frame[1] = 4;     // sent by us
  frame[3] = 0xFF;  // address type 0x01FF: no name
  auto info = SweepAndDecode(frame, VEL_LT_LINUX_SLL);
  EXPECT_EQ(GroupNames(info.get())[2], "ARP - Address Resolution Protocol");
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"SLL - ", "Packet Type"})), "Sent by us");
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"SLL - ", "Address Type"})), "");

  // A protocol the pre-classification does not know ends the packet after the header.
  auto unknown = DecodeAs(m_.get(), VEL_LT_LINUX_SLL, LinuxCookedFrame(0x0004, Hex("424203")));
  EXPECT_EQ(GroupNames(unknown.get()).size(), 2u);
  EXPECT_EQ(CommentOf(ItemAt(unknown.get(), {"SLL - ", "Protocol"})), "Unknown Protocol");
}

TEST_F(LinuxCookedDecoder, AddressesOfOtherLengths) {
  Bytes none = LinuxCookedFrame(kEtherTypeIPv4, kUdp);
  none[5] = 0;
  auto info = DecodeAs(m_.get(), VEL_LT_LINUX_SLL, none);
  const Node* address = ItemAt(info.get(), {"SLL - ", "Source Address"});
  ExpectItem(address, 6, 8, "");
  EXPECT_EQ(address->type, 0u);

  // An address longer than the field: the header holds its first eight bytes.
  Bytes longer = none;
  longer[5] = 20;
  info = DecodeAs(m_.get(), VEL_LT_LINUX_SLL, longer);
  ExpectItem(ItemAt(info.get(), {"SLL - ", "Source Address"}), 6, 8, "08:00:27:12:34:56:00:00",
             "The header holds the first 8 of the 20 address bytes");
}

TEST_F(LinuxCookedV2Decoder, HeaderFieldsThenTheCarriedPacket) {
  Bytes frame = LinuxCookedV2Frame(kEtherTypeIPv6, IPv6Packet(kIpProtocolTcp, TcpSegment(1025, 8080, Ascii("x"))));
  frame[10] = 2;  // multicast
  auto info = SweepAndDecode(frame, VEL_LT_LINUX_SLL2);
  EXPECT_EQ(GroupNames(info.get()), (Names{"Packet Info", "SLL2 - Linux Cooked Capture v2",
                                           "IPv6 - Internet Protocol (v6)", "TCP - Transmission Control Protocol"}));
  const Node* sll = FindGroup(info.get(), "SLL2 - ");
  EXPECT_EQ(sll->protocol, kLinuxCookedV2Type);
  EXPECT_EQ(sll->length, 20u);
  ExpectFields(sll, {{"Protocol", 0, 2, "0x86DD", "Internet Protocol (v6)"},
                     {"Reserved", 2, 2, "0 (0x0000)"},
                     {"Interface Index", 4, 4, "2 (0x00000002)"},
                     {"Address Type", 8, 2, "1 (0x0001)", "Ethernet"},
                     {"Packet Type", 10, 1, "2 (0x02)", "Multicast"},
                     {"Address Length", 11, 1, "6 (0x06)"},
                     {"Source Address", 12, 8, "08:00:27:12:34:56", "", VEL_DII_SOURCE_ADDRESS}});
  EXPECT_EQ(FindGroup(info.get(), "IPv6 - ")->startPos, 20u);
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"TCP - ", "Checksum"})), "Correct");

  // Tagged frames go through the VLAN decoder.
  auto tagged = SweepAndDecode(LinuxCookedV2Frame(0x8100, Concat({Hex("000a 0800"), kUdp})), VEL_LT_LINUX_SLL2);
  EXPECT_EQ(GroupNames(tagged.get())[2], "Vlan - Virtual Local Area Network");
  EXPECT_EQ(FindGroup(tagged.get(), "IP - ")->startPos, 24u);
}

}  // namespace
}  // namespace vel::test
