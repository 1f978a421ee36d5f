#include "test_support.h"

namespace vel::test {
namespace {

// UDP from port 137 to port 137: the message starts at frame offset 42, its
// first record at 54.
constexpr uint32_t kNbns = kUdpPayload, kRecords = kNbns + 12;
Bytes NameServiceFrame(const Bytes& message) { return UdpFrame(137, 137, message); }

// Flags: recursion desired and broadcast.
const Bytes kQuery = NameServiceFrame(
    Concat({Hex("8001 0110 0001 0000 0000 0000"), NetBIOSName("FILESERVER", 0x20), Hex("0020 0001")}));
// Opcode 5, recursion desired, broadcast; the additional record points at the question's name.
const Bytes kRegistration =
    NameServiceFrame(Concat({Hex("8002 2910 0001 0000 0000 0001"), NetBIOSName("WORKGROUP", 0x00),
                             Hex("0020 0001  c00c 0020 0001 000493e0 0006 8000 c0a80001")}));
// A positive response with two address entries: a P-node and an M-node.
const Bytes kPositiveResponse =
    NameServiceFrame(Concat({Hex("8001 8500 0000 0001 0000 0000"), NetBIOSName("FILESERVER", 0x20),
                             Hex("0020 0001 00000e10 000c 2000 0a000005 4000 0a000006")}));
// A WACK: its NB data is the flags of the request alone.
const Bytes kWack = NameServiceFrame(
    Concat({Hex("8002 bc00 0000 0001 0000 0000"), NetBIOSName("WORKGROUP", 0x00), Hex("0020 0001 0000000a 0002 2910")}));
// A node status response: two names, then 46 bytes of statistics starting with the unit id.
const Bytes kNodeStatus = NameServiceFrame(Concat(
    {Hex("8003 8400 0000 0001 0000 0000"), NetBIOSName(std::string("*") + std::string(14, '\0'), 0x00),
     Hex("0021 0001 00000000 0053 02"), Ascii("FILESERVER     "), Hex("20 0400"), Ascii("WORKGROUP      "),
     Hex("00 8400"), Hex("001122334455"), Bytes(40, 0)}));
// Five answers over one name: NS, NULL, A in class IN, A in class 3, NB in class 3.
const Bytes kOtherData = NameServiceFrame(Concat(
    {Hex("8004 8400 0000 0005 0000 0000"), NetBIOSName("FILESERVER", 0x20), Hex("0002 0001 00000000 0004"),
     Ascii("ABCD"), Hex("c00c 000a 0001 00000000 0003"), Ascii("xyz"), Hex("c00c 0001 0001 00000000 0004 0a000001"),
     Hex("c00c 0001 0003 00000000 0002"), Ascii("hi"), Hex("c00c 0020 0003 00000000 0006 8000"), Ascii("wxyz")}));

const Node* Nbns(IVELPacketsDecodingInfo* info) { return FindGroup(info, "NBNS - NetBIOS Name Service"); }

using NBNSDecoder = DecoderTest;

TEST_F(NBNSDecoder, NameQueryShowsHeaderFlagsAndQuestion) {
  auto info = SweepAndDecode(kQuery);
  const Node* nbns = Nbns(info.get());
  ExpectFields(nbns, {{"Transaction ID", kNbns, 2, "32769 (0x8001)"},
                      {"Flags", kNbns + 2, 2, "0000 0001 0001 0000"},
                      {"Questions", kNbns + 4, 2, "1 (0x0001)"},
                      {"Answers", kNbns + 6, 2, "0 (0x0000)"},
                      {"Authority", kNbns + 8, 2, "0 (0x0000)"},
                      {"Additional", kNbns + 10, 2, "0 (0x0000)"},
                      {"Questions 1", kRecords, 38, ""}});
  ExpectFields(FindItem(nbns, "Flags"), {{"Query/Response", kNbns + 2, 2, "0... .... .... ....", "Query"},
                                         {"Operation Code", kNbns + 2, 2, ".000 0... .... ....", "Query"},
                                         {"Authoritative Answer", kNbns + 2, 2, ".... .0.. .... ...."},
                                         {"Truncation", kNbns + 2, 2, ".... ..0. .... ...."},
                                         {"Recursion Desired", kNbns + 2, 2, ".... ...1 .... ...."},
                                         {"Recursion Available", kNbns + 2, 2, ".... .... 0... ...."},
                                         {"Broadcast", kNbns + 2, 2, ".... .... ...1 ...."},
                                         {"Response Code", kNbns + 2, 2, ".... .... .... 0000", "No Error"}});
  ExpectFields(FindItem(nbns, "Questions 1"),
               {{"NetBIOS Name", kRecords, 34, "FILESERVER     <20>", "Server service"},
                {"Type", kRecords + 34, 2, "32 (0x0020)", "NetBIOS general name service resource record (NB)"},
                {"Class", kRecords + 36, 2, "1 (0x0001)", "Internet class (IN)"}});
  EXPECT_EQ(SummaryOf(nbns), "Query FILESERVER     <20>");
  ExpectItem(nbns, kNbns, 50, "");
}

TEST_F(NBNSDecoder, RegistrationCarriesAnAddressEntry) {
  auto info = SweepAndDecode(kRegistration);
  const Node* nbns = Nbns(info.get());
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"NBNS - ", "Flags", "Operation Code"})), "Registration");
  EXPECT_EQ(SummaryOf(nbns), "Registration WORKGROUP      <00>");
  constexpr uint32_t kAdditional = kRecords + 38;
  const Node* record = FindItem(nbns, "Additional 1");
  ExpectItem(record, kAdditional, 18, "");
  ExpectFields(record,
               {{"Domain Name", kAdditional, 2, "WORKGROUP      <00>", "Compressed Name"},
                {"Type", kAdditional + 2, 2, "32 (0x0020)", "NetBIOS general name service resource record (NB)"},
                {"Class", kAdditional + 4, 2, "1 (0x0001)", "Internet class (IN)"},
                {"Time to Live", kAdditional + 6, 4, "300000 (0x000493E0)"},
                {"Data Length", kAdditional + 10, 2, "6 (0x0006)"},
                {"Flags", kAdditional + 12, 2, "1000 0000 0000 0000"},
                {"IP Address", kAdditional + 14, 4, "192.168.0.1"}});
  ExpectFields(FindItem(record, "Flags"), {{"Group Name", kAdditional + 12, 2, "1... .... .... ...."},
                                           {"Owner Node Type", kAdditional + 12, 2, ".00. .... .... ....", "B-node"}});
  EXPECT_EQ(nbns->length, 12u + 38 + 18);
}

