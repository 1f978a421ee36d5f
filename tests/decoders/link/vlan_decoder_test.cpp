#include "test_support.h"

namespace vel::test {
namespace {

// Priority 5, CFI 0, VLAN 10, carrying an IPv4 UDP datagram between two high ports.
const Bytes kTaggedIPv4 = Hex(
    "001b210a0b0c 000c293a5b7c 8100 a00a 0800"
    "45000021000100004011e56cc0a80a05c0a80a09 9c409c41000dee20 68656c6c6f");
// VLAN 100 carrying an ARP request.
const Bytes kTaggedArp = Hex(
    "ffffffffffff 000c293a5b7c 8100 0064 0806"
    "0001 0800 06 04 0001 000c293a5b7c c0a86401 000000000000 c0a864fe");

using VlanDecoder = DecoderTest;

TEST_F(VlanDecoder, TagShowsItsBitsAndNamesTheEncapsulatedType) {
  auto info = SweepAndDecode(kTaggedIPv4);
  Names groups = GroupNames(info.get());
  ASSERT_GE(groups.size(), 4u);
  EXPECT_EQ(groups[2], "Vlan - Virtual Local Area Network");
  EXPECT_EQ(groups[3].rfind("IP - ", 0), 0u) << groups[3];
  EXPECT_EQ(FindGroup(info.get(), "IP - ")->startPos, 18u);
  EXPECT_EQ(CommentOf(FindItem(FindGroup(info.get(), "Ethernet II"), "Type")), "Virtual Local Area Network");

  const Node* vlan = FindGroup(info.get(), "Vlan - ");
  ExpectItem(vlan, 14, 4, "");
  EXPECT_EQ(SummaryOf(vlan), "");
  ExpectFields(vlan, {{"Tag Control Information group", 14, 2, ""},
                      {"VLAN Name", 16, 2, "0x800", "Internet Protocol (v4)"}});
  ExpectFields(Child(vlan, 0), {{"Priority", 14, 1, "101. ...."},
                                {"Canonical Format Identifier", 14, 1, "...0 ...."},
                                {"VLAN ID", 14, 2, ".... 0000 0000 1010"}});
}

TEST_F(VlanDecoder, EachBitLandsInItsOwnField) {
  struct Case {
    uint16_t tci;
    const char *priority, *cfi, *id;
  };
  const Case cases[] = {
      {0xFFFF, "111. ....", "...1 ....", ".... 1111 1111 1111"},
      {0x1000, "000. ....", "...1 ....", ".... 0000 0000 0000"},
      {0x2801, "001. ....", "...0 ....", ".... 1000 0000 0001"},
  };
  for (const Case& c : cases) {
    auto info = DecodeFrame(WithWord(kTaggedIPv4, 14, c.tci));
    const Node* vlan = FindGroup(info.get(), "Vlan - ");
    EXPECT_EQ(ValueOf(FindItem(vlan, "Priority")), c.priority) << c.tci;
    EXPECT_EQ(ValueOf(FindItem(vlan, "Canonical Format Identifier")), c.cfi) << c.tci;
    EXPECT_EQ(ValueOf(FindItem(vlan, "VLAN ID")), c.id) << c.tci;
  }
}

TEST_F(VlanDecoder, TaggedArpIsDecodedAsArp) {
  auto info = SweepAndDecode(kTaggedArp);
  EXPECT_EQ(GroupNames(info.get()), (Names{"Packet Info", "Ethernet II - Ethernet II Frame",
                                           "Vlan - Virtual Local Area Network", "ARP - Address Resolution Protocol"}));
  const Node* name = FindItem(FindGroup(info.get(), "Vlan - "), "VLAN Name");
  EXPECT_EQ(ValueOf(name), "0x806");
  EXPECT_EQ(CommentOf(name), "Address Resolution Protocol");
  const Node* arp = FindGroup(info.get(), "ARP - ");
  EXPECT_EQ(arp->startPos, 18u);
  EXPECT_EQ(FindItem(arp, "Source IP")->startPos, 32u);
  EXPECT_EQ(SummaryOf(arp), "Who has 192.168.100.254? Tell 192.168.100.1");
}

TEST_F(VlanDecoder, HalfATagShowsTheTagControlInformationOnly) {
  auto info = Decode(m_.get(), kTaggedIPv4, 16);
  const Node* vlan = FindGroup(info.get(), "Vlan - ");
  EXPECT_EQ(ChildNames(vlan), (Names{"Tag Control Information group", "Truncated"}));
  EXPECT_EQ(ValueOf(FindItem(vlan, "VLAN ID")), ".... 0000 0000 1010");
  EXPECT_EQ(vlan->length, 2u);
}

TEST_F(VlanDecoder, ChineseLabelsOfTheTagControlInformation) {
  ChineseInterface chinese;
  auto info = DecodeFrame(kTaggedIPv4);
  const Node* vlan = FindGroup(info.get(), "Vlan - ");
  EXPECT_EQ(ChildNames(vlan), (Names{"标签控制信息[Tag Control Information group]", "VLAN Name"}));
  EXPECT_EQ(ChildNames(Child(vlan, 0)), (Names{"用户优先权[Priority]", "Canonical Format Identifier", "VLAN ID"}));
}

}  // namespace
}  // namespace vel::test
