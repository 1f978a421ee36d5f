#include "test_support.h"

namespace vel::test {
namespace {

// TCP from port 1025 to port 139: the session header starts at frame offset 54.
constexpr uint32_t kNbss = kTcpPayload;
Bytes SessionFrame(const Bytes& packet) { return TcpFrame(1025, 139, packet); }

const Bytes kRequest =
    SessionFrame(Concat({Hex("81 00 0044"), NetBIOSName("*SMBSERVER", 0x20), NetBIOSName("CLIENT", 0x00)}));
const Bytes kPositive = SessionFrame(Hex("82 00 0000"));
const Bytes kNegative = SessionFrame(Hex("83 00 0001 82"));
const Bytes kRetarget = SessionFrame(Hex("84 00 0006 0a000005 008b"));
const Bytes kKeepAlive = SessionFrame(Hex("85 00 0000"));
// A session message whose length needs the extension bit: 0x10004 bytes, of which an SMB header starts here.
const Bytes kLongMessage = SessionFrame(Hex("00 01 0004 ff534d42 72 00000000 18 0128 0000"));
// SMB2 is not the SMB module's, so nothing takes this payload.
const Bytes kSmb2Message = SessionFrame(Hex("00 00 0044 fe534d42 4000 0000 00000000 0000 0100"));
const Bytes kHeaderOnly = SessionFrame(Hex("00 00 0000"));
const Bytes kUnknownType = SessionFrame(Hex("90 00 0002 abcd"));

const Node* Nbss(IVELPacketsDecodingInfo* info) { return FindGroup(info, "NBSS - NetBIOS Session Service"); }

using NBSSDecoder = DecoderTest;

TEST_F(NBSSDecoder, SessionRequestShowsBothNames) {
  auto info = SweepAndDecode(kRequest);
  const Node* nbss = Nbss(info.get());
  ExpectFields(nbss, {{"Type", kNbss, 1, "129 (0x81)", "Session Request"},
                      {"Flags", kNbss + 1, 1, "0000 0000"},
                      {"Length", kNbss + 2, 2, "68 (0x000044)"},
                      {"Called Name", kNbss + 4, 34, "*SMBSERVER     <20>", "Server service"},
                      {"Calling Name", kNbss + 38, 34, "CLIENT         <00>", "Workstation/Redirector"}});
  ExpectFields(FindItem(nbss, "Flags"), {{"Length Extension", kNbss + 1, 1, ".... ...0"}});
  EXPECT_EQ(SummaryOf(nbss), "Session Request");
  ExpectItem(nbss, kNbss, 72, "");
}

TEST_F(NBSSDecoder, ResponsesAndKeepAliveAreSummarisedByType) {
  auto positive = SweepAndDecode(kPositive);
  EXPECT_EQ(ChildNames(Nbss(positive.get())), (Names{"Type", "Flags", "Length"}));
  EXPECT_EQ(SummaryOf(Nbss(positive.get())), "Positive Session Reponse");

  auto negative = SweepAndDecode(kNegative);
  const Node* nbss = Nbss(negative.get());
  ExpectItem(FindItem(nbss, "Error Code"), kNbss + 4, 1, "130 (0x82)", "Called name not present");
  EXPECT_EQ(SummaryOf(nbss), "Negative Session Response Called name not present");
  EXPECT_EQ(nbss->length, 5u);

  auto retarget = SweepAndDecode(kRetarget);
  nbss = Nbss(retarget.get());
  ExpectItem(FindItem(nbss, "IP Address"), kNbss + 4, 4, "10.0.0.5");
  EXPECT_EQ(FindItem(nbss, "IP Address")->type, uint32_t{VEL_DII_IP_ADRESS});
  ExpectItem(FindItem(nbss, "Port"), kNbss + 8, 2, "139 (0x008B)");
  EXPECT_EQ(SummaryOf(nbss), "Retarget Session Response");

  // Keep-alive, and a type without a name (no comment, no summary): nothing after the header.
  for (auto [frame, name] : {std::pair{&kKeepAlive, "Session Keep Alive"}, std::pair{&kUnknownType, ""}}) {
    auto info = SweepAndDecode(*frame);
    nbss = Nbss(info.get());
    EXPECT_EQ(ChildNames(nbss), (Names{"Type", "Flags", "Length"}));
    EXPECT_EQ(CommentOf(FindItem(nbss, "Type")), name);
    EXPECT_EQ(SummaryOf(nbss), name);
    EXPECT_EQ(nbss->length, 4u);
  }
}

TEST_F(NBSSDecoder, LengthExtensionBitGivesSeventeenBits) {
  auto info = SweepAndDecode(kLongMessage);
  const Node* nbss = Nbss(info.get());
  EXPECT_EQ(ValueOf(FindItem(nbss, "Flags")), "0000 0001");
  EXPECT_EQ(ValueOf(ItemAt(info.get(), {"NBSS - ", "Flags", "Length Extension"})), ".... ...1");
  EXPECT_EQ(ValueOf(FindItem(nbss, "Length")), "65540 (0x010004)");
}

TEST_F(NBSSDecoder, OnlySessionMessagesOfferTheirPayloadAsSmb) {
  ProbedGraph graph({1, 2, 46}, {46});
  EXPECT_EQ(graph.OffersFor(kLongMessage), (Offers{{54, kNbss + 4}}));
  EXPECT_EQ(graph.OffersFor(kSmb2Message), (Offers{{54, kNbss + 4}}));
  EXPECT_TRUE(graph.OffersFor(kHeaderOnly).empty());
  EXPECT_TRUE(graph.OffersFor(kRequest).empty());
  EXPECT_TRUE(graph.OffersFor(kUnknownType).empty());
}

TEST_F(NBSSDecoder, PayloadNobodyTakesLeavesTheSessionHeader) {
  auto info = SweepAndDecode(kSmb2Message);
  const Node* nbss = Nbss(info.get());
  EXPECT_EQ(GroupNames(info.get()).back(), "NBSS - NetBIOS Session Service");
  EXPECT_EQ(ChildNames(nbss), (Names{"Type", "Flags", "Length"}));
  EXPECT_EQ(CommentOf(FindItem(nbss, "Type")), "Session Message");
  EXPECT_EQ(SummaryOf(nbss), "");
  EXPECT_EQ(nbss->length, 4u);
  EXPECT_EQ(ChildNames(Nbss(SweepAndDecode(kHeaderOnly).get())), (Names{"Type", "Flags", "Length"}));
}

TEST_F(NBSSDecoder, RealSessionMessagesOverPort445) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/smb_data_print-segv.pcap");
  ASSERT_FALSE(frames.empty());
  for (const Bytes& frame : frames) TruncationSweep(m_.get(), frame);
  auto info = DecodeFrame(frames[0]);
  const Node* nbss = Nbss(info.get());
  ExpectItem(FindItem(nbss, "Type"), kNbss, 1, "0 (0x00)", "Session Message");
  ExpectItem(FindItem(nbss, "Length"), kNbss + 2, 2, "84 (0x000054)");
  EXPECT_EQ(nbss->length, 4u);

  ProbedGraph graph({1, 2, 46}, {46});
  for (const Bytes& frame : frames) EXPECT_EQ(graph.OffersFor(frame), (Offers{{54, kNbss + 4}}));
}

}  // namespace
}  // namespace vel::test
