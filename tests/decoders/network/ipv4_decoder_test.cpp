#include "test_support.h"

namespace vel::test {
namespace {

// Ethernet + IPv4 (id 1, TTL 64, total length 60) + UDP with 32 bytes of data.
const Bytes kUdp60 = Hex(
    "00112233445566778899aabb0800 4500003c000100004011af08c0a800010a0000ff"
    "04d2162e002804e2 4141414141414141414141414141414141414141414141414141414141414141");
// The same datagram with DF set.
const Bytes kUdp60DontFragment = Hex(
    "00112233445566778899aabb0800 4500003c0001400040116f08c0a800010a0000ff"
    "04d2162e002804e2 4141414141414141414141414141414141414141414141414141414141414141");
// IHL 6, DF, options NOP EOL EOL EOL, then UDP.
const Bytes kNopAndEols = Hex(
    "00112233445566778899aabb0800 460000220002400040116e1ec0a800010a000002 01000000"
    "04d2162e000ab1c5 6869");
// DSCP 46 and a router alert option, carrying IGMP.
const Bytes kRouterAlert = Hex(
    "00112233445566778899aabb0800 46b800280003000001028355c0a80001e0000016 94040000"
    "2200fa010000000104000000efc00001");
// IHL 13: record route (pointer 8, two slots), time stamp with addresses (two pairs), EOL.
const Bytes kRouteAndTimeStamp = Hex(
    "00112233445566778899aabb0800 4d00003c000a00004011b8efc0a80001c0a80002"
    "070b080102030405060708 44140501000000000000000000000000000000000000 00"
    "0001000200087e87");
// IHL 7: a security option (Unclassified) and three EOLs.
const Bytes kSecurity = Hex(
    "00112233445566778899aabb0800 47000024000b00004011ca63c0a80001c0a80002 8205ab0100000000"
    "0001000200087e87");
// IPv6 carried in IPv4 (protocol 41), then UDP.
const Bytes kIPv6InIPv4 = Hex(
    "00112233445566778899aabb0800 45000044000c00004029f681c0000201c0000202"
    "6000000000081140 20010db8000000000000000000000001 20010db8000000000000000000000002"
    "000100020008a466");

// Options whose lengths do not fit: a record route of length 0, a time stamp of
// length 40 in a 4-byte area, and a record route whose length byte lies past the header.
const Bytes kOptionLengthZero = Hex(
    "00112233445566778899aabb0800 46000020001600004011f163c0a80001c0a80002 07000000 0001000200087e87");
const Bytes kOptionTooLong = Hex(
    "00112233445566778899aabb0800 46000020001700004011af3ac0a80001c0a80002 44280500 0001000200087e87");
const Bytes kOptionAtHeaderEnd = Hex(
    "00112233445566778899aabb0800 46000020001800004011f659c0a80001c0a80002 01010107 0001000200087e87");
// A record route with pointer 0: one address fits in its 7 bytes, then EOL.
const Bytes kRoutePointerZero = Hex(
    "00112233445566778899aabb0800 47000024001900004011ef4bc0a80001c0a80002 0707000a00000100"
    "0001000200087e87");

const Node* Ip(IVELPacketsDecodingInfo* info) { return FindGroup(info, "IP - "); }

using IPv4Decoder = DecoderTest;

TEST_F(IPv4Decoder, FixedHeader) {
  auto info = SweepAndDecode(kUdp60);
  const Node* ip = Ip(info.get());
  EXPECT_EQ(SummaryOf(ip), "Ver=4,Hdr=5,Len=  60,Id=    1,TTL=64,Proto=17");
  ExpectItem(ip, 14, 20, "");
  ExpectFields(ip, {{"Version", 14, 1, "4"},
                    {"Header Length", 14, 1, "5", "20 Bytes"},
                    {"Differentiated Services Field", 15, 1, "0000 0000"},
                    {"Total Length", 16, 2, "60 (0x003C)"},
                    {"Identification", 18, 2, "1 (0x0001)"},
                    {"Fragment Flags", 20, 1, "000. ...."},
                    {"Fragment Offset", 21, 1, "0"},
                    {"TTL", 22, 1, "64 (0x40)"},
                    {"Protocol", 23, 1, "17 (0x11)", "UDP"},
                    {"Checksum", 24, 2, "44808 (0xAF08)", "Correct"},
                    {"Source IP", 26, 4, "192.168.0.1", "", VEL_DII_SOURCE_IP},
                    {"Destination IP", 30, 4, "10.0.0.255", "", VEL_DII_DESTINATION_IP}});
  ExpectFields(FindItem(ip, "Differentiated Services Field"),
               {{"Differentiated Services Codepoint", 15, 1, "0000 00..", "Default"},
                {"Explicit Congistion Notification", 15, 1, ".... ..00", "Not-ECT"}});
  EXPECT_EQ(FindItem(ip, "Header Length")->severity, VEL_SST_INFOMATION);
  EXPECT_EQ(PacketSeverity(info.get()), uint32_t{VEL_SST_INFOMATION});
  EXPECT_EQ(FindGroup(info.get(), "UDP - ")->startPos, 34u);

  // The don't-fragment flag is a notice.
  auto dontFragment = SweepAndDecode(kUdp60DontFragment);
  const Node* fragment = FindItem(Ip(dontFragment.get()), "Fragment");
  ExpectItem(fragment, 20, 1, ".1.. ....", "Do not fragment");
  EXPECT_EQ(fragment->severity, uint32_t{VEL_SST_NOTICE});
  EXPECT_EQ(PacketSeverity(dontFragment.get()), uint32_t{VEL_SST_NOTICE});
}

TEST_F(IPv4Decoder, SingleByteOptions) {
  auto info = SweepAndDecode(kNopAndEols);
  const Node* ip = Ip(info.get());
  EXPECT_EQ(ip->length, 24u);
  ExpectItem(FindItem(ip, "Header Length"), 14, 1, "6", "24 Bytes");
  EXPECT_EQ(FindItem(ip, "Header Length")->severity, uint32_t{VEL_SST_NOTICE});
  EXPECT_EQ(PacketSeverity(info.get()), uint32_t{VEL_SST_NOTICE});
  for (uint32_t n = 0; n < 4; ++n) {
    const Node* option = FindItem(ip, "IP Options - " + std::to_string(n + 1));
    ExpectItem(option, 34 + n, 1, "");
    EXPECT_EQ(ChildNames(option), (Names{"Copy Flag", "Class", "Number"}));
  }
  ExpectFields(FindItem(ip, "IP Options - 1"), {{"Copy Flag", 34, 1, "0... ....", "Do not copy"},
                                                {"Class", 34, 1, ".00. ....", "Control"},
                                                {"Number", 34, 1, "...0 0001", "No-Operation (NOP)"}});
  EXPECT_EQ(CommentOf(FindItem(FindItem(ip, "IP Options - 4"), "Number")), "End of Option List (EOL)");
  EXPECT_EQ(FindGroup(info.get(), "UDP - ")->startPos, 38u);
}

TEST_F(IPv4Decoder, RouterAlertAndDscp) {
  auto info = SweepAndDecode(kRouterAlert);
  const Node* ip = Ip(info.get());
  ExpectFields(FindItem(ip, "Differentiated Services Field"),
               {{"Differentiated Services Codepoint", 15, 1, "1011 10..", "EF"},
                {"Explicit Congistion Notification", 15, 1, ".... ..00", "Not-ECT"}});
  ExpectFields(FindItem(ip, "IP Options - 1"), {{"Copy Flag", 34, 1, "1... ....", "Should copy"},
                                                {"Class", 34, 1, ".00. ....", "Control"},
                                                {"Number", 34, 1, "...1 0100", "Router Alert"},
                                                {"Length", 35, 1, "4 (0x04)"},
                                                {"Router Alert", 36, 2, "0 (0x0000)", "Router shall examine packet"}});
}

TEST_F(IPv4Decoder, RouteTimeStampAndSecurityOptions) {
  auto info = SweepAndDecode(kRouteAndTimeStamp);
  const Node* ip = Ip(info.get());
  // Record route, pointer 8 of length 11: (11 - 8 + 1) / 4 = 1 address, from the first slot.
  ExpectFields(FindItem(ip, "IP Options - 1"), {{"Copy Flag", 34, 1, "0... ....", "Do not copy"},
                                                {"Class", 34, 1, ".00. ....", "Control"},
                                                {"Number", 34, 1, "...0 0111", "Record route"},
                                                {"Length", 35, 1, "11 (0x0B)"},
                                                {"Data Pointer", 36, 1, "8 (0x08)"},
                                                {"Router IP Address", 37, 4, "1.2.3.4"}});
  // Time stamp with addresses, pointer 5 of length 20: two pairs.
  ExpectFields(FindItem(ip, "IP Options - 2"), {{"Copy Flag", 45, 1, "0... ....", "Do not copy"},
                                                {"Class", 45, 1, ".10. ....", "Debugging and measurement"},
                                                {"Number", 45, 1, "...0 0100", "Time stamp"},
                                                {"Length", 46, 1, "20 (0x14)"},
                                                {"Data Pointer", 47, 1, "5 (0x05)"},
                                                {"Overflow", 48, 1, "0000 ...."},
                                                {"Flags", 48, 1, ".... 0001", "Time stamps and address"},
                                                {"IP Address", 49, 4, "0.0.0.0"},
                                                {"Timestamps", 53, 4, "0 (0x0000)"},
                                                {"IP Address", 57, 4, "0.0.0.0"},
                                                {"Timestamps", 61, 4, "0 (0x0000)"}});
  EXPECT_EQ(FindItem(ip, "IP Options - 3")->startPos, 65u);
  EXPECT_EQ(FindGroup(info.get(), "UDP - ")->startPos, 66u);

  auto secured = SweepAndDecode(kSecurity);
  ExpectFields(FindItem(Ip(secured.get()), "IP Options - 1"),
               {{"Copy Flag", 34, 1, "1... ....", "Should copy"},
                {"Class", 34, 1, ".00. ....", "Control"},
                {"Number", 34, 1, "...0 0010", "Security"},
                {"Length", 35, 1, "5 (0x05)"},
                {"Classification Level", 36, 1, "171 (0xAB)", "Unclassified"},
                {"Protection Authority Flags", 37, 2, ""}});
}

TEST_F(IPv4Decoder, OptionLengthsThatDoNotFitEndTheWalk) {
  for (const Bytes* frame : {&kOptionLengthZero, &kOptionTooLong}) {
    auto info = SweepAndDecode(*frame);
    const Node* option = FindItem(Ip(info.get()), "IP Options - 1");
    ExpectItem(option, 34, 4, "", "Option length does not fit the header");
    EXPECT_EQ(ChildNames(option), (Names{"Copy Flag", "Class", "Number", "Length", "Option Data"}));
    EXPECT_EQ(FindItemOrNull(Ip(info.get()), "IP Options - 2"), nullptr);
    EXPECT_EQ(FindGroup(info.get(), "UDP - ")->startPos, 38u);
  }
  auto edge = SweepAndDecode(kOptionAtHeaderEnd);
  const Node* last = FindItem(Ip(edge.get()), "IP Options - 4");
  EXPECT_EQ(CommentOf(last), "Option length does not fit the header");
  EXPECT_EQ(ChildNames(last), (Names{"Copy Flag", "Class", "Number"}));
  EXPECT_EQ(FindGroup(edge.get(), "UDP - ")->startPos, 38u);

  // A pointer before the first slot never shows more addresses than the option holds.
  auto route = SweepAndDecode(kRoutePointerZero);
  const Node* option = FindItem(Ip(route.get()), "IP Options - 1");
  EXPECT_EQ(ChildNames(option).back(), "Router IP Address");
  EXPECT_EQ(ChildNames(option).size(), 6u);
  EXPECT_EQ(CommentOf(FindItem(FindItem(Ip(route.get()), "IP Options - 2"), "Number")), "End of Option List (EOL)");
}

TEST_F(IPv4Decoder, ChecksumVerdicts) {
  const Bytes wrong = WithWord(kUdp60, 24, 0x1234);
  auto info = SweepAndDecode(wrong);
  const Node* checksum = FindItem(Ip(info.get()), "Checksum");
  ExpectItem(checksum, 24, 2, "4660 (0x1234)", "Incorrect, should be 0xaf08");
  EXPECT_EQ(checksum->severity, uint32_t{VEL_SST_INFOMATION});
  EXPECT_EQ(PacketSeverity(info.get()), uint32_t{VEL_SST_INFOMATION});

  // A wrong checksum does not lower a severity already raised.
  Bytes options = kNopAndEols;
  options[24] ^= 0xFF;
  auto raised = DecodeFrame(options);
  EXPECT_EQ(CommentOf(FindItem(Ip(raised.get()), "Checksum")), "Incorrect, should be 0x6e1e");
  EXPECT_EQ(PacketSeverity(raised.get()), uint32_t{VEL_SST_NOTICE});

  // A header cut by the capture is not verified.
  auto cut = Decode(m_.get(), kRouteAndTimeStamp, 14 + 40);
  EXPECT_EQ(CommentOf(FindItem(Ip(cut.get()), "Checksum")), "Not verified, header truncated");
  EXPECT_EQ(SummaryOf(Ip(cut.get())), "Ver=4,Hdr=13,Len=  60,Id=   10,TTL=64,Proto=17");
  EXPECT_EQ(ChildNames(Ip(cut.get())).back(), "Truncated");

  m_->put_VerifyChecksum(0);
  auto unverified = DecodeFrame(wrong);
  EXPECT_EQ(CommentOf(FindItem(Ip(unverified.get()), "Checksum")), "");
  EXPECT_EQ(FindItem(Ip(unverified.get()), "Source IP")->startPos, 26u);
}

TEST_F(IPv4Decoder, IPv6InIPv4) {
  auto info = SweepAndDecode(kIPv6InIPv4);
  EXPECT_EQ(CommentOf(FindItem(Ip(info.get()), "Protocol")), "IPv6");
  EXPECT_NE(FindGroupNth(info.get(), "IPv6 - ", 0), nullptr);
}

TEST_F(IPv4Decoder, RealCaptures) {
  for (const char* name : {"tcpdump/ip_printroute_asan.pcap", "tcpdump/ipv4_invalid_length.pcap",
                           "tcpdump/ipv4_invalid_total_length.pcap", "tcpdump/ipv4_invalid_total_length_2.pcap"})
    SweepCapture(m_.get(), name);
  // A loose source route of length 25 in a header cut short by the capture.
  auto route = DecodeFrame(ReadPcapFrames("tcpdump/ip_printroute_asan.pcap")[0]);
  const Node* ip = Ip(route.get());
  EXPECT_EQ(CommentOf(FindItem(ip, "Checksum")), "Not verified, header truncated");
  const Node* option = FindItem(ip, "IP Options - 1");
  EXPECT_EQ(CommentOf(FindItem(option, "Number")), "Loose source route");
  EXPECT_EQ(ValueOf(FindItem(option, "Router IP Address")), "103.103.103.0");
  EXPECT_EQ(ChildNames(ip).back(), "Truncated");

  auto badLength = DecodeFrame(ReadPcapFrames("tcpdump/ipv4_invalid_total_length_2.pcap")[0]);
  EXPECT_EQ(CommentOf(FindItem(Ip(badLength.get()), "Checksum")), "Incorrect, should be 0x45d5");
}

}  // namespace
}  // namespace vel::test
