#include "smb_frames.h"
#include "test_support.h"

namespace vel::test {
namespace {

const Bytes kNegotiateRequest = SmbMessage(
    0x72, kSmbRequest, 0xC801,
    Concat({Hex("00 2f00 02"), Cstr("PC NETWORK PROGRAM 1.0"), {2}, Cstr("LANMAN1.0"), {2}, Cstr("NT LM 0.12")}));
// NT LM 0.12 with extended security: system time 2010-01-01 00:00:00 and 1234567 ticks, time zone -120.
const Bytes kNegotiateResponse = SmbMessage(0x72, kSmbResponse, kNtUnicode,
                                            Hex("11 0200 03 3200 0100 04110000 00000100 00000000 fdf30180"
                                                "87d6805c758aca01 88ff 00 1800 00112233445566778899aabbccddeeff"
                                                "6006062b06010505"));
const Bytes kSessionSetupRequest =
    SmbMessage(0x73, kSmbRequest, kNtUnicode,
               Concat({Hex("0c ff 00 0000 0411 3200 0000 00000000 0800 00000000 d4000080 2500 6006062b06010505 00"),
                       Utf16z("Unix"), Utf16z("Samba"), Utf16z("WG")}));
// Without the Unicode capability: no primary domain; a blob length of 0 passes one byte.
const Bytes kSessionSetupRequestPlain =
    SmbMessage(0x73, kSmbRequest, kDosAscii,
               Concat({Hex("0c ff 00 0000 0411 3200 0000 00000000 0000 00000000 50000000 1700 00"), Utf16z("Unix"),
                       Utf16z("Samba")}));
const Bytes kSessionSetupResponse = SmbMessage(
    0x73, kSmbResponse, kNtUnicode,
    Concat({Hex("04 ff 00 0000 0100 0600 2b00 a10430 02a000"), Cstr("Windows 5.1"), Cstr("Windows 2000 LAN Manager")}),
    0xC0000016);
const Bytes kTreeConnectRequest =
    SmbMessage(0x75, kSmbRequest, kNtUnicode,
               Concat({Hex("04 ff 00 0000 0800 0100 1d00 00"), Utf16z("\\\\SRV\\IPC$"), Cstr("?????")}));
const Bytes kTreeConnectResponse =
    SmbMessage(0x75, kSmbResponse, kDosAscii, Concat({Hex("07 ff 00 0000 0900 ff011f00 00000000 0400"), Cstr("IPC")}));
const Bytes kReadAndXRequest =
    SmbMessage(0x2E, kSmbRequest, kNtUnicode, Hex("0c ff 00 0000 0040 00000000 0004 0004 ffffffff 0000 00000000 0000"));
const Bytes kReadAndXResponse =
    SmbMessage(0x2E, kSmbResponse, kNtUnicode,
               Concat({Hex("0c ff 00 0000 ffff 0000 0000 0500 3c00 0000 0000000000000000 0600 00"), Ascii("hello")}));
const Bytes kWriteAndXRequest = SmbMessage(
    0x2F, kSmbRequest, kNtUnicode,
    Concat({Hex("0e ff 00 0000 0040 00000000 ffffffff 0100 0500 0000 0500 4000 00000000 0600 00"), Ascii("hello")}));
const Bytes kWriteAndXResponse =
    SmbMessage(0x2F, kSmbResponse, kNtUnicode, Hex("06 ff 00 0000 0500 ffff 0000 0000 0000"));
// ERRDOS / ERRbadfid.
const Bytes kCloseDosError = SmbMessage(0x04, kSmbResponse, kDosAscii, Hex("00 0000"), 0x00060001);
const Bytes kCloseRequest = SmbMessage(0x04, kSmbRequest, kNtUnicode, Hex("03 0040 ffffffff 0000"));
const Bytes kFlushRequest = SmbMessage(0x05, kSmbRequest, kNtUnicode, Hex("01 0040 0000"));
const Bytes kEchoRequest = SmbMessage(0x2B, kSmbRequest, kNtUnicode, Hex("01 0100 0400 70696e67"));
const Bytes kEchoResponse = SmbMessage(0x2B, kSmbResponse, kNtUnicode, Hex("01 0100 0400 70696e67"));
const Bytes kLogoffRequest = SmbMessage(0x74, kSmbRequest, kNtUnicode, Hex("02 ff 00 0000 0000"));
const Bytes kTreeDisconnectResponse = SmbMessage(0x71, kSmbResponse, kNtUnicode, Hex("00 0000"));
// A remote API call on the LANMAN pipe: three setup words, the name, then 33 bytes of data.
const Bytes kPipeTransaction = SmbMessage(
    0x25, 0x00, 0x0000,
    Concat({Hex("11 0000 2100 0000 0000 00 00 0000 e8030000 0000 0000 0000 2100 5200 03 00 010001000200 2e00"),
            Cstr("\\PIPE\\LANMAN"), Bytes(33, 0x5A)}));
const Bytes kTransResponse = SmbMessage(0x25, kSmbResponse, kNtUnicode,
                                        Hex("0a 0000 0400 0000 0000 3800 0000 0400 3800 0000 00 00 0500 00 01020304"));
// A DFS referral request: its parameters broken down after three bytes of padding.
const Bytes kDfsReferralRequest = SmbMessage(
    0x32, kSmbRequest, kNtUnicode,
    Concat({Hex("0f 0c00 0000 0000 0010 00 00 0000 00000000 0000 0c00 4400 0000 0000 01 00 1000 0f00 000000 0300"),
            Utf16z("\\srv")}));
const Bytes kNtTransResponse = SmbMessage(0xA0, kSmbResponse, kNtUnicode, Concat({{18}, Bytes(36, 0), Hex("0000")}));
// An SMB2 header on the SMB port.
const Bytes kSmb2 = TcpFrame(1025, 445, Hex("00000044 fe534d42 4000 0000 00000000 0000 0000 00000000"));

using SMBDecoder = DecoderTest;

TEST_F(SMBDecoder, HeaderFieldsAreLittleEndianWithFlagsBrokenDown) {
  auto info = SweepAndDecode(kNegotiateRequest);
  const Node* smb = SmbLayer(info.get());
  ASSERT_NE(smb, nullptr);
  ExpectItem(smb, kSmbHeader, 82, "");
  EXPECT_EQ(SummaryOf(smb), "Negotiate Protocol Request");
  EXPECT_EQ(GroupNames(info.get()).back(), "SMB - Server Message Block");
  EXPECT_EQ(SummaryOf(FindGroup(info.get(), "NBSS - ")), "");
  ExpectFields(smb, {{"Protocol ID", kSmbHeader, 4, "SMB"},
                     {"Command", kSmbHeader + 4, 1, "114 (0x72)", "Negotiate"},
                     {"Status", kSmbHeader + 5, 4, "0 (0x00000000)", "NT_SUCCESS"},
                     {"Flags", kSmbHeader + 9, 1, "0001 1000"},
                     {"Flags2", kSmbHeader + 10, 2, "1100 1000 0000 0001"},
                     {"Process ID High", kSmbHeader + 12, 2, "0 (0x0000)"},
                     {"Signature", kSmbHeader + 14, 8, "0123456789abcdef"},
                     {"Reserved", kSmbHeader + 22, 2, "0 (0x0000)"},
                     {"Tree ID", kSmbHeader + 24, 2, "2048 (0x0800)"},
                     {"Process ID", kSmbHeader + 26, 2, "65534 (0xFFFE)"},
                     {"User ID", kSmbHeader + 28, 2, "100 (0x0064)"},
                     {"Multiplex ID", kSmbHeader + 30, 2, "2 (0x0002)"},
                     {"Negotiate Protocol Request", kSmbBody, 50, ""}});
  ExpectFields(FindItem(smb, "Flags"),
               {{"Type", kSmbHeader + 9, 1, "0... ....", "Request"},
                {"Notify", kSmbHeader + 9, 1, ".0.. ....", "Notify client only on open"},
                {"OpLock", kSmbHeader + 9, 1, "..0. ....", "OpLock not requested/granted"},
                {"Canonicalized Pathnames", kSmbHeader + 9, 1, "...1 ....", "Pathnames are canonicalized"},
                {"Case Sensitive", kSmbHeader + 9, 1, ".... 1...", "Path names are caseless"},
                {"Receive Buffer Posted", kSmbHeader + 9, 1, ".... ..0.", "Receive buffer has not been posted"},
                {"Lock and Read", kSmbHeader + 9, 1, ".... ...0", "Lock_Read, Write_Unlock are not supported"}});
  const Node* flags2 = FindItem(smb, "Flags2");
  ASSERT_EQ(ChildNames(flags2).size(), 12u);
  EXPECT_EQ(ValueOf(Child(flags2, 0)), "1... .... .... ....");
  EXPECT_EQ(CommentOf(Child(flags2, 0)), "Strings are Unicode");
  EXPECT_EQ(CommentOf(Child(flags2, 1)), "Error codes are NT error codes");
  EXPECT_EQ(CommentOf(Child(flags2, 3)), "Don not resolve pathnames with Dfs");
  EXPECT_EQ(CommentOf(Child(flags2, 4)), "Extended security negotiation is supported");
  EXPECT_EQ(ChildNames(flags2).back(), "Long Names Allowed");
  EXPECT_EQ(CommentOf(Child(flags2, 11)), "Long file names are allowed in the response");
  EXPECT_EQ(CommentOf(Child(flags2, 10)), "Extended attributes are not supported");
}

TEST_F(SMBDecoder, StatusIsNtOrDosByTheFlag) {
  auto failure = SweepAndDecode(kSessionSetupResponse);
  const Node* status = FindItem(SmbLayer(failure.get()), "Status");
  ExpectItem(status, kSmbHeader + 5, 4, "3221225494 (0xC0000016)", "NT_FAILURE");
  EXPECT_TRUE(status->Children().empty());

  auto dos = SweepAndDecode(kCloseDosError);
  status = FindItem(SmbLayer(dos.get()), "Status");
  ExpectItem(status, kSmbHeader + 5, 4, "393217 (0x00060001)");
  ExpectFields(status, {{"Error Class", kSmbHeader + 5, 1, "1 (0x01)"},
                        {"Reserved", kSmbHeader + 6, 1, "0 (0x00)"},
                        {"Error Code", kSmbHeader + 7, 2, "6 (0x0006)"}});
  EXPECT_EQ(SummaryOf(SmbLayer(dos.get())), "Close Response");
  ExpectFields(SmbCommand(dos.get()),
               {{"Word Count", kSmbBody, 1, "0 (0x00)"}, {"Bytes Count", kSmbBody + 1, 2, "0 (0x0000)"}});
}

TEST_F(SMBDecoder, NegotiateRequestListsItsDialects) {
  auto info = DecodeFrame(kNegotiateRequest);
  const Node* body = SmbCommand(info.get());
  EXPECT_EQ(ChildNames(body), (Names{"Word Count", "Bytes Count", "Dialect 1", "Dialect 2", "Dialect 3"}));
  ExpectItem(FindItem(body, "Bytes Count"), kSmbBody + 1, 2, "47 (0x002F)");
  ExpectItem(FindItem(body, "Dialect 1"), kSmbBody + 3, 24, "");
  ExpectItem(FindItem(body, "Dialect 2"), kSmbBody + 27, 11, "");
  ExpectFields(FindItem(body, "Dialect 3"),
               {{"Buffer Format", kSmbBody + 38, 1, "2 (0x02)"}, {"Name", kSmbBody + 39, 11, "NT LM 0.12"}});
  EXPECT_EQ(ValueOf(Child(FindItem(body, "Dialect 1"), 1)), "PC NETWORK PROGRAM 1.0");
}

TEST_F(SMBDecoder, NegotiateResponseShowsTimeZoneGuidAndBlob) {
  auto info = SweepAndDecode(kNegotiateResponse);
  EXPECT_EQ(SummaryOf(SmbLayer(info.get())), "Negotiate Protocol Response");
  const Node* body = SmbCommand(info.get());
  ExpectFields(body, {{"Word Count", kSmbBody, 1, "17 (0x11)"},
                      {"Selected Dialect Index", kSmbBody + 1, 2, "2 (0x0002)"},
                      {"Security Mode", kSmbBody + 3, 1, "0000 0011"},
                      {"Max Mpx Count", kSmbBody + 4, 2, "50 (0x0032)"},
                      {"Max VCs", kSmbBody + 6, 2, "1 (0x0001)"},
                      {"Max Buffer Size", kSmbBody + 8, 4, "4356 (0x00001104)"},
                      {"Max Raw Buffer", kSmbBody + 12, 4, "65536 (0x00010000)"},
                      {"Session Key", kSmbBody + 16, 4, "0 (0x00000000)"},
                      {"Capabilities", kSmbBody + 20, 4, "1000 0000 0000 0001 1111 0011 1111 1101"},
                      {"System Time", kSmbBody + 24, 8, "2010-01-01 00:00:00.1234567"},
                      {"Server Time Zone", kSmbBody + 32, 2, "-120", "min from UTC"},
                      {"Key Length", kSmbBody + 34, 1, "0 (0x00)"},
                      {"Bytes Count", kSmbBody + 35, 2, "24 (0x0018)"},
                      {"Server GUID", kSmbBody + 37, 16, "33221100-5544-7766-8899-aabbccddeeff"},
                      {"Security Blob", kSmbBody + 53, 8, "6006062B06010505"}});
  EXPECT_EQ(body->length, 61u);
  ExpectFields(FindItem(body, "Security Mode"), {{"Security Level", kSmbBody + 3, 1, ".... ...1", "User Level"},
                                                 {"Password", kSmbBody + 3, 1, ".... ..1.", "Challenge Response"},
                                                 {"Security Signatures Enabled", kSmbBody + 3, 1, ".... .0..", "No"},
                                                 {"Security Signatures Required", kSmbBody + 3, 1, ".... 0...", "No"}});
  const Node* capabilities = FindItem(body, "Capabilities");
  ASSERT_EQ(capabilities->Children().size(), 19u);
  ExpectItem(Child(capabilities, 0), kSmbBody + 20, 4, ".... .... .... .... .... .... .... ...1", "Yes");
  EXPECT_EQ(ChildNames(capabilities)[1], "Read Mpx and Write Mpx are supported");
  EXPECT_EQ(CommentOf(Child(capabilities, 1)), "No");
  EXPECT_EQ(ChildNames(capabilities)[10], "Dfs");
  EXPECT_EQ(CommentOf(Child(capabilities, 18)), "Yes");
  EXPECT_EQ(ChildNames(capabilities)[18], "Extended security exchanges are supported");
}

TEST_F(SMBDecoder, SessionSetupRequestTextsAreUtf16UnderTheSmbGroup) {
  auto info = SweepAndDecode(kSessionSetupRequest);
  const Node* smb = SmbLayer(info.get());
  EXPECT_EQ(SummaryOf(smb), "Session Setup AndX Request");
  const Node* body = SmbCommand(info.get());
  EXPECT_EQ(ChildNames(body), (Names{"Word Count", "AndXCommand", "Reserved", "AndXOffset", "Max Buffer Size",
                                     "Max Mpx Count", "VC Number", "Session Key", "Security Blob Length", "Reserved",
                                     "Capabilities", "Bytes Count", "Security Blob"}));
  ExpectItem(FindItem(body, "AndXCommand"), kSmbBody + 1, 1, "255 (0xFF)");
  ExpectItem(FindItem(body, "Security Blob Length"), kSmbBody + 15, 2, "8 (0x0008)");
  ExpectItem(FindItem(body, "Security Blob"), kSmbBody + 27, 8, "6006062B06010505");
  // The zero byte after the blob is skipped as alignment; the primary domain leaves the cursor.
  const std::vector<std::string> names = ChildNames(smb);
  ASSERT_EQ(names.size(), 16u);
  EXPECT_EQ(std::vector<std::string>(names.begin() + 13, names.end()),
            (Names{"Native OS", "Native LAN Manager", "Primary Domain"}));
  ExpectItem(Child(smb, 13), kSmbBody + 36, 10, "Unix");
  ExpectItem(Child(smb, 14), kSmbBody + 46, 12, "Samba");
  ExpectItem(Child(smb, 15), kSmbBody + 58, 6, "WG");
  EXPECT_EQ(body->length, 58u);
  EXPECT_EQ(smb->length, 90u);

  auto plain = SweepAndDecode(kSessionSetupRequestPlain);
  smb = SmbLayer(plain.get());
  EXPECT_EQ(ChildNames(smb).size(), 15u);
  ExpectItem(FindItem(smb, "Native OS"), kSmbBody + 28, 10, "Unix");
  ExpectItem(FindItem(smb, "Native LAN Manager"), kSmbBody + 38, 12, "Samba");
  EXPECT_EQ(FindItemOrNull(smb, "Security Blob"), nullptr);
}

TEST_F(SMBDecoder, SessionSetupResponseShowsGuestActionAnd8BitTexts) {
  auto info = DecodeFrame(kSessionSetupResponse);
  const Node* smb = SmbLayer(info.get());
  EXPECT_EQ(SummaryOf(smb), "Session Setup AndX Response");
  const Node* body = SmbCommand(info.get());
  ExpectFields(body, {{"Word Count", kSmbBody, 1, "4 (0x04)"},
                      {"AndXCommand", kSmbBody + 1, 1, "255 (0xFF)", "No further commands"},
                      {"Reserved", kSmbBody + 2, 1, "0 (0x00)"},
                      {"AndXOffset", kSmbBody + 3, 2, "0 (0x0000)"},
                      {"Action", kSmbBody + 5, 2, "0000 0000 0000 0001"},
                      {"Security Blob Length", kSmbBody + 7, 2, "6 (0x0006)"},
                      {"Bytes Count", kSmbBody + 9, 2, "43 (0x002B)"},
                      {"Security Blob", kSmbBody + 11, 6, "A1043002A000"}});
  ExpectFields(FindItem(body, "Action"), {{"Logged in as GUEST", kSmbBody + 5, 2, ".... .... .... ...1", "Yes"}});
  ExpectItem(FindItem(smb, "Native OS"), kSmbBody + 17, 12, "Windows 5.1");
  ExpectItem(FindItem(smb, "Native LAN Manager"), kSmbBody + 29, 25, "Windows 2000 LAN Manager");
  EXPECT_EQ(body->length, 54u);
}

TEST_F(SMBDecoder, TreeConnectRequestAndResponse) {
  auto request = SweepAndDecode(kTreeConnectRequest);
  EXPECT_EQ(SummaryOf(SmbLayer(request.get())), "Tree Connect AndX Request");
  const Node* body = SmbCommand(request.get());
  EXPECT_EQ(ChildNames(body), (Names{"Word Count", "AndXCommand", "Reserved", "AndXOffset", "Flags", "Password Length",
                                     "Bytes Count", "Password", "Path", "Service"}));
  ExpectFields(FindItem(body, "Flags"), {{"Disconnect TID", kSmbBody + 5, 2, ".... .... .... ...0", "No"},
                                         {"Extended Signature", kSmbBody + 5, 2, ".... .... .... .0..", "No"},
                                         {"Extended Response", kSmbBody + 5, 2, ".... .... .... 1...", "Yes"}});
  ExpectItem(FindItem(body, "Password"), kSmbBody + 11, 1, "");
  ExpectItem(FindItem(body, "Path"), kSmbBody + 12, 22, "\\\\SRV\\IPC$");
  ExpectItem(FindItem(body, "Service"), kSmbBody + 34, 6, "?????");
  EXPECT_EQ(body->length, 40u);

  auto response = SweepAndDecode(kTreeConnectResponse);
  EXPECT_EQ(SummaryOf(SmbLayer(response.get())), "Tree Connect AndX Response");
  body = SmbCommand(response.get());
  EXPECT_EQ(ChildNames(body),
            (Names{"Word Count", "AndXCommand", "Reserved", "AndXOffset", "Optional Support",
                   "Maximal Share Access Rights", "Guest Maximal Share Access Rights", "Bytes Count", "Service"}));
  ExpectFields(FindItem(body, "Optional Support"),
               {{"Exclusive Search Bits Supported", kSmbBody + 5, 2, ".... .... .... ...1", "Yes"},
                {"Share is not in Dfs", kSmbBody + 5, 2, ".... .... .... ..0.", "No"},
                {"CSC Mask", kSmbBody + 5, 2, ".... .... .... 10..", "Yes"},
                {"Unique File Name", kSmbBody + 5, 2, ".... .... ...0 ....", "No"},
                {"Extended Signatures", kSmbBody + 5, 2, ".... .... ..0. ....", "No"}});
  // The access masks are the groups NT Create AndX shows.
  const Node* rights = FindItem(body, "Maximal Share Access Rights");
  ExpectItem(rights, kSmbBody + 7, 4, "0000 0000 0001 1111 0000 0001 1111 1111");
  EXPECT_EQ(rights->Children().size(), 20u);
  ExpectItem(FindItem(body, "Guest Maximal Share Access Rights"), kSmbBody + 11, 4,
             "0000 0000 0000 0000 0000 0000 0000 0000");
  ExpectItem(FindItem(body, "Service"), kSmbBody + 17, 4, "IPC");
  EXPECT_EQ(body->length, 21u);
}

TEST_F(SMBDecoder, ReadAndXRequestAndResponse) {
  auto request = SweepAndDecode(kReadAndXRequest);
  EXPECT_EQ(SummaryOf(SmbLayer(request.get())), "Read AndX Request (0x2e)");
  const Node* body = SmbCommand(request.get());
  EXPECT_EQ(ChildNames(body),
            (Names{"Word Count", "AndXCommand", "Reserved", "AndXOffset", "FID", "Offset", "Max Count Low", "Min Count",
                   "Timeout", "Remaining", "High Offset", "Bytes Count"}));
  ExpectItem(FindItem(body, "Timeout"), kSmbBody + 15, 4, "4294967295 (0xFFFFFFFF)");
  ExpectItem(FindItem(body, "High Offset"), kSmbBody + 21, 4, "0 (0x00000000)");
  // Ten words carry no high offset.
  auto tenWords = DecodeFrame(
      SmbMessage(0x2E, kSmbRequest, kNtUnicode, Hex("0a ff 00 0000 0040 00000000 0004 0004 ffffffff 0000 0000")));
  EXPECT_EQ(FindItemOrNull(SmbCommand(tenWords.get()), "High Offset"), nullptr);
  ExpectItem(FindItem(SmbCommand(tenWords.get()), "Bytes Count"), kSmbBody + 21, 2, "0 (0x0000)");

  auto response = SweepAndDecode(kReadAndXResponse);
  EXPECT_EQ(SummaryOf(SmbLayer(response.get())), "Read AndX Response (0x2e)");
  body = SmbCommand(response.get());
  EXPECT_EQ(ChildNames(body), (Names{"Word Count", "AndXCommand", "Reserved", "AndXOffset", "Remaining",
                                     "Data Compaction Mode", "Reserved", "Data Length Low", "Data Offset",
                                     "Data Length High", "Reserved", "Bytes Count", "Padding"}));
  ExpectItem(FindItem(body, "Data Offset"), kSmbBody + 13, 2, "60 (0x003C)");
  ExpectItem(FindItem(body, "Data Length High"), kSmbBody + 15, 2, "0 (0x0000)", "Multiply with 64K");
  ExpectItem(Child(body, 10), kSmbBody + 17, 8, "0000000000000000");
  // The padding runs to the data offset; the data itself is not shown.
  ExpectItem(FindItem(body, "Padding"), kSmbBody + 27, 1, "00");
  EXPECT_EQ(body->length, 28u);
}

TEST_F(SMBDecoder, WriteAndXRequestAndResponse) {
  auto request = SweepAndDecode(kWriteAndXRequest);
  EXPECT_EQ(SummaryOf(SmbLayer(request.get())), "Write AndX Request");
  const Node* body = SmbCommand(request.get());
  EXPECT_EQ(ChildNames(body), (Names{"Word Count", "AndXCommand", "Reserved", "AndXOffset", "FID", "Offset", "Reserved",
                                     "Write Mode", "Remaining", "Data Length High", "Data Length Low", "Data Offset",
                                     "High Offset", "Bytes Count", "Padding"}));
  ExpectFields(FindItem(body, "Write Mode"), {{"Message Start", kSmbBody + 15, 2, ".... .... .... 0...", "No"},
                                              {"Write Raw", kSmbBody + 15, 2, ".... .... .... .0..", "No"},
                                              {"Return Remaining", kSmbBody + 15, 2, ".... .... .... ..0.", "No"},
                                              {"Write Through", kSmbBody + 15, 2, ".... .... .... ...1", "Yes"}});
  ExpectItem(FindItem(body, "Data Length Low"), kSmbBody + 21, 2, "5 (0x0005)");
  ExpectItem(FindItem(body, "High Offset"), kSmbBody + 25, 4, "0 (0x00000000)");
  ExpectItem(FindItem(body, "Padding"), kSmbBody + 31, 1, "00");
  EXPECT_EQ(body->length, 32u);
}

TEST_F(SMBDecoder, SmallerCommandsHaveTheirTitles) {
  struct Case {
    const Bytes* frame;
    std::string summary;
    std::vector<std::string> fields;
  };
  const Case cases[] = {
      {&kCloseRequest, "Close Request", {"Word Count", "FID", "Last Write", "Bytes Count"}},
      {&kWriteAndXResponse,
       "Write AndX Response (0x2f)",
       {"Word Count", "AndXCommand", "Reserved", "AndXOffset", "Count Low", "Remaining", "Count High", "Reserved",
        "Bytes Count"}},
      {&kEchoRequest, "Echo Request (0x2b)", {"Word Count", "Echo Count", "Bytes Count", "Echo Data"}},
      {&kEchoResponse, "Echo Response (0x2b)", {"Word Count", "Echo Seq Num", "Bytes Count", "Padding"}},
      {&kLogoffRequest, "Logoff AndX Request", {"Word Count", "AndXCommand", "Reserved", "AndXOffset", "Bytes Count"}},
      {&kTreeDisconnectResponse, "Tree Disconnect Response", {"Word Count", "Bytes Count"}},
      {&kNtTransResponse, "NT Trans Response", {"Word Count", "Bytes Count"}},
  };
  for (const Case& c : cases) {
    auto info = SweepAndDecode(*c.frame);
    EXPECT_EQ(SummaryOf(SmbLayer(info.get())), c.summary);
    EXPECT_EQ(ChildNames(SmbLayer(info.get()))[12], c.summary);
    EXPECT_EQ(ChildNames(SmbCommand(info.get())), c.fields) << c.summary;
  }
  auto echo = SweepAndDecode(kEchoRequest);
  ExpectItem(FindItem(SmbCommand(echo.get()), "Echo Data"), kSmbBody + 5, 4, "70696E67");
  // The parameter words of an NT Trans response lie between the two counts.
  auto ntTrans = SweepAndDecode(kNtTransResponse);
  ExpectItem(FindItem(SmbCommand(ntTrans.get()), "Bytes Count"), kSmbBody + 37, 2, "0 (0x0000)");
}

TEST_F(SMBDecoder, TransactionsShowCountsNameAndPadding) {
  auto request = SweepAndDecode(kPipeTransaction);
  EXPECT_EQ(SummaryOf(SmbLayer(request.get())), "Transaction Request");
  const Node* body = SmbCommand(request.get());
  EXPECT_EQ(ChildNames(body),
            (Names{"Word Count", "Total Parameter Count", "Total Data Count", "Max Parameter Count", "Max Data Count",
                   "Max Setup Count", "Reserved", "Flags", "Timeout", "Reserved", "Parameter Count", "Parameter Offset",
                   "Data Count", "Data Offset", "Setup Count", "Reserved", "Bytes Count", "Transaction Name"}));
  ExpectFields(FindItem(body, "Flags"),
               {{"Disconnect TID", kSmbBody + 11, 2, ".... .... .... ...0", "Do NOT disconnect TID"},
                {"One Way Transaction", kSmbBody + 11, 2, ".... .... .... ..0.", "Two way transaction"}});
  ExpectItem(FindItem(body, "Timeout"), kSmbBody + 13, 4, "1000 (0x000003E8)", "Millisecond");
  // The three setup words lie between Reserved and Bytes Count.
  ExpectItem(FindItem(body, "Bytes Count"), kSmbBody + 35, 2, "46 (0x002E)");
  // Only a mailslot's data is decoded.
  ExpectItem(FindItem(body, "Transaction Name"), kSmbBody + 37, 13, "\\PIPE\\LANMAN");
  EXPECT_EQ(body->length, 50u);

  auto response = SweepAndDecode(kTransResponse);
  EXPECT_EQ(SummaryOf(SmbLayer(response.get())), "Trans Response");
  body = SmbCommand(response.get());
  EXPECT_EQ(ChildNames(body),
            (Names{"Word Count", "Total Parameter Count", "Total Data Count", "Reserved", "Parameter Count",
                   "Parameter Offset", "Parameter Displacement", "Data Count", "Data Offset", "Data Displacement",
                   "Setup Count", "Reserved", "Bytes Count", "Padding"}));
  ExpectItem(FindItem(body, "Padding"), kSmbBody + 23, 1, "00");

  auto referral = SweepAndDecode(kDfsReferralRequest);
  EXPECT_EQ(SummaryOf(SmbLayer(referral.get())), "Trans2 Request ");
  body = SmbCommand(referral.get());
  ExpectItem(FindItem(body, "Subcommand"), kSmbBody + 29, 2, "16 (0x0010)");
  ExpectItem(FindItem(body, "Padding"), kSmbBody + 33, 3, "000000");
  ExpectItem(FindItem(body, "Parameters"), kSmbBody + 36, 12, "");
  ExpectFields(FindItem(body, "Parameters"),
               {{"Max Referral Level", kSmbBody + 36, 2, "3 (0x0003)"}, {"File Name", kSmbBody + 38, 10, "\\srv"}});
}

TEST_F(SMBDecoder, CommandIsNamedByItsCode) {
  struct Case {
    uint8_t code;
    std::string value, name;
  };
  const Case cases[] = {{0x00, "0 (0x00)", "Create Diretory"},
                        {0x13, "19 (0x13)", "Lock and Read"},
                        {0x1A, "26 (0x1A)", "Read RAW"},
                        {0x35, "53 (0x35)", "Find Notify Close"},
                        {0x73, "115 (0x73)", "Session setup ANDX"},
                        {0xA2, "162 (0xA2)", "NT Create ANDX"},
                        {0xDA, "218 (0xDA)", "Write Bulk Data"},
                        // Codes between the named ones have no name.
                        {0x15, "21 (0x15)", ""},
                        {0x36, "54 (0x36)", ""},
                        {0xA3, "163 (0xA3)", ""},
                        {0xFF, "255 (0xFF)", ""}};
  for (const Case& c : cases) {
    auto info = DecodeFrame(SmbMessage(c.code, kSmbRequest, kNtUnicode, Hex("00 0000")));
    ExpectItem(FindItem(SmbLayer(info.get()), "Command"), kSmbHeader + 4, 1, c.value, c.name);
  }
}

TEST_F(SMBDecoder, CommandWithoutHandlerShowsTheHeaderAlone) {
  auto info = SweepAndDecode(kFlushRequest);
  const Node* smb = SmbLayer(info.get());
  EXPECT_EQ(ChildNames(smb).size(), 12u);
  EXPECT_EQ(SummaryOf(smb), "");
  EXPECT_EQ(smb->length, 32u);
}

TEST_F(SMBDecoder, DataWithoutTheSmbSignatureIsDeclined) {
  // The session message keeps its four bytes and nothing follows it.
  auto info = SweepAndDecode(kSmb2);
  EXPECT_EQ(GroupNames(info.get()).back(), "NBSS - NetBIOS Session Service");
  EXPECT_EQ(FindGroup(info.get(), "NBSS - ")->length, 4u);
  EXPECT_EQ(FindGroupNth(info.get(), "SMB - ", 0), nullptr);
  // Data shorter than the signature is declined as well.
  auto cut = Decode(m_.get(), kNegotiateRequest, kSmbHeader + 3);
  EXPECT_EQ(FindGroupNth(cut.get(), "SMB - ", 0), nullptr);
}

TEST_F(SMBDecoder, CountsAndStringsThatOverrunTheCaptureEndTheLayer) {
  // 255 parameter words over two captured bytes.
  auto words = DecodeFrame(SmbMessage(0x71, kSmbRequest, kNtUnicode, Hex("ff 0000")));
  const Node* smb = SmbLayer(words.get());
  EXPECT_EQ(ChildNames(smb).back(), "Truncated");
  ExpectItem(Child(smb, 13), kSmbBody + 1, 2, "", "Frame ends here: 2 of the 510 bytes this field needs were captured");
  ExpectFields(SmbCommand(words.get()), {{"Word Count", kSmbBody, 1, "255 (0xFF)"}});
  EXPECT_EQ(SmbCommand(words.get())->length, 1u);
  EXPECT_EQ(SummaryOf(smb), "Tree Disconnect Request");

  // A byte count of 4096 over four bytes of echo data.
  auto bytes = DecodeFrame(SmbMessage(0x2B, kSmbRequest, kNtUnicode, Hex("01 0100 0010 70696e67")));
  ExpectItem(Child(SmbLayer(bytes.get()), 13), kSmbBody + 5, 4, "",
             "Frame ends here: 4 of the 4096 bytes this field needs were captured");

  // A service name without its terminator.
  auto text = DecodeFrame(SmbMessage(0x75, kSmbResponse, kDosAscii,
                                     Concat({Hex("07 ff 00 0000 0100 ff011f00 00000000 0400"), Ascii("IPC")})));
  ExpectItem(Child(SmbLayer(text.get()), 13), kSmbBody + 17, 3, "",
             "Frame ends here: 3 of the 4 bytes this field needs were captured");
  EXPECT_EQ(ChildNames(SmbCommand(text.get())).back(), "Bytes Count");

  // A dialect list whose byte count runs past the capture ends after the last whole dialect.
  auto dialects =
      DecodeFrame(SmbMessage(0x72, kSmbRequest, kNtUnicode, Concat({Hex("00 ffff 02"), Cstr("NT LM 0.12")})));
  EXPECT_EQ(ChildNames(SmbCommand(dialects.get())), (Names{"Word Count", "Bytes Count", "Dialect 1", "Dialect 2"}));
  EXPECT_EQ(ChildNames(SmbLayer(dialects.get())).back(), "Truncated");
}

TEST_F(SMBDecoder, GarbageAfterEveryHandledHeaderEndsCleanly) {
  uint32_t seed = 12345;
  for (uint8_t command : {0x04, 0x25, 0x2B, 0x2E, 0x2F, 0x32, 0x71, 0x72, 0x73, 0x74, 0x75, 0xA0, 0xA2}) {
    for (uint8_t flags : {kSmbRequest, kSmbResponse}) {
      for (uint16_t flags2 : {kNtUnicode, kDosAscii}) {
        Bytes body(48);
        for (uint8_t& b : body) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
        const Bytes frame = SmbMessage(command, flags, flags2, body);
        auto info = DecodeFrame(frame);
        const Node* smb = SmbLayer(info.get());
        ASSERT_NE(smb, nullptr);
        ExpectItemsWithin(smb, frame.size());
        TruncationSweep(m_.get(), frame);
      }
    }
  }
}

TEST_F(SMBDecoder, RealTransaction2Exchange) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/smb_data_print-segv.pcap");
  ASSERT_EQ(frames.size(), 4u);
  auto response = DecodeFrame(frames[0]);
  EXPECT_EQ(SummaryOf(SmbLayer(response.get())), "Trans2 Response");
  ExpectItem(FindItem(SmbCommand(response.get()), "Bytes Count"), kSmbBody + 21, 2, "29 (0x001D)");

  // A file-system query: subcommand 3, its two parameter bytes after three bytes of padding.
  auto request = DecodeFrame(frames[1]);
  EXPECT_EQ(SummaryOf(SmbLayer(request.get())), "Trans2 Request ");
  const Node* body = SmbCommand(request.get());
  ExpectItem(FindItem(body, "Subcommand"), kSmbBody + 29, 2, "3 (0x0003)");
  ExpectItem(FindItem(body, "Padding"), kSmbBody + 33, 3, "000000");
  ExpectItem(FindItem(body, "Parameters"), kSmbBody + 36, 2, "0501");
  for (const Bytes& frame : frames) TruncationSweep(m_.get(), frame);
}

}  // namespace
}  // namespace vel::test
