#include "test_support.h"

namespace vel::test {
namespace {

// www.example.com, type A, class IN: 21 bytes at message offset 12.
const std::string kQuestion = "03777777 076578616d706c65 03636f6d 00 0001 0001";

// A standard query with recursion desired.
const Bytes kQuery = Hex("1234 0100 0001 0000 0000 0000" + kQuestion);
// A CNAME (web + pointer to example.com at 16) and two A records for its
// target (pointer to the CNAME data at 45).
const Bytes kCnameResponse = Hex("1234 8180 0001 0003 0000 0000" + kQuestion +
                                 "c00c 0005 0001 00000e10 0006 03776562 c010"
                                 "c02d 0001 0001 0000003c 0004 c0000201"
                                 "c02d 0001 0001 0000003c 0004 c0000202");
// The zone's SOA as the answer to an SOA query for example.com.
const Bytes kSoaResponse = Hex(
    "4321 8580 0001 0001 0000 0000"
    "076578616d706c65 03636f6d 00 0006 0001"
    "c00c 0006 0001 00000e10 0027 036e7331c00c 0a686f73746d6173746572c00c"
    "78000001 00001c20 00000e10 00093a80 0000012c");
// Name Error, with the zone's SOA in the authority section.
const Bytes kNxDomain = Hex("1234 8183 0001 0000 0001 0000" + kQuestion +
                            "c010 0006 0001 0000012c 0027 036e7331c010 0a686f73746d6173746572c010"
                            "78000001 00001c20 00000e10 00093a80 0000012c");
// One A answer, for DNS over TCP behind its two-byte length.
const Bytes kAResponse = Hex("1234 8180 0001 0001 0000 0000" + kQuestion + "c00c 0001 0001 0000003c 0004 c0000201");

Bytes DnsFrame(const Bytes& message) { return UdpFrame(1025, 53, message); }

const Node* Dns(IVELPacketsDecodingInfo* info) { return FindGroup(info, "DNS - "); }

using DnsDecoder = DecoderTest;

TEST_F(DnsDecoder, StandardQueryOverUdp) {
  auto info = SweepAndDecode(DnsFrame(kQuery));
  const Node* dns = Dns(info.get());
  EXPECT_EQ(Narrow(dns->Name()), "DNS - Domain Name System Protocol");
  ExpectFields(dns, {{"Identifier", 42, 2, "4660 (0x1234)"},
                     {"Flags", 44, 2, "0000 0001 0000 0000"},
                     {"Questions", 46, 2, "1 (0x0001)"},
                     {"Answers", 48, 2, "0 (0x0000)"},
                     {"Authority", 50, 2, "0 (0x0000)"},
                     {"Additional", 52, 2, "0 (0x0000)"},
                     {"Questions 1", 54, 21, ""}});
  ExpectFields(ItemAt(info.get(), {"DNS - ", "Flags"}),
               {{"Query/Response", 44, 2, "0... .... .... ....", "Query"},
                {"Operator Code", 44, 2, ".000 0... .... ....", "a standard query (QUERY)"},
                {"Authoritative Answer", 44, 2, ".... .0.. .... ...."},
                {"TrunCation", 44, 2, ".... ..0. .... ...."},
                {"Recursion Desired", 44, 2, ".... ...1 .... ...."},
                {"Recursion Available", 44, 2, ".... .... 0... ...."},
                {"Reserved", 44, 2, ".... .... .000 ...."},
                {"Response code", 44, 2, ".... .... .... 0000", "No error condition"}});
  ExpectFields(ItemAt(info.get(), {"DNS - ", "Questions 1"}), {{"Domain Name", 54, 17, "www.example.com"},
                                                               {"Type", 71, 2, "1 (0x0001)", "a host address"},
                                                               {"Class", 73, 2, "1 (0x0001)", "the Internet"}});
  EXPECT_TRUE(ItemAt(info.get(), {"DNS - ", "Flags"})->isGroup);
  EXPECT_TRUE(ItemAt(info.get(), {"DNS - ", "Questions 1"})->isGroup);
  EXPECT_EQ(SummaryOf(dns), "Query: www.example.com ");
  ExpectItem(dns, kUdpPayload, 33, "");

  auto overIPv6 = SweepAndDecode(Udp6Frame(1025, 53, kQuery));
  EXPECT_EQ(SummaryOf(Dns(overIPv6.get())), "Query: www.example.com ");
}

TEST_F(DnsDecoder, CompressedNamesAndAnswersInTheSummary) {
  auto info = SweepAndDecode(DnsFrame(kCnameResponse));
  const Node* dns = Dns(info.get());
  EXPECT_EQ(ValueOf(ItemAt(info.get(), {"DNS - ", "Flags", "Query/Response"})), "1... .... .... ....");
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"DNS - ", "Flags", "Query/Response"})), "Response");
  ExpectFields(ItemAt(info.get(), {"DNS - ", "Answers 1"}),
               {{"Domain Name", 75, 2, "www.example.com", "Compressed Name"},
                {"Type", 77, 2, "5 (0x0005)", "the canonical name for an alias "},
                {"Class", 79, 2, "1 (0x0001)", "the Internet"},
                {"Time to Live", 81, 4, "3600 (0x00000E10)"},
                {"Data Length", 85, 2, "6 (0x0006)"},
                {"CNAME", 87, 6, "web.example.com"}});
  ExpectItem(ItemAt(info.get(), {"DNS - ", "Answers 1"}), 75, 18, "");
  // A pointer to a name that itself ends in a pointer.
  ExpectItem(ItemAt(info.get(), {"DNS - ", "Answers 2", "Domain Name"}), 93, 2, "web.example.com", "Compressed Name");
  ExpectItem(ItemAt(info.get(), {"DNS - ", "Answers 3", "IP Address"}), 121, 4, "192.0.2.2");
  EXPECT_EQ(SummaryOf(dns), "Response: www.example.com = web.example.com,192.0.2.1,192.0.2.2");
  EXPECT_EQ(dns->length, kCnameResponse.size());
}

