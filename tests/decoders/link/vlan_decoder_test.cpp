#include "test_support.h"
#include "vel/text.h"

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

Bytes WithTag(uint32_t tci) {
  Bytes frame = kTaggedIPv4;
  frame[14] = static_cast<uint8_t>(tci >> 8);
  frame[15] = static_cast<uint8_t>(tci);
  return frame;
}

TEST(VlanDecoder, TagShowsItsBitsAndNamesTheEncapsulatedType) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kTaggedIPv4);
  std::vector<std::string> groups = GroupNames(info.get());
  ASSERT_GE(groups.size(), 4u);
  EXPECT_EQ(groups[2], "Vlan - Virtual Local Area Network");
  EXPECT_EQ(groups[3].rfind("IP - ", 0), 0u) << groups[3];
  EXPECT_EQ(FindGroup(info.get(), "IP - ")->startPos, 18u);
  EXPECT_EQ(CommentOf(FindItem(FindGroup(info.get(), "Ethernet II"), "Type")), "Virtual Local Area Network");

  const auto* vlan = FindGroup(info.get(), "Vlan - ");
  ASSERT_NE(vlan, nullptr);
  EXPECT_EQ(vlan->startPos, 14u);
  EXPECT_EQ(vlan->length, 4u);
  EXPECT_EQ(SummaryOf(vlan), "");
  ASSERT_EQ(ChildNames(vlan), (std::vector<std::string>{"Tag Control Information group", "VLAN Name"}));

  const auto* tag = vlan->Children()[0];
  EXPECT_EQ(tag->isGroup, 1);
  EXPECT_EQ(tag->startPos, 14u);
  EXPECT_EQ(tag->length, 2u);
  EXPECT_EQ(ValueOf(tag), "");
  ASSERT_EQ(ChildNames(tag), (std::vector<std::string>{"Priority", "Canonical Format Identifier", "VLAN ID"}));
  const char* values[] = {"101. ....", "...0 ....", ".... 0000 0000 1010"};
  const uint32_t lengths[] = {1, 1, 2};
  for (uint32_t i = 0; i < 3; ++i) {
    const auto* field = tag->Children()[i];
    EXPECT_EQ(field->startPos, 14u) << i;
    EXPECT_EQ(field->length, lengths[i]) << i;
    EXPECT_EQ(ValueOf(field), values[i]) << i;
    EXPECT_EQ(CommentOf(field), "") << i;
  }

  const auto* name = vlan->Children()[1];
  EXPECT_EQ(name->startPos, 16u);
  EXPECT_EQ(name->length, 2u);
  EXPECT_EQ(ValueOf(name), "0x800");
  EXPECT_EQ(CommentOf(name), "Internet Protocol (v4)");
  TruncationSweep(m.get(), kTaggedIPv4);
}

TEST(VlanDecoder, EachBitLandsInItsOwnField) {
  auto m = MakeManager();
  struct Case {
    uint32_t tci;
    const char* priority;
    const char* cfi;
    const char* id;
  };
  const Case cases[] = {
      {0xFFFF, "111. ....", "...1 ....", ".... 1111 1111 1111"},
      {0x1000, "000. ....", "...1 ....", ".... 0000 0000 0000"},
      {0x2801, "001. ....", "...0 ....", ".... 1000 0000 0001"},
  };
  for (const Case& c : cases) {
    auto info = Decode(m.get(), WithTag(c.tci));
    const auto* vlan = FindGroup(info.get(), "Vlan - ");
    EXPECT_EQ(ValueOf(FindItem(vlan, "Priority")), c.priority) << c.tci;
    EXPECT_EQ(ValueOf(FindItem(vlan, "Canonical Format Identifier")), c.cfi) << c.tci;
    EXPECT_EQ(ValueOf(FindItem(vlan, "VLAN ID")), c.id) << c.tci;
  }
}

TEST(VlanDecoder, TaggedArpIsDecodedAsArp) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kTaggedArp);
  EXPECT_EQ(GroupNames(info.get()),
            (std::vector<std::string>{"Packet Info", "Ethernet II - Ethernet II Frame",
                                      "Vlan - Virtual Local Area Network", "ARP - Address Resolution Protocol"}));
  const auto* name = FindItem(FindGroup(info.get(), "Vlan - "), "VLAN Name");
  EXPECT_EQ(ValueOf(name), "0x806");
  EXPECT_EQ(CommentOf(name), "Address Resolution Protocol");
  const auto* arp = FindGroup(info.get(), "ARP - ");
  EXPECT_EQ(arp->startPos, 18u);
  EXPECT_EQ(FindItem(arp, "Source IP")->startPos, 32u);
  EXPECT_EQ(SummaryOf(arp), "Who has 192.168.100.254? Tell 192.168.100.1");
  TruncationSweep(m.get(), kTaggedArp);
}

TEST(VlanDecoder, HalfATagShowsTheTagControlInformationOnly) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kTaggedIPv4, 16);
  const auto* vlan = FindGroup(info.get(), "Vlan - ");
  ASSERT_NE(vlan, nullptr);
  EXPECT_EQ(ChildNames(vlan), (std::vector<std::string>{"Tag Control Information group", "Truncated"}));
  EXPECT_EQ(ValueOf(FindItem(vlan, "VLAN ID")), ".... 0000 0000 1010");
  EXPECT_EQ(vlan->length, 2u);
}

TEST(VlanDecoder, ChineseLabelsOfTheTagControlInformation) {
  auto m = MakeManager();
  SetThreadUILanguage(kLanguageChinese);
  auto info = Decode(m.get(), kTaggedIPv4);
  SetThreadUILanguage(kLanguageEnglish);
  const auto* vlan = FindGroup(info.get(), "Vlan - ");
  ASSERT_NE(vlan, nullptr);
  EXPECT_EQ(ChildNames(vlan),
            (std::vector<std::string>{"标签控制信息[Tag Control Information group]", "VLAN Name"}));
  EXPECT_EQ(ChildNames(vlan->Children()[0]),
            (std::vector<std::string>{"用户优先权[Priority]", "Canonical Format Identifier", "VLAN ID"}));
}

}  // namespace
}  // namespace vel::test