TEST_F(NBNSDecoder, PositiveResponseListsEveryAddressEntry) {
  auto info = SweepAndDecode(kPositiveResponse);
  const Node* nbns = Nbns(info.get());
  // No question: no summary.
  EXPECT_EQ(SummaryOf(nbns), "");
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"NBNS - ", "Flags", "Query/Response"})), "Response");
  EXPECT_EQ(ValueOf(ItemAt(info.get(), {"NBNS - ", "Flags", "Authoritative Answer"})), ".... .1.. .... ....");
  const Node* answer = FindItem(nbns, "Answers 1");
  EXPECT_EQ(ChildNames(answer), (Names{"Domain Name", "Type", "Class", "Time to Live", "Data Length", "Flags",
                                       "IP Address", "Flags", "IP Address"}));
  ExpectItem(FindItem(answer, "Domain Name"), kRecords, 34, "FILESERVER     <20>", "Server service");
  EXPECT_EQ(ValueOf(FindItem(answer, "Time to Live")), "3600 (0x00000E10)");
  EXPECT_EQ(CommentOf(Child(Child(answer, 5), 1)), "P-node");
  ExpectItem(Child(answer, 6), kRecords + 46, 4, "10.0.0.5");
  EXPECT_EQ(CommentOf(Child(Child(answer, 7), 1)), "M-node");
  ExpectItem(Child(answer, 8), kRecords + 52, 4, "10.0.0.6");
  EXPECT_EQ(answer->length, 34u + 10 + 12);
}

