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

const Node* Igmp(IVELPacketsDecodingInfo* info) { return FindGroup(info, "IGMP - Internet Group Multicast Protocol"); }

using IGMPDecoder = DecoderTest;

TEST_F(IGMPDecoder, VersionTwoReportNamesItsGroup) {
  auto info = SweepAndDecode(kV2Report);
  const Node* igmp = Igmp(info.get());
  ExpectItem(igmp, kIgmpOffset, 8, "");
  ExpectFields(igmp, {{"Type", 34, 1, "22 (0x16)", "IGMP(v2) Report"},
                      {"Max Resp Time", 35, 1, "0 (0x00)"},
                      {"Checksum", 36, 2, "63738 (0xF8FA)", "Correct"},
                      {"Multicast Address", 38, 4, "239.1.2.3", "", VEL_DII_IP_ADRESS}});
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Report 239.1.2.3");
}

TEST_F(IGMPDecoder, QueriesAreToldApartByMaxResponseTime) {
  auto v1 = SweepAndDecode(kV1Query);
  const Node* igmp = Igmp(v1.get());
  EXPECT_EQ(ChildNames(igmp), (Names{"Type", "Unused", "Checksum"}));
  EXPECT_EQ(CommentOf(FindItem(igmp, "Type")), "IGMP(v1) Query");
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Query");
  EXPECT_EQ(igmp->length, 4u);

  auto v2 = SweepAndDecode(kV2Query);
  igmp = Igmp(v2.get());
  EXPECT_EQ(ChildNames(igmp), (Names{"Type", "Max Resp Time", "Checksum"}));
  EXPECT_EQ(CommentOf(FindItem(igmp, "Type")), "IGMP(v2) Query");
  EXPECT_EQ(ValueOf(FindItem(igmp, "Max Resp Time")), "100 (0x64)");
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Query");
}

TEST_F(IGMPDecoder, VersionOneReportAndLeave) {
  auto report = SweepAndDecode(kV1Report);
  const Node* igmp = Igmp(report.get());
  EXPECT_EQ(ChildNames(igmp), (Names{"Type", "Unused", "Checksum", "Multicast Address"}));
  EXPECT_EQ(CommentOf(FindItem(igmp, "Type")), "IGMP(v1) Report");
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Report 224.0.0.252");

  auto leave = SweepAndDecode(kLeave);
  igmp = Igmp(leave.get());
  EXPECT_EQ(CommentOf(FindItem(igmp, "Type")), "Leave Group");
  EXPECT_EQ(ValueOf(FindItem(igmp, "Multicast Address")), "224.0.0.22");
  EXPECT_EQ(CommentOf(FindItem(igmp, "Checksum")), "Correct");
  EXPECT_EQ(SummaryOf(igmp), "Leave Group 224.0.0.22");
}

TEST_F(IGMPDecoder, VersionThreeReportListsItsSources) {
  auto info = SweepAndDecode(kV3Report);
  const Node* igmp = Igmp(info.get());
  // The three flag pictures share byte 8.
  ExpectFields(igmp, {{"Type", 34, 1, "34 (0x22)", "IGMP(v3) Report"},
                      {"Max Resp Time", 35, 1, "0 (0x00)"},
                      {"Checksum", 36, 2, "54906 (0xD67A)", "Correct"},
                      {"Multicast Address", 38, 4, "232.1.1.1", "", VEL_DII_IP_ADRESS},
                      {"Reserved", 42, 1, "0000 ...."},
                      {"S Flag", 42, 1, ".... 1...", "Suppress Router-Side Processing"},
                      {"Querier Robustness Variable", 42, 1, ".... .010"},
                      {"Querier Query Interval Code", 43, 1, "125 (0x7D)"},
                      {"Number of Sources", 44, 2, "2 (0x0002)"},
                      {"IP Address", 46, 4, "10.0.0.1", "", VEL_DII_IP_ADRESS},
                      {"IP Address", 50, 4, "10.0.0.2", "", VEL_DII_IP_ADRESS}});
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Report 10.0.0.1, 10.0.0.2");
  EXPECT_EQ(igmp->length, 20u);
}

