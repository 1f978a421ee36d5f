#include "test_support.h"

namespace vel::test {
namespace {

// Ethernet and IPv4 (protocol 2, TTL 1, no options): the IGMP message starts at frame offset 34.
constexpr uint32_t kIgmpOffset = 34;
Bytes IgmpFrame(std::string_view ipDestinationAndChecksum, std::string_view message) {
  return Concat({Hex("01005e010203 001a2b3c4d5e 0800"), Hex(ipDestinationAndChecksum), Hex(message)});
}

const Bytes kV2Report = IgmpFrame("4500001c 12340000 0102f4f5 c0a8010a ef010203", "16 00 f8fa ef010203");
const Bytes kV1Query = IgmpFrame("4500001c 12340000 010205f9 c0a8010a e0000001", "11 00 eeff 00000000");
const Bytes kV2Query = IgmpFrame("4500001c 12340000 010205f9 c0a8010a e0000001", "11 64 ee9b 00000000");
const Bytes kV1Report = IgmpFrame("4500001c 12340000 010204fe c0a8010a e00000fc", "12 00 0d03 e00000fc");
const Bytes kLeave = IgmpFrame("4500001c 12340000 010205f8 c0a8010a e0000002", "17 00 08e9 e0000016");
// Group 232.1.1.1, flags 0x0A (S set, robustness 2), interval code 125, sources 10.0.0.1 and 10.0.0.2.
const Bytes kV3Report = IgmpFrame("45000028 12340000 010205d8 c0a8010a e0000016",
                                  "22 00 d67a e8010101 0a 7d 0002 0a000001 0a000002");
const Bytes kType13 = IgmpFrame("4500001c 12340000 010205f6 c0a8010a e0000004", "13 00 ecff 00000000");
const Bytes kBadChecksum = IgmpFrame("4500001c 12340000 0102f4f5 c0a8010a ef010203", "16 00 1234 ef010203");

const CVELPacketsDecodingItem* Igmp(IVELPacketsDecodingInfo* info) {
  return FindGroup(info, "IGMP - Internet Group Multicast Protocol");
}

TEST(IGMPDecoder, VersionTwoReportNamesItsGroup) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kV2Report);
  const auto* igmp = Igmp(info.get());
  EXPECT_EQ(ChildNames(igmp), (std::vector<std::string>{"Type", "Max Resp Time", "Checksum", "Multicast Address"}));
  EXPECT_EQ(ValueOf(FindItem(igmp, "Type")), "22 (0x16)");
  EXPECT_EQ(CommentOf(FindItem(igmp, "Type")), "IGMP(v2) Report");
  EXPECT_EQ(ValueOf(FindItem(igmp, "Max Resp Time")), "0 (0x00)");
  EXPECT_EQ(ValueOf(FindItem(igmp, "Checksum")), "63738 (0xF8FA)");
  EXPECT_EQ(CommentOf(FindItem(igmp, "Checksum")), "Correct");
  const auto* address = FindItem(igmp, "Multicast Address");
  EXPECT_EQ(ValueOf(address), "239.1.2.3");
  EXPECT_EQ(address->type, uint32_t{VEL_DII_IP_ADRESS});
  EXPECT_EQ(address->startPos, kIgmpOffset + 4);
  EXPECT_EQ(address->length, 4u);
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Report 239.1.2.3");
  EXPECT_EQ(igmp->startPos, kIgmpOffset);
  EXPECT_EQ(igmp->length, 8u);
}

TEST(IGMPDecoder, QueriesAreToldApartByMaxResponseTime) {
  auto m = MakeManager();
  auto v1 = Decode(m.get(), kV1Query);
  const auto* igmp = Igmp(v1.get());
  EXPECT_EQ(ChildNames(igmp), (std::vector<std::string>{"Type", "Unused", "Checksum"}));
  EXPECT_EQ(CommentOf(FindItem(igmp, "Type")), "IGMP(v1) Query");
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Query");
  EXPECT_EQ(igmp->length, 4u);

  auto v2 = Decode(m.get(), kV2Query);
  igmp = Igmp(v2.get());
  EXPECT_EQ(ChildNames(igmp), (std::vector<std::string>{"Type", "Max Resp Time", "Checksum"}));
  EXPECT_EQ(CommentOf(FindItem(igmp, "Type")), "IGMP(v2) Query");
  EXPECT_EQ(ValueOf(FindItem(igmp, "Max Resp Time")), "100 (0x64)");
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Query");
}

