#include "test_support.h"

namespace vel::test {
namespace {

// Ethernet + IPv4 (192.168.0.1 -> 192.168.0.2) + TCP; the TCP header starts at frame offset 34.
// SYN 1025 -> 80, seq 1000, window 8192: MSS 1460, NOP, window scale 7, NOP, NOP, SACK permitted.
const Bytes kSyn = Hex(
    "001122334455665544332211080045000034000100004006f96fc0a80001c0a80002"
    "04010050000003e80000000080022000c5840000"
    "020405b40103030701010402");
// ACK 80 -> 1025 with timestamps and two zero bytes of padding, and 19 bytes of HTTP.
const Bytes kTimestamps = Hex(
    "001122334455665544332211080045000047000100004006f95cc0a80001c0a80002"
    "0050040100001388000003e98010ffff32860000"
    "080a0001e2400009fbf10000"
    "485454502f312e3120323030204f4b0d0a0d0a");
// Every flag set, 2000 -> 2001, urgent pointer 7: CC, CC.NEW, CC.ECHO, a SACK block, kind 30, two EOL.
const Bytes kAllFlags = Hex(
    "001122334455665544332211080045000048000100004006f95bc0a80001c0a80002"
    "07d007d10000000100000002d03f0003572f0007"
    "0b06000000010c06000000020d0600000003050a00000010000000201e020000");
// No flags, 8080 -> 1025: a window scale option too short for its value, then a length of 0; payload "abc".
const Bytes kBadOptionLengths = Hex(
    "001122334455665544332211080045000033000100004006f970c0a80001c0a80002"
    "1f900401000000010000000070000064212b0000"
    "03020200ffffffff616263");
// ACK 1900 -> 5060: three NOPs, then kind 2 as the last byte of the option area.
const Bytes kKindAtAreaEnd = Hex(
    "00112233445566554433221108004500002c000100004006f977c0a80001c0a80002"
    "076c13c400000001000000006010006400e50000"
    "01010102");
// PSH ACK 1025 -> 80 with an 18-byte HTTP request.
const Bytes kRequest = Hex(
    "00112233445566554433221108004500003a000100004006f969c0a80001c0a80002"
    "0401005000000007000000095018020049660000"
    "474554202f20485454502f312e300d0a0d0a");
// Pure ACK 1025 -> 80 followed by 6 bytes of Ethernet padding.
const Bytes kPaddedAck = Hex(
    "001122334455665544332211080045000028000100004006f97bc0a80001c0a80002"
    "04010050000003e9000013895010100002be0000"
    "000000000000");
// Ethernet + IPv6 (2001:db8::1 -> 2001:db8::2) + TCP SYN 1025 -> 80, checksum 0x4C1C.
const Bytes kSynOverIPv6 = Hex(
    "00112233445566554433221186dd600000000014064020010db80000000000000000000000012001"
    "0db8000000000000000000000002"
    "040100500000000100000000500204004c1c0000");

using TcpDecoder = DecoderTest;

TEST_F(TcpDecoder, SynShowsHeaderFlagsAndSixOptions) {
  auto info = SweepAndDecode(kSyn);
  const Node* tcp = FindGroup(info.get(), "TCP - Transmission Control Protocol");
  ExpectItem(tcp, 34, 32, "");
  ExpectFields(tcp, {{"Source Port", 34, 2, "1025 (0x0401)", "", VEL_DII_SOURCE_PORT},
                     {"Destination Port", 36, 2, "80 (0x0050)", "", VEL_DII_DEST_PORT},
                     {"Sequence Number", 38, 4, "1000 (0x000003E8)"},
                     {"Ack Number", 42, 4, "0 (0x00000000)"},
                     {"TCP Offset", 46, 1, "8", "32 Bytes"},
                     {"Flags", 47, 1, "0000 0010"},
                     {"Window", 48, 2, "8192 (0x2000)"},
                     {"Checksum", 50, 2, "50564 (0xC584)", "Correct"},
                     {"Urgent Pointer", 52, 2, "0 (0x0000)"},
                     {"Option 1", 54, 4, ""},
                     {"Option 2", 58, 1, ""},
                     {"Option 3", 59, 3, ""},
                     {"Option 4", 62, 1, ""},
                     {"Option 5", 63, 1, ""},
                     {"Option 6", 64, 2, ""}});
  ExpectFields(FindItem(tcp, "Flags"), {{"URG", 47, 1, "..0. ....", "Urgent Pointer field significant"},
                                        {"ACK", 47, 1, "...0 ....", "Acknowledgment field significant"},
                                        {"PSH", 47, 1, ".... 0...", "Push Function"},
                                        {"RST", 47, 1, ".... .0..", "Reset the connection"},
                                        {"SYN", 47, 1, ".... ..1.", "Synchronize sequence numbers"},
                                        {"FIN", 47, 1, ".... ...0", "No more data from sender"}});
  ExpectFields(FindItem(tcp, "Option 1"), {{"Code", 54, 1, "2 (0x02)", "Maximum Segment Size"},
                                           {"Length", 55, 1, "4 (0x04)"},
                                           {"Maximum Segment Size", 56, 2, "1460 (0x05B4)"}});
  for (const char* name : {"Option 2", "Option 4", "Option 5"})
    ExpectFields(FindItem(tcp, name), {{"Code", FindItem(tcp, name)->startPos, 1, "1 (0x01)", "No Operation"}});
  ExpectFields(FindItem(tcp, "Option 3"), {{"Code", 59, 1, "3 (0x03)", "Window Scale"},
                                           {"Length", 60, 1, "3 (0x03)"},
                                           {"Window Scale", 61, 1, "7 (0x07)"}});
  ExpectFields(FindItem(tcp, "Option 6"),
               {{"Code", 64, 1, "4 (0x04)", "SACK Permission"}, {"Length", 65, 1, "2 (0x02)"}});
  EXPECT_EQ(SummaryOf(tcp), "Seq = 1000, Ack = 0, Win = 8192,Len = 0,[ SYN ]");
}

TEST_F(TcpDecoder, TimestampsFollowedByZeroPaddingShowAsEndOfListOptions) {
  auto info = SweepAndDecode(kTimestamps);
  const Node* tcp = FindGroup(info.get(), "TCP - ");
  EXPECT_EQ(tcp->length, 32u);
  ExpectFields(FindItem(tcp, "Option 1"), {{"Code", 54, 1, "8 (0x08)", "Timestamps"},
                                           {"Length", 55, 1, "10 (0x0A)"},
                                           {"TS", 56, 4, "123456 (0x0001E240)"},
                                           {"TS Echo", 60, 4, "654321 (0x0009FBF1)"}});
  for (const char* padding : {"Option 2", "Option 3"}) {
    const Node* end = FindItem(tcp, padding);
    ExpectFields(end, {{"Code", end->startPos, 1, "0 (0x00)", "End of option list"}});
    EXPECT_EQ(end->length, 1u);
  }
  EXPECT_EQ(FindItemOrNull(tcp, "Option 4"), nullptr);
  EXPECT_EQ(SummaryOf(tcp), "Seq = 5000, Ack = 1001, Win = 65535,Len = 19,[ ACK ]");
}

TEST_F(TcpDecoder, EveryFlagAndTheRemainingOptionKinds) {
  auto info = SweepAndDecode(kAllFlags);
  const Node* tcp = FindGroup(info.get(), "TCP - ");
  EXPECT_EQ(ValueOf(FindItem(tcp, "Flags")), "0011 1111");
  EXPECT_EQ(ValueOf(FindItem(FindItem(tcp, "Flags"), "URG")), "..1. ....");
  EXPECT_EQ(ValueOf(FindItem(tcp, "Urgent Pointer")), "7 (0x0007)");
  EXPECT_EQ(SummaryOf(tcp), "Seq = 1, Ack = 2, Win = 3,Len = 0,[ SYN FIN ACK URG RST PSH ]");

  const char* const countNames[] = {"CC", "CC.NEW", "CC.ECHO"};
  for (uint32_t i = 0; i < 3; ++i) {
    const Node* option = FindItem(tcp, "Option " + std::to_string(i + 1));
    EXPECT_EQ(option->length, 6u);
    EXPECT_EQ(CommentOf(FindItem(option, "Code")), countNames[i]);
    ExpectItem(FindItem(option, "Count"), option->startPos + 2, 4,
               std::to_string(i + 1) + " (0x0000000" + std::to_string(i + 1) + ")");
  }
  // A selective acknowledgement and an unknown kind: no name, no value items,
  // and the walk goes on after their length.
  ExpectItem(FindItem(tcp, "Option 4"), 72, 10, "");
  ExpectFields(FindItem(tcp, "Option 4"), {{"Code", 72, 1, "5 (0x05)"}, {"Length", 73, 1, "10 (0x0A)"}});
  ExpectItem(FindItem(tcp, "Option 5"), 82, 2, "");
  ExpectItem(FindItem(FindItem(tcp, "Option 5"), "Code"), 82, 1, "30 (0x1E)");
  EXPECT_EQ(CommentOf(FindItem(FindItem(tcp, "Option 6"), "Code")), "End of option list");
  EXPECT_EQ(FindItem(tcp, "Option 7")->startPos, 85u);
  EXPECT_EQ(tcp->length, 52u);
}

TEST_F(TcpDecoder, OptionLengthsThatCannotBeWalkedEndTheWalk) {
  auto info = SweepAndDecode(kBadOptionLengths);
  const Node* tcp = FindGroup(info.get(), "TCP - ");
  // Window scale with length 2 holds no value: shown, flagged, and the walk goes on.
  ExpectItem(FindItem(tcp, "Option 1"), 54, 2, "");
  ExpectFields(FindItem(tcp, "Option 1"),
               {{"Code", 54, 1, "3 (0x03)", "Window Scale"}, {"Length", 55, 1, "2 (0x02)", "Invalid option length"}});
  // A length of 0 would never advance: the option takes the rest of the area.
  ExpectItem(FindItem(tcp, "Option 2"), 56, 6, "");
  ExpectItem(FindItem(FindItem(tcp, "Option 2"), "Length"), 57, 1, "0 (0x00)", "Invalid option length");
  EXPECT_EQ(FindItemOrNull(tcp, "Option 3"), nullptr);
  EXPECT_EQ(tcp->length, 28u);
  EXPECT_EQ(SummaryOf(tcp), "Seq = 1, Ack = 0, Win = 100,Len = 3");

  // A kind with a length field as the area's last byte: its length would lie in the payload.
  info = SweepAndDecode(kKindAtAreaEnd);
  tcp = FindGroup(info.get(), "TCP - ");
  ExpectItem(FindItem(tcp, "Option 4"), 57, 1, "");
  EXPECT_EQ(ChildNames(FindItem(tcp, "Option 4")), Names{"Code"});
  EXPECT_EQ(tcp->length, 24u);
}

TEST_F(TcpDecoder, NoOptionsAndPaddingInTheSummaryLength) {
  auto info = SweepAndDecode(kPaddedAck);
  const Node* tcp = FindGroup(info.get(), "TCP - ");
  EXPECT_EQ(tcp->length, 20u);
  EXPECT_EQ(FindItemOrNull(tcp, "Option 1"), nullptr);
  // The padding counts in Len but not in the checksum, which covers the IP datagram.
  EXPECT_EQ(SummaryOf(tcp), "Seq = 1001, Ack = 5001, Win = 4096,Len = 6,[ ACK ]");
  EXPECT_EQ(CommentOf(FindItem(tcp, "Checksum")), "Correct");
}

TEST_F(TcpDecoder, ChecksumVerification) {
  Bytes wrong = WithWord(kSyn, 34 + 16, 0x1234);
  auto info = SweepAndDecode(wrong);
  const Node* checksum = FindItem(FindGroup(info.get(), "TCP - "), "Checksum");
  ExpectItem(checksum, 50, 2, "4660 (0x1234)", "Incorrect, should be 0xc584");
  EXPECT_EQ(checksum->severity, uint32_t{VEL_SST_INFOMATION});
  EXPECT_EQ(PacketSeverity(info.get()), uint32_t{VEL_SST_INFOMATION});

  // A capture that ends inside the segment cannot be checked.
  info = Decode(m_.get(), kRequest, static_cast<uint32_t>(kRequest.size() - 5));
  const Node* tcp = FindGroup(info.get(), "TCP - ");
  EXPECT_EQ(CommentOf(FindItem(tcp, "Checksum")), "Not verified, data truncated");
  EXPECT_EQ(SummaryOf(tcp), "Seq = 7, Ack = 9, Win = 512,Len = 13,[ ACK PSH ]");

  // Options cut by the capture keep the summary.
  info = Decode(m_.get(), kSyn, 60);
  tcp = FindGroup(info.get(), "TCP - ");
  EXPECT_EQ(SummaryOf(tcp), "Seq = 1000, Ack = 0, Win = 8192,Len = 0,[ SYN ]");
  EXPECT_EQ(ChildNames(tcp).back(), "Truncated");
  EXPECT_EQ(tcp->startPos + tcp->length, 60u);

  // Over IPv6 the pseudo-header is IPv6's.
  EXPECT_EQ(CommentOf(ItemAt(SweepAndDecode(kSynOverIPv6).get(), {"TCP - ", "Checksum"})), "Correct");
  EXPECT_EQ(CommentOf(ItemAt(SweepAndDecode(WithWord(kSynOverIPv6, 54 + 16, 0xBEEF)).get(), {"TCP - ", "Checksum"})),
            "Incorrect, should be 0x4c1c");

  m_->put_VerifyChecksum(0);
  EXPECT_EQ(CommentOf(ItemAt(DecodeFrame(wrong).get(), {"TCP - ", "Checksum"})), "");
}

TEST_F(TcpDecoder, PayloadGoesToTheTypeThePortsChose) {
  ProbedGraph graph({48, 1, 52, 2, 20}, {2, 20});
  EXPECT_EQ(graph.OffersFor(kRequest), (Offers{{3, 54}}));           // 1025 -> 80
  EXPECT_EQ(graph.OffersFor(kTimestamps), (Offers{{3, 66}}));        // 80 -> 1025, after the options
  EXPECT_EQ(graph.OffersFor(kBadOptionLengths), (Offers{{2, 62}}));  // 8080 is not in the port table
  EXPECT_EQ(graph.OffersFor(kSyn), Offers{});                        // nothing after the header
}

TEST_F(TcpDecoder, TcpdumpCaptures) {
  for (const char* name :
       {"tcpdump/mptcp-fclose.pcap", "tcpdump/ipv4_tcp_http_xml.pcap", "tcpdump/tcp_eight_lowest_weight_flags_set.pcap",
        "tcpdump/mptcp-dss-oobr.pcap", "tcpdump/tcp_rst_data-trunc.pcap"})
    SweepCapture(m_.get(), name);

  // All eight flag bits set: the two high ones are drawn as 0.
  auto info = DecodeFrame(ReadPcapFrames("tcpdump/tcp_eight_lowest_weight_flags_set.pcap")[0]);
  const Node* tcp = FindGroup(info.get(), "TCP - ");
  EXPECT_EQ(ValueOf(FindItem(tcp, "Flags")), "0011 1111");
  EXPECT_EQ(CommentOf(FindItem(tcp, "Checksum")), "Correct");
  EXPECT_EQ(SummaryOf(tcp), "Seq = 576462951, Ack = 486026015, Win = 512,Len = 0,[ SYN FIN ACK URG RST PSH ]");

  // A multipath SYN: MSS, SACK permitted, timestamps, NOP, window scale, and kind 30 without a name.
  info = DecodeFrame(ReadPcapFrames("tcpdump/mptcp-fclose.pcap")[2]);
  tcp = FindGroup(info.get(), "TCP - ");
  EXPECT_EQ(CommentOf(FindItem(tcp, "Checksum")), "Correct");
  EXPECT_EQ(ValueOf(FindItem(FindItem(tcp, "Option 3"), "TS")), "38230 (0x00009556)");
  const Node* multipath = FindItem(tcp, "Option 6");
  ExpectValue(multipath, "Code", "30 (0x1E)");
  EXPECT_EQ(multipath->length, 12u);

  // A reset whose capture stops short of the IP length.
  info = DecodeFrame(ReadPcapFrames("tcpdump/tcp_rst_data-trunc.pcap")[0]);
  EXPECT_EQ(CommentOf(FindItem(FindGroup(info.get(), "TCP - "), "Checksum")), "Not verified, data truncated");
}

}  // namespace
}  // namespace vel::test
