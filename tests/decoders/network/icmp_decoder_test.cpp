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

const CVELPacketsDecodingItem* Icmp(IVELPacketsDecodingInfo* info) { return FindGroup(info, "ICMP - "); }

TEST(ICMPDecoder, EchoRequest) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kEchoRequest);
  const auto* icmp = Icmp(info.get());
  EXPECT_EQ(icmp->startPos, 34u);
  EXPECT_EQ(icmp->length, 40u);
  EXPECT_EQ(SummaryOf(icmp), "Echo request");
  EXPECT_EQ(ChildNames(icmp),
            (std::vector<std::string>{"Type", "Code", "Checksum", "Identifier", "Sequence Number", "Echo Data"}));
  EXPECT_EQ(ValueOf(FindItem(icmp, "Type")), "8");
  EXPECT_EQ(CommentOf(FindItem(icmp, "Type")), "Echo request");
  EXPECT_EQ(ValueOf(FindItem(icmp, "Identifier")), "1234 (0x04D2)");
  EXPECT_EQ(CommentOf(FindItem(icmp, "Checksum")), "Correct");
  const auto* data = FindItem(icmp, "Echo Data");
  EXPECT_EQ(data->length, 32u);
  EXPECT_EQ(CommentOf(data), "32 (0x20) Bytes Remaining");
  EXPECT_EQ(GroupNames(info.get()).size(), 4u);
}

TEST(ICMPDecoder, WrongChecksumAndVerificationOff) {
  auto m = MakeManager();
  Bytes frame = kEchoRequest;
  frame[36] = 0xAB;
  auto info = Decode(m.get(), frame);
  const auto* checksum = FindItem(Icmp(info.get()), "Checksum");
  EXPECT_EQ(CommentOf(checksum), "Incorrect, should be 0x0226");
  EXPECT_EQ(checksum->severity, uint32_t{VEL_SST_INFOMATION});
  EXPECT_EQ(Impl(info.get())->Severity(), uint32_t{VEL_SST_INFOMATION});

  m->put_VerifyChecksum(0);
  auto unverified = Decode(m.get(), frame);
  EXPECT_EQ(CommentOf(FindItem(Icmp(unverified.get()), "Checksum")), "");
}

TEST(ICMPDecoder, PortUnreachableQuotesItsDatagram) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kPortUnreachable);
  EXPECT_EQ(GroupNames(info.get()),
            (std::vector<std::string>{"Packet Info", "Ethernet II - Ethernet II Frame", "IP - Internet Protocol (v4)",
                                      "ICMP - Internet Control Message Protocol", "IP - Internet Protocol (v4)",
                                      "UDP - User Datagram Protocol"}));
  const auto* icmp = Icmp(info.get());
  EXPECT_EQ(icmp->length, 8u);
  EXPECT_EQ(SummaryOf(icmp), "Destination Unreachable");
  EXPECT_EQ(ValueOf(FindItem(icmp, "Code")), "3 (0x03)");
  EXPECT_EQ(CommentOf(FindItem(icmp, "Code")), "Port Unreachable");
  EXPECT_EQ(ValueOf(FindItem(icmp, "Checksum")), "52185 (0xCBD9)");
  EXPECT_EQ(CommentOf(FindItem(icmp, "Checksum")), "Correct");
  EXPECT_EQ(FindItem(icmp, "Unused")->length, 4u);
  const auto* quoted = FindGroupNth(info.get(), "IP - ", 1);
  ASSERT_NE(quoted, nullptr);
  EXPECT_EQ(quoted->startPos, 42u);
  EXPECT_EQ(SummaryOf(quoted), "Ver=4,Hdr=5,Len=  28,Id=    9,TTL=64,Proto=17");
  EXPECT_EQ(FindGroup(info.get(), "UDP - ")->startPos, 62u);
}

TEST(ICMPDecoder, QuotedIcmpMessage) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kTimeExceededQuotingIcmp);
  const auto* outer = FindGroupNth(info.get(), "ICMP - ", 0);
  const auto* inner = FindGroupNth(info.get(), "ICMP - ", 1);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(outer->length, 8u);
  EXPECT_EQ(CommentOf(FindItem(outer, "Code")), "Time to live exceeded in transit");
  EXPECT_EQ(inner->startPos, 62u);
  EXPECT_EQ(SummaryOf(inner), "Echo request");
}

