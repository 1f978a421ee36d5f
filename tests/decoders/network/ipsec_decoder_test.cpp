#include "test_support.h"

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

const Node* Ah(IVELPacketsDecodingInfo* info) { return FindGroup(info, "AH - Authentication Header"); }
const Node* Esp(IVELPacketsDecodingInfo* info) { return FindGroup(info, "ESP - Encapsulating Security Payload"); }

using AHDecoder = DecoderTest;
using ESPDecoder = DecoderTest;

TEST_F(AHDecoder, ShowsHeaderAndHandsTcpOn) {
  auto info = SweepAndDecode(kAhTcp);
  const Node* ah = Ah(info.get());
  ExpectItem(ah, kHeaderOffset, 24, "");
  ExpectFields(ah, {{"Next Header", 34, 1, "6 (0x06)", "Transmission Control Protocol"},
                    {"Length", 35, 1, "4 (0x04)", "24 Bytes"},
                    {"Reserved", 36, 2, "0 (0x0000)"},
                    {"AH SPI", 38, 4, "305441741 (0x1234ABCD)"},
                    {"AH Sequence", 42, 4, "7 (0x00000007)"},
                    {"AH ICV", 46, 12, "A0A1A2A3A4A5A6A7A8A9AAAB"}});
  EXPECT_EQ(SummaryOf(ah), "AH (SPI = 1234ABCD, Sequence = 7)");

  EXPECT_EQ(GroupNames(info.get()).size(), 5u);
  const Node* tcp = FindGroup(info.get(), "TCP - ");
  ExpectItem(tcp, kHeaderOffset + 24, 20, "");
  // The pseudo-header comes from the IPv4 header in front of AH.
  EXPECT_EQ(CommentOf(FindItem(tcp, "Checksum")), "Correct");
}

TEST_F(AHDecoder, EspAfterAh) {
  auto info = SweepAndDecode(kAhEsp);
  EXPECT_EQ(CommentOf(FindItem(Ah(info.get()), "Next Header")), "Encapsulating Security Payload");
  EXPECT_EQ(SummaryOf(Ah(info.get())), "AH (SPI = 00000100, Sequence = 1)");
  const Node* esp = Esp(info.get());
  EXPECT_EQ(esp->startPos, kHeaderOffset + 24);
  EXPECT_EQ(SummaryOf(esp), "ESP (SPI = 00001000, Sequence = 5)");
}

TEST_F(AHDecoder, OddHeaders) {
  // Payload length 0: the fixed fields and the summary, no ICV, nothing handed on.
  auto shortInfo = SweepAndDecode(kAhLengthZero);
  const Node* ah = Ah(shortInfo.get());
  EXPECT_EQ(ChildNames(ah), (Names{"Next Header", "Length", "Reserved", "AH SPI", "AH Sequence"}));
  EXPECT_EQ(CommentOf(FindItem(ah, "Length")), "8 Bytes");
  EXPECT_EQ(SummaryOf(ah), "AH (SPI = DEADBEEF, Sequence = 3)");
  EXPECT_EQ(ah->length, 12u);
  EXPECT_EQ(GroupNames(shortInfo.get()).back(), "AH - Authentication Header");

  // Payload length 1: an empty ICV, and the payload follows the fixed fields.
  Bytes emptyIcv = kAhTcp;
  emptyIcv[kHeaderOffset + 1] = 1;
  auto emptyInfo = SweepAndDecode(emptyIcv);
  EXPECT_EQ(FindItem(Ah(emptyInfo.get()), "AH ICV")->length, 0u);
  EXPECT_EQ(Ah(emptyInfo.get())->length, 12u);

  // A next header the layer list cannot name: "Unknown Protocol", and no module takes the payload.
  Bytes unknown = kAhTcp;
  unknown[kHeaderOffset] = 200;
  auto unknownInfo = SweepAndDecode(unknown);
  EXPECT_EQ(CommentOf(FindItem(Ah(unknownInfo.get()), "Next Header")), "Unknown Protocol");
  EXPECT_EQ(GroupNames(unknownInfo.get()).back(), "AH - Authentication Header");

  // An ICV running past the capture ends the walk after the summary was set.
  Bytes longIcv = kAhLengthZero;
  longIcv[kHeaderOffset + 1] = 200;
  auto longInfo = SweepAndDecode(longIcv);
  EXPECT_EQ(ChildNames(Ah(longInfo.get())).back(), "Truncated");
  EXPECT_EQ(SummaryOf(Ah(longInfo.get())), "AH (SPI = DEADBEEF, Sequence = 3)");
}

TEST_F(ESPDecoder, ShowsSpiAndSequenceOnly) {
  auto info = SweepAndDecode(kEsp);
  const Node* esp = Esp(info.get());
  ExpectFields(esp, {{"ESP SPI", 34, 4, "4096 (0x00001000)"}, {"ESP Sequence", 38, 4, "5 (0x00000005)"}});
  EXPECT_EQ(SummaryOf(esp), "ESP (SPI = 00001000, Sequence = 5)");
  // The payload is encrypted: nothing follows, and the group's Length is left unset.
  EXPECT_EQ(GroupNames(info.get()).back(), "ESP - Encapsulating Security Payload");
  EXPECT_EQ(esp->length, 0u);
}

TEST_F(ESPDecoder, RealCaptures) {
  for (const char* name :
       {"tcpdump/02-sunrise-sunset-esp.pcap", "tcpdump/08-sunrise-sunset-esp2.pcap", "tcpdump/OSPFv3_with_AH.pcap"})
    SweepCapture(m_.get(), name);

  std::vector<Bytes> esp = ReadPcapFrames("tcpdump/02-sunrise-sunset-esp.pcap");
  auto first = DecodeFrame(esp[0]);
  EXPECT_EQ(ValueOf(FindItem(Esp(first.get()), "ESP SPI")), "305419896 (0x12345678)");
  EXPECT_EQ(SummaryOf(Esp(first.get())), "ESP (SPI = 12345678, Sequence = 1)");
  EXPECT_EQ(SummaryOf(Esp(DecodeFrame(esp[1]).get())), "ESP (SPI = 12345678, Sequence = 2)");

  // An authentication header inside IPv6 belongs to the IPv6 decoder: the AH module takes only IPv4 input.
  for (const Bytes& frame : ReadPcapFrames("tcpdump/OSPFv3_with_AH.pcap"))
    EXPECT_EQ(FindGroupNth(DecodeFrame(frame).get(), "AH - ", 0), nullptr);
}

}  // namespace
}  // namespace vel::test