TEST_F(DnsDecoder, SoaAnswerAndNameError) {
  auto soa = SweepAndDecode(DnsFrame(kSoaResponse));
  ExpectFields(ItemAt(soa.get(), {"DNS - ", "Answers 1"}),
               {{"Domain Name", 71, 2, "example.com", "Compressed Name"},
                {"Type", 73, 2, "6 (0x0006)", "marks the start of a zone of authority"},
                {"Class", 75, 2, "1 (0x0001)", "the Internet"},
                {"Time to Live", 77, 4, "3600 (0x00000E10)"},
                {"Data Length", 81, 2, "39 (0x0027)"},
                {"MNAME", 83, 6, "ns1.example.com", "Compressed Name"},
                {"RNAME", 89, 13, "hostmaster.example.com", "Compressed Name"},
                {"SERIA", 102, 4, "2013265921 (0x78000001)"},
                {"REFRESH", 106, 4, "7200 (0x00001C20)"},
                {"RETRY", 110, 4, "3600 (0x00000E10)"},
                {"EXPIRE", 114, 4, "604800 (0x00093A80)"},
                {"MINIMUM", 118, 4, "300 (0x0000012C)"}});
  EXPECT_EQ(SummaryOf(Dns(soa.get())), "Response: example.com = hostmaster.example.com");

  // Records outside the answer section leave the summary alone.
  auto nx = SweepAndDecode(DnsFrame(kNxDomain));
  EXPECT_EQ(CommentOf(ItemAt(nx.get(), {"DNS - ", "Flags", "Response code"})), "Name Error");
  EXPECT_EQ(ValueOf(ItemAt(nx.get(), {"DNS - ", "Authority 1", "RNAME"})), "hostmaster.example.com");
  EXPECT_EQ(SummaryOf(Dns(nx.get())), "");
}

