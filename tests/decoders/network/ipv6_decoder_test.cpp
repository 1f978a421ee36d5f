#include "test_support.h"

namespace vel::test {
namespace {

constexpr uint32_t kHeader = 14;  // frame offset of the IPv6 header

// TCP SYN from FE80::2AA:FF:FE9A:4CA2 port 1025 to 2001:DB8:0:1::1 port 80;
// traffic class 0xB8, flow label 0x12345.
const Bytes kTcp = Hex(
    "005056aabbcc 000c29112233 86dd"
    "6b812345 0014 06 40 fe8000000000000002aa00fffe9a4ca2 20010db8000000010000000000000001"
    "04010050 00000001 00000000 5002ffff 306f0000");

// From :: to FF02::1: hop-by-hop (router alert 0, PadN without data), routing
// type 0 with one address, fragment (the first: offset 0, more fragments),
// destination options (PadN of 4), then an ICMPv6 echo request.
const Bytes kChain = Hex(
    "333300000001 000c29112233 86dd"
    "60000000 003c 00 40 00000000000000000000000000000000 ff020000000000000000000000000001"
    "2b00 05020000 0100"
    "2c02 00 01 00000000 20010db8000000000000000000000002"
    "3c00 0001 deadbeef"
    "3a00 010400000000"
    "8000a9b3 1234 0007 61626364");

// Destination options: RPL option (rank error, instance 30, rank 2048),
// quick start (function 1, rate 3), an unnamed option 0xC3 with two bytes,
// experimental 0x3E without data, PadN of 2; then no next header.
const Bytes kOptions = Hex(
    "005056aabbcc 000c29112233 86dd"
    "60000000 0018 3c 40 20010db8000000010000000000000001 20010db8000000000000000000000002"
    "3b02 6304401e0800 26041300abcd c302dead 3e00 01020000");

// Hop-by-hop holding Pad1 then PadN of 3.
const Bytes kPad1 = Hex(
    "005056aabbcc 000c29112233 86dd"
    "60000000 0008 00 40 20010db8000000010000000000000001 20010db8000000000000000000000002"
    "3b00 00 0103000000");

// A jumbogram: payload length 0, hop-by-hop jumbo payload of 16, echo request.
const Bytes kJumbo = Hex(
    "005056aabbcc 000c29112233 86dd"
    "60000000 0000 00 40 20010db8000000010000000000000001 20010db8000000000000000000000002"
    "3a00 c20400000010"
    "80002435 0009 0009");

// Authentication header (payload length 4) before an ICMPv6 echo reply.
const Bytes kAuthentication = Hex(
    "000c29112233 005056aabbcc 86dd"
    "60000000 0020 33 40 20010db8000000010000000000000001 fe8000000000000002aa00fffe9a4ca2"
    "3a04 0000 00000100 00000005 000102030405060708090a0b"
    "81000398 0001 0002");

const Bytes kNoNextHeader = Hex(
    "000c29112233 005056aabbcc 86dd"
    "60000000 0008 3b 40 20010db8000000010000000000000001 fe8000000000000002aa00fffe9a4ca2"
    "3b00000000000000");

const Bytes kEsp = Hex(
    "005056aabbcc 000c29112233 86dd"
    "60000000 0018 32 40 20010db8000000010000000000000001 20010db8000000000000000000000002"
    "00001001 00000001 00000000000000000000000000000000");

// Hop-by-hop filling the whole payload length of 8 although it names
// destination options next; eight more bytes follow in the capture.
const Bytes kPayloadEndsTheWalk = Hex(
    "005056aabbcc 000c29112233 86dd"
    "60000000 0008 00 40 20010db8000000010000000000000001 20010db8000000000000000000000002"
    "3c00 010400000000"
    "3b00 010400000000");

// Mobility header: binding update, sequence 116, A and H set, lifetime 100,
// with PadN, an alternate care-of address and PadN of 4.
const Bytes kBindingUpdate = Hex(
    "000c29112233 005056aabbcc 86dd"
    "60000000 0028 87 40 20010db8000000010000000000000001 fe8000000000000002aa00fffe9a4ca2"
    "3b04 05 00 0000 0074 c000 0064 01020000 0310 20010db8000000000000000000000099 010400000000");

// 802.1Q tag (priority 1, VLAN 100) over an IPv6 UDP datagram from port 5000 to 5001.
const Bytes kVlanUdp = Hex(
    "005056aabbcc 000c29112233 8100 2064 86dd"
    "60000000 0014 11 40 20010db8000000010000000000000001 20010db8000000000000000000000002"
    "1388 1389 0014 3cf3 68656c6c6f2c20776f726c64");

// IPv6 carried in IPv4 (protocol 41), an echo request inside.
const Bytes kIPv6InIPv4 = Hex(
    "005056aabbcc 000c29112233 0800"
    "45000044000100004029f68cc0000201c0000202"
    "60000000 0008 3a 40 20010db8000000010000000000000001 20010db8000000000000000000000002"
    "80002440 0003 0004");

const Node* IPv6Group(IVELPacketsDecodingInfo* info) { return FindGroup(info, "IPv6 - Internet Protocol (v6)"); }

using IPv6Decoder = DecoderTest;

TEST_F(IPv6Decoder, FixedHeaderFieldsWithBitPicturesAndTheNextLayerName) {
  auto info = SweepAndDecode(kTcp);
  const Node* ipv6 = IPv6Group(info.get());
  ExpectItem(ipv6, kHeader, 40, "");
  EXPECT_EQ(SummaryOf(ipv6), "");
  ExpectFields(ipv6, {{"Version", 14, 1, "0110 .... .... .... .... .... .... ....", "6"},
                      {"Traffic Classes", 14, 2, ".... 1011 1000 .... .... .... .... ...."},
                      {"Flow Label", 14, 4, ".... .... .... 0001 0010 0011 0100 0101"},
                      {"Payload Length", 18, 2, "20 (0x0014)"},
                      {"Next Header", 20, 1, "6 (0x06)", "Transmission Control Protocol"},
                      {"Hop Limit", 21, 1, "64 (0x40)"},
                      {"Source Address", 22, 16, "FE80::2AA:FF:FE9A:4CA2", "", VEL_DII_IP_ADRESS},
                      {"Destination Address", 38, 16, "2001:DB8:0:1::1", "", VEL_DII_IP_ADRESS}});
}

TEST_F(IPv6Decoder, ChainOfHopByHopRoutingFragmentAndDestinationOptions) {
  auto info = SweepAndDecode(kChain);
  const Node* ipv6 = IPv6Group(info.get());
  EXPECT_EQ(ipv6->length, 88u);
  ExpectFields(ipv6, {{"Version", 14, 1, "0110 .... .... .... .... .... .... ....", "6"},
                      {"Traffic Classes", 14, 2, ".... 0000 0000 .... .... .... .... ...."},
                      {"Flow Label", 14, 4, ".... .... .... 0000 0000 0000 0000 0000"},
                      {"Payload Length", 18, 2, "60 (0x003C)"},
                      {"Next Header", 20, 1, "0 (0x00)", "Internet Control Message Protocol (v6)"},
                      {"Hop Limit", 21, 1, "64 (0x40)"},
                      {"Source Address", 22, 16, "::", "", VEL_DII_IP_ADRESS},
                      {"Destination Address", 38, 16, "FF02::1", "", VEL_DII_IP_ADRESS},
                      {"Hop-by-Hop", 54, 8, ""},
                      {"Routing", 62, 24, ""},
                      {"Fragment", 86, 8, ""},
                      {"Destination ", 94, 8, ""}});
  const std::string icmpv6 = "Internet Control Message Protocol (v6)";

  const Node* hopByHop = Child(ipv6, 8);
  ExpectFields(hopByHop, {{"Type", 54, 1, "43 (0x2B)", "Internet Control Message Protocol (v6)"},
                          {"Length", 55, 1, "0 (0x00)", "8"},
                          {"Option - Router Alert", 56, 4, ""},
                          {"Option - PadN", 60, 2, ""}});
  const Node* routerAlert = Child(hopByHop, 2);
  ExpectFields(routerAlert,
               {{"Type", 56, 1, "0000 0101", "Router Alert"},
                {"Length", 57, 1, "2 (0x02)"},
                {"Router Alert", 58, 2, "0 (0x0000)", "Datagram contains a Multicast Listener Discovery"}});
  ExpectFields(Child(routerAlert, 0),
               {{"Action", 56, 1, "00.. ....", "Skip over"}, {"Data May Change", 56, 1, "..0. ....", "No"}});
  ExpectFields(Child(hopByHop, 3), {{"Type", 60, 1, "0000 0001", "PadN"}, {"Length", 61, 1, "0 (0x00)"}});

  ExpectFields(Child(ipv6, 9), {{"Type", 62, 1, "44 (0x2C)", icmpv6},
                                {"Length", 63, 1, "2 (0x02)", "24"},
                                {"Routing Type", 64, 1, "0 (0x00)"},
                                {"Segments Left", 65, 1, "1 (0x01)"},
                                {"Reserved", 66, 4, "0 (0x00000000)"},
                                {"IP Address", 70, 16, "2001:DB8::2", "", VEL_DII_IP_ADRESS}});
  const Node* fragment = Child(ipv6, 10);
  ExpectFields(fragment, {{"Type", 86, 1, "60 (0x3C)", icmpv6},
                          {"Reserved", 87, 1, "0 (0x00)"},
                          {"Flags", 88, 2, "0000 0000 0000 0001"},
                          {"Identification", 90, 4, "3735928559 (0xDEADBEEF)"}});
  ExpectFields(Child(fragment, 2), {{"Fragment Offset", 88, 2, "0000 0000 0000 0...", "0 Bytes"},
                                    {"More Fragments", 88, 2, ".... .... .... ...1", "Yes"}});
  ExpectFields(FindItem(Child(ipv6, 11), "Option - PadN"),
               {{"Type", 96, 1, "0000 0001", "PadN"}, {"Length", 97, 1, "4 (0x04)"}, {"PadN", 98, 4, "00000000"}});

  // The payload goes on from where the last header ended.
  EXPECT_EQ(FindGroup(info.get(), "ICMPv6 - ")->startPos, 102u);
}

TEST_F(IPv6Decoder, OptionBodiesByType) {
  auto info = SweepAndDecode(kOptions);
  const Node* options = FindItem(IPv6Group(info.get()), "Destination ");
  EXPECT_EQ(ChildNames(options), (Names{"Type", "Length", "Option - RPL Option", "Option - Quick Start", "Option - ",
                                        "Option - Experimental (0x3E)", "Option - PadN"}));
  EXPECT_EQ(CommentOf(Child(options, 0)), "Unknown Protocol");  // nothing follows the chain

  const Node* rpl = Child(options, 2);
  ExpectFields(rpl, {{"Type", 56, 1, "0110 0011", "RPL Option"},
                     {"Length", 57, 1, "4 (0x04)"},
                     {"Flags", 58, 1, "0100 0000"},
                     {"RPLInstanceID", 59, 1, "30 (0x1E)"},
                     {"SenderRank", 60, 2, "2048 (0x0800)"}});
  ExpectFields(
      Child(rpl, 2),
      {{"Down", 58, 1, "0... ...."}, {"Rank-Error", 58, 1, ".1.. ...."}, {"Forwarding-Error", 58, 1, "..0. ...."}});

  const Node* quickStart = Child(options, 3);
  EXPECT_EQ(ChildNames(quickStart), (Names{"Type", "Length", "Flags", "Reserved", "QS Nonce"}));
  ExpectFields(Child(quickStart, 2), {{"Function", 64, 1, "0001 ...."}, {"Rate Request", 64, 1, "3", "640 Kbps"}});
  EXPECT_EQ(ValueOf(Child(quickStart, 4)), "43981 (0xABCD)");

  // An option without a name: action from the top bits, data as hex.
  const Node* unnamed = Child(options, 4);
  ExpectFields(unnamed, {{"Type", 68, 1, "1100 0011"}, {"Length", 69, 1, "2 (0x02)"}, {"", 70, 2, "DEAD"}});
  EXPECT_EQ(CommentOf(Child(Child(unnamed, 0), 0)), "Discard the packet");
  EXPECT_EQ(CommentOf(Child(Child(unnamed, 0), 1)), "No");

  const Node* experimental = Child(options, 5);
  EXPECT_EQ(ChildNames(experimental), (Names{"Type", "Length"}));
  EXPECT_EQ(CommentOf(Child(Child(experimental, 0), 1)), "Yes");

  // Pad1 is a one-byte option of its type alone.
  auto pad1 = SweepAndDecode(kPad1);
  const Node* hopByHop = FindItem(IPv6Group(pad1.get()), "Hop-by-Hop");
  ExpectFields(hopByHop, {{"Type", 54, 1, "59 (0x3B)", "Unknown Protocol"},
                          {"Length", 55, 1, "0 (0x00)", "8"},
                          {"Option - Pad1", 56, 1, ""},
                          {"Option - PadN", 57, 5, ""}});
  ExpectFields(Child(hopByHop, 2), {{"Type", 56, 1, "0000 0000", "Pad1"}});
}

TEST_F(IPv6Decoder, JumboPayloadAndAuthenticationHeaderBeforeEchoMessages) {
  auto jumbo = SweepAndDecode(kJumbo);
  ExpectFields(
      FindItem(IPv6Group(jumbo.get()), "Option - Jumbo"),
      {{"Type", 56, 1, "1100 0010", "Jumbo"}, {"Length", 57, 1, "4 (0x04)"}, {"Jumbo", 58, 4, "16 (0x00000010)"}});
  // A payload length of 0 ends the walk after the first header.
  EXPECT_EQ(SummaryOf(FindGroup(jumbo.get(), "ICMPv6 - ")), "Type = 128; Code = 0; ID = 9; Seq = 9");

  auto info = SweepAndDecode(kAuthentication);
  const Node* ah = FindItem(IPv6Group(info.get()), "Authentication");
  EXPECT_EQ(ah->length, 24u);
  ExpectFields(ah, {{"Type", 54, 1, "58 (0x3A)", "Internet Control Message Protocol (v6)"},
                    {"Length", 55, 1, "4 (0x04)", "24"},
                    {"Reserved", 56, 2, "0 (0x0000)"},
                    {"AH SPI", 58, 4, "256 (0x00000100)"},
                    {"AH Sequence", 62, 4, "5 (0x00000005)"},
                    {"AH ICV", 66, 12, "000102030405060708090A0B"}});
  EXPECT_EQ(SummaryOf(FindGroup(info.get(), "ICMPv6 - ")), "Type = 129; Code = 0; ID = 1; Seq = 2");
}

TEST_F(IPv6Decoder, NoNextHeaderAndEspEndTheWalkAfterTypeAndLength) {
  for (const auto& [frame, label] :
       {std::pair{kNoNextHeader, "No Next Header"}, std::pair{kEsp, "Encapsulating Security Payload"}}) {
    auto info = SweepAndDecode(frame);
    const Node* ipv6 = IPv6Group(info.get());
    EXPECT_EQ(ChildNames(ipv6).size(), 9u) << label;
    EXPECT_EQ(Narrow(Child(ipv6, 8)->Name()), label);
    EXPECT_EQ(ChildNames(Child(ipv6, 8)), (Names{"Type", "Length"})) << label;
    EXPECT_EQ(ipv6->length, 42u) << label;
  }
  // Headers that fill the payload length end the walk, whatever they name next.
  auto info = SweepAndDecode(kPayloadEndsTheWalk);
  const Node* ipv6 = IPv6Group(info.get());
  EXPECT_EQ(ChildNames(ipv6).back(), "Hop-by-Hop");
  EXPECT_EQ(CommentOf(FindItem(ipv6, "Next Header")), "Destination Options for IPv6");
  EXPECT_EQ(ipv6->length, 48u);
}

TEST_F(IPv6Decoder, MobilityBindingUpdateWithOptions) {
  auto info = SweepAndDecode(kBindingUpdate);
  const Node* mobility = FindItem(IPv6Group(info.get()), "Mobility Header");
  EXPECT_EQ(mobility->length, 40u);
  EXPECT_EQ(ChildNames(mobility),
            (Names{"Type", "Length", "MH Type", "Reserved", "Checksum", "Sequence", "Flags", "Lifetime", "Type",
                   "Length", "Type", "Length", "Alternate Care-of Address", "Type", "Length"}));
  EXPECT_EQ(CommentOf(Child(mobility, 2)), "Binding Update");
  EXPECT_EQ(ValueOf(Child(mobility, 5)), "116 (0x0074)");
  ExpectFields(Child(mobility, 6), {{"Acknowledge", 62, 2, "1... .... .... ....", "Yes"},
                                    {"Home Registration", 62, 2, ".1.. .... .... ....", "Yes"},
                                    {"Link-Local Address Compatibility", 62, 2, "..0. .... .... ....", "No"},
                                    {"Key Management Mobility Capability", 62, 2, "...0 .... .... ....", "No"}});
  EXPECT_EQ(CommentOf(Child(mobility, 8)), "PadN");
  const Node* careOf = Child(mobility, 12);
  ExpectItem(careOf, 72, 16, "2001:DB8::99");
  EXPECT_EQ(careOf->type, VEL_DII_IP_ADRESS);
  EXPECT_EQ(IPv6Group(info.get())->length, 80u);
}

TEST_F(IPv6Decoder, BehindAVlanTagAndInsideIPv4) {
  auto tagged = SweepAndDecode(kVlanUdp);
  ExpectItem(IPv6Group(tagged.get()), 18, 40, "");
  EXPECT_EQ(FindGroup(tagged.get(), "UDP - ")->startPos, 58u);
  auto carried = SweepAndDecode(kIPv6InIPv4);
  EXPECT_EQ(IPv6Group(carried.get())->startPos, 34u);
  EXPECT_EQ(SummaryOf(FindGroup(carried.get(), "ICMPv6 - ")), "Type = 128; Code = 0; ID = 3; Seq = 4");
}

TEST_F(IPv6Decoder, CutInsideTheChainKeepsTheHeadersShownSoFar) {
  auto info = Decode(m_.get(), kChain, 90);  // the fragment header's identification is cut
  const Node* ipv6 = IPv6Group(info.get());
  EXPECT_EQ(ChildNames(ipv6).back(), "Truncated");
  EXPECT_EQ(ChildNames(FindItem(ipv6, "Fragment")), (Names{"Type", "Reserved", "Flags"}));
  EXPECT_EQ(FindItem(ipv6, "Truncated")->startPos, 90u);
  EXPECT_EQ(ipv6->length, 76u);
  EXPECT_EQ(GroupNames(info.get()).size(), 3u);

  // A capture ending exactly where an extension header would begin shows no header.
  auto atBoundary = Decode(m_.get(), kChain, 54);
  EXPECT_EQ(ChildNames(IPv6Group(atBoundary.get())).back(), "Destination Address");
}

// Real traffic: router advertisements, multicast listener reports behind
// hop-by-hop options, node information queries, a segment routing header,
// RPL, OSPFv3 behind an authentication header, and crafted malformed
// mobility and jumbo packets. Every packet must decode, every capture length.
TEST_F(IPv6Decoder, CapturedTrafficDecodes) {
  const char* files[] = {"tcpdump/icmpv6.pcap",
                         "tcpdump/icmpv6-ni-flags.pcap",
                         "tcpdump/icmpv6_opt24.pcap",
                         "tcpdump/ipv6-srh-ext-header.pcap",
                         "tcpdump/rpl-14-dao.pcap",
                         "tcpdump/rpl-dao-oobr.pcap",
                         "tcpdump/OSPFv3_with_AH.pcap",
                         "tcpdump/mobility_opt_asan.pcap",
                         "tcpdump/mobility_opt_asan_2.pcap",
                         "tcpdump/ipv6-too-long-jumbo.pcap",
                         "tcpdump/ipv6_missing_jumbo_payload_option.pcap"};
  for (const char* file : files) {
    std::vector<Bytes> frames = ReadPcapFrames(file);
    EXPECT_FALSE(frames.empty()) << file;
    for (const Bytes& frame : frames) {
      EXPECT_NE(FindGroupNth(DecodeFrame(frame).get(), "IPv6 - ", 0), nullptr) << file;
      if (frame.size() <= 200) TruncationSweep(m_.get(), frame);
    }
  }

  auto srh = DecodeFrame(ReadPcapFrames("tcpdump/ipv6-srh-ext-header.pcap").at(0));
  const Node* routing = FindItem(IPv6Group(srh.get()), "Routing");
  EXPECT_EQ(ValueOf(FindItem(routing, "Routing Type")), "4 (0x04)");
  EXPECT_EQ(ValueOf(FindItem(routing, "IP Address")), "A:B:C:3::D6");

  auto ospf = DecodeFrame(ReadPcapFrames("tcpdump/OSPFv3_with_AH.pcap").at(0));
  const Node* ah = FindItem(IPv6Group(ospf.get()), "Authentication");
  EXPECT_EQ(ValueOf(FindItem(ah, "AH SPI")), "256 (0x00000100)");
  EXPECT_EQ(ValueOf(FindItem(ah, "AH ICV")), "21D3A95C5FFD4D184622B9F8");

  auto report = DecodeFrame(ReadPcapFrames("tcpdump/icmpv6.pcap").at(1));
  EXPECT_EQ(CommentOf(FindItem(FindItem(IPv6Group(report.get()), "Hop-by-Hop"), "Router Alert")),
            "Datagram contains a Multicast Listener Discovery");
  EXPECT_EQ(CommentOf(FindItem(FindGroup(report.get(), "ICMPv6 - "), "Type")), "Version 2 Multicast Listener Report");
}

}  // namespace
}  // namespace vel::test
