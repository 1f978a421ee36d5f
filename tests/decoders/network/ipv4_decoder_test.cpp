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

const CVELPacketsDecodingItem* Ip(IVELPacketsDecodingInfo* info) { return FindGroup(info, "IP - "); }


TEST(IPv4Decoder, FixedHeader) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kUdp60);
  const auto* ip = Ip(info.get());
  EXPECT_EQ(SummaryOf(ip), "Ver=4,Hdr=5,Len=  60,Id=    1,TTL=64,Proto=17");
  EXPECT_EQ(ip->startPos, 14u);
  EXPECT_EQ(ip->length, 20u);
  EXPECT_EQ(ValueOf(FindItem(ip, "Version")), "4");
  const auto* headerLength = FindItem(ip, "Header Length");
  EXPECT_EQ(ValueOf(headerLength), "5");
  EXPECT_EQ(CommentOf(headerLength), "20 Bytes");
  EXPECT_EQ(headerLength->severity, VEL_SST_INFOMATION);
  EXPECT_EQ(ValueOf(FindItem(ip, "Differentiated Services Field")), "0000 0000");
  EXPECT_EQ(CommentOf(FindItem(ip, "Differentiated Services Codepoint")), "Default");
  EXPECT_EQ(CommentOf(FindItem(ip, "Explicit Congistion Notification")), "Not-ECT");
  EXPECT_EQ(ValueOf(FindItem(ip, "Total Length")), "60 (0x003C)");
  EXPECT_EQ(ValueOf(FindItem(ip, "Identification")), "1 (0x0001)");
  const auto* fragment = FindItem(ip, "Fragment");
  EXPECT_EQ(ValueOf(fragment), ".0.. ....");
  EXPECT_EQ(CommentOf(fragment), "May fragment");
  EXPECT_EQ(ValueOf(FindItem(ip, "More fragment")), "..0. ....");
  EXPECT_EQ(CommentOf(FindItem(ip, "More fragment")), "Last fragment");
  EXPECT_EQ(ValueOf(FindItem(ip, "Fragment Offset")), "0");
  EXPECT_EQ(ValueOf(FindItem(ip, "TTL")), "64 (0x40)");
  EXPECT_EQ(ValueOf(FindItem(ip, "Protocol")), "17 (0x11)");
  EXPECT_EQ(CommentOf(FindItem(ip, "Protocol")), "UDP");
  EXPECT_EQ(CommentOf(FindItem(ip, "Checksum")), "Correct");
  const auto* source = FindItem(ip, "Source IP");
  EXPECT_EQ(ValueOf(source), "192.168.0.1");
  EXPECT_EQ(source->startPos, 26u);
  EXPECT_EQ(source->type, uint32_t{VEL_DII_SOURCE_IP});
  EXPECT_EQ(FindItem(ip, "Destination IP")->type, uint32_t{VEL_DII_DESTINATION_IP});
  EXPECT_EQ(FindItemOrNull(ip, "IP Options - 1"), nullptr);
  EXPECT_EQ(PacketSeverity(info.get()), uint32_t{VEL_SST_INFOMATION});
  EXPECT_EQ(FindGroup(info.get(), "UDP - ")->startPos, 34u);
}

TEST(IPv4Decoder, DontFragmentIsANotice) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kUdp60DontFragment);
  const auto* fragment = FindItem(Ip(info.get()), "Fragment");
  EXPECT_EQ(ValueOf(fragment), ".1.. ....");
  EXPECT_EQ(CommentOf(fragment), "Do not fragment");
  EXPECT_EQ(fragment->severity, uint32_t{VEL_SST_NOTICE});
  EXPECT_EQ(PacketSeverity(info.get()), uint32_t{VEL_SST_NOTICE});
}

TEST(IPv4Decoder, SingleByteOptions) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kNopAndEols);
  const auto* ip = Ip(info.get());
  EXPECT_EQ(ip->length, 24u);
  EXPECT_EQ(FindItem(ip, "Header Length")->severity, uint32_t{VEL_SST_NOTICE});
  EXPECT_EQ(CommentOf(FindItem(ip, "Header Length")), "24 Bytes");
  EXPECT_EQ(PacketSeverity(info.get()), uint32_t{VEL_SST_NOTICE});
  const char* names[] = {"IP Options - 1", "IP Options - 2", "IP Options - 3", "IP Options - 4"};
  for (int n = 0; n < 4; ++n) {
    const auto* option = FindItem(ip, names[n]);
    ASSERT_NE(option, nullptr);
    EXPECT_EQ(option->isGroup, 1);
    EXPECT_EQ(option->startPos, 34u + n);
    EXPECT_EQ(option->length, 1u);
    EXPECT_EQ(ChildNames(option), (std::vector<std::string>{"Copy Flag", "Class", "Number"}));
  }
  const auto* nop = FindItem(ip, "IP Options - 1");
  EXPECT_EQ(CommentOf(FindItem(nop, "Number")), "No-Operation (NOP)");
  EXPECT_EQ(ValueOf(FindItem(nop, "Number")), "...0 0001");
  EXPECT_EQ(CommentOf(FindItem(nop, "Copy Flag")), "Do not copy");
  EXPECT_EQ(CommentOf(FindItem(nop, "Class")), "Control");
  EXPECT_EQ(CommentOf(FindItem(FindItem(ip, "IP Options - 4"), "Number")), "End of Option List (EOL)");
  EXPECT_EQ(FindGroup(info.get(), "UDP - ")->startPos, 38u);
}