TEST_F(IGMPDecoder, SourcesBeyondTheCaptureEndTheWalk) {
  // Two bytes short of the second source: the first is shown and summarised.
  auto info = Decode(m_.get(), kV3Report, static_cast<uint32_t>(kV3Report.size() - 2));
  const Node* igmp = Igmp(info.get());
  EXPECT_EQ(ChildNames(igmp).size(), 11u);
  EXPECT_EQ(ChildNames(igmp).back(), "Truncated");
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Report 10.0.0.1");

  // A count of 0xFFFF over two captured sources: both are shown, then the walk ends.
  auto many = SweepAndDecode(WithWord(kV3Report, kIgmpOffset + 10, 0xFFFF));
  igmp = Igmp(many.get());
  EXPECT_EQ(ChildNames(igmp).size(), 12u);
  EXPECT_EQ(ChildNames(igmp).back(), "Truncated");
  EXPECT_EQ(SummaryOf(igmp), "Host Membership Report 10.0.0.1, 10.0.0.2");
}

TEST_F(IGMPDecoder, UnknownTypeGivesAnEmptyGroup) { ExpectEmptyGroup(Igmp(SweepAndDecode(kType13).get())); }

TEST_F(IGMPDecoder, ChecksumVerdictFollowsTheManagerSetting) {
  auto info = SweepAndDecode(kBadChecksum);
  const Node* checksum = FindItem(Igmp(info.get()), "Checksum");
  ExpectItem(checksum, 36, 2, "4660 (0x1234)", "Incorrect, should be 0xf8fa");
  EXPECT_EQ(checksum->severity, uint32_t{VEL_SST_INFOMATION});

  // Trailing bytes count: the message is checked to the end of the capture.
  Bytes trailer = kV2Report;
  trailer.push_back(0x01);
  EXPECT_EQ(CommentOf(FindItem(Igmp(DecodeFrame(trailer).get()), "Checksum")), "Incorrect, should be 0xf7fa");

  m_->put_VerifyChecksum(0);
  EXPECT_EQ(CommentOf(FindItem(Igmp(DecodeFrame(kBadChecksum).get()), "Checksum")), "");
}

TEST_F(IGMPDecoder, RealCaptures) {
  for (const char* name :
       {"tcpdump/IGMP_V1.pcap", "tcpdump/IGMP_V2.pcap", "tcpdump/igmpv3-queries.pcap", "tcpdump/mrinfo_query.pcap"})
    SweepCapture(m_.get(), name);

  std::vector<Bytes> v1 = ReadPcapFrames("tcpdump/IGMP_V1.pcap");
  auto query = DecodeFrame(v1[0]);
  EXPECT_EQ(CommentOf(FindItem(Igmp(query.get()), "Type")), "IGMP(v1) Query");
  EXPECT_EQ(CommentOf(FindItem(Igmp(query.get()), "Checksum")), "Correct");
  EXPECT_EQ(SummaryOf(Igmp(query.get())), "Host Membership Query");
  EXPECT_EQ(SummaryOf(Igmp(DecodeFrame(v1[1]).get())), "Host Membership Report 224.0.0.252");

  std::vector<Bytes> v2 = ReadPcapFrames("tcpdump/IGMP_V2.pcap");
  EXPECT_EQ(CommentOf(FindItem(Igmp(DecodeFrame(v2[0]).get()), "Type")), "IGMP(v2) Query");
  auto leave = DecodeFrame(v2[4]);
  EXPECT_EQ(SummaryOf(Igmp(leave.get())), "Leave Group 225.1.1.3");
  EXPECT_EQ(CommentOf(FindItem(Igmp(leave.get()), "Checksum")), "Correct");

  // A DVMRP message (type 0x13) has no fields shown.
  EXPECT_TRUE(Igmp(DecodeFrame(ReadPcapFrames("tcpdump/mrinfo_query.pcap")[0]).get())->Children().empty());
}

}  // namespace
}  // namespace vel::test
