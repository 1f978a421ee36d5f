#include "test_support.h"

namespace vel::test {
namespace {

// UDP from port 138 to port 138: the datagram starts at frame offset 42; a
// direct or broadcast datagram's user data follows two 34-byte names at 124.
constexpr uint32_t kNbdg = kUdpPayload, kUserData = kNbdg + 14 + 34 + 34;
Bytes DatagramFrame(const Bytes& datagram) { return UdpFrame(138, 138, datagram); }

// A host announcement to the workgroup's master browser: an SMB transaction
// header and the start of its mailslot data.
const Bytes kMailslotSmb = Hex("ff534d42 25 00000000 00 0000 0000 0000000000000000 0000 0000 0000 0000 0000 11 0000");
Bytes DirectGroup(const Bytes& userData) {
  return DatagramFrame(Concat({Hex("11 02 1234 c0a80001 008a 00bb 0000"), NetBIOSName("WORKSTATION1", 0x00),
                               NetBIOSName("WORKGROUP", 0x1D), userData}));
}
const Bytes kAnnouncement = DirectGroup(kMailslotSmb);
const Bytes kError = DatagramFrame(Hex("13 0e 1235 c0a80001 008a 82"));
const Bytes kQueryRequest = DatagramFrame(Concat({Hex("14 06 1236 c0a80002 008a"), NetBIOSName("FILESERVER", 0x20)}));
const Bytes kNegativeQueryResponse =
    DatagramFrame(Concat({Hex("16 06 1236 c0a80002 008a"), NetBIOSName("FILESERVER", 0x20)}));
const Bytes kUnknownType = DatagramFrame(Hex("20 00 1237 c0a80001 008a 0000"));

const Node* Nbdg(IVELPacketsDecodingInfo* info) { return FindGroup(info, "NBDG - NetBIOS Datagram Service"); }

using NBDGMDecoder = DecoderTest;

TEST_F(NBDGMDecoder, DirectGroupDatagramShowsHeaderAndNames) {
  auto info = SweepAndDecode(kAnnouncement);
  const Node* nbdg = Nbdg(info.get());
  ExpectFields(nbdg, {{"Message Type", kNbdg, 1, "17 (0x11)", "Direct Group"},
                      {"Flags", kNbdg + 1, 1, "0000 0010"},
                      {"Identification", kNbdg + 2, 2, "4660 (0x1234)"},
                      {"Source IP", kNbdg + 4, 4, "192.168.0.1", "", VEL_DII_SOURCE_IP},
                      {"Source Port", kNbdg + 8, 2, "138 (0x008A)"},
                      {"Data Length", kNbdg + 10, 2, "187 (0x00BB)"},
                      {"Packet Offset", kNbdg + 12, 2, "0 (0x0000)"},
                      {"Source Name", kNbdg + 14, 34, "WORKSTATION1   <00>", "Workstation/Redirector"},
                      {"Destination Name", kNbdg + 48, 34, "WORKGROUP      <1D>", "Local Master Browser"}});
  ExpectFields(FindItem(nbdg, "Flags"), {{"Node Type", kNbdg + 1, 1, ".... 00..", "B-node"},
                                         {"First", kNbdg + 1, 1, ".... ..1."},
                                         {"More", kNbdg + 1, 1, ".... ...0"}});
  // The group ends where the user data begins, whoever takes it.
  ExpectItem(nbdg, kNbdg, kUserData - kNbdg, "");
  EXPECT_EQ(SummaryOf(nbdg), "");
}

TEST_F(NBDGMDecoder, UserDataOfFiveBytesOrMoreIsOfferedAsSmb) {
  ProbedGraph graph({1, 20, 45}, {45});
  EXPECT_EQ(graph.OffersFor(kAnnouncement), (Offers{{54, kUserData}}));
  EXPECT_EQ(graph.OffersFor(DirectGroup(Hex("ff534d42 25"))), (Offers{{54, kUserData}}));
  EXPECT_TRUE(graph.OffersFor(DirectGroup(Hex("ff534d42"))).empty());
  // Direct unique and broadcast datagrams carry user data too; the others do not.
  for (uint8_t type : {0x10, 0x12}) {
    Bytes frame = kAnnouncement;
    frame[kNbdg] = type;
    EXPECT_EQ(graph.OffersFor(frame), (Offers{{54, kUserData}})) << type;
  }
  EXPECT_TRUE(graph.OffersFor(kQueryRequest).empty());
  EXPECT_TRUE(graph.OffersFor(kError).empty());
}

TEST_F(NBDGMDecoder, ErrorAndQueryDatagramsAreSummarised) {
  auto error = SweepAndDecode(kError);
  const Node* nbdg = Nbdg(error.get());
  EXPECT_EQ(CommentOf(FindItem(nbdg, "Message Type")), "ERROR");
  EXPECT_EQ(CommentOf(ItemAt(error.get(), {"NBDG - ", "Flags", "Node Type"})), "NBDD");
  ExpectItem(FindItem(nbdg, "Error Code"), kNbdg + 10, 1, "130 (0x82)", "Destination name not present");
  EXPECT_EQ(SummaryOf(nbdg), "ERROR Destination name not present");
  EXPECT_EQ(nbdg->length, 11u);

  auto query = SweepAndDecode(kQueryRequest);
  nbdg = Nbdg(query.get());
  EXPECT_EQ(ChildNames(nbdg),
            (Names{"Message Type", "Flags", "Identification", "Source IP", "Source Port", "Destination Name"}));
  ExpectItem(FindItem(nbdg, "Destination Name"), kNbdg + 10, 34, "FILESERVER     <20>", "Server service");
  EXPECT_EQ(SummaryOf(nbdg), "QUERY REQUEST");
  EXPECT_EQ(nbdg->length, 44u);

  auto negative = SweepAndDecode(kNegativeQueryResponse);
  EXPECT_EQ(SummaryOf(Nbdg(negative.get())), "Datagram positive query response");
  EXPECT_EQ(CommentOf(ItemAt(negative.get(), {"NBDG - ", "Flags", "Node Type"})), "P-node");
}

TEST_F(NBDGMDecoder, UnknownTypeShowsTheHeaderAlone) {
  auto info = SweepAndDecode(kUnknownType);
  const Node* nbdg = Nbdg(info.get());
  EXPECT_EQ(ChildNames(nbdg).back(), "Source Port");
  EXPECT_EQ(CommentOf(FindItem(nbdg, "Message Type")), "");
  EXPECT_EQ(SummaryOf(nbdg), "");
  EXPECT_EQ(nbdg->length, 10u);

  // An error code without a name.
  Bytes unnamed = kError;
  unnamed.back() = 0x85;
  auto error = DecodeFrame(unnamed);
  ExpectValue(Nbdg(error.get()), "Error Code", "133 (0x85)");
  EXPECT_EQ(SummaryOf(Nbdg(error.get())), "ERROR ");
}

}  // namespace
}  // namespace vel::test