TEST(IPv4Decoder, RouterAlertAndDscp) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kRouterAlert);
  const auto* ip = Ip(info.get());
  EXPECT_EQ(CommentOf(FindItem(ip, "Differentiated Services Codepoint")), "EF");
  EXPECT_EQ(ValueOf(FindItem(ip, "Differentiated Services Codepoint")), "1011 10..");
  EXPECT_EQ(CommentOf(FindItem(ip, "Explicit Congistion Notification")), "Not-ECT");
  const auto* option = FindItem(ip, "IP Options - 1");
  EXPECT_EQ(ChildNames(option),
            (std::vector<std::string>{"Copy Flag", "Class", "Number", "Length", "Router Alert"}));
  EXPECT_EQ(CommentOf(FindItem(option, "Copy Flag")), "Should copy");
  EXPECT_EQ(ValueOf(FindItem(option, "Length")), "4 (0x04)");
  EXPECT_EQ(ValueOf(FindItem(option, "Router Alert")), "0 (0x0000)");
  EXPECT_EQ(CommentOf(FindItem(option, "Router Alert")), "Router shall examine packet");
}

TEST(IPv4Decoder, RouteTimeStampAndSecurityOptions) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kRouteAndTimeStamp);
  const auto* ip = Ip(info.get());
  // Record route, pointer 8 of length 11: (11 - 8 + 1) / 4 = 1 address, from the first slot.
  const auto* route = FindItem(ip, "IP Options - 1");
  EXPECT_EQ(route->length, 11u);
  EXPECT_EQ(ValueOf(FindItem(route, "Data Pointer")), "8 (0x08)");
  EXPECT_EQ(ChildNames(route), (std::vector<std::string>{"Copy Flag", "Class", "Number", "Length", "Data Pointer",
                                                         "Router IP Address"}));
  EXPECT_EQ(ValueOf(FindItem(route, "Router IP Address")), "1.2.3.4");
  // Time stamp with addresses, pointer 5 of length 20: two pairs.
  const auto* stamps = FindItem(ip, "IP Options - 2");
  EXPECT_EQ(stamps->startPos, 45u);
  EXPECT_EQ(CommentOf(FindItem(stamps, "Class")), "Debugging and measurement");
  EXPECT_EQ(ValueOf(FindItem(stamps, "Overflow")), "0000 ....");
  EXPECT_EQ(ValueOf(FindItem(stamps, "Flags")), ".... 0001");
  EXPECT_EQ(CommentOf(FindItem(stamps, "Flags")), "Time stamps and address");
  EXPECT_EQ(ChildNames(stamps).size(), 11u);
  EXPECT_EQ(ValueOf(FindItem(stamps, "Timestamps")), "0 (0x0000)");
  EXPECT_EQ(FindItem(ip, "IP Options - 3")->startPos, 65u);
  EXPECT_EQ(FindGroup(info.get(), "UDP - ")->startPos, 66u);

  auto secured = Decode(m.get(), kSecurity);
  const auto* security = FindItem(Ip(secured.get()), "IP Options - 1");
  EXPECT_EQ(CommentOf(FindItem(security, "Number")), "Security");
  EXPECT_EQ(CommentOf(FindItem(security, "Classification Level")), "Unclassified");
  EXPECT_EQ(FindItem(security, "Protection Authority Flags")->length, 2u);
}

TEST(IPv4Decoder, OptionLengthsThatDoNotFitEndTheWalk) {
  auto m = MakeManager();
  for (const Bytes* frame : {&kOptionLengthZero, &kOptionTooLong}) {
    auto info = Decode(m.get(), *frame);
    const auto* option = FindItem(Ip(info.get()), "IP Options - 1");
    EXPECT_EQ(CommentOf(option), "Option length does not fit the header");
    EXPECT_EQ(option->length, 4u);
    EXPECT_EQ(ChildNames(option), (std::vector<std::string>{"Copy Flag", "Class", "Number", "Length", "Option Data"}));
    EXPECT_EQ(FindItemOrNull(Ip(info.get()), "IP Options - 2"), nullptr);
    EXPECT_EQ(FindGroup(info.get(), "UDP - ")->startPos, 38u);
  }
  auto edge = Decode(m.get(), kOptionAtHeaderEnd);
  const auto* last = FindItem(Ip(edge.get()), "IP Options - 4");
  EXPECT_EQ(CommentOf(last), "Option length does not fit the header");
  EXPECT_EQ(ChildNames(last), (std::vector<std::string>{"Copy Flag", "Class", "Number"}));
  EXPECT_EQ(FindGroup(edge.get(), "UDP - ")->startPos, 38u);

  // A pointer before the first slot never shows more addresses than the option holds.
  auto route = Decode(m.get(), kRoutePointerZero);
  const auto* option = FindItem(Ip(route.get()), "IP Options - 1");
  EXPECT_EQ(ChildNames(option).back(), "Router IP Address");
  EXPECT_EQ(ChildNames(option).size(), 6u);
  EXPECT_EQ(CommentOf(FindItem(FindItem(Ip(route.get()), "IP Options - 2"), "Number")), "End of Option List (EOL)");
}