TEST(IGMPDecoder, VersionOneReportAndLeave) {
  auto m = MakeManager();
  auto report = Decode(m.get(), kV1Report);
  const auto* igmp = Igmp(report.get());
  EXPECT_EQ(ChildNames(igmp), (std::vector<std::string>{"Type", "Unused", "Checksum", "Multicast Address"}));
  EXPECT_EQ(CommentOf(FindItem(igmp, "Type")), "IGMP(v1) Report");
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Report 224.0.0.252");

  auto leave = Decode(m.get(), kLeave);
  igmp = Igmp(leave.get());
  EXPECT_EQ(CommentOf(FindItem(igmp, "Type")), "Leave Group");
  EXPECT_EQ(ValueOf(FindItem(igmp, "Multicast Address")), "224.0.0.22");
  EXPECT_EQ(CommentOf(FindItem(igmp, "Checksum")), "Correct");
  EXPECT_EQ(SummaryOf(igmp), "Leave Group 224.0.0.22");
}

TEST(IGMPDecoder, VersionThreeReportListsItsSources) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kV3Report);
  const auto* igmp = Igmp(info.get());
  EXPECT_EQ(ChildNames(igmp), (std::vector<std::string>{"Type", "Max Resp Time", "Checksum", "Multicast Address",
                                                        "Reserved", "S Flag", "Querier Robustness Variable",
                                                        "Querier Query Interval Code", "Number of Sources",
                                                        "IP Address", "IP Address"}));
  EXPECT_EQ(CommentOf(FindItem(igmp, "Type")), "IGMP(v3) Report");
  EXPECT_EQ(ValueOf(FindItem(igmp, "Multicast Address")), "232.1.1.1");
  // The three flag pictures share byte 8.
  for (const char* flag : {"Reserved", "S Flag", "Querier Robustness Variable"}) {
    EXPECT_EQ(FindItem(igmp, flag)->startPos, kIgmpOffset + 8) << flag;
    EXPECT_EQ(FindItem(igmp, flag)->length, 1u) << flag;
  }
  EXPECT_EQ(ValueOf(FindItem(igmp, "Reserved")), "0000 ....");
  EXPECT_EQ(ValueOf(FindItem(igmp, "S Flag")), ".... 1...");
  EXPECT_EQ(CommentOf(FindItem(igmp, "S Flag")), "Suppress Router-Side Processing");
  EXPECT_EQ(ValueOf(FindItem(igmp, "Querier Robustness Variable")), ".... .010");
  EXPECT_EQ(ValueOf(FindItem(igmp, "Querier Query Interval Code")), "125 (0x7D)");
  EXPECT_EQ(FindItem(igmp, "Querier Query Interval Code")->startPos, kIgmpOffset + 9);
  EXPECT_EQ(ValueOf(FindItem(igmp, "Number of Sources")), "2 (0x0002)");
  const auto& children = igmp->Children();
  EXPECT_EQ(ValueOf(children[9]), "10.0.0.1");
  EXPECT_EQ(children[9]->startPos, kIgmpOffset + 12);
  EXPECT_EQ(children[9]->type, uint32_t{VEL_DII_IP_ADRESS});
  EXPECT_EQ(ValueOf(children[10]), "10.0.0.2");
  EXPECT_EQ(CommentOf(FindItem(igmp, "Checksum")), "Correct");
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Report 10.0.0.1, 10.0.0.2");
  EXPECT_EQ(igmp->length, 20u);
}

TEST(IGMPDecoder, SourcesBeyondTheCaptureEndTheWalk) {
  auto m = MakeManager();
  // Two bytes short of the second source: the first is shown and summarised.
  auto info = Decode(m.get(), kV3Report, static_cast<uint32_t>(kV3Report.size() - 2));
  const auto* igmp = Igmp(info.get());
  std::vector<std::string> names = ChildNames(igmp);
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[names.size() - 2], "IP Address");
  EXPECT_EQ(names.back(), "Truncated");
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Report 10.0.0.1");

  // A count of 0xFFFF over two captured sources: both are shown, then the walk ends.
  Bytes many = kV3Report;
  many[kIgmpOffset + 10] = 0xFF;
  many[kIgmpOffset + 11] = 0xFF;
  auto manyInfo = Decode(m.get(), many);
  igmp = Igmp(manyInfo.get());
  EXPECT_EQ(ChildNames(igmp).size(), 12u);
  EXPECT_EQ(ChildNames(igmp).back(), "Truncated");
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Report 10.0.0.1, 10.0.0.2");
  TruncationSweep(m.get(), many);
}

