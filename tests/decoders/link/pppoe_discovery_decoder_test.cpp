#include "test_support.h"

namespace vel::test {
namespace {

using Names = std::vector<std::string>;

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

const CVELPacketsDecodingItem* Discovery(IVELPacketsDecodingInfo* info) {
  return FindGroup(info, "PPPoED - PPP-over-Ethernet Discovery");
}
const CVELPacketsDecodingItem* Tag(const CVELPacketsDecodingItem* group, int n) {
  return FindItem(group, "PPP Discovery Tag - " + std::to_string(n));
}
void Expect(const CVELPacketsDecodingItem* parent, std::string_view name, const std::string& value,
            const std::string& comment = "") {
  const auto* item = FindItem(parent, name);
  EXPECT_EQ(ValueOf(item), value) << name;
  EXPECT_EQ(CommentOf(item), comment) << name;
}

TEST(PPPoEDiscoveryDecoder, PadiHeaderAndTags) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kPadi);
  const auto* group = Discovery(info.get());
  EXPECT_EQ(ChildNames(group), (Names{"Version", "Type", "Code", "Session ID", "Payload Length",
                                      "PPP Discovery Tag - 1", "PPP Discovery Tag - 2"}));
  EXPECT_EQ(group->startPos, 14u);
  EXPECT_EQ(group->length, 18u);
  EXPECT_EQ(SummaryOf(group), "Active Discovery Initiation (PADI)");
  Expect(group, "Version", "0001 ....");
  Expect(group, "Type", ".... 0001");
  Expect(group, "Code", "9 (0x09)", "Active Discovery Initiation (PADI)");
  Expect(group, "Session ID", "0 (0x0000)");
  Expect(group, "Payload Length", "12 (0x000C)");

  const auto* serviceName = Tag(group, 1);
  EXPECT_EQ(ChildNames(serviceName), (Names{"Tag Type", "Tag Length"}));
  EXPECT_EQ(serviceName->startPos, 20u);
  EXPECT_EQ(serviceName->length, 4u);
  Expect(serviceName, "Tag Type", "257 (0x0101)", "Service-Name");
  Expect(serviceName, "Tag Length", "0 (0x0000)", "Any service is acceptable");
  const auto* hostUniq = Tag(group, 2);
  EXPECT_EQ(hostUniq->length, 8u);
  Expect(hostUniq, "Tag Value", "16372C16");
  EXPECT_EQ(Impl(info.get())->Severity(), static_cast<uint32_t>(VEL_SST_INFOMATION));
}

TEST(PPPoEDiscoveryDecoder, NameTagsInSummaryAndErrorTagsAsWarnings) {
  auto m = MakeManager();
  auto pado = Decode(m.get(), kPado);
  EXPECT_EQ(SummaryOf(Discovery(pado.get())), "Active Discovery Offer (PADO), AC-Name = \"ACX\"");
  Expect(Tag(Discovery(pado.get()), 1), "Tag Value", "ACX");
  auto padr = Decode(m.get(), kPadr);
  EXPECT_EQ(SummaryOf(Discovery(padr.get())), "Active Discovery Request (PADR), Service-Name = \"internet\"");
  auto pads = Decode(m.get(), kPads);
  EXPECT_EQ(SummaryOf(Discovery(pads.get())), "Active Discovery Session-confirmation (PADS), Service-Name = \"internet\"");
  Expect(Discovery(pads.get()), "Session ID", "17 (0x0011)");

  auto padt = Decode(m.get(), kPadt);
  const auto* group = Discovery(padt.get());
  EXPECT_EQ(SummaryOf(group), "Active Discovery Terminate (PADT)");
  Expect(Tag(group, 1), "Tag Type", "515 (0x0203)", "Generic-Error");
  Expect(Tag(group, 1), "Tag Value", "73657373696F6E20636C6F736564");
  EXPECT_EQ(Tag(group, 1)->severity, static_cast<uint32_t>(VEL_SST_WARNING));
  EXPECT_EQ(Tag(group, 2)->severity, static_cast<uint32_t>(VEL_SST_INFOMATION));
  EXPECT_EQ(Impl(padt.get())->Severity(), static_cast<uint32_t>(VEL_SST_WARNING));
  for (const char* tag : {"0201", "0202"}) {
    auto info = Decode(m.get(), Discovery(std::string("11 65 0000 0004 ") + tag + "0000", true));
    EXPECT_EQ(Impl(info.get())->Severity(), static_cast<uint32_t>(VEL_SST_WARNING)) << tag;
  }
}

