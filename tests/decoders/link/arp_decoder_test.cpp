#include "test_support.h"
#include "vel/object.h"
#include "vel/text.h"

namespace vel::test {
namespace {

// 10.0.0.1 (00:0C:29:3A:5B:7C) asks for 10.0.0.2; 42 bytes, no padding.
const Bytes kRequest = Hex(
    "ffffffffffff 000c293a5b7c 0806"
    "0001 0800 06 04 0001 000c293a5b7c 0a000001 000000000000 0a000002");
// 10.0.0.2 answers, padded to the Ethernet minimum of 60 bytes.
const Bytes kPaddedReply = Hex(
    "000c293a5b7c 001b210a0b0c 0806"
    "0001 0800 06 04 0002 001b210a0b0c 0a000002 000c293a5b7c 0a000001"
    "000000000000000000000000000000000000");
// Hardware type 33, protocol type 0x0803, length fields 8 and 16, operation 5.
const Bytes kOddMessage = Hex(
    "ffffffffffff 000c293a5b7c 0806"
    "0021 0803 08 10 0005 000c293a5b7c 0a000001 000000000000 0a000002");
// A RARP request reverse: who is 00:0C:29:3A:5B:7C?
const Bytes kReverseRequest = Hex(
    "ffffffffffff 000c293a5b7c 8035"
    "0001 0800 06 04 0003 000c293a5b7c 00000000 000c293a5b7c 00000000");

constexpr size_t kMessage = 14;  // frame offset of the ARP message

TEST(ArpDecoder, RequestShowsEveryFieldAndAsksWhoHas) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kRequest);
  EXPECT_EQ(GroupNames(info.get()), (std::vector<std::string>{"Packet Info", "Ethernet II - Ethernet II Frame",
                                                              "ARP - Address Resolution Protocol"}));
  const auto* arp = FindGroup(info.get(), "ARP - ");
  ASSERT_NE(arp, nullptr);
  EXPECT_EQ(arp->startPos, 14u);
  EXPECT_EQ(arp->length, 28u);
  EXPECT_EQ(SummaryOf(arp), "Who has 10.0.0.2? Tell 10.0.0.1");
  ExpectFields(arp, {
                        {"Hardware type", 14, 2, "1 (0x0001)", "10Mbps Ehternet", 0},
                        {"Protocol type", 16, 2, "2048 (0x0800)", "Internet Protocol(IPv4)", 0},
                        {"Hardware address length", 18, 1, "6 (0x06)", "", 0},
                        {"Protocol address length", 19, 1, "4 (0x04)", "", 0},
                        {"Type", 20, 2, "1 (0x0001)", "Request", 0},
                        {"Source Address", 22, 6, "00:0C:29:3A:5B:7C", "", VEL_DII_SOURCE_ADDRESS},
                        {"Source IP", 28, 4, "10.0.0.1", "", VEL_DII_SOURCE_IP},
                        {"Destination Address", 32, 6, "00:00:00:00:00:00", "", VEL_DII_DESTINATION_ADDRESS},
                        {"Destination IP", 38, 4, "10.0.0.2", "", VEL_DII_DESTINATION_IP},
                    });
  TruncationSweep(m.get(), kRequest);
}

TEST(ArpDecoder, ReplyNamesTheSenderAndShowsThePadding) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kPaddedReply);
  const auto* arp = FindGroup(info.get(), "ARP - ");
  ASSERT_NE(arp, nullptr);
  EXPECT_EQ(SummaryOf(arp), "00:1B:21:0A:0B:0C has 10.0.0.2");
  EXPECT_EQ(arp->length, 46u);
  EXPECT_EQ(CommentOf(FindItem(arp, "Type")), "Reply");
  const auto* padding = FindItem(arp, "Padding Data");
  ASSERT_NE(padding, nullptr);
  EXPECT_EQ(padding->startPos, 42u);
  EXPECT_EQ(padding->length, 18u);
  EXPECT_EQ(ValueOf(padding), "");
  EXPECT_EQ(CommentOf(padding), "18 (0x12) Bytes Remaining");
  EXPECT_EQ(GroupNames(info.get()).size(), 3u);  // nothing follows ARP
  TruncationSweep(m.get(), kPaddedReply);
}

