#include "test_support.h"
#include "vel/module_base.h"

namespace vel::test {
namespace {

// Ethernet and IPv4 from 10.1.1.1 to 10.2.2.2: the IPsec header starts at frame offset 34.
constexpr uint32_t kHeaderOffset = 34;
const Bytes kEthernet = Hex("001122334455 001a2b3c4d5e 0800");

// AH (payload length 4, SPI 0x1234ABCD, sequence 7, 12-byte ICV) protecting a TCP SYN from port 1025 to 80.
const Bytes kAhTcp = Concat({kEthernet, Hex("45000040 00070000 4033637f 0a010101 0a020202"),
                             Hex("06 04 0000 1234abcd 00000007 a0a1a2a3a4a5a6a7a8a9aaab"),
                             Hex("04010050 00000001 00000000 50022000 748b0000")});
// AH (SPI 0x100, sequence 1) followed by ESP (SPI 0x1000, sequence 5).
const Bytes kAhEsp = Concat({kEthernet, Hex("4500004c 00080000 40336372 0a010101 0a020202"),
                             Hex("32 04 0000 00000100 00000001 000000000000000000000000"),
                             Hex("00001000 00000005 000102030405060708090a0b0c0d0e0f1011121314151617")});
// AH whose payload length 0 claims 8 bytes, less than its fixed fields.
const Bytes kAhLengthZero = Concat({kEthernet, Hex("45000028 00090000 40336395 0a010101 0a020202"),
                                    Hex("06 00 0000 deadbeef 00000003 0000000000000000")});
// ESP with SPI 0x1000 and sequence 5 over 32 encrypted bytes.
const Bytes kEsp = Concat({kEthernet, Hex("4500003c 000a0000 40326381 0a010101 0a020202"),
                           Hex("00001000 00000005 404142434445464748494a4b4c4d4e4f505152535455565758595a5b5c5d5e5f")});

const CVELPacketsDecodingItem* Ah(IVELPacketsDecodingInfo* info) {
  return FindGroup(info, "AH - Authentication Header");
}
const CVELPacketsDecodingItem* Esp(IVELPacketsDecodingInfo* info) {
  return FindGroup(info, "ESP - Encapsulating Security Payload");
}

TEST(AHDecoder, ShowsHeaderAndHandsTcpOn) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kAhTcp);
  const auto* ah = Ah(info.get());
  EXPECT_EQ(ChildNames(ah),
            (std::vector<std::string>{"Next Header", "Length", "Reserved", "AH SPI", "AH Sequence", "AH ICV"}));
  EXPECT_EQ(ValueOf(FindItem(ah, "Next Header")), "6 (0x06)");
  EXPECT_EQ(CommentOf(FindItem(ah, "Next Header")), "Transmission Control Protocol");
  EXPECT_EQ(ValueOf(FindItem(ah, "Length")), "4 (0x04)");
  EXPECT_EQ(CommentOf(FindItem(ah, "Length")), "24 Bytes");
  EXPECT_EQ(ValueOf(FindItem(ah, "Reserved")), "0 (0x0000)");
  EXPECT_EQ(ValueOf(FindItem(ah, "AH SPI")), "305441741 (0x1234ABCD)");
  EXPECT_EQ(FindItem(ah, "AH SPI")->startPos, kHeaderOffset + 4);
  EXPECT_EQ(ValueOf(FindItem(ah, "AH Sequence")), "7 (0x00000007)");
  const auto* icv = FindItem(ah, "AH ICV");
  EXPECT_EQ(ValueOf(icv), "A0A1A2A3A4A5A6A7A8A9AAAB");
  EXPECT_EQ(icv->startPos, kHeaderOffset + 12);
  EXPECT_EQ(icv->length, 12u);
  EXPECT_EQ(SummaryOf(ah), "AH (SPI = 1234ABCD, Sequence = 7)");
  EXPECT_EQ(ah->startPos, kHeaderOffset);
  EXPECT_EQ(ah->length, 24u);
}

TEST(AHDecoder, HandsTheLayerListsTcpOn) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kAhTcp);
  std::vector<std::string> groups = GroupNames(info.get());
  ASSERT_EQ(groups.size(), 5u);
  EXPECT_EQ(groups[3], "AH - Authentication Header");
  EXPECT_EQ(groups[4], "TCP - Transmission Control Protocol");
  const auto* tcp = FindGroup(info.get(), "TCP - ");
  EXPECT_EQ(tcp->startPos, kHeaderOffset + 24);
  EXPECT_EQ(tcp->length, 20u);
  // The pseudo-header comes from the IPv4 header in front of AH.
  EXPECT_EQ(CommentOf(FindItem(tcp, "Checksum")), "Correct");
}

TEST(AHDecoder, EspAfterAh) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kAhEsp);
  EXPECT_EQ(CommentOf(FindItem(Ah(info.get()), "Next Header")), "Encapsulating Security Payload");
  EXPECT_EQ(SummaryOf(Ah(info.get())), "AH (SPI = 00000100, Sequence = 1)");
  const auto* esp = Esp(info.get());
  EXPECT_EQ(esp->startPos, kHeaderOffset + 24);
  EXPECT_EQ(SummaryOf(esp), "ESP (SPI = 00001000, Sequence = 5)");
}