TEST_F(DnsDecoder, OverTcpTheMessageStartsAfterTheLength) {
  Bytes lengthAndMessage = Concat({Hex("0031"), kAResponse});
  auto info = SweepAndDecode(TcpFrame(53, 1025, lengthAndMessage));
  const Node* dns = Dns(info.get());
  ExpectItem(Child(dns, 0), kTcpPayload, 2, "49 (0x0031)");
  EXPECT_EQ(Narrow(Child(dns, 0)->Name()), "Length");
  EXPECT_EQ(Narrow(Child(dns, 1)->Name()), "Identifier");
  // The pointer to offset 12 counts from the byte after the length.
  ExpectItem(ItemAt(info.get(), {"DNS - ", "Answers 1", "Domain Name"}), kTcpPayload + 35, 2, "www.example.com",
             "Compressed Name");
  EXPECT_EQ(SummaryOf(dns), "Response: www.example.com = 192.0.2.1");
  EXPECT_EQ(dns->length, lengthAndMessage.size());

  // A segment with nothing but the length.
  auto lengthOnly = SweepAndDecode(TcpFrame(53, 1025, Hex("0031")));
  dns = Dns(lengthOnly.get());
  EXPECT_EQ(ChildNames(dns), Names{"Length"});
  EXPECT_EQ(SummaryOf(dns), "");
}

TEST_F(DnsDecoder, PointerLoopsAndForwardPointersEndTheName) {
  const std::string refused = "Compression pointer does not point back: the name ends here";
  // The question's name points at itself.
  auto self = SweepAndDecode(DnsFrame(Hex("abcd 0100 0001 0000 0000 0000 c00c 0001 0001")));
  ExpectItem(ItemAt(self.get(), {"DNS - ", "Questions 1", "Domain Name"}), 54, 2, "", refused);
  EXPECT_EQ(ValueOf(ItemAt(self.get(), {"DNS - ", "Questions 1", "Type"})), "1 (0x0001)");
  EXPECT_EQ(SummaryOf(Dns(self.get())), "Query:  ");

  // "a" then a pointer forward to the answer, whose name points back to "a":
  // each name shows "a" and stops at the forward pointer.
  auto loop =
      SweepAndDecode(DnsFrame(Hex("abcd 8180 0001 0001 0000 0000 0161c014 0001 0001"
                                  "c00c 0001 0001 0000003c 0004 0a000001")));
  ExpectItem(ItemAt(loop.get(), {"DNS - ", "Questions 1", "Domain Name"}), 54, 4, "a", refused);
  ExpectItem(ItemAt(loop.get(), {"DNS - ", "Answers 1", "Domain Name"}), 62, 2, "a", refused);
  ExpectItem(ItemAt(loop.get(), {"DNS - ", "Answers 1", "IP Address"}), 74, 4, "10.0.0.1");
  EXPECT_EQ(SummaryOf(Dns(loop.get())), "Response: a = 10.0.0.1");
}

TEST_F(DnsDecoder, OnlyASingleQuestionOpensTheSections) {
  auto info = SweepAndDecode(DnsFrame(Hex("1234 0100 0002 0001 0000 0000" + kQuestion + kQuestion)));
  const Node* dns = Dns(info.get());
  EXPECT_EQ(ChildNames(dns), (Names{"Identifier", "Flags", "Questions", "Answers", "Authority", "Additional"}));
  EXPECT_EQ(SummaryOf(dns), "");
  EXPECT_EQ(dns->length, 12u);
}

TEST_F(DnsDecoder, TwentyRecordsAtMostPerSection) {
  Bytes message = Hex("1234 8180 0001 0019 0000 0000" + kQuestion);
  for (uint8_t host = 1; host <= 25; ++host) {
    Bytes answer = Hex("c00c 0001 0001 0000003c 0004 0a000000");
    answer.back() = host;
    message.insert(message.end(), answer.begin(), answer.end());
  }
  auto info = SweepAndDecode(DnsFrame(message));
  const Node* dns = Dns(info.get());
  std::vector<std::string> names = ChildNames(dns);
  ASSERT_EQ(names.size(), 7u + 20u);
  EXPECT_EQ(names.back(), "Answers 20");
  // The cursor stops after the twentieth: the rest is not part of the layer.
  EXPECT_EQ(dns->length, 12u + 21u + 20u * 16u);
  std::string summary = SummaryOf(dns);
  EXPECT_EQ(std::count(summary.begin(), summary.end(), ','), 19);
  EXPECT_TRUE(summary.ends_with(",10.0.0.20")) << summary;
}