TEST(ICMPDecoder, CodeNames) {
  auto m = MakeManager();
  auto mtu = Decode(m.get(), kFragmentationNeeded);
  EXPECT_EQ(ValueOf(FindItem(Icmp(mtu.get()), "MTU of Next Hop")), "1400 (0x00000578)");
  EXPECT_EQ(CommentOf(FindItem(Icmp(mtu.get()), "Code")), "Fragmentation needed and do not fragment was set");

  auto problem = Decode(m.get(), kParameterProblem);
  EXPECT_EQ(CommentOf(FindItem(Icmp(problem.get()), "Code")), "Unknown");
  EXPECT_EQ(ChildNames(Icmp(problem.get())),
            (std::vector<std::string>{"Type", "Code", "Checksum", "Pointer", "Unused"}));

  auto conversion = Decode(m.get(), kConversionError);
  EXPECT_EQ(CommentOf(FindItem(Icmp(conversion.get()), "Code")), "Overall length exceeded");
  EXPECT_EQ(ValueOf(FindItem(Icmp(conversion.get()), "Pointer")), "16 (0x00000010)");
  EXPECT_NE(FindGroupNth(conversion.get(), "IP - ", 1), nullptr);

  auto redirect = Decode(m.get(), kRedirect);
  EXPECT_EQ(CommentOf(FindItem(Icmp(redirect.get()), "Code")), "Redirect Datagram for the Host");
  EXPECT_EQ(ValueOf(FindItem(Icmp(redirect.get()), "Gateway Internet Address")), "192.168.0.1");

  auto photuris = Decode(m.get(), kPhoturis);
  EXPECT_EQ(CommentOf(FindItem(Icmp(photuris.get()), "Code")), "Authentication Failed");
  EXPECT_EQ(Icmp(photuris.get())->length, 8u);

  auto reserved = Decode(m.get(), kType200);
  EXPECT_EQ(CommentOf(FindItem(Icmp(reserved.get()), "Type")), "Reserved");
  EXPECT_EQ(ChildNames(Icmp(reserved.get())), (std::vector<std::string>{"Type", "Code", "Checksum"}));
  EXPECT_EQ(CommentOf(FindItem(Icmp(reserved.get()), "Code")), "");
}

TEST(ICMPDecoder, QueryLayouts) {
  auto m = MakeManager();
  auto advertisement = Decode(m.get(), kRouterAdvertisement);
  const auto* icmp = Icmp(advertisement.get());
  EXPECT_EQ(ChildNames(icmp), (std::vector<std::string>{"Type", "Code", "Checksum", "Number of Address",
                                                        "Address Entry Size", "Lifetime", "Router Address IP",
                                                        "Preference Level", "Router Address IP", "Preference Level"}));
  EXPECT_EQ(CommentOf(FindItem(icmp, "Lifetime")), "Seconds");
  EXPECT_EQ(ValueOf(FindItem(icmp, "Preference Level")), "5 (0x0005)");

  auto timestamps = Decode(m.get(), kTimestampRequest);
  EXPECT_EQ(ValueOf(FindItem(Icmp(timestamps.get()), "Transmit Timestamp ")), "300 (0x012C)");
  auto mask = Decode(m.get(), kAddressMaskReply);
  EXPECT_EQ(ValueOf(FindItem(Icmp(mask.get()), "Address Mask")), "255.255.255.0");
  auto traceroute = Decode(m.get(), kTraceroute);
  EXPECT_EQ(ValueOf(FindItem(Icmp(traceroute.get()), "Output Link MTU")), "1500 (0x000005DC)");
  EXPECT_EQ(Icmp(traceroute.get())->length, 20u);
  auto names = Decode(m.get(), kDomainNameReply);
  EXPECT_EQ(CommentOf(FindItem(Icmp(names.get()), "Names")), "13 (0xD) Bytes Remaining");
  auto type41 = Decode(m.get(), kType41);
  EXPECT_EQ(ChildNames(Icmp(type41.get())),
            (std::vector<std::string>{"Type", "Code", "Checksum", "Subtype", "Reserved"}));
}

TEST(ICMPDecoder, ShortMessageKeepsItsChecksumJudgement) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kEchoRequest, 14 + 20 + 6);
  const auto* icmp = Icmp(info.get());
  EXPECT_EQ(CommentOf(FindItem(icmp, "Checksum")), "Incorrect, should be 0xf32d");
  EXPECT_NE(FindItemOrNull(icmp, "Truncated"), nullptr);
  EXPECT_EQ(FindItemOrNull(icmp, "Sequence Number"), nullptr);
}

TEST(ICMPDecoder, TruncationSweep) {
  auto m = MakeManager();
  for (const Bytes* frame :
       {&kEchoRequest, &kPortUnreachable, &kFragmentationNeeded, &kParameterProblem, &kConversionError, &kType200,
        &kTimeExceededQuotingIcmp, &kRedirect, &kPhoturis, &kRouterAdvertisement, &kTimestampRequest,
        &kAddressMaskReply, &kTraceroute, &kDomainNameReply, &kType41})
    TruncationSweep(m.get(), *frame);
}

TEST(ICMPDecoder, RealCapture) {
  auto m = MakeManager();
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/icmp-rfc8335.pcap");
  ASSERT_EQ(frames.size(), 10u);
  for (const Bytes& frame : frames) TruncationSweep(m.get(), frame);
  // Extended echo (types 42 and 43) lies in the reserved range: type, code and checksum only.
  auto info = Decode(m.get(), frames[0]);
  const auto* icmp = Icmp(info.get());
  EXPECT_EQ(SummaryOf(icmp), "Reserved");
  EXPECT_EQ(ValueOf(FindItem(icmp, "Type")), "42");
  EXPECT_EQ(CommentOf(FindItem(icmp, "Checksum")), "Correct");
  EXPECT_EQ(icmp->length, 4u);
}

}  // namespace
}  // namespace vel::test