TEST(AHDecoder, OddHeaders) {
  auto m = MakeManager();
  // Payload length 0: the fixed fields and the summary, no ICV, nothing handed on.
  auto shortInfo = Decode(m.get(), kAhLengthZero);
  const auto* ah = Ah(shortInfo.get());
  EXPECT_EQ(ChildNames(ah), (std::vector<std::string>{"Next Header", "Length", "Reserved", "AH SPI", "AH Sequence"}));
  EXPECT_EQ(CommentOf(FindItem(ah, "Length")), "8 Bytes");
  EXPECT_EQ(SummaryOf(ah), "AH (SPI = DEADBEEF, Sequence = 3)");
  EXPECT_EQ(ah->length, 12u);
  EXPECT_EQ(GroupNames(shortInfo.get()).back(), "AH - Authentication Header");

  // Payload length 1: an empty ICV, and the payload follows the fixed fields.
  Bytes emptyIcv = kAhTcp;
  emptyIcv[kHeaderOffset + 1] = 1;
  auto emptyInfo = Decode(m.get(), emptyIcv);
  EXPECT_EQ(FindItem(Ah(emptyInfo.get()), "AH ICV")->length, 0u);
  EXPECT_EQ(Ah(emptyInfo.get())->length, 12u);

  // A next header the layer list cannot name: "Unknown Protocol", and no module takes the payload.
  Bytes unknown = kAhTcp;
  unknown[kHeaderOffset] = 200;
  auto unknownInfo = Decode(m.get(), unknown);
  EXPECT_EQ(CommentOf(FindItem(Ah(unknownInfo.get()), "Next Header")), "Unknown Protocol");
  EXPECT_EQ(GroupNames(unknownInfo.get()).back(), "AH - Authentication Header");

  // An ICV running past the capture ends the walk after the summary was set.
  Bytes longIcv = kAhLengthZero;
  longIcv[kHeaderOffset + 1] = 200;
  auto longInfo = Decode(m.get(), longIcv);
  EXPECT_EQ(ChildNames(Ah(longInfo.get())).back(), "Truncated");
  EXPECT_EQ(SummaryOf(Ah(longInfo.get())), "AH (SPI = DEADBEEF, Sequence = 3)");
  for (const Bytes* frame : {&emptyIcv, &unknown, &longIcv}) TruncationSweep(m.get(), *frame);
}

TEST(ESPDecoder, ShowsSpiAndSequenceOnly) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kEsp);
  const auto* esp = Esp(info.get());
  EXPECT_EQ(ChildNames(esp), (std::vector<std::string>{"ESP SPI", "ESP Sequence"}));
  EXPECT_EQ(ValueOf(FindItem(esp, "ESP SPI")), "4096 (0x00001000)");
  EXPECT_EQ(FindItem(esp, "ESP SPI")->startPos, kHeaderOffset);
  EXPECT_EQ(ValueOf(FindItem(esp, "ESP Sequence")), "5 (0x00000005)");
  EXPECT_EQ(FindItem(esp, "ESP Sequence")->startPos, kHeaderOffset + 4);
  EXPECT_EQ(SummaryOf(esp), "ESP (SPI = 00001000, Sequence = 5)");
  // The payload is encrypted: nothing follows, and the group's Length is left unset.
  EXPECT_EQ(GroupNames(info.get()).back(), "ESP - Encapsulating Security Payload");
  EXPECT_EQ(esp->length, 0u);
}

TEST(IPsecDecoders, EveryCaptureLengthOfEveryFrame) {
  auto m = MakeManager();
  for (const Bytes* frame : {&kAhTcp, &kAhEsp, &kAhLengthZero, &kEsp}) TruncationSweep(m.get(), *frame);
}

TEST(IPsecDecoders, RealCaptures) {
  auto m = MakeManager();
  for (const char* name :
       {"tcpdump/02-sunrise-sunset-esp.pcap", "tcpdump/08-sunrise-sunset-esp2.pcap", "tcpdump/OSPFv3_with_AH.pcap"}) {
    std::vector<Bytes> frames = ReadPcapFrames(name);
    ASSERT_FALSE(frames.empty()) << name;
    for (const Bytes& frame : frames) TruncationSweep(m.get(), frame);
  }

  std::vector<Bytes> esp = ReadPcapFrames("tcpdump/02-sunrise-sunset-esp.pcap");
  auto first = Decode(m.get(), esp[0]);
  EXPECT_EQ(ValueOf(FindItem(Esp(first.get()), "ESP SPI")), "305419896 (0x12345678)");
  EXPECT_EQ(SummaryOf(Esp(first.get())), "ESP (SPI = 12345678, Sequence = 1)");
  auto second = Decode(m.get(), esp[1]);
  EXPECT_EQ(SummaryOf(Esp(second.get())), "ESP (SPI = 12345678, Sequence = 2)");

  // An authentication header inside IPv6 belongs to the IPv6 decoder: the AH module takes only IPv4 input.
  for (const Bytes& frame : ReadPcapFrames("tcpdump/OSPFv3_with_AH.pcap")) {
    auto info = Decode(m.get(), frame);
    EXPECT_EQ(FindGroupNth(info.get(), "AH - ", 0), nullptr);
  }
}

}  // namespace
}  // namespace vel::test
