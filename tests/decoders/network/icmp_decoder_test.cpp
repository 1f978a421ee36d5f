#include "test_support.h"

namespace vel::test {
namespace {

const std::string kEthernet = "00112233445566778899aabb0800";
Bytes Frame(const std::string& ipAndIcmp) { return Hex(kEthernet + ipAndIcmp); }

// Echo request, identifier 1234, sequence 7, 32 data bytes.
const Bytes kEchoRequest = Frame(
    "4500003c123400004001e739c0a80001c0a80002 0800022604d20007"
    "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
// Port unreachable quoting an IPv4/UDP header.
const Bytes kPortUnreachable = Frame(
    "45000038000500004001f96cc0a80002c0a80001 0303cbd900000000"
    "4500001c000900004011f974c0a80001c0a80002 9c40829a00141234");
// Fragmentation needed, next-hop MTU 1400, quoting IPv4/TCP.
const Bytes kFragmentationNeeded = Frame(
    "45000038000600004001f96bc0a80002c0a80001 0304f78300000578"
    "4500001c000900004006f97fc0a80001c0a80002 0000000000000000");
// Parameter problem code 1, pointer 20.
const Bytes kParameterProblem = Frame(
    "45000038000700004001f96ac0a80002c0a80001 0c01616c14000000"
    "4500001c000900004011f974c0a80001c0a80002 0001000200087e87");
// Datagram conversion error code 5, pointer 16.
const Bytes kConversionError = Frame(
    "45000038000800004001f969c0a80002c0a80001 1f05625800000010"
    "4500001c000900004011f974c0a80001c0a80002 0001000200087e87");
// Type 200 with four bytes after its checksum.
const Bytes kType200 = Frame("45000020000900004001f980c0a80002c0a80001 c80033f9 01020304");
// Time exceeded quoting an ICMP echo request: the quoted header names ICMP again.
const Bytes kTimeExceededQuotingIcmp = Frame(
    "45000038000d00004001f964c0a80002c0a80001 0b00f4ff00000000"
    "4500001c000900000101e91fc0a8000108080808 0800f7fd00010001");
// Redirect for the host, gateway 192.168.0.1.
const Bytes kRedirect = Frame(
    "45000038001500004001f95cc0a80002c0a80001 0501bbc2c0a80001"
    "4500001c000900004011f974c0a80001c0a80002 0001000200087e87");
// Photuris, authentication failed.
const Bytes kPhoturis = Frame(
    "45000038001400004001f95dc0a80002c0a80001 2801596400000008"
    "4500001c000900004011f974c0a80001c0a80002 0001000200087e87");
const Bytes kRouterAdvertisement = Frame(
    "4500002c000e00004001f96fc0a80002c0a80001 09006c9c02020708 c0a8000100000005c0a80002ffffffff");
const Bytes kTimestampRequest = Frame(
    "45000028000f00004001f972c0a80002c0a80001 0d00f0a400010002 00000064000000c80000012c");
const Bytes kAddressMaskReply = Frame("45000020001000004001f979c0a80002c0a80001 1200eefb00010002 ffffff00");
const Bytes kTraceroute = Frame(
    "45000028001100004001f970c0a80002c0a80001 1e00f42801020000 0003ffff05f5e100000005dc");
const Bytes kDomainNameReply = Frame(
    "4500002d001200004001f96ac0a80002c0a80001 2600f76100010002 00000e10 03777777076578616d706c6500");
const Bytes kType41 = Frame("4500001c001300004001f97ac0a80002c0a80001 2900d1ff05000000");

const Node* Icmp(IVELPacketsDecodingInfo* info) { return FindGroup(info, "ICMP - "); }

using ICMPDecoder = DecoderTest;

TEST_F(ICMPDecoder, EchoRequest) {
  auto info = SweepAndDecode(kEchoRequest);
  const Node* icmp = Icmp(info.get());
  ExpectItem(icmp, 34, 40, "");
  EXPECT_EQ(SummaryOf(icmp), "Echo request");
  ExpectFields(icmp, {{"Type", 34, 1, "8", "Echo request"},
                      {"Code", 35, 1, "0 (0x00)"},
                      {"Checksum", 36, 2, "550 (0x0226)", "Correct"},
                      {"Identifier", 38, 2, "1234 (0x04D2)"},
                      {"Sequence Number", 40, 2, "7 (0x0007)"},
                      {"Echo Data", 42, 32, "", "32 (0x20) Bytes Remaining"}});
  EXPECT_EQ(GroupNames(info.get()).size(), 4u);
}

TEST_F(ICMPDecoder, WrongChecksumAndVerificationOff) {
  Bytes frame = kEchoRequest;
  frame[36] = 0xAB;
  auto info = DecodeFrame(frame);
  const Node* checksum = FindItem(Icmp(info.get()), "Checksum");
  EXPECT_EQ(CommentOf(checksum), "Incorrect, should be 0x0226");
  EXPECT_EQ(checksum->severity, uint32_t{VEL_SST_INFOMATION});
  EXPECT_EQ(PacketSeverity(info.get()), uint32_t{VEL_SST_INFOMATION});

  // A message cut by the capture is judged over what was captured.
  auto cut = Decode(m_.get(), kEchoRequest, 14 + 20 + 6);
  EXPECT_EQ(ChildNames(Icmp(cut.get())), (Names{"Type", "Code", "Checksum", "Identifier", "Truncated"}));
  EXPECT_EQ(CommentOf(FindItem(Icmp(cut.get()), "Checksum")), "Incorrect, should be 0xf32d");

  m_->put_VerifyChecksum(0);
  auto unverified = DecodeFrame(frame);
  EXPECT_EQ(CommentOf(FindItem(Icmp(unverified.get()), "Checksum")), "");
}

TEST_F(ICMPDecoder, ErrorsQuoteTheirDatagram) {
  auto info = SweepAndDecode(kPortUnreachable);
  EXPECT_EQ(GroupNames(info.get()), (Names{"Packet Info", "Ethernet II - Ethernet II Frame",
                                           "IP - Internet Protocol (v4)", "ICMP - Internet Control Message Protocol",
                                           "IP - Internet Protocol (v4)", "UDP - User Datagram Protocol"}));
  const Node* icmp = Icmp(info.get());
  EXPECT_EQ(icmp->length, 8u);
  EXPECT_EQ(SummaryOf(icmp), "Destination Unreachable");
  ExpectFields(icmp, {{"Type", 34, 1, "3", "Destination Unreachable"},
                      {"Code", 35, 1, "3 (0x03)", "Port Unreachable"},
                      {"Checksum", 36, 2, "52185 (0xCBD9)", "Correct"},
                      {"Unused", 38, 4, ""}});
  const Node* quoted = FindGroupNth(info.get(), "IP - ", 1);
  ASSERT_NE(quoted, nullptr);
  EXPECT_EQ(quoted->startPos, 42u);
  EXPECT_EQ(SummaryOf(quoted), "Ver=4,Hdr=5,Len=  28,Id=    9,TTL=64,Proto=17");
  EXPECT_EQ(FindGroup(info.get(), "UDP - ")->startPos, 62u);

  // A quoted echo request is an ICMP layer again.
  auto timeExceeded = SweepAndDecode(kTimeExceededQuotingIcmp);
  const Node* outer = FindGroupNth(timeExceeded.get(), "ICMP - ", 0);
  const Node* inner = FindGroupNth(timeExceeded.get(), "ICMP - ", 1);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(outer->length, 8u);
  EXPECT_EQ(CommentOf(FindItem(outer, "Code")), "Time to live exceeded in transit");
  EXPECT_EQ(inner->startPos, 62u);
  EXPECT_EQ(SummaryOf(inner), "Echo request");
}

TEST_F(ICMPDecoder, CodeNames) {
  auto mtu = SweepAndDecode(kFragmentationNeeded);
  EXPECT_EQ(ValueOf(FindItem(Icmp(mtu.get()), "MTU of Next Hop")), "1400 (0x00000578)");
  EXPECT_EQ(CommentOf(FindItem(Icmp(mtu.get()), "Code")), "Fragmentation needed and do not fragment was set");

  auto problem = SweepAndDecode(kParameterProblem);
  EXPECT_EQ(CommentOf(FindItem(Icmp(problem.get()), "Code")), "Unknown");
  EXPECT_EQ(ChildNames(Icmp(problem.get())), (Names{"Type", "Code", "Checksum", "Pointer", "Unused"}));

  auto conversion = SweepAndDecode(kConversionError);
  EXPECT_EQ(CommentOf(FindItem(Icmp(conversion.get()), "Code")), "Overall length exceeded");
  EXPECT_EQ(ValueOf(FindItem(Icmp(conversion.get()), "Pointer")), "16 (0x00000010)");
  EXPECT_NE(FindGroupNth(conversion.get(), "IP - ", 1), nullptr);

  auto redirect = SweepAndDecode(kRedirect);
  EXPECT_EQ(CommentOf(FindItem(Icmp(redirect.get()), "Code")), "Redirect Datagram for the Host");
  EXPECT_EQ(ValueOf(FindItem(Icmp(redirect.get()), "Gateway Internet Address")), "192.168.0.1");

  auto photuris = SweepAndDecode(kPhoturis);
  EXPECT_EQ(CommentOf(FindItem(Icmp(photuris.get()), "Code")), "Authentication Failed");
  EXPECT_EQ(Icmp(photuris.get())->length, 8u);

  auto reserved = SweepAndDecode(kType200);
  EXPECT_EQ(CommentOf(FindItem(Icmp(reserved.get()), "Type")), "Reserved");
  EXPECT_EQ(ChildNames(Icmp(reserved.get())), (Names{"Type", "Code", "Checksum"}));
  EXPECT_EQ(CommentOf(FindItem(Icmp(reserved.get()), "Code")), "");
}

TEST_F(ICMPDecoder, QueryLayouts) {
  auto advertisement = SweepAndDecode(kRouterAdvertisement);
  const Node* icmp = Icmp(advertisement.get());
  EXPECT_EQ(ChildNames(icmp),
            (Names{"Type", "Code", "Checksum", "Number of Address", "Address Entry Size", "Lifetime",
                   "Router Address IP", "Preference Level", "Router Address IP", "Preference Level"}));
  EXPECT_EQ(CommentOf(FindItem(icmp, "Lifetime")), "Seconds");
  EXPECT_EQ(ValueOf(FindItem(icmp, "Preference Level")), "5 (0x0005)");

  auto timestamps = SweepAndDecode(kTimestampRequest);
  EXPECT_EQ(ValueOf(FindItem(Icmp(timestamps.get()), "Transmit Timestamp ")), "300 (0x012C)");
  auto mask = SweepAndDecode(kAddressMaskReply);
  EXPECT_EQ(ValueOf(FindItem(Icmp(mask.get()), "Address Mask")), "255.255.255.0");
  auto traceroute = SweepAndDecode(kTraceroute);
  EXPECT_EQ(ValueOf(FindItem(Icmp(traceroute.get()), "Output Link MTU")), "1500 (0x000005DC)");
  EXPECT_EQ(Icmp(traceroute.get())->length, 20u);
  auto names = SweepAndDecode(kDomainNameReply);
  EXPECT_EQ(CommentOf(FindItem(Icmp(names.get()), "Names")), "13 (0xD) Bytes Remaining");
  auto type41 = SweepAndDecode(kType41);
  EXPECT_EQ(ChildNames(Icmp(type41.get())), (Names{"Type", "Code", "Checksum", "Subtype", "Reserved"}));
}

TEST_F(ICMPDecoder, RealCapture) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/icmp-rfc8335.pcap");
  ASSERT_EQ(frames.size(), 10u);
  for (const Bytes& frame : frames) TruncationSweep(m_.get(), frame);
  // Extended echo (types 42 and 43) lies in the reserved range: type, code and checksum only.
  auto info = DecodeFrame(frames[0]);
  const Node* icmp = Icmp(info.get());
  EXPECT_EQ(SummaryOf(icmp), "Reserved");
  EXPECT_EQ(ValueOf(FindItem(icmp, "Type")), "42");
  EXPECT_EQ(CommentOf(FindItem(icmp, "Checksum")), "Correct");
  EXPECT_EQ(icmp->length, 4u);
}

}  // namespace
}  // namespace vel::test
