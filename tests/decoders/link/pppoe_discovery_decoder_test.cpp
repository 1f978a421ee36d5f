#include "test_support.h"

namespace vel::test {
namespace {

// Ethernet II from the host (or to it, when reply) with EtherType 0x8863, then the PPPoE bytes.
Bytes Discovery(std::string_view pppoe, bool reply = false) {
  const char* addresses = reply ? "00000e010203 00904b112233" : "ffffffffffff 00000e010203";
  return Concat({Hex(addresses), Hex("8863"), Hex(pppoe)});
}

// PADI: Service-Name of length 0, Host-Uniq of 4 bytes.
const Bytes kPadi = Discovery("11 09 0000 000c  0101 0000  0103 0004 16372c16");
// PADO: AC-Name "ACX", empty Service-Name, AC-Cookie, Host-Uniq.
const Bytes kPado = Discovery("11 07 0000 0027  0102 0003 414358  0101 0000"
                              "  0104 0010 000102030405060708090a0b0c0d0e0f  0103 0004 16372c16", true);
const Bytes kPadr = Discovery("11 19 0000 0014  0101 0008 696e7465726e6574  0103 0004 16372c16");
const Bytes kPads = Discovery("11 65 0011 0014  0101 0008 696e7465726e6574  0103 0004 16372c16", true);
// PADT with a Generic-Error tag ("session closed") and a Host-Uniq.
const Bytes kPadt = Discovery("11 a7 0011 001a  0203 000e 73657373696f6e20636c6f736564  0103 0004 16372c16", true);
// Unknown type 0x0300, a 40-byte Vendor-Specific tag, End-Of-List, then a
// Host-Uniq that the payload length still covers.
const Bytes kOddTags = Discovery("11 09 0000 003c  0300 0002 0102  0105 0028 000102030405060708090a0b0c0d0e0f"
                                 "101112131415161718191a1b1c1d1e1f2021222324252627  0000 0000  0103 0002 aabb");

const Node* Discovery(IVELPacketsDecodingInfo* info) { return FindGroup(info, "PPPoED - PPP-over-Ethernet Discovery"); }
const Node* Tag(const Node* group, int n) { return FindItem(group, "PPP Discovery Tag - " + std::to_string(n)); }

using PPPoEDiscoveryDecoder = DecoderTest;

TEST_F(PPPoEDiscoveryDecoder, PadiHeaderAndTags) {
  auto info = SweepAndDecode(kPadi);
  const Node* group = Discovery(info.get());
  ExpectItem(group, 14, 18, "");
  EXPECT_EQ(SummaryOf(group), "Active Discovery Initiation (PADI)");
  ExpectFields(group, {{"Version", 14, 1, "0001 ...."},
                       {"Type", 14, 1, ".... 0001"},
                       {"Code", 15, 1, "9 (0x09)", "Active Discovery Initiation (PADI)"},
                       {"Session ID", 16, 2, "0 (0x0000)"},
                       {"Payload Length", 18, 2, "12 (0x000C)"},
                       {"PPP Discovery Tag - 1", 20, 4, ""},
                       {"PPP Discovery Tag - 2", 24, 8, ""}});
  ExpectFields(Tag(group, 1), {{"Tag Type", 20, 2, "257 (0x0101)", "Service-Name"},
                               {"Tag Length", 22, 2, "0 (0x0000)", "Any service is acceptable"}});
  ExpectFields(Tag(group, 2), {{"Tag Type", 24, 2, "259 (0x0103)", "Host-Uniq"},
                               {"Tag Length", 26, 2, "4 (0x0004)"},
                               {"Tag Value", 28, 4, "16372C16"}});
  EXPECT_EQ(PacketSeverity(info.get()), uint32_t{VEL_SST_INFOMATION});
}

TEST_F(PPPoEDiscoveryDecoder, NameTagsInSummaryAndErrorTagsAsWarnings) {
  auto pado = SweepAndDecode(kPado);
  EXPECT_EQ(SummaryOf(Discovery(pado.get())), "Active Discovery Offer (PADO), AC-Name = \"ACX\"");
  ExpectValue(Tag(Discovery(pado.get()), 1), "Tag Value", "ACX");
  auto padr = SweepAndDecode(kPadr);
  EXPECT_EQ(SummaryOf(Discovery(padr.get())), "Active Discovery Request (PADR), Service-Name = \"internet\"");
  auto pads = SweepAndDecode(kPads);
  EXPECT_EQ(SummaryOf(Discovery(pads.get())),
            "Active Discovery Session-confirmation (PADS), Service-Name = \"internet\"");
  ExpectValue(Discovery(pads.get()), "Session ID", "17 (0x0011)");

  auto padt = SweepAndDecode(kPadt);
  const Node* group = Discovery(padt.get());
  EXPECT_EQ(SummaryOf(group), "Active Discovery Terminate (PADT)");
  ExpectValue(Tag(group, 1), "Tag Type", "515 (0x0203)", "Generic-Error");
  ExpectValue(Tag(group, 1), "Tag Value", "73657373696F6E20636C6F736564");
  EXPECT_EQ(Tag(group, 1)->severity, uint32_t{VEL_SST_WARNING});
  EXPECT_EQ(Tag(group, 2)->severity, uint32_t{VEL_SST_INFOMATION});
  EXPECT_EQ(PacketSeverity(padt.get()), uint32_t{VEL_SST_WARNING});
  for (const char* tag : {"0201", "0202"}) {
    auto info = DecodeFrame(Discovery(std::string("11 65 0000 0004 ") + tag + "0000", true));
    EXPECT_EQ(PacketSeverity(info.get()), uint32_t{VEL_SST_WARNING}) << tag;
  }
}

TEST_F(PPPoEDiscoveryDecoder, TagWalkEdges) {
  auto odd = SweepAndDecode(kOddTags);
  const Node* group = Discovery(odd.get());
  ExpectValue(Tag(group, 1), "Tag Type", "768 (0x0300)", "PPP Discovery Tag - 1");
  ExpectItem(FindItem(Tag(group, 2), "Tag Value"), 30, 40,
             "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F...");
  ExpectValue(Tag(group, 3), "Tag Type", "0 (0x0000)", "End-Of-List");
  EXPECT_EQ(Tag(group, 3)->length, 4u);
  EXPECT_EQ(FindItemOrNull(group, "PPP Discovery Tag - 4"), nullptr);
  EXPECT_EQ(group->length, 6u + 6u + 44u + 4u);

  auto empty = DecodeFrame(Discovery("11 a7 0011 0000"));
  EXPECT_EQ(ChildNames(Discovery(empty.get())), (Names{"Version", "Type", "Code", "Session ID", "Payload Length"}));
  // Ethernet padding beyond the payload length is not read as tags.
  auto padded = DecodeFrame(Concat({kPadi, Bytes(14)}));
  EXPECT_EQ(ChildNames(Discovery(padded.get())).size(), 7u);
  // Fewer than four bytes where the payload length promises another tag: the walk just ends.
  auto tail = SweepAndDecode(Discovery("11 09 0000 0010  0101 0000  0103 0004 16372c16 0103"));
  EXPECT_EQ(ChildNames(Discovery(tail.get())).size(), 7u);
  // An unnamed code leaves the comment and the summary empty.
  auto unnamed = DecodeFrame(Discovery("11 55 0000 0000"));
  ExpectValue(Discovery(unnamed.get()), "Code", "85 (0x55)");
  EXPECT_EQ(SummaryOf(Discovery(unnamed.get())), "");
}

TEST_F(PPPoEDiscoveryDecoder, CaptureEndingInsideATag) {
  auto info = Decode(m_.get(), kPado, 45);  // ten bytes into the AC-Cookie's value
  const Node* group = Discovery(info.get());
  EXPECT_EQ(SummaryOf(group), "Active Discovery Offer (PADO), AC-Name = \"ACX\"");
  EXPECT_EQ(ChildNames(Tag(group, 3)), (Names{"Tag Type", "Tag Length"}));
  EXPECT_EQ(Tag(group, 3)->length, 14u);
  EXPECT_EQ(ChildNames(group).back(), "Truncated");
}

TEST_F(PPPoEDiscoveryDecoder, VlanTagged) {
  auto info =
      SweepAndDecode(Concat({Hex("ffffffffffff 00000e010203 8100 0064 8863"), Bytes(kPadi.begin() + 14, kPadi.end())}));
  EXPECT_EQ(GroupNames(info.get()).back(), "PPPoED - PPP-over-Ethernet Discovery");
  EXPECT_EQ(Discovery(info.get())->startPos, 18u);
  ExpectValue(Tag(Discovery(info.get()), 2), "Tag Value", "16372C16");
}

}  // namespace
}  // namespace vel::test