TEST(IGMPDecoder, UnknownTypeGivesAnEmptyGroup) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kType13);
  const auto* igmp = Igmp(info.get());
  EXPECT_TRUE(igmp->Children().empty());
  EXPECT_EQ(igmp->length, 0u);
  EXPECT_EQ(SummaryOf(igmp), "");
}

TEST(IGMPDecoder, ChecksumVerdictFollowsTheManagerSetting) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kBadChecksum);
  const auto* checksum = FindItem(Igmp(info.get()), "Checksum");
  EXPECT_EQ(ValueOf(checksum), "4660 (0x1234)");
  EXPECT_EQ(CommentOf(checksum), "Incorrect, should be 0xf8fa");
  EXPECT_EQ(checksum->severity, uint32_t{VEL_SST_INFOMATION});

  // Trailing bytes count: the message is checked to the end of the capture.
  Bytes trailer = kV2Report;
  trailer.push_back(0x01);
  auto trailerInfo = Decode(m.get(), trailer);
  EXPECT_EQ(CommentOf(FindItem(Igmp(trailerInfo.get()), "Checksum")), "Incorrect, should be 0xf7fa");

  m->put_VerifyChecksum(0);
  auto unchecked = Decode(m.get(), kBadChecksum);
  EXPECT_EQ(CommentOf(FindItem(Igmp(unchecked.get()), "Checksum")), "");
}

TEST(IGMPDecoder, EveryCaptureLengthOfEveryFrame) {
  auto m = MakeManager();
  for (const Bytes* frame : {&kV2Report, &kV1Query, &kV2Query, &kV1Report, &kLeave, &kV3Report, &kType13, &kBadChecksum})
    TruncationSweep(m.get(), *frame);
}

TEST(IGMPDecoder, RealCaptures) {
  auto m = MakeManager();
  for (const char* name : {"tcpdump/IGMP_V1.pcap", "tcpdump/IGMP_V2.pcap", "tcpdump/igmpv3-queries.pcap",
                           "tcpdump/mrinfo_query.pcap"}) {
    std::vector<Bytes> frames = ReadPcapFrames(name);
    ASSERT_FALSE(frames.empty()) << name;
    for (const Bytes& frame : frames) TruncationSweep(m.get(), frame);
  }

  std::vector<Bytes> v1 = ReadPcapFrames("tcpdump/IGMP_V1.pcap");
  auto query = Decode(m.get(), v1[0]);
  EXPECT_EQ(CommentOf(FindItem(Igmp(query.get()), "Type")), "IGMP(v1) Query");
  EXPECT_EQ(CommentOf(FindItem(Igmp(query.get()), "Checksum")), "Correct");
  EXPECT_EQ(SummaryOf(Igmp(query.get())), "Host Membership Query");
  auto report = Decode(m.get(), v1[1]);
  EXPECT_EQ(SummaryOf(Igmp(report.get())), "Host Membership Report 224.0.0.252");

  std::vector<Bytes> v2 = ReadPcapFrames("tcpdump/IGMP_V2.pcap");
  auto v2Query = Decode(m.get(), v2[0]);
  EXPECT_EQ(CommentOf(FindItem(Igmp(v2Query.get()), "Type")), "IGMP(v2) Query");
  auto leave = Decode(m.get(), v2[4]);
  EXPECT_EQ(SummaryOf(Igmp(leave.get())), "Leave Group 225.1.1.3");
  EXPECT_EQ(CommentOf(FindItem(Igmp(leave.get()), "Checksum")), "Correct");

  // A DVMRP message (type 0x13) has no fields shown.
  auto dvmrp = Decode(m.get(), ReadPcapFrames("tcpdump/mrinfo_query.pcap")[0]);
  EXPECT_TRUE(Igmp(dvmrp.get())->Children().empty());
}

}  // namespace
}  // namespace vel::test