TEST(PPPoEDiscoveryDecoder, TagWalkEdges) {
  auto m = MakeManager();
  auto odd = Decode(m.get(), kOddTags);
  const auto* group = Discovery(odd.get());
  Expect(Tag(group, 1), "Tag Type", "768 (0x0300)", "PPP Discovery Tag - 1");
  Expect(Tag(group, 2), "Tag Value", "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F...");
  EXPECT_EQ(FindItem(Tag(group, 2), "Tag Value")->length, 40u);
  Expect(Tag(group, 3), "Tag Type", "0 (0x0000)", "End-Of-List");
  EXPECT_EQ(Tag(group, 3)->length, 4u);
  EXPECT_EQ(FindItemOrNull(group, "PPP Discovery Tag - 4"), nullptr);
  EXPECT_EQ(group->length, 6u + 6u + 44u + 4u);

  auto empty = Decode(m.get(), Discovery("11 a7 0011 0000"));
  EXPECT_EQ(ChildNames(Discovery(empty.get())), (Names{"Version", "Type", "Code", "Session ID", "Payload Length"}));
  // Ethernet padding beyond the payload length is not read as tags.
  auto padded = Decode(m.get(), Concat({kPadi, Bytes(14)}));
  EXPECT_EQ(ChildNames(Discovery(padded.get())).size(), 7u);
  // Fewer than four bytes where the payload length promises another tag: the walk just ends.
  auto tail = Decode(m.get(), Discovery("11 09 0000 0010  0101 0000  0103 0004 16372c16 0103"));
  EXPECT_EQ(ChildNames(Discovery(tail.get())).size(), 7u);
  // An unnamed code leaves the comment and the summary empty.
  auto unnamed = Decode(m.get(), Discovery("11 55 0000 0000"));
  Expect(Discovery(unnamed.get()), "Code", "85 (0x55)");
  EXPECT_EQ(SummaryOf(Discovery(unnamed.get())), "");
}

TEST(PPPoEDiscoveryDecoder, CaptureEndingInsideATag) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kPado, 45);  // ten bytes into the AC-Cookie's value
  const auto* group = Discovery(info.get());
  EXPECT_EQ(SummaryOf(group), "Active Discovery Offer (PADO), AC-Name = \"ACX\"");
  EXPECT_EQ(ChildNames(Tag(group, 3)), (Names{"Tag Type", "Tag Length"}));
  EXPECT_EQ(Tag(group, 3)->length, 14u);
  EXPECT_NE(FindItemOrNull(group, "Truncated"), nullptr);
}

TEST(PPPoEDiscoveryDecoder, VlanTaggedAndTruncationSweep) {
  auto m = MakeManager();
  const Bytes tagged = Concat({Hex("ffffffffffff 00000e010203 8100 0064 8863"), Bytes(kPadi.begin() + 14, kPadi.end())});
  auto info = Decode(m.get(), tagged);
  EXPECT_EQ(GroupNames(info.get()).back(), "PPPoED - PPP-over-Ethernet Discovery");
  EXPECT_EQ(Discovery(info.get())->startPos, 18u);
  Expect(Tag(Discovery(info.get()), 2), "Tag Value", "16372C16");
  for (const Bytes& frame : {kPadi, kPado, kPadr, kPads, kPadt, kOddTags, tagged}) TruncationSweep(m.get(), frame);
}

}  // namespace
}  // namespace vel::test