TEST(IPv4Decoder, WrongChecksum) {
  auto m = MakeManager();
  Bytes frame = kUdp60;
  frame[24] = 0x12;
  frame[25] = 0x34;
  auto info = Decode(m.get(), frame);
  const auto* checksum = FindItem(Ip(info.get()), "Checksum");
  EXPECT_EQ(ValueOf(checksum), "4660 (0x1234)");
  EXPECT_EQ(CommentOf(checksum), "Incorrect, should be 0xaf08");
  EXPECT_EQ(checksum->severity, uint32_t{VEL_SST_INFOMATION});
  EXPECT_EQ(PacketSeverity(info.get()), uint32_t{VEL_SST_INFOMATION});

  // A wrong checksum does not lower a severity already raised.
  Bytes options = kNopAndEols;
  options[24] ^= 0xFF;
  auto raised = Decode(m.get(), options);
  EXPECT_EQ(CommentOf(FindItem(Ip(raised.get()), "Checksum")), "Incorrect, should be 0x6e1e");
  EXPECT_EQ(PacketSeverity(raised.get()), uint32_t{VEL_SST_NOTICE});

  m->put_VerifyChecksum(0);
  auto unverified = Decode(m.get(), frame);
  EXPECT_EQ(CommentOf(FindItem(Ip(unverified.get()), "Checksum")), "");
  EXPECT_EQ(FindItem(Ip(unverified.get()), "Source IP")->startPos, 26u);
}

TEST(IPv4Decoder, TruncatedHeaderIsNotVerified) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kRouteAndTimeStamp, 14 + 40);
  const auto* ip = Ip(info.get());
  EXPECT_EQ(CommentOf(FindItem(ip, "Checksum")), "Not verified, header truncated");
  EXPECT_EQ(SummaryOf(ip), "Ver=4,Hdr=13,Len=  60,Id=   10,TTL=64,Proto=17");
  EXPECT_NE(FindItemOrNull(ip, "Truncated"), nullptr);
}

TEST(IPv4Decoder, IPv6InIPv4) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kIPv6InIPv4);
  EXPECT_EQ(CommentOf(FindItem(Ip(info.get()), "Protocol")), "IPv6");
  EXPECT_NE(FindGroupNth(info.get(), "IPv6 - ", 0), nullptr);
}

TEST(IPv4Decoder, TruncationSweep) {
  auto m = MakeManager();
  for (const Bytes* frame : {&kUdp60, &kUdp60DontFragment, &kNopAndEols, &kRouterAlert, &kRouteAndTimeStamp, &kSecurity,
                             &kIPv6InIPv4, &kOptionLengthZero, &kOptionTooLong, &kOptionAtHeaderEnd,
                             &kRoutePointerZero})
    TruncationSweep(m.get(), *frame);
}

TEST(IPv4Decoder, RealCaptures) {
  auto m = MakeManager();
  for (const char* name : {"tcpdump/ip_printroute_asan.pcap", "tcpdump/ipv4_invalid_length.pcap",
                           "tcpdump/ipv4_invalid_total_length.pcap", "tcpdump/ipv4_invalid_total_length_2.pcap"}) {
    std::vector<Bytes> frames = ReadPcapFrames(name);
    ASSERT_FALSE(frames.empty()) << name;
    for (const Bytes& frame : frames) TruncationSweep(m.get(), frame);
  }
  // A loose source route of length 25 in a header cut short by the capture.
  auto route = Decode(m.get(), ReadPcapFrames("tcpdump/ip_printroute_asan.pcap")[0]);
  const auto* ip = Ip(route.get());
  EXPECT_EQ(CommentOf(FindItem(ip, "Checksum")), "Not verified, header truncated");
  const auto* option = FindItem(ip, "IP Options - 1");
  EXPECT_EQ(CommentOf(FindItem(option, "Number")), "Loose source route");
  EXPECT_EQ(ValueOf(FindItem(option, "Router IP Address")), "103.103.103.0");
  EXPECT_NE(FindItemOrNull(ip, "Truncated"), nullptr);

  auto badLength = Decode(m.get(), ReadPcapFrames("tcpdump/ipv4_invalid_total_length_2.pcap")[0]);
  EXPECT_EQ(CommentOf(FindItem(Ip(badLength.get()), "Checksum")), "Incorrect, should be 0x45d5");
}

}  // namespace
}  // namespace vel::test