TEST_F(NBNSDecoder, WackDataIsOneFlagsWord) {
  auto info = SweepAndDecode(kWack);
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"NBNS - ", "Flags", "Operation Code"})), "WACK");
  const Node* flags = ItemAt(info.get(), {"NBNS - ", "Answers 1", "Flags"});
  ExpectItem(flags, kRecords + 44, 2, "0010 1001 0001 0000");
  EXPECT_TRUE(flags->Children().empty());
}

TEST_F(NBNSDecoder, NodeStatusShowsNamesFlagsAndStatistics) {
  auto info = SweepAndDecode(kNodeStatus);
  const Node* answer = FindItem(Nbns(info.get()), "Answers 1");
  constexpr uint32_t kData = kRecords + 44;
  EXPECT_EQ(ChildNames(answer), (Names{"Domain Name", "Type", "Class", "Time to Live", "Data Length", "Name Number",
                                       "NetBIOS Name", "Flags", "NetBIOS Name", "Flags", "Satistics"}));
  ExpectItem(FindItem(answer, "Domain Name"), kRecords, 34, "*..............<00>", "Workstation/Redirector");
  EXPECT_EQ(CommentOf(FindItem(answer, "Type")), "NetBIOS NODE STATUS resource record (NBSTAT)");
  ExpectItem(FindItem(answer, "Name Number"), kData, 1, "2 (0x02)");
  ExpectItem(Child(answer, 6), kData + 1, 16, "FILESERVER     <20>", "Server service");
  ExpectFields(Child(answer, 7), {{"Group Name", kData + 17, 2, "0... .... .... ...."},
                                  {"Owner Node Type", kData + 17, 2, ".00. .... .... ....", "B-node"},
                                  {"Deregister", kData + 17, 2, "...0 .... .... ...."},
                                  {"Conflict", kData + 17, 2, ".... 0... .... ...."},
                                  {"Active Name", kData + 17, 2, ".... .1.. .... ...."},
                                  {"Permanent Name", kData + 17, 2, ".... ..0. .... ...."}});
  ExpectItem(Child(answer, 8), kData + 19, 16, "WORKGROUP      <00>", "Workstation/Redirector");
  EXPECT_EQ(ValueOf(Child(Child(answer, 9), 0)), "1... .... .... ....");
  ExpectItem(FindItem(answer, "Satistics"), kData + 37, 46, "");
  EXPECT_EQ(answer->length, 34u + 10 + 83);
}

TEST_F(NBNSDecoder, NodeStatusCountBeyondItsDataStopsAtTheData) {
  // Five names claimed, one and four statistics bytes given.
  const Bytes frame =
      NameServiceFrame(Concat({Hex("8003 8400 0000 0001 0000 0000"), NetBIOSName("*", 0x00),
                               Hex("0021 0001 00000000 0017 05"), Ascii("FILESERVER     "), Hex("20 0400 01020304")}));
  auto info = SweepAndDecode(frame);
  const Node* answer = FindItem(Nbns(info.get()), "Answers 1");
  EXPECT_EQ(ChildNames(answer), (Names{"Domain Name", "Type", "Class", "Time to Live", "Data Length", "Name Number",
                                       "NetBIOS Name", "Flags", "Satistics"}));
  EXPECT_EQ(CommentOf(FindItem(answer, "Name Number")), "More names than the record data holds");
  ExpectItem(FindItem(answer, "Satistics"), kRecords + 44 + 19, 4, "");
}

