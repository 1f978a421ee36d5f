#include "test_support.h"

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

using ArpDecoder = DecoderTest;
using RarpDecoder = DecoderTest;
using ArpVlanCaptures = DecoderTest;

TEST_F(ArpDecoder, RequestShowsEveryFieldAndAsksWhoHas) {
  auto info = SweepAndDecode(kRequest);
  EXPECT_EQ(GroupNames(info.get()),
            (Names{"Packet Info", "Ethernet II - Ethernet II Frame", "ARP - Address Resolution Protocol"}));
  const Node* arp = FindGroup(info.get(), "ARP - ");
  ExpectItem(arp, 14, 28, "");
  EXPECT_EQ(SummaryOf(arp), "Who has 10.0.0.2? Tell 10.0.0.1");
  ExpectFields(arp, {{"Hardware type", 14, 2, "1 (0x0001)", "10Mbps Ehternet"},
                     {"Protocol type", 16, 2, "2048 (0x0800)", "Internet Protocol(IPv4)"},
                     {"Hardware address length", 18, 1, "6 (0x06)"},
                     {"Protocol address length", 19, 1, "4 (0x04)"},
                     {"Type", 20, 2, "1 (0x0001)", "Request"},
                     {"Source Address", 22, 6, "00:0C:29:3A:5B:7C", "", VEL_DII_SOURCE_ADDRESS},
                     {"Source IP", 28, 4, "10.0.0.1", "", VEL_DII_SOURCE_IP},
                     {"Destination Address", 32, 6, "00:00:00:00:00:00", "", VEL_DII_DESTINATION_ADDRESS},
                     {"Destination IP", 38, 4, "10.0.0.2", "", VEL_DII_DESTINATION_IP}});

  // The summary follows the interface language.
  ChineseInterface chinese;
  EXPECT_EQ(SummaryOf(FindGroup(DecodeFrame(kRequest).get(), "ARP - ")), "谁是10.0.0.2? 告诉10.0.0.1");
}

TEST_F(ArpDecoder, ReplyNamesTheSenderAndShowsThePadding) {
  SetVendorTable(m_.get());
  auto info = SweepAndDecode(kPaddedReply);
  const Node* arp = FindGroup(info.get(), "ARP - ");
  EXPECT_EQ(SummaryOf(arp), "00:1B:21:0A:0B:0C has 10.0.0.2");
  EXPECT_EQ(arp->length, 46u);
  EXPECT_EQ(CommentOf(FindItem(arp, "Type")), "Reply");
  ExpectItem(FindItem(arp, "Padding Data"), 42, 18, "", "18 (0x12) Bytes Remaining");
  EXPECT_EQ(GroupNames(info.get()).size(), 3u);  // nothing follows ARP
  // Hardware addresses name their vendor; 00:1B:21 is not in the table.
  EXPECT_EQ(CommentOf(FindItem(arp, "Source Address")), "");
  EXPECT_EQ(CommentOf(FindItem(arp, "Destination Address")), "VMware");
}

TEST_F(ArpDecoder, ValueNamesAtTheEdgesOfTheirTables) {
  auto commentWith = [&](size_t offset, uint32_t value, const char* label) {
    auto info = DecodeFrame(WithWord(kRequest, kMessage + offset, static_cast<uint16_t>(value)));
    return CommentOf(FindItem(FindGroup(info.get(), "ARP - "), label));
  };
  const std::pair<uint32_t, const char*> hardware[] = {{0, "Unknown"},
                                                       {2, "Experimental Ethernet (3Mb)"},
                                                       {16, "Asynchronous Transmission Mode (ATM)"},
                                                       {17, "HDLC"},
                                                       {21, "Asynchronous Transmission Mode (ATM)"},
                                                       {32, "InfiniBand (TM)"},
                                                       {33, "Unknown"},
                                                       {0xFFFF, "Unknown"}};
  for (auto [value, name] : hardware) EXPECT_EQ(commentWith(0, value, "Hardware type"), name) << value;
  const std::pair<uint32_t, const char*> protocol[] = {
      {0x0801, "X.75 Internet"}, {0x0802, "NBS Internet"}, {0x0803, "Unknown Protocol"}, {0x0804, "Unknown Protocol"},
      {0x0805, "X.25 Level 3"},  {0x0806, "ARP Protocol"}, {0x86DD, "Unknown Protocol"}};
  for (auto [value, name] : protocol) EXPECT_EQ(commentWith(2, value, "Protocol type"), name) << value;
  const std::pair<uint32_t, const char*> operation[] = {
      {0, ""}, {3, "Request Reverse"}, {4, "Reply Reverse"}, {5, "Unknown"}, {0x0100, "Unknown"}};
  for (auto [value, name] : operation) EXPECT_EQ(commentWith(6, value, "Type"), name) << value;
}