TEST_F(DnsDecoder, UnnamedClassesTypesAndRawData) {
  // Class 5 in the question, class 0 and type 16 (text) in the answer.
  auto info =
      SweepAndDecode(DnsFrame(Hex("1234 8180 0001 0001 0000 0000 01610000630005"
                                  "c00c 0010 0000 0000003c 0003 026869")));
  ExpectItem(ItemAt(info.get(), {"DNS - ", "Questions 1", "Type"}), 57, 2, "99 (0x0063)");
  ExpectItem(ItemAt(info.get(), {"DNS - ", "Questions 1", "Class"}), 59, 2, "5 (0x0005)");
  ExpectItem(ItemAt(info.get(), {"DNS - ", "Answers 1", "Type"}), 63, 2, "16 (0x0010)", "text strings");
  ExpectItem(ItemAt(info.get(), {"DNS - ", "Answers 1", "Class"}), 65, 2, "0 (0x0000)");
  ExpectItem(ItemAt(info.get(), {"DNS - ", "Answers 1", "RDATA"}), 73, 3, "\x02hi");
  EXPECT_EQ(SummaryOf(Dns(info.get())), "Response: a = \x02hi");
}

TEST_F(DnsDecoder, CutByTheCaptureOrByLyingLengths) {
  // The question's name cut after "www" and three bytes of "example".
  auto cut = Decode(m_.get(), DnsFrame(kQuery), kUdpPayload + 12 + 8);
  const Node* dns = Dns(cut.get());
  ExpectItem(ItemAt(cut.get(), {"DNS - ", "Questions 1", "Domain Name"}), 54, 8, "www.exa");
  EXPECT_EQ(ChildNames(ItemAt(cut.get(), {"DNS - ", "Questions 1"})), Names{"Domain Name"});
  EXPECT_EQ(ChildNames(dns).back(), "Truncated");
  EXPECT_EQ(dns->length, 20u);

  // An answer whose data length runs past the datagram: its group stops at
  // the captured end and the data field is marked as cut.
  Bytes lying = Hex("1234 8180 0001 0001 0000 0000" + kQuestion + "c00c 0001 0001 0000003c 0100 c0000201");
  auto lyingInfo = SweepAndDecode(DnsFrame(lying));
  const Node* answer = ItemAt(lyingInfo.get(), {"DNS - ", "Answers 1"});
  ExpectItem(answer, 75, 16, "");
  EXPECT_EQ(ChildNames(answer).back(), "Data Length");
  EXPECT_EQ(ChildNames(Dns(lyingInfo.get())).back(), "Truncated");
}

TEST_F(DnsDecoder, RealCaptures) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/dns_udp_2.pcap");
  ASSERT_EQ(frames.size(), 2u);
  auto query = DecodeFrame(frames[0]);
  EXPECT_EQ(SummaryOf(Dns(query.get())), "Query: www.tcpdump.org ");
  EXPECT_EQ(ValueOf(ItemAt(query.get(), {"DNS - ", "Additional 1", "Type"})), "41 (0x0029)");
  // The response is cut inside its second answer.
  auto response = DecodeFrame(frames[1]);
  EXPECT_EQ(SummaryOf(Dns(response.get())), "Response: www.tcpdump.org = 192.139.46.66");
  EXPECT_EQ(ChildNames(Dns(response.get())).back(), "Truncated");

  // A question whose name points at itself.
  auto zlip = DecodeFrame(ReadPcapFrames("tcpdump/dns-zlip-2.pcap")[0]);
  EXPECT_EQ(CommentOf(ItemAt(zlip.get(), {"DNS - ", "Questions 1", "Domain Name"})),
            "Compression pointer does not point back: the name ends here");

  for (const char* name :
       {"tcpdump/dns_udp_2.pcap", "tcpdump/dns-zlip-2.pcap", "tcpdump/dns-badvers.pcap", "tcpdump/dns-uri.pcap"})
    SweepCapture(m_.get(), name);
}

}  // namespace
}  // namespace vel::test
