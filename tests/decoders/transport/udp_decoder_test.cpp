#include "test_support.h"

namespace vel::test {
namespace {

// Ethernet + IPv4 (192.168.0.1 -> 192.168.0.2) + UDP; the UDP header starts at frame offset 34.
// 5353 -> 53, a DNS query, checksum 0x8790.
const Bytes kDnsQuery = Hex(
    "001122334455665544332211080045000039000100004011f95fc0a80001c0a80002"
    "14e9003500258790"
    "123401000001000000000000076578616d706c6503636f6d0000010001");
// 53 -> 5353, 12 zero bytes, checksum 0x1234 where 0x6954 belongs.
const Bytes kWrongChecksum = Hex(
    "001122334455665544332211080045000028000100004011f970c0a80001c0a80002"
    "003514e900141234"
    "000000000000000000000000");
// 137 -> 53, 12 zero bytes, checksum field 0 (0x7DB4 belongs).
const Bytes kZeroChecksum = Hex(
    "001122334455665544332211080045000028000100004011f970c0a80001c0a80002"
    "0089003500140000"
    "000000000000000000000000");
// 1900 -> 5060, no payload.
const Bytes kEmpty = Hex(
    "00112233445566554433221108004500001c000100004011f97cc0a80001c0a80002"
    "076c13c40008635a");
// Ethernet + IPv6 (2001:db8::1 -> 2001:db8::2) + hop-by-hop options + UDP 1900 -> 5060 "hello"; UDP at 62.
const Bytes kOverIPv6Extension = Hex(
    "00112233445566554433221186dd600000000015004020010db8000000000000000000000001"
    "20010db8000000000000000000000002"
    "1100010400000000"
    "076c13c4000d455d68656c6c6f");
// IPv6 carried in IPv4 (protocol 41), then UDP 1900 -> 5060 "x"; UDP at 74.
const Bytes kSixInFour = Hex(
    "001122334455665544332211080045000045000100004029668d0a0000010a000002"
    "600000000009114020010db8000000000000000000000001"
    "20010db8000000000000000000000002"
    "076c13c400091137"
    "78");
// ICMP port unreachable quoting a whole IPv4 + UDP datagram (1025 -> 53) whose checksum is wrong; quoted UDP at 62.
const Bytes kQuotedInIcmp = Hex(
    "001122334455665544332211080045000038000100004001f970c0a80001c0a80002"
    "0303e68a00000000"
    "4500001c000700003f11fa6ec0a80002c0a80009"
    "0401003500081234");

std::string ChecksumComment(IVELPacketsDecodingInfo* info) { return CommentOf(ItemAt(info, {"UDP - ", "Checksum"})); }

using UdpDecoder = DecoderTest;

TEST_F(UdpDecoder, HeaderShowsFourItemsAndNoSummary) {
  auto info = SweepAndDecode(kDnsQuery);
  const Node* udp = FindGroup(info.get(), "UDP - User Datagram Protocol");
  ExpectItem(udp, 34, 8, "");
  EXPECT_EQ(SummaryOf(udp), "");
  ExpectFields(udp, {{"Source Port", 34, 2, "5353 (0x14E9)", "", VEL_DII_SOURCE_PORT},
                     {"Destination Port", 36, 2, "53 (0x0035)", "", VEL_DII_DEST_PORT},
                     {"Total length", 38, 2, "37 (0x0025)"},
                     {"Checksum", 40, 2, "34704 (0x8790)", "Correct"}});
}

TEST_F(UdpDecoder, ChecksumVerification) {
  auto info = SweepAndDecode(kWrongChecksum);
  EXPECT_EQ(ChecksumComment(info.get()), "Incorrect, should be 0x6954");
  EXPECT_EQ(PacketSeverity(info.get()), uint32_t{VEL_SST_INFOMATION});

  // A checksum field of 0 is judged like any other value.
  EXPECT_EQ(ChecksumComment(SweepAndDecode(kZeroChecksum).get()), "Incorrect, should be 0x7db4");

  // 0xFFFF is the other form of a computed 0: 1900 -> 5060 with payload 0x6356 sums to it.
  Bytes negativeZero = Concat({Hex("00112233445566554433221108004500001e000100004011f97ac0a80001c0a80002"),
                               Hex("076c13c4000affff"), Hex("6356")});
  EXPECT_EQ(ChecksumComment(DecodeFrame(negativeZero).get()), "Correct");
  EXPECT_EQ(ChecksumComment(DecodeFrame(WithWord(negativeZero, 34 + 6, 0)).get()), "Correct");

  // A capture that ends inside the datagram cannot be checked.
  info = Decode(m_.get(), kDnsQuery, static_cast<uint32_t>(kDnsQuery.size() - 1));
  EXPECT_EQ(ChecksumComment(info.get()), "Not verified, data truncated");

  m_->put_VerifyChecksum(0);
  EXPECT_EQ(ChecksumComment(DecodeFrame(kWrongChecksum).get()), "");
}

TEST_F(UdpDecoder, PayloadGoesToTheTypeThePortsChose) {
  ProbedGraph graph({48, 1, 52, 2, 20}, {2, 20});
  EXPECT_EQ(graph.OffersFor(kDnsQuery), (Offers{{29, 42}}));       // 5353 -> 53: DNS
  EXPECT_EQ(graph.OffersFor(kWrongChecksum), (Offers{{29, 42}}));  // 53 -> 5353: DNS
  EXPECT_EQ(graph.OffersFor(kZeroChecksum), (Offers{{44, 42}}));   // 137 -> 53: the source port wins
  EXPECT_EQ(graph.OffersFor(kEmpty), Offers{});                    // nothing after the header
  // IPv6 inside IPv4: 1900 -> 5060 is not classified.
  EXPECT_EQ(graph.OffersFor(kSixInFour), (Offers{{20, 82}}));

  auto info = SweepAndDecode(kEmpty);
  EXPECT_EQ(GroupNames(info.get()).back(), "UDP - User Datagram Protocol");
  EXPECT_EQ(ChildNames(FindGroup(info.get(), "UDP - ")).size(), 4u);
  EXPECT_EQ(FindGroup(info.get(), "UDP - ")->length, 8u);
}

TEST_F(UdpDecoder, ChecksumOverIPv6) {
  // The pseudo-header length leaves out the extension header before UDP.
  EXPECT_EQ(ChecksumComment(SweepAndDecode(kOverIPv6Extension).get()), "Correct");
  EXPECT_EQ(ChecksumComment(SweepAndDecode(WithWord(kOverIPv6Extension, 62 + 6, 0x0001)).get()),
            "Incorrect, should be 0x455d");

  // IPv6 inside IPv4: the inner IPv6 header is the one that counts.
  EXPECT_EQ(ChecksumComment(SweepAndDecode(kSixInFour).get()), "Correct");
  EXPECT_EQ(ChecksumComment(DecodeFrame(WithWord(kSixInFour, 74 + 6, 0x1138)).get()), "Incorrect, should be 0x1137");
}

TEST_F(UdpDecoder, DatagramQuotedInIcmpIsNotVerified) {
  auto info = SweepAndDecode(kQuotedInIcmp);
  const Node* udp = FindGroup(info.get(), "UDP - ");
  EXPECT_EQ(udp->startPos, 62u);
  ExpectValue(udp, "Checksum", "4660 (0x1234)", "Not verified, quoted datagram");
}

TEST_F(UdpDecoder, TcpdumpCaptures) {
  for (const char* name : {"tcpdump/dns_udp_2.pcap", "tcpdump/bfd-sbfd.pcap"}) SweepCapture(m_.get(), name);
  // A DNS query, and its answer captured with a short snapshot length; BFD over IPv4 and over IPv6.
  std::vector<Bytes> dns = ReadPcapFrames("tcpdump/dns_udp_2.pcap");
  auto info = DecodeFrame(dns[0]);
  EXPECT_EQ(ValueOf(FindItem(FindGroup(info.get(), "UDP - "), "Source Port")), "43966 (0xABBE)");
  EXPECT_EQ(ChecksumComment(info.get()), "Correct");
  EXPECT_EQ(ChecksumComment(DecodeFrame(dns[1]).get()), "Not verified, data truncated");
  std::vector<Bytes> bfd = ReadPcapFrames("tcpdump/bfd-sbfd.pcap");
  EXPECT_EQ(ChecksumComment(DecodeFrame(bfd[0]).get()), "Correct");
  EXPECT_EQ(ChecksumComment(DecodeFrame(bfd[1]).get()), "Correct");
}

}  // namespace
}  // namespace vel::test