TEST_F(ArpDecoder, AddressesStayAtFixedOffsetsWhateverTheLengthFieldsSay) {
  auto info = SweepAndDecode(kOddMessage);
  const Node* arp = FindGroup(info.get(), "ARP - ");
  ExpectFields(arp, {{"Hardware type", 14, 2, "33 (0x0021)", "Unknown"},
                     {"Protocol type", 16, 2, "2051 (0x0803)", "Unknown Protocol"},
                     {"Hardware address length", 18, 1, "8 (0x08)"},
                     {"Protocol address length", 19, 1, "16 (0x10)"},
                     {"Type", 20, 2, "5 (0x0005)", "Unknown"},
                     {"Source Address", 22, 6, "00:0C:29:3A:5B:7C", "", VEL_DII_SOURCE_ADDRESS},
                     {"Source IP", 28, 4, "10.0.0.1", "", VEL_DII_SOURCE_IP},
                     {"Destination Address", 32, 6, "00:00:00:00:00:00", "", VEL_DII_DESTINATION_ADDRESS},
                     {"Destination IP", 38, 4, "10.0.0.2", "", VEL_DII_DESTINATION_IP}});
  // Every operation but a request is summarised as an answer.
  EXPECT_EQ(SummaryOf(arp), "00:0C:29:3A:5B:7C has 10.0.0.1");
}

TEST_F(RarpDecoder, ReverseRequestHasItsOwnLabelsAndNoSummary) {
  SetVendorTable(m_.get());
  auto info = SweepAndDecode(kReverseRequest);
  EXPECT_EQ(GroupNames(info.get()),
            (Names{"Packet Info", "Ethernet II - Ethernet II Frame", "RARP - Reverse Address Resolution Protocol"}));
  const Node* rarp = FindGroup(info.get(), "RARP - ");
  EXPECT_EQ(SummaryOf(rarp), "");
  EXPECT_EQ(rarp->length, 28u);
  ExpectFields(rarp, {{"Hardware type", 14, 2, "1 (0x0001)", "10Mbps Ehternet"},
                      {"Protocol type", 16, 2, "2048 (0x0800)", "Internet Protocol(IPv4)"},
                      {"Hardware address length", 18, 1, "6 (0x06)"},
                      {"Protocol address length", 19, 1, "4 (0x04)"},
                      {"Type", 20, 2, "3 (0x0003)", "Request Reverse"},
                      {"Sender hardware address", 22, 6, "00:0C:29:3A:5B:7C", "VMware", VEL_DII_SOURCE_ADDRESS},
                      {"Sender protocol address", 28, 4, "0.0.0.0", "", VEL_DII_SOURCE_IP},
                      {"Target hardware address", 32, 6, "00:0C:29:3A:5B:7C", "VMware", VEL_DII_DESTINATION_ADDRESS},
                      {"Target protocol address", 38, 4, "0.0.0.0", "", VEL_DII_DESTINATION_IP}});
}

// Captures from tcpdump's test suite.

TEST_F(ArpVlanCaptures, UntaggedArpExchange) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/mptcp-fclose.pcap");
  ASSERT_EQ(frames.size(), 11u);
  for (const Bytes& frame : frames) DecodeFrame(frame);
  EXPECT_EQ(SummaryOf(FindGroup(DecodeFrame(frames[0]).get(), "ARP - ")), "Who has 10.2.1.2? Tell 10.2.1.1");
  EXPECT_EQ(SummaryOf(FindGroup(DecodeFrame(frames[1]).get(), "ARP - ")), "D6:06:3C:4A:35:7A has 10.2.1.2");
}

TEST_F(ArpVlanCaptures, RarpMessageCutAfterEightBytes) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/getname_2_read4_asan.pcap");
  ASSERT_EQ(frames.size(), 1u);
  auto info = SweepAndDecode(frames[0]);
  const Node* rarp = FindGroup(info.get(), "RARP - ");
  ExpectFields(rarp, {{"Hardware type", 14, 2, "65280 (0xFF00)", "Unknown"},
                      {"Protocol type", 16, 2, "35585 (0x8B01)", "Unknown Protocol"},
                      {"Hardware address length", 18, 1, "0 (0x00)"},
                      {"Protocol address length", 19, 1, "0 (0x00)"},
                      {"Type", 20, 2, "4 (0x0004)", "Reply Reverse"},
                      {"Truncated", 22, 0, "", "Frame ends here: 0 of the 6 bytes this field needs were captured"}});
}

TEST_F(ArpVlanCaptures, TaggedFrames) {
  std::vector<Bytes> rsvp = ReadPcapFrames("tcpdump/rsvp_cap.pcap");
  ASSERT_EQ(rsvp.size(), 1u);
  auto info = SweepAndDecode(rsvp[0]);
  const Node* vlan = FindGroup(info.get(), "Vlan - ");
  EXPECT_EQ(ValueOf(FindItem(vlan, "Priority")), "110. ....");
  EXPECT_EQ(ValueOf(FindItem(vlan, "VLAN ID")), ".... 0000 0011 1001");  // 57
  EXPECT_EQ(CommentOf(FindItem(vlan, "VLAN Name")), "Internet Protocol (v4)");

  // Tagged spanning-tree frames carry an 802.3 length, not a type.
  std::vector<Bytes> stp = ReadPcapFrames("tcpdump/rpvstp-trunk-native-vid5.pcap");
  ASSERT_EQ(stp.size(), 22u);
  int tagged = 0;
  for (const Bytes& frame : stp) {
    info = DecodeFrame(frame);
    if (frame[12] != 0x81 || frame[13] != 0x00) continue;
    ++tagged;
    EXPECT_EQ(CommentOf(FindItem(FindGroup(info.get(), "Vlan - "), "VLAN Name")), "Unknown Protocol");
    EXPECT_EQ(GroupNames(info.get()).back(), "Vlan - Virtual Local Area Network");
  }
  EXPECT_GT(tagged, 0);
}

}  // namespace
}  // namespace vel::test