TEST(ArpDecoder, ValueNamesAtTheEdgesOfTheirTables) {
  auto m = MakeManager();
  auto commentWith = [&](size_t offset, uint32_t value, const char* label) {
    Bytes frame = kRequest;
    frame[kMessage + offset] = static_cast<uint8_t>(value >> 8);
    frame[kMessage + offset + 1] = static_cast<uint8_t>(value);
    auto info = Decode(m.get(), frame);
    return CommentOf(FindItem(FindGroup(info.get(), "ARP - "), label));
  };
  const std::pair<uint32_t, const char*> hardware[] = {
      {0, "Unknown"},  {2, "Experimental Ethernet (3Mb)"},        {16, "Asynchronous Transmission Mode (ATM)"},
      {17, "HDLC"},    {21, "Asynchronous Transmission Mode (ATM)"}, {32, "InfiniBand (TM)"},
      {33, "Unknown"}, {0xFFFF, "Unknown"}};
  for (auto [value, name] : hardware) EXPECT_EQ(commentWith(0, value, "Hardware type"), name) << value;
  const std::pair<uint32_t, const char*> protocol[] = {
      {0x0801, "X.75 Internet"},    {0x0802, "NBS Internet"},     {0x0803, "Unknown Protocol"},
      {0x0804, "Unknown Protocol"}, {0x0805, "X.25 Level 3"},     {0x0806, "ARP Protocol"},
      {0x86DD, "Unknown Protocol"}};
  for (auto [value, name] : protocol) EXPECT_EQ(commentWith(2, value, "Protocol type"), name) << value;
  const std::pair<uint32_t, const char*> operation[] = {
      {0, ""}, {3, "Request Reverse"}, {4, "Reply Reverse"}, {5, "Unknown"}, {0x0100, "Unknown"}};
  for (auto [value, name] : operation) EXPECT_EQ(commentWith(6, value, "Type"), name) << value;
}

TEST(ArpDecoder, AddressesStayAtFixedOffsetsWhateverTheLengthFieldsSay) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kOddMessage);
  const auto* arp = FindGroup(info.get(), "ARP - ");
  ASSERT_NE(arp, nullptr);
  EXPECT_EQ(ValueOf(FindItem(arp, "Hardware type")), "33 (0x0021)");
  EXPECT_EQ(CommentOf(FindItem(arp, "Hardware type")), "Unknown");
  EXPECT_EQ(ValueOf(FindItem(arp, "Hardware address length")), "8 (0x08)");
  EXPECT_EQ(ValueOf(FindItem(arp, "Protocol address length")), "16 (0x10)");
  EXPECT_EQ(FindItem(arp, "Source IP")->startPos, 28u);
  EXPECT_EQ(ValueOf(FindItem(arp, "Destination IP")), "10.0.0.2");
  EXPECT_EQ(arp->length, 28u);
  // Every operation but a request is summarised as an answer.
  EXPECT_EQ(SummaryOf(arp), "00:0C:29:3A:5B:7C has 10.0.0.1");
  TruncationSweep(m.get(), kOddMessage);
}

TEST(ArpDecoder, RequestSummaryFollowsTheInterfaceLanguage) {
  auto m = MakeManager();
  {
    ChineseInterface chinese;
    auto info = Decode(m.get(), kRequest);
    const auto* arp = FindGroup(info.get(), "ARP - ");
    EXPECT_EQ(SummaryOf(arp), "谁是10.0.0.2? 告诉10.0.0.1");
    EXPECT_NE(FindItemOrNull(arp, "Hardware type"), nullptr);
  }
  auto info = Decode(m.get(), kRequest);
  EXPECT_EQ(SummaryOf(FindGroup(info.get(), "ARP - ")), "Who has 10.0.0.2? Tell 10.0.0.1");
}

TEST(ArpDecoder, HardwareAddressesNameTheirVendor) {
  auto m = MakeManager();
  SetVendorTable(m.get());
  auto info = Decode(m.get(), kPaddedReply);
  const auto* arp = FindGroup(info.get(), "ARP - ");
  EXPECT_EQ(CommentOf(FindItem(arp, "Source Address")), "");  // 00:1B:21 is not in the table
  EXPECT_EQ(CommentOf(FindItem(arp, "Destination Address")), "VMware");
  info = Decode(m.get(), kReverseRequest);
  const auto* rarp = FindGroup(info.get(), "RARP - ");
  EXPECT_EQ(CommentOf(FindItem(rarp, "Sender hardware address")), "VMware");
  EXPECT_EQ(CommentOf(FindItem(rarp, "Target hardware address")), "VMware");
}