TEST_F(NBNSDecoder, RecordDataByTypeAndClass) {
  auto info = SweepAndDecode(kOtherData);
  const Node* nbns = Nbns(info.get());
  const Node* ns = FindItem(nbns, "Answers 1");
  EXPECT_EQ(CommentOf(FindItem(ns, "Type")), "Name server resource record (NS)");
  ExpectItem(FindItem(ns, "NetBIOS Name"), kRecords + 44, 4, "ABCD");

  // NULL data is stepped over.
  const Node* null = FindItem(nbns, "Answers 2");
  EXPECT_EQ(ChildNames(null).size(), 5u);
  ExpectItem(null, kRecords + 48, 15, "");

  const Node* address = FindItem(nbns, "Answers 3");
  EXPECT_EQ(address->startPos, kRecords + 63);
  ExpectItem(FindItem(address, "IP Address"), kRecords + 75, 4, "10.0.0.1");
  EXPECT_EQ(CommentOf(FindItem(address, "Type")), "IP address resource record (A)");

  const Node* otherClass = FindItem(nbns, "Answers 4");
  EXPECT_EQ(CommentOf(FindItem(otherClass, "Class")), "");
  ExpectItem(FindItem(otherClass, "RDATA"), kRecords + 91, 2, "hi");

  const Node* entry = FindItem(nbns, "Answers 5");
  EXPECT_EQ(ChildNames(entry),
            (Names{"Domain Name", "Type", "Class", "Time to Live", "Data Length", "Flags", "RDATA"}));
  ExpectItem(FindItem(entry, "RDATA"), kRecords + 107, 4, "wxyz");
  EXPECT_EQ(nbns->length, uint32_t(kOtherData.size() - kNbns));
}

TEST_F(NBNSDecoder, UnnamedOpcodeAndResponseCode) {
  // Opcode 3, response code 6.
  auto info = DecodeFrame(WithWord(kQuery, kNbns + 2, 0x1806));
  ExpectValue(Nbns(info.get()), "Operation Code", ".001 1... .... ....");
  ExpectValue(Nbns(info.get()), "Response Code", ".... .... .... 0110");
  EXPECT_EQ(SummaryOf(Nbns(info.get())), " FILESERVER     <20>");
}

TEST_F(NBNSDecoder, LyingCountsAndLengthsEndAtTheCapture) {
  // 65535 questions, one given: the second ends the layer where the capture ends.
  auto many = SweepAndDecode(WithWord(kQuery, kNbns + 4, 0xFFFF));
  const Node* nbns = Nbns(many.get());
  EXPECT_EQ(ChildNames(nbns).back(), "Truncated");
  EXPECT_EQ(SummaryOf(nbns), "Query FILESERVER     <20>");
  EXPECT_EQ(nbns->length, 50u);

  // A data length past the capture: the record covers what was captured.
  auto cut = SweepAndDecode(WithWord(kPositiveResponse, kRecords + 42, 0x0100));
  const Node* answer = FindItem(Nbns(cut.get()), "Answers 1");
  EXPECT_EQ(answer->length, 34u + 10 + 12);
  EXPECT_EQ(ChildNames(answer).size(), 9u);
  EXPECT_EQ(ChildNames(Nbns(cut.get())).back(), "Truncated");
}

TEST_F(NBNSDecoder, RealQueryCutInsideItsName) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/nbns-valgrind.pcap");
  ASSERT_EQ(frames.size(), 1u);
  auto info = SweepAndDecode(frames[0]);
  const Node* nbns = Nbns(info.get());
  EXPECT_EQ(ValueOf(FindItem(nbns, "Transaction ID")), "36160 (0x8D40)");
  EXPECT_EQ(ValueOf(FindItem(nbns, "Questions")), "1 (0x0001)");
  const Node* question = FindItem(nbns, "Questions 1");
  EXPECT_EQ(ChildNames(question), (Names{"NetBIOS Name"}));
  // The name is cut after 13 of its 32 letters; '@' is no encoding letter, yet its pair still makes a byte.
  ExpectItem(FindItem(question, "NetBIOS Name"), kRecords, 14, "FRMAOS");
  ExpectItem(FindItem(nbns, "Truncated"), kRecords, 14, "",
             "Frame ends here: 14 of the 34 bytes this field needs were captured");
  EXPECT_EQ(SummaryOf(nbns), "");
}

}  // namespace
}  // namespace vel::test
