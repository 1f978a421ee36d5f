#include "test_support.h"

namespace vel::test {
namespace {

// TLS is recognised by port 443 on either side; the records start at kTcpPayload (54).
constexpr uint16_t kClient = 1025, kHttps = 443;
Bytes ToServer(std::string_view records) { return TcpFrame(kClient, kHttps, Hex(records)); }
Bytes FromServer(std::string_view records) { return TcpFrame(kHttps, kClient, Hex(records)); }

// Random: time 0x5F5E1000 (2020-09-13 12:26:40 UTC), then 28 bytes 00..1B.
constexpr std::string_view kRandom =
    "5F5E1000 00010203 04050607 08090A0B 0C0D0E0F 10111213 14151617 18191A1B";

// Client Hello offering 0x002F and 0x0035, the null compression method, and
// two extensions (renegotiation info, EC point formats).
const std::string kClientHelloRecord = std::string("16 0301 003C  01 000038 0303") + std::string(kRandom) +
                                       "00  0004 002F 0035  01 00  000B FF01000100 000B00020100";
const Bytes kClientHello = ToServer(kClientHelloRecord);

// Server Hello (TLS 1.0, a 32-byte session id, 0x002F, no extensions), then a
// Certificate message in a record of its own.
const Bytes kServerHelloCertificate = FromServer(
    "16 0301 004A  02 000046 0301 5F5E1001 A0A1A2A3 A4A5A6A7 A8A9AAAB ACADAEAF B0B1B2B3 B4B5B6B7 B8B9BABB"
    " 20 E0E1E2E3E4E5E6E7E8E9EAEBECEDEEEF F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF  002F 00"
    " 16 0301 001A  0B 000016 000013 000010 300E020101020102020103020104 0500");

// A ChangeCipherSpec record, then the Finished message encrypted (its first bytes
// read as an unnamed handshake type 0x8A of length 0x3F21C4).
const Bytes kChangeCipherSpecFinished = ToServer(
    "14 0301 0001 01"
    " 16 0301 0030 8A3F21C4 5D6E7F80 91A2B3C4 D5E6F708 192A3B4C 5D6E7F80 91A2B3C4 D5E6F708 192A3B4C 5D6E7F80"
    " 91A2B3C4 D5E6F708");

const Bytes kFatalAlert = FromServer("15 0301 0002 02 28");

// Two application data records, of 64 and 16 bytes.
const Bytes kApplicationData = FromServer(
    "17 0303 0040 000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F"
    "202122232425262728292A2B2C2D2E2F303132333435363738393A3B3C3D3E3F"
    " 17 0303 0010 F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF");

const Node* Ssl(IVELPacketsDecodingInfo* info) { return FindGroup(info, "SSL - Secure Sockets Layer"); }
const Node* Record(IVELPacketsDecodingInfo* info, size_t i) { return Child(Ssl(info), i); }

using SSLDecoder = DecoderTest;

TEST_F(SSLDecoder, ClientHelloShowsTheHelloUpToTheCompressionMethods) {
  TimeZone utc("UTC");
  auto info = SweepAndDecode(kClientHello);
  const Node* ssl = Ssl(info.get());
  EXPECT_EQ(ChildNames(ssl), Names{"TLSv1 Record Layer"});
  EXPECT_EQ(SummaryOf(ssl), "Handshake Protocol");
  ExpectItem(ssl, kTcpPayload, 0, "");  // the layer sets no length of its own

  const Node* record = Record(info.get(), 0);
  ExpectItem(record, 54, 65, "");
  EXPECT_TRUE(record->isGroup);
  ExpectFields(record, {{"Content Type", 54, 1, "22 (0x16)", "Handshake Protocol"},
                        {"Version", 55, 2, "769 (0x0301)", "TLS 1.0"},
                        {"Length", 57, 2, "60 (0x003C)"},
                        {"Handshake Protocol", 59, 60, ""}});
  const Node* hello = Child(record, 3);
  ExpectFields(hello, {{"Handshake Type", 59, 1, "1 (0x01)", "Client Hello"},
                       {"Length", 60, 3, "000038", "56"},
                       {"Version", 63, 2, "771 (0x0303)", "TLS 1.2"},
                       {"Random", 65, 32, ""},
                       {"Session ID Length", 97, 1, "0 (0x00)"},
                       {"Cipher Suites Length", 98, 2, "4 (0x0004)"},
                       {"Handshake Protocol", 100, 4, ""},
                       {"Compression Methods Length", 104, 1, "1 (0x01)"}});
  ExpectFields(Child(hello, 3), {{"GMT Unix Time", 65, 4, "1600000000 (0x5F5E1000)", "2020-09-13 12:26:40"},
                                 {"Random Bytes", 69, 28, "000102030405060708090A0B0C0D0E0F101112131415161718191A1B"}});
  ExpectFields(Child(hello, 6), {{"Cipher Suites", 100, 2, "47 (0x002F)", "TLS_RSA_WITH_AES_128_CBC_SHA"},
                                 {"Cipher Suites", 102, 2, "53 (0x0035)", "TLS_RSA_WITH_AES_256_CBC_SHA"}});
}

TEST_F(SSLDecoder, ServerHelloAndCertificateInOneSegment) {
  TimeZone utc("UTC");
  auto info = SweepAndDecode(kServerHelloCertificate);
  EXPECT_EQ(ChildNames(Ssl(info.get())), (Names{"TLSv1 Record Layer", "TLSv1 Record Layer"}));
  EXPECT_EQ(SummaryOf(Ssl(info.get())), "Handshake Protocol, Handshake Protocol");

  const Node* serverHello = ItemAt(info.get(), {"SSL - ", "TLSv1 Record Layer", "Handshake Protocol"});
  ExpectItem(serverHello, 59, 74, "");
  ExpectFields(serverHello, {{"Handshake Type", 59, 1, "2 (0x02)", "Server Hello"},
                             {"Length", 60, 3, "000046", "70"},
                             {"Version", 63, 2, "769 (0x0301)", "TLS 1.0"},
                             {"Random", 65, 32, ""},
                             {"Session ID Length", 97, 1, "32 (0x20)"},
                             {"Session ID", 98, 32, "E0E1E2E3E4E5E6E7E8E9EAEBECEDEEEFF0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF"},
                             {"Cipher Suites", 130, 2, "47 (0x002F)", "TLS_RSA_WITH_AES_128_CBC_SHA"}});
  EXPECT_EQ(CommentOf(FindItem(serverHello, "GMT Unix Time")), "2020-09-13 12:26:41");

  // The compression method is passed over, so the next record starts right after it.
  const Node* certificate = Record(info.get(), 1);
  ExpectItem(certificate, 133, 31, "");
  EXPECT_EQ(ValueOf(Child(certificate, 2)), "26 (0x001A)");
  ExpectFields(Child(certificate, 3),
               {{"Handshake Type", 138, 1, "11 (0x0B)", "Certificate"}, {"Length", 139, 3, "000016", "22"}});
}

TEST_F(SSLDecoder, ChangeCipherSpecThenEncryptedHandshake) {
  auto info = SweepAndDecode(kChangeCipherSpecFinished);
  EXPECT_EQ(SummaryOf(Ssl(info.get())), "Change Cipher Spec Protocol, Handshake Protocol");
  const Node* changeCipherSpec = Record(info.get(), 0);
  ExpectItem(changeCipherSpec, 54, 6, "");
  ExpectFields(changeCipherSpec, {{"Content Type", 54, 1, "20 (0x14)", "Change Cipher Spec Protocol"},
                                  {"Version", 55, 2, "769 (0x0301)", "TLS 1.0"},
                                  {"Length", 57, 2, "1 (0x0001)"},
                                  {"Change Cipher Spec Message", 59, 1, "1 (0x01)"}});
  const Node* finished = Record(info.get(), 1);
  ExpectItem(finished, 60, 53, "");
  // The encrypted bytes are read as a message header; the group stops at the end of the capture.
  const Node* message = Child(finished, 3);
  ExpectItem(message, 65, 48, "");
  ExpectFields(message, {{"Handshake Type", 65, 1, "138 (0x8A)"}, {"Length", 66, 3, "3F21C4", "4137412"}});
}

TEST_F(SSLDecoder, AlertNamesLevelAndDescription) {
  auto info = SweepAndDecode(kFatalAlert);
  EXPECT_EQ(SummaryOf(Ssl(info.get())), "Alert protocol");
  ExpectFields(Record(info.get(), 0), {{"Content Type", 54, 1, "21 (0x15)", "Alert protocol"},
                                       {"Version", 55, 2, "769 (0x0301)", "TLS 1.0"},
                                       {"Length", 57, 2, "2 (0x0002)"},
                                       {"Alert Level", 59, 1, "2 (0x02)", "Fatal"},
                                       {"Alert Description ", 60, 1, "40 (0x28)", "Handshake failure"}});

  // Unknown codes have no names; the record version is named independently.
  auto odd = SweepAndDecode(FromServer("15 FEFD 0002 03 29"));
  ExpectFields(Record(odd.get(), 0), {{"Content Type", 54, 1, "21 (0x15)", "Alert protocol"},
                                      {"Version", 55, 2, "65277 (0xFEFD)", "DTLS 1.2"},
                                      {"Length", 57, 2, "2 (0x0002)"},
                                      {"Alert Level", 59, 1, "3 (0x03)"},
                                      {"Alert Description ", 60, 1, "41 (0x29)"}});
}

TEST_F(SSLDecoder, ApplicationDataAsHexCutAfterThirtyTwoBytes) {
  auto info = SweepAndDecode(kApplicationData);
  EXPECT_EQ(SummaryOf(Ssl(info.get())), "Application Data Protocol, Application Data Protocol");
  ExpectFields(Record(info.get(), 0), {{"Content Type", 54, 1, "23 (0x17)", "Application Data Protocol"},
                                       {"Version", 55, 2, "771 (0x0303)", "TLS 1.2"},
                                       {"Length", 57, 2, "64 (0x0040)"},
                                       {"Encrypted Application Data", 59, 64,
                                        "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F..."}});
  ExpectItem(Record(info.get(), 1), 123, 21, "");
  ExpectItem(Child(Record(info.get(), 1), 3), 128, 16, "F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF");
}

// Summary names are joined as they come: an unnamed type adds nothing while
// the summary is empty, and an empty name after it.
TEST_F(SSLDecoder, SummaryJoinsEveryContentTypeName) {
  auto info =
      SweepAndDecode(FromServer("63 0301 0000  15 0301 0002 0100  18 0301 0000  01 0301 0000  15 0301 0002 020A"));
  EXPECT_EQ(ChildNames(Ssl(info.get())).size(), 5u);
  EXPECT_EQ(SummaryOf(Ssl(info.get())), "Alert protocol, Heartbeat Protocol, , Alert protocol");
  EXPECT_EQ(ChildNames(Record(info.get(), 0)), (Names{"Content Type", "Version", "Length"}));
  EXPECT_EQ(CommentOf(Child(Record(info.get(), 1), 4)), "Close notify");
  EXPECT_EQ(CommentOf(Child(Record(info.get(), 2), 0)), "Heartbeat Protocol");
  EXPECT_EQ(CommentOf(Child(Record(info.get(), 4), 4)), "Unexpected message");
}

// Hello extensions are not shown, so the next record header is read where
// the Client Hello's items ended: at the extensions' length.
TEST_F(SSLDecoder, NextHeaderIsReadWhereTheItemsEnded) {
  auto info = SweepAndDecode(ToServer(kClientHelloRecord + " 15 0301 0002 02 28"));
  EXPECT_EQ(SummaryOf(Ssl(info.get())), "Handshake Protocol, ");
  const Node* misread = Record(info.get(), 1);
  ExpectItem(misread, 106, 261, "");
  ExpectFields(
      misread,
      {{"Content Type", 106, 1, "0 (0x00)"}, {"Version", 107, 2, "3071 (0x0BFF)"}, {"Length", 109, 2, "256 (0x0100)"}});
  // The counted lengths (65 + 261) pass the 72 captured bytes: the walk ends there.
  EXPECT_EQ(ChildNames(Ssl(info.get())).size(), 2u);
}

TEST_F(SSLDecoder, CipherSuiteListIsShownOnlyWhenItFitsTheCapture) {
  // Unknown and named suites, no compression method, and a handshake length
  // beyond the record: the message's group stops at the end of the capture.
  auto offered = SweepAndDecode(ToServer(std::string("16 0301 0032  01 FFFFFF 0303") + std::string(kRandom) +
                                         "00  0008 1301 C02F 00FF 0A0A  00"));
  const Node* hello = ItemAt(offered.get(), {"SSL - ", "TLSv1 Record Layer", "Handshake Protocol"});
  ExpectItem(hello, 59, 50, "");
  EXPECT_EQ(ValueOf(Child(hello, 1)), "FFFFFF");
  EXPECT_EQ(CommentOf(Child(hello, 1)), "16777215");
  ExpectFields(Child(hello, 6), {{"Cipher Suites", 100, 2, "4865 (0x1301)"},
                                 {"Cipher Suites", 102, 2, "49199 (0xC02F)", "TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256"},
                                 {"Cipher Suites", 104, 2, "255 (0x00FF)", "TLS_EMPTY_RENEGOTIATION_INFO_SCSV"},
                                 {"Cipher Suites", 106, 2, "2570 (0x0A0A)"}});
  ExpectItem(Child(hello, 7), 108, 1, "0 (0x00)");

  // An empty list gets no group.
  auto empty =
      SweepAndDecode(ToServer(std::string("16 0301 002B  01 000027 0303") + std::string(kRandom) + "00  0000  01 00"));
  hello = ItemAt(empty.get(), {"SSL - ", "TLSv1 Record Layer", "Handshake Protocol"});
  EXPECT_EQ(ChildNames(hello), (Names{"Handshake Type", "Length", "Version", "Random", "Session ID Length",
                                      "Cipher Suites Length", "Compression Methods Length"}));
  ExpectItem(Child(hello, 6), 100, 1, "1 (0x01)");

  // A list longer than the capture gets none either, and the compression
  // methods length is read where the list starts.
  auto cut = DecodeFrame(
      ToServer(std::string("16 0301 0200  01 0001FC 0303") + std::string(kRandom) + "00  0100 002F 0035 000A"));
  hello = ItemAt(cut.get(), {"SSL - ", "TLSv1 Record Layer", "Handshake Protocol"});
  EXPECT_EQ(ChildNames(hello).back(), "Compression Methods Length");
  ExpectItem(Child(hello, 6), 100, 1, "0 (0x00)");
  EXPECT_EQ(ChildNames(Ssl(cut.get())), Names{"TLSv1 Record Layer"});
  ExpectItem(Record(cut.get(), 0), 54, 517, "");
}

// Lengths of 0 and 65535 and records cut by the capture end the walk cleanly.
TEST_F(SSLDecoder, LyingAndCutRecords) {
  auto zero = SweepAndDecode(FromServer("17 0303 0000  15 0303 0002 01 00"));
  EXPECT_EQ(SummaryOf(Ssl(zero.get())), "Application Data Protocol, Alert protocol");
  ExpectItem(Record(zero.get(), 0), 54, 5, "");
  ExpectItem(Child(Record(zero.get(), 0), 3), 59, 0, "");
  ExpectItem(Child(Record(zero.get(), 1), 3), 64, 1, "1 (0x01)", "Warning");

  // The record keeps its stated length; the data item needs more than was captured.
  auto longest = SweepAndDecode(FromServer("17 0303 FFFF 0102030405060708"));
  const Node* ssl = Ssl(longest.get());
  EXPECT_EQ(ChildNames(ssl), (Names{"TLSv1 Record Layer", "Truncated"}));
  EXPECT_EQ(SummaryOf(ssl), "Application Data Protocol");
  ExpectItem(Record(longest.get(), 0), 54, 65540, "");
  ExpectItem(Child(ssl, 1), 59, 8, "", "Frame ends here: 8 of the 65535 bytes this field needs were captured");

  // A second record header cut after two bytes.
  auto cutHeader = SweepAndDecode(FromServer("15 0301 0002 02 28  17 03"));
  EXPECT_EQ(ChildNames(Ssl(cutHeader.get())), (Names{"TLSv1 Record Layer", "Truncated"}));
  EXPECT_EQ(SummaryOf(Ssl(cutHeader.get())), "Alert protocol");
}

}  // namespace
}  // namespace vel::test