TEST(RarpDecoder, ReverseRequestHasItsOwnLabelsAndNoSummary) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kReverseRequest);
  EXPECT_EQ(GroupNames(info.get()), (std::vector<std::string>{"Packet Info", "Ethernet II - Ethernet II Frame",
                                                              "RARP - Reverse Address Resolution Protocol"}));
  const auto* rarp = FindGroup(info.get(), "RARP - ");
  ASSERT_NE(rarp, nullptr);
  EXPECT_EQ(SummaryOf(rarp), "");
  EXPECT_EQ(rarp->length, 28u);
  ExpectFields(rarp, {
                         {"Hardware type", 14, 2, "1 (0x0001)", "10Mbps Ehternet", 0},
                         {"Protocol type", 16, 2, "2048 (0x0800)", "Internet Protocol(IPv4)", 0},
                         {"Hardware address length", 18, 1, "6 (0x06)", "", 0},
                         {"Protocol address length", 19, 1, "4 (0x04)", "", 0},
                         {"Type", 20, 2, "3 (0x0003)", "Request Reverse", 0},
                         {"Sender hardware address", 22, 6, "00:0C:29:3A:5B:7C", "", VEL_DII_SOURCE_ADDRESS},
                         {"Sender protocol address", 28, 4, "0.0.0.0", "", VEL_DII_SOURCE_IP},
                         {"Target hardware address", 32, 6, "00:0C:29:3A:5B:7C", "", VEL_DII_DESTINATION_ADDRESS},
                         {"Target protocol address", 38, 4, "0.0.0.0", "", VEL_DII_DESTINATION_IP},
                     });
  TruncationSweep(m.get(), kReverseRequest);
}

// Captures from tcpdump's test suite.

TEST(ArpVlanCaptures, UntaggedArpExchange) {
  auto m = MakeManager();
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/mptcp-fclose.pcap");
  ASSERT_EQ(frames.size(), 11u);
  for (const Bytes& frame : frames) Decode(m.get(), frame);
  auto request = Decode(m.get(), frames[0]);
  EXPECT_EQ(SummaryOf(FindGroup(request.get(), "ARP - ")), "Who has 10.2.1.2? Tell 10.2.1.1");
  auto reply = Decode(m.get(), frames[1]);
  EXPECT_EQ(SummaryOf(FindGroup(reply.get(), "ARP - ")), "D6:06:3C:4A:35:7A has 10.2.1.2");
}

TEST(ArpVlanCaptures, RarpMessageCutAfterEightBytes) {
  auto m = MakeManager();
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/getname_2_read4_asan.pcap");
  ASSERT_EQ(frames.size(), 1u);
  TruncationSweep(m.get(), frames[0]);
  auto info = Decode(m.get(), frames[0]);
  const auto* rarp = FindGroup(info.get(), "RARP - ");
  ASSERT_NE(rarp, nullptr);
  EXPECT_EQ(ValueOf(FindItem(rarp, "Hardware type")), "65280 (0xFF00)");
  EXPECT_EQ(CommentOf(FindItem(rarp, "Hardware type")), "Unknown");
  EXPECT_EQ(CommentOf(FindItem(rarp, "Protocol type")), "Unknown Protocol");
  EXPECT_EQ(CommentOf(FindItem(rarp, "Type")), "Reply Reverse");
  EXPECT_EQ(ChildNames(rarp).back(), "Truncated");
}

TEST(ArpVlanCaptures, TaggedFrames) {
  auto m = MakeManager();
  std::vector<Bytes> rsvp = ReadPcapFrames("tcpdump/rsvp_cap.pcap");
  ASSERT_EQ(rsvp.size(), 1u);
  TruncationSweep(m.get(), rsvp[0]);
  auto info = Decode(m.get(), rsvp[0]);
  const auto* vlan = FindGroup(info.get(), "Vlan - ");
  EXPECT_EQ(ValueOf(FindItem(vlan, "Priority")), "110. ....");
  EXPECT_EQ(ValueOf(FindItem(vlan, "VLAN ID")), ".... 0000 0011 1001");  // 57
  EXPECT_EQ(CommentOf(FindItem(vlan, "VLAN Name")), "Internet Protocol (v4)");

  // Tagged spanning-tree frames carry an 802.3 length, not a type.
  std::vector<Bytes> stp = ReadPcapFrames("tcpdump/rpvstp-trunk-native-vid5.pcap");
  ASSERT_EQ(stp.size(), 22u);
  int tagged = 0;
  for (const Bytes& frame : stp) {
    info = Decode(m.get(), frame);
    if (frame[12] != 0x81 || frame[13] != 0x00) continue;
    ++tagged;
    vlan = FindGroup(info.get(), "Vlan - ");
    EXPECT_EQ(CommentOf(FindItem(vlan, "VLAN Name")), "Unknown Protocol");
    EXPECT_EQ(GroupNames(info.get()).back(), "Vlan - Virtual Local Area Network");
  }
  EXPECT_GT(tagged, 0);
}

}  // namespace
}  // namespace vel::test
