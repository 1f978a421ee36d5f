#include "engine/class_table.h"
#include "test_module.h"
#include "test_support.h"

namespace vel::test {
namespace {

// SMB messages in NetBIOS session messages over TCP port 139: the SMB header
// starts at frame offset 58 and a command's parameters at 90.
constexpr uint32_t kSmb = kTcpPayload + 4, kBody = kSmb + 32;

Bytes Le16(uint32_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
Bytes Le32(uint32_t v) { return Concat({Le16(v & 0xFFFF), Le16(v >> 16)}); }
// Zero-terminated texts as SMB carries them.
Bytes Utf16z(std::string_view text) {
  Bytes out;
  for (char c : text) out.insert(out.end(), {static_cast<uint8_t>(c), 0});
  return Concat({out, {0, 0}});
}
Bytes Cstr(std::string_view text) { return Concat({Ascii(text), {0}}); }

constexpr uint8_t kRequest = 0x18, kResponse = 0x98;
constexpr uint16_t kNtUnicode = 0xC807, kDosAscii = 0x0001;

// The header with signature 0123456789abcdef, tree 0x0800, process 0xFFFE, user 100 and multiplex 2.
Bytes SmbHeader(uint8_t command, uint8_t flags, uint16_t flags2, uint32_t status = 0) {
  return Concat({Hex("ff534d42"), {command}, Le32(status), {flags}, Le16(flags2),
                 Hex("0000 efcdab8967452301 0000 0008 feff 6400 0200")});
}
Bytes SessionFrame(const Bytes& smb) {
  Bytes session = Concat({Hex("0000"), {static_cast<uint8_t>(smb.size() >> 8), static_cast<uint8_t>(smb.size())}, smb});
  return TcpFrame(1025, 139, session);
}
Bytes Message(uint8_t command, uint8_t flags, uint16_t flags2, const Bytes& body, uint32_t status = 0) {
  return SessionFrame(Concat({SmbHeader(command, flags, flags2, status), body}));
}

const Bytes kNegotiateRequest =
    Message(0x72, kRequest, 0xC801,
            Concat({Hex("00 2f00 02"), Cstr("PC NETWORK PROGRAM 1.0"), {2}, Cstr("LANMAN1.0"), {2}, Cstr("NT LM 0.12")}));
// NT LM 0.12 with extended security: system time 2010-01-01 00:00:00 and 1234567 ticks, time zone -120.
const Bytes kNegotiateResponse = Message(0x72, kResponse, kNtUnicode,
                                         Hex("11 0200 03 3200 0100 04110000 00000100 00000000 fdf30180"
                                             "87d6805c758aca01 88ff 00 1800 00112233445566778899aabbccddeeff"
                                             "6006062b06010505"));
const Bytes kSessionSetupRequest =
    Message(0x73, kRequest, kNtUnicode,
            Concat({Hex("0c ff 00 0000 0411 3200 0000 00000000 0800 00000000 d4000080 2500 6006062b06010505 00"),
                    Utf16z("Unix"), Utf16z("Samba"), Utf16z("WG")}));
// Without the Unicode capability: no primary domain; a blob length of 0 passes one byte.
const Bytes kSessionSetupRequestPlain =
    Message(0x73, kRequest, kDosAscii,
            Concat({Hex("0c ff 00 0000 0411 3200 0000 00000000 0000 00000000 50000000 1700 00"), Utf16z("Unix"),
                    Utf16z("Samba")}));
const Bytes kSessionSetupResponse = Message(
    0x73, kResponse, kNtUnicode,
    Concat({Hex("04 ff 00 0000 0100 0600 2b00 a10430 02a000"), Cstr("Windows 5.1"), Cstr("Windows 2000 LAN Manager")}),
    0xC0000016);
const Bytes kTreeConnectRequest = Message(
    0x75, kRequest, kNtUnicode, Concat({Hex("04 ff 00 0000 0800 0100 1d00 00"), Utf16z("\\\\SRV\\IPC$"), Cstr("?????")}));
const Bytes kTreeConnectResponse =
    Message(0x75, kResponse, kDosAscii, Concat({Hex("07 ff 00 0000 0900 ff011f00 00000000 0400"), Cstr("IPC")}));
const Bytes kReadAndXRequest =
    Message(0x2E, kRequest, kNtUnicode, Hex("0c ff 00 0000 0040 00000000 0004 0004 ffffffff 0000 00000000 0000"));
const Bytes kReadAndXResponse = Message(
    0x2E, kResponse, kNtUnicode, Concat({Hex("0c ff 00 0000 ffff 0000 0000 0500 3c00 0000 0000000000000000 0600 00"),
                                         Ascii("hello")}));
const Bytes kWriteAndXRequest = Message(
    0x2F, kRequest, kNtUnicode,
    Concat({Hex("0e ff 00 0000 0040 00000000 ffffffff 0100 0500 0000 0500 4000 00000000 0600 00"), Ascii("hello")}));
const Bytes kWriteAndXResponse = Message(0x2F, kResponse, kNtUnicode, Hex("06 ff 00 0000 0500 ffff 0000 0000 0000"));
// ERRDOS / ERRbadfid.
const Bytes kCloseDosError = Message(0x04, kResponse, kDosAscii, Hex("00 0000"), 0x00060001);
const Bytes kCloseRequest = Message(0x04, kRequest, kNtUnicode, Hex("03 0040 ffffffff 0000"));
const Bytes kFlushRequest = Message(0x05, kRequest, kNtUnicode, Hex("01 0040 0000"));
const Bytes kEchoRequest = Message(0x2B, kRequest, kNtUnicode, Hex("01 0100 0400 70696e67"));
const Bytes kEchoResponse = Message(0x2B, kResponse, kNtUnicode, Hex("01 0100 0400 70696e67"));
const Bytes kLogoffRequest = Message(0x74, kRequest, kNtUnicode, Hex("02 ff 00 0000 0000"));
const Bytes kTreeDisconnectResponse = Message(0x71, kResponse, kNtUnicode, Hex("00 0000"));
// A host announcement to the browse mailslot: three setup words, the name, then the data.
const Bytes kMailslotRequest =
    Message(0x25, 0x00, 0x0000,
            Concat({Hex("11 0000 2100 0000 0000 00 00 0000 e8030000 0000 0000 0000 2100 5600 03 00 010001000200 3200"),
                    Cstr("\\MAILSLOT\\BROWSE"),
                    Hex("01 00 80fc0a00 484f5354000000000000000000000000 0501 03100000 0f01 55aa 00")}));
const Bytes kTransResponse =
    Message(0x25, kResponse, kNtUnicode, Hex("0a 0000 0400 0000 0000 3800 0000 0400 3800 0000 00 00 0500 00 01020304"));
// A DFS referral request: its parameters broken down after three bytes of padding.
const Bytes kDfsReferralRequest = Message(
    0x32, kRequest, kNtUnicode,
    Concat({Hex("0f 0c00 0000 0000 0010 00 00 0000 00000000 0000 0c00 4400 0000 0000 01 00 1000 0f00 000000 0300"),
            Utf16z("\\srv")}));
const Bytes kNtTransResponse = Message(0xA0, kResponse, kNtUnicode, Concat({{18}, Bytes(36, 0), Hex("0000")}));
// An SMB2 header on the SMB port.
const Bytes kSmb2 = TcpFrame(1025, 445, Hex("00000044 fe534d42 4000 0000 00000000 0000 0000 00000000"));

class SMBDecoder : public ::testing::Test {
 protected:
  ComPtr<IVELPacketsDecodingInfo> DecodeFrame(const Bytes& frame) { return Decode(m_.get(), frame); }
  static const Node* Smb(IVELPacketsDecodingInfo* info) { return FindGroup(info, "SMB - Server Message Block"); }
  // The command's sub-group: the first child after the 12 header items.
  static const Node* Body(IVELPacketsDecodingInfo* info) { return Child(Smb(info), 12); }

  ComPtr<IOrvDecoderManager> m_ = MakeManager();
};

TEST_F(SMBDecoder, HeaderFieldsAreLittleEndianWithFlagsBrokenDown) {
  auto info = DecodeFrame(kNegotiateRequest);
  const Node* smb = Smb(info.get());
  ASSERT_NE(smb, nullptr);
  EXPECT_EQ(smb->startPos, kSmb);
  EXPECT_EQ(smb->length, 82u);
  EXPECT_EQ(SummaryOf(smb), "Negotiate Protocol Request");
  EXPECT_EQ(GroupNames(info.get()).back(), "SMB - Server Message Block");
  EXPECT_EQ(SummaryOf(FindGroup(info.get(), "NBSS - ")), "");
  ExpectFields(smb, {{"Protocol ID", kSmb, 4, "SMB"},
                     {"Command", kSmb + 4, 1, "114 (0x72)"},
                     {"Status", kSmb + 5, 4, "0 (0x00000000)", "NT_SUCCESS"},
                     {"Flags", kSmb + 9, 1, "0001 1000"},
                     {"Flags2", kSmb + 10, 2, "1100 1000 0000 0001"},
                     {"Process ID High", kSmb + 12, 2, "0 (0x0000)"},
                     {"Signature", kSmb + 14, 8, "0123456789abcdef"},
                     {"Reserved", kSmb + 22, 2, "0 (0x0000)"},
                     {"Tree ID", kSmb + 24, 2, "2048 (0x0800)"},
                     {"Process ID", kSmb + 26, 2, "65534 (0xFFFE)"},
                     {"User ID", kSmb + 28, 2, "100 (0x0064)"},
                     {"Multiplex ID", kSmb + 30, 2, "2 (0x0002)"},
                     {"Negotiate Protocol Request", kBody, 50, ""}});
  ExpectFields(FindItem(smb, "Flags"),
               {{"Type", kSmb + 9, 1, "0... ....", "Request"},
                {"Notify", kSmb + 9, 1, ".0.. ....", "Notify client only on open"},
                {"OpLock", kSmb + 9, 1, "..0. ....", "OpLock not requested/granted"},
                {"Canonicalized Pathnames", kSmb + 9, 1, "...1 ....", "Pathnames are canonicalized"},
                {"Case Sensitive", kSmb + 9, 1, ".... 1...", "Path names are caseless"},
                {"Receive Buffer Posted", kSmb + 9, 1, ".... ..0.", "Receive buffer has not been posted"},
                {"Lock and Read", kSmb + 9, 1, ".... ...0", "Lock_Read, Write_Unlock are not supported"}});
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
  auto failure = DecodeFrame(kSessionSetupResponse);
  const Node* status = FindItem(Smb(failure.get()), "Status");
  ExpectItem(status, kSmb + 5, 4, "3221225494 (0xC0000016)", "NT_FAILURE");
  EXPECT_TRUE(status->Children().empty());

  auto dos = DecodeFrame(kCloseDosError);
  status = FindItem(Smb(dos.get()), "Status");
  ExpectItem(status, kSmb + 5, 4, "393217 (0x00060001)");
  ExpectFields(status, {{"Error Class", kSmb + 5, 1, "1 (0x01)"},
                        {"Reserved", kSmb + 6, 1, "0 (0x00)"},
                        {"Error Code", kSmb + 7, 2, "6 (0x0006)"}});
  EXPECT_EQ(SummaryOf(Smb(dos.get())), "Close Response");
  ExpectFields(Body(dos.get()), {{"Word Count", kBody, 1, "0 (0x00)"}, {"Bytes Count", kBody + 1, 2, "0 (0x0000)"}});
}

TEST_F(SMBDecoder, NegotiateRequestListsItsDialects) {
  auto info = DecodeFrame(kNegotiateRequest);
  const Node* body = Body(info.get());
  EXPECT_EQ(ChildNames(body),
            (std::vector<std::string>{"Word Count", "Bytes Count", "Dialect 1", "Dialect 2", "Dialect 3"}));
  ExpectItem(FindItem(body, "Bytes Count"), kBody + 1, 2, "47 (0x002F)");
  ExpectItem(FindItem(body, "Dialect 1"), kBody + 3, 24, "");
  ExpectItem(FindItem(body, "Dialect 2"), kBody + 27, 11, "");
  ExpectFields(FindItem(body, "Dialect 3"),
               {{"Buffer Format", kBody + 38, 1, "2 (0x02)"}, {"Name", kBody + 39, 11, "NT LM 0.12"}});
  EXPECT_EQ(ValueOf(Child(FindItem(body, "Dialect 1"), 1)), "PC NETWORK PROGRAM 1.0");
}

TEST_F(SMBDecoder, NegotiateResponseShowsTimeZoneGuidAndBlob) {
  auto info = DecodeFrame(kNegotiateResponse);
  EXPECT_EQ(SummaryOf(Smb(info.get())), "Negotiate Protocol Response");
  const Node* body = Body(info.get());
  ExpectFields(body, {{"Word Count", kBody, 1, "17 (0x11)"},
                      {"Selected Dialect Index", kBody + 1, 2, "2 (0x0002)"},
                      {"Security Mode", kBody + 3, 1, "0000 0011"},
                      {"Max Mpx Count", kBody + 4, 2, "50 (0x0032)"},
                      {"Max VCs", kBody + 6, 2, "1 (0x0001)"},
                      {"Max Buffer Size", kBody + 8, 4, "4356 (0x00001104)"},
                      {"Max Raw Buffer", kBody + 12, 4, "65536 (0x00010000)"},
                      {"Session Key", kBody + 16, 4, "0 (0x00000000)"},
                      {"Capabilities", kBody + 20, 4, "1000 0000 0000 0001 1111 0011 1111 1101"},
                      {"System Time", kBody + 24, 8, "2010-01-01 00:00:00.1234567"},
                      {"Server Time Zone", kBody + 32, 2, "-120", "min from UTC"},
                      {"Key Length", kBody + 34, 1, "0 (0x00)"},
                      {"Bytes Count", kBody + 35, 2, "24 (0x0018)"},
                      {"Server GUID", kBody + 37, 16, "33221100-5544-7766-8899-aabbccddeeff"},
                      {"Security Blob", kBody + 53, 8, "6006062B06010505"}});
  EXPECT_EQ(body->length, 61u);
  ExpectFields(FindItem(body, "Security Mode"),
               {{"Security Level", kBody + 3, 1, ".... ...1", "User Level"},
                {"Password", kBody + 3, 1, ".... ..1.", "Challenge Response"},
                {"Security Signatures Enabled", kBody + 3, 1, ".... .0..", "No"},
                {"Security Signatures Required", kBody + 3, 1, ".... 0...", "No"}});
  const Node* capabilities = FindItem(body, "Capabilities");
  ASSERT_EQ(capabilities->Children().size(), 19u);
  ExpectItem(Child(capabilities, 0), kBody + 20, 4, ".... .... .... .... .... .... .... ...1", "Yes");
  EXPECT_EQ(ChildNames(capabilities)[1], "Read Mpx and Write Mpx are supported");
  EXPECT_EQ(CommentOf(Child(capabilities, 1)), "No");
  EXPECT_EQ(ChildNames(capabilities)[10], "Dfs");
  EXPECT_EQ(CommentOf(Child(capabilities, 18)), "Yes");
  EXPECT_EQ(ChildNames(capabilities)[18], "Extended security exchanges are supported");
}

TEST_F(SMBDecoder, SessionSetupRequestTextsAreUtf16UnderTheSmbGroup) {
  auto info = DecodeFrame(kSessionSetupRequest);
  const Node* smb = Smb(info.get());
  EXPECT_EQ(SummaryOf(smb), "Session Setup AndX Request");
  const Node* body = Body(info.get());
  EXPECT_EQ(ChildNames(body),
            (std::vector<std::string>{"Word Count", "AndXCommand", "Reserved", "AndXOffset", "Max Buffer Size",
                                      "Max Mpx Count", "VC Number", "Session Key", "Security Blob Length", "Reserved",
                                      "Capabilities", "Bytes Count", "Security Blob"}));
  ExpectItem(FindItem(body, "AndXCommand"), kBody + 1, 1, "255 (0xFF)");
  ExpectItem(FindItem(body, "Security Blob Length"), kBody + 15, 2, "8 (0x0008)");
  ExpectItem(FindItem(body, "Security Blob"), kBody + 27, 8, "6006062B06010505");
  // The zero byte after the blob is skipped as alignment; the primary domain leaves the cursor.
  const std::vector<std::string> names = ChildNames(smb);
  ASSERT_EQ(names.size(), 16u);
  EXPECT_EQ(std::vector<std::string>(names.begin() + 13, names.end()),
            (std::vector<std::string>{"Native OS", "Native LAN Manager", "Primary Domain"}));
  ExpectItem(Child(smb, 13), kBody + 36, 10, "Unix");
  ExpectItem(Child(smb, 14), kBody + 46, 12, "Samba");
  ExpectItem(Child(smb, 15), kBody + 58, 6, "WG");
  EXPECT_EQ(body->length, 58u);
  EXPECT_EQ(smb->length, 90u);

  auto plain = DecodeFrame(kSessionSetupRequestPlain);
  smb = Smb(plain.get());
  EXPECT_EQ(ChildNames(smb).size(), 15u);
  ExpectItem(FindItem(smb, "Native OS"), kBody + 28, 10, "Unix");
  ExpectItem(FindItem(smb, "Native LAN Manager"), kBody + 38, 12, "Samba");
  EXPECT_EQ(FindItemOrNull(smb, "Security Blob"), nullptr);
}

TEST_F(SMBDecoder, SessionSetupResponseShowsGuestActionAnd8BitTexts) {
  auto info = DecodeFrame(kSessionSetupResponse);
  const Node* smb = Smb(info.get());
  EXPECT_EQ(SummaryOf(smb), "Session Setup AndX Response");
  const Node* body = Body(info.get());
  ExpectFields(body, {{"Word Count", kBody, 1, "4 (0x04)"},
                      {"AndXCommand", kBody + 1, 1, "255 (0xFF)", "No further commands"},
                      {"Reserved", kBody + 2, 1, "0 (0x00)"},
                      {"AndXOffset", kBody + 3, 2, "0 (0x0000)"},
                      {"Action", kBody + 5, 2, "0000 0000 0000 0001"},
                      {"Security Blob Length", kBody + 7, 2, "6 (0x0006)"},
                      {"Bytes Count", kBody + 9, 2, "43 (0x002B)"},
                      {"Security Blob", kBody + 11, 6, "A1043002A000"}});
  ExpectFields(FindItem(body, "Action"),
               {{"Logged in as GUEST", kBody + 5, 2, ".... .... .... ...1", "Yes"}});
  ExpectItem(FindItem(smb, "Native OS"), kBody + 17, 12, "Windows 5.1");
  ExpectItem(FindItem(smb, "Native LAN Manager"), kBody + 29, 25, "Windows 2000 LAN Manager");
  EXPECT_EQ(body->length, 54u);
}

TEST_F(SMBDecoder, TreeConnectRequestAndResponse) {
  auto request = DecodeFrame(kTreeConnectRequest);
  EXPECT_EQ(SummaryOf(Smb(request.get())), "Tree Connect AndX Request");
  const Node* body = Body(request.get());
  EXPECT_EQ(ChildNames(body), (std::vector<std::string>{"Word Count", "AndXCommand", "Reserved", "AndXOffset", "Flags",
                                                        "Password Length", "Bytes Count", "Password", "Path",
                                                        "Service"}));
  ExpectFields(FindItem(body, "Flags"), {{"Disconnect TID", kBody + 5, 2, ".... .... .... ...0", "No"},
                                         {"Extended Signature", kBody + 5, 2, ".... .... .... .0..", "No"},
                                         {"Extended Response", kBody + 5, 2, ".... .... .... 1...", "Yes"}});
  ExpectItem(FindItem(body, "Password"), kBody + 11, 1, "");
  ExpectItem(FindItem(body, "Path"), kBody + 12, 22, "\\\\SRV\\IPC$");
  ExpectItem(FindItem(body, "Service"), kBody + 34, 6, "?????");
  EXPECT_EQ(body->length, 40u);

  auto response = DecodeFrame(kTreeConnectResponse);
  EXPECT_EQ(SummaryOf(Smb(response.get())), "Tree Connect AndX Response");
  body = Body(response.get());
  EXPECT_EQ(ChildNames(body),
            (std::vector<std::string>{"Word Count", "AndXCommand", "Reserved", "AndXOffset", "Optional Support",
                                      "Maximal Share Access Rights", "Guest Maximal Share Access Rights",
                                      "Bytes Count", "Service"}));
  ExpectFields(FindItem(body, "Optional Support"),
               {{"Exclusive Search Bits Supported", kBody + 5, 2, ".... .... .... ...1", "Yes"},
                {"Share is not in Dfs", kBody + 5, 2, ".... .... .... ..0.", "No"},
                {"CSC Mask", kBody + 5, 2, ".... .... .... 10..", "Yes"},
                {"Unique File Name", kBody + 5, 2, ".... .... ...0 ....", "No"},
                {"Extended Signatures", kBody + 5, 2, ".... .... ..0. ....", "No"}});
  ExpectItem(FindItem(body, "Maximal Share Access Rights"), kBody + 7, 4, "2032127 (0x001F01FF)");
  ExpectItem(FindItem(body, "Service"), kBody + 17, 4, "IPC");
  EXPECT_EQ(body->length, 21u);
}

TEST_F(SMBDecoder, ReadAndXRequestAndResponse) {
  auto request = DecodeFrame(kReadAndXRequest);
  EXPECT_EQ(SummaryOf(Smb(request.get())), "Read AndX Request (0x2e)");
  const Node* body = Body(request.get());
  EXPECT_EQ(ChildNames(body), (std::vector<std::string>{"Word Count", "AndXCommand", "Reserved", "AndXOffset", "FID",
                                                        "Offset", "Max Count Low", "Min Count", "Timeout",
                                                        "Remaining", "High Offset", "Bytes Count"}));
  ExpectItem(FindItem(body, "Timeout"), kBody + 15, 4, "4294967295 (0xFFFFFFFF)");
  ExpectItem(FindItem(body, "High Offset"), kBody + 21, 4, "0 (0x00000000)");
  // Ten words carry no high offset.
  auto tenWords = DecodeFrame(
      Message(0x2E, kRequest, kNtUnicode, Hex("0a ff 00 0000 0040 00000000 0004 0004 ffffffff 0000 0000")));
  EXPECT_EQ(FindItemOrNull(Body(tenWords.get()), "High Offset"), nullptr);
  ExpectItem(FindItem(Body(tenWords.get()), "Bytes Count"), kBody + 21, 2, "0 (0x0000)");

  auto response = DecodeFrame(kReadAndXResponse);
  EXPECT_EQ(SummaryOf(Smb(response.get())), "Read AndX Response (0x2e)");
  body = Body(response.get());
  EXPECT_EQ(ChildNames(body), (std::vector<std::string>{"Word Count", "AndXCommand", "Reserved", "AndXOffset",
                                                        "Remaining", "Data Compaction Mode", "Reserved",
                                                        "Data Length Low", "Data Offset", "Data Length High",
                                                        "Reserved", "Bytes Count", "Padding"}));
  ExpectItem(FindItem(body, "Data Offset"), kBody + 13, 2, "60 (0x003C)");
  ExpectItem(FindItem(body, "Data Length High"), kBody + 15, 2, "0 (0x0000)", "Multiply with 64K");
  ExpectItem(Child(body, 10), kBody + 17, 8, "0000000000000000");
  // The padding runs to the data offset; the data itself is not shown.
  ExpectItem(FindItem(body, "Padding"), kBody + 27, 1, "00");
  EXPECT_EQ(body->length, 28u);
}

TEST_F(SMBDecoder, WriteAndXRequestAndResponse) {
  auto request = DecodeFrame(kWriteAndXRequest);
  EXPECT_EQ(SummaryOf(Smb(request.get())), "Write AndX Request");
  const Node* body = Body(request.get());
  EXPECT_EQ(ChildNames(body), (std::vector<std::string>{"Word Count", "AndXCommand", "Reserved", "AndXOffset", "FID",
                                                        "Offset", "Reserved", "Write Mode", "Remaining",
                                                        "Data Length High", "Data Length Low", "Data Offset",
                                                        "High Offset", "Bytes Count", "Padding"}));
  ExpectFields(FindItem(body, "Write Mode"), {{"Message Start", kBody + 15, 2, ".... .... .... 0...", "No"},
                                              {"Write Raw", kBody + 15, 2, ".... .... .... .0..", "No"},
                                              {"Return Remaining", kBody + 15, 2, ".... .... .... ..0.", "No"},
                                              {"Write Through", kBody + 15, 2, ".... .... .... ...1", "Yes"}});
  ExpectItem(FindItem(body, "Data Length Low"), kBody + 21, 2, "5 (0x0005)");
  ExpectItem(FindItem(body, "High Offset"), kBody + 25, 4, "0 (0x00000000)");
  ExpectItem(FindItem(body, "Padding"), kBody + 31, 1, "00");
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
    auto info = DecodeFrame(*c.frame);
    EXPECT_EQ(SummaryOf(Smb(info.get())), c.summary);
    EXPECT_EQ(ChildNames(Smb(info.get()))[12], c.summary);
    EXPECT_EQ(ChildNames(Body(info.get())), c.fields) << c.summary;
  }
  auto echo = DecodeFrame(kEchoRequest);
  ExpectItem(FindItem(Body(echo.get()), "Echo Data"), kBody + 5, 4, "70696E67");
  // The parameter words of an NT Trans response lie between the two counts.
  auto ntTrans = DecodeFrame(kNtTransResponse);
  ExpectItem(FindItem(Body(ntTrans.get()), "Bytes Count"), kBody + 37, 2, "0 (0x0000)");
}

TEST_F(SMBDecoder, TransactionsShowCountsNameAndPadding) {
  auto request = DecodeFrame(kMailslotRequest);
  EXPECT_EQ(SummaryOf(Smb(request.get())), "Transaction Request");
  const Node* body = Body(request.get());
  EXPECT_EQ(ChildNames(body),
            (std::vector<std::string>{"Word Count", "Total Parameter Count", "Total Data Count", "Max Parameter Count",
                                      "Max Data Count", "Max Setup Count", "Reserved", "Flags", "Timeout", "Reserved",
                                      "Parameter Count", "Parameter Offset", "Data Count", "Data Offset",
                                      "Setup Count", "Reserved", "Bytes Count", "Transaction Name"}));
  ExpectFields(FindItem(body, "Flags"),
               {{"Disconnect TID", kBody + 11, 2, ".... .... .... ...0", "Do NOT disconnect TID"},
                {"One Way Transaction", kBody + 11, 2, ".... .... .... ..0.", "Two way transaction"}});
  ExpectItem(FindItem(body, "Timeout"), kBody + 13, 4, "1000 (0x000003E8)", "Millisecond");
  // The three setup words lie between Reserved and Bytes Count.
  ExpectItem(FindItem(body, "Bytes Count"), kBody + 35, 2, "50 (0x0032)");
  ExpectItem(FindItem(body, "Transaction Name"), kBody + 37, 17, "\\MAILSLOT\\BROWSE");
  EXPECT_EQ(body->length, 54u);

  auto response = DecodeFrame(kTransResponse);
  EXPECT_EQ(SummaryOf(Smb(response.get())), "Trans Response");
  body = Body(response.get());
  EXPECT_EQ(ChildNames(body), (std::vector<std::string>{"Word Count", "Total Parameter Count", "Total Data Count",
                                                        "Reserved", "Parameter Count", "Parameter Offset",
                                                        "Parameter Displacement", "Data Count", "Data Offset",
                                                        "Data Displacement", "Setup Count", "Reserved",
                                                        "Bytes Count", "Padding"}));
  ExpectItem(FindItem(body, "Padding"), kBody + 23, 1, "00");

  auto referral = DecodeFrame(kDfsReferralRequest);
  EXPECT_EQ(SummaryOf(Smb(referral.get())), "Trans2 Request ");
  body = Body(referral.get());
  ExpectItem(FindItem(body, "Subcommand"), kBody + 29, 2, "16 (0x0010)");
  ExpectItem(FindItem(body, "Padding"), kBody + 33, 3, "000000");
  ExpectItem(FindItem(body, "Parameters"), kBody + 36, 12, "");
  ExpectFields(FindItem(body, "Parameters"), {{"Max Referral Level", kBody + 36, 2, "3 (0x0003)"},
                                              {"File Name", kBody + 38, 10, "\\srv"}});
}

TEST_F(SMBDecoder, CommandWithoutHandlerShowsTheHeaderAlone) {
  auto info = DecodeFrame(kFlushRequest);
  const Node* smb = Smb(info.get());
  EXPECT_EQ(ChildNames(smb).size(), 12u);
  EXPECT_EQ(SummaryOf(smb), "");
  EXPECT_EQ(smb->length, 32u);
}

TEST_F(SMBDecoder, DataWithoutTheSmbSignatureIsDeclined) {
  // The session message keeps its four bytes and nothing follows it.
  auto info = DecodeFrame(kSmb2);
  EXPECT_EQ(GroupNames(info.get()).back(), "NBSS - NetBIOS Session Service");
  EXPECT_EQ(FindGroup(info.get(), "NBSS - ")->length, 4u);
  EXPECT_EQ(FindGroupNth(info.get(), "SMB - ", 0), nullptr);
  // Data shorter than the signature is declined as well.
  auto cut = Decode(m_.get(), kNegotiateRequest, kSmb + 3);
  EXPECT_EQ(FindGroupNth(cut.get(), "SMB - ", 0), nullptr);
}

TEST_F(SMBDecoder, CountsAndStringsThatOverrunTheCaptureEndTheLayer) {
  // 255 parameter words over two captured bytes.
  auto words = DecodeFrame(Message(0x71, kRequest, kNtUnicode, Hex("ff 0000")));
  const Node* smb = Smb(words.get());
  EXPECT_EQ(ChildNames(smb).back(), "Truncated");
  ExpectItem(Child(smb, 13), kBody + 1, 2, "", "Frame ends here: 2 of the 510 bytes this field needs were captured");
  ExpectFields(Body(words.get()), {{"Word Count", kBody, 1, "255 (0xFF)"}});
  EXPECT_EQ(Body(words.get())->length, 1u);
  EXPECT_EQ(SummaryOf(smb), "Tree Disconnect Request");

  // A byte count of 4096 over four bytes of echo data.
  auto bytes = DecodeFrame(Message(0x2B, kRequest, kNtUnicode, Hex("01 0100 0010 70696e67")));
  ExpectItem(Child(Smb(bytes.get()), 13), kBody + 5, 4, "",
             "Frame ends here: 4 of the 4096 bytes this field needs were captured");

  // A service name without its terminator.
  auto text = DecodeFrame(
      Message(0x75, kResponse, kDosAscii, Concat({Hex("07 ff 00 0000 0100 ff011f00 00000000 0400"), Ascii("IPC")})));
  ExpectItem(Child(Smb(text.get()), 13), kBody + 17, 3, "",
             "Frame ends here: 3 of the 4 bytes this field needs were captured");
  EXPECT_EQ(ChildNames(Body(text.get())).back(), "Bytes Count");

  // A dialect list whose byte count runs past the capture ends after the last whole dialect.
  auto dialects = DecodeFrame(Message(0x72, kRequest, kNtUnicode, Concat({Hex("00 ffff 02"), Cstr("NT LM 0.12")})));
  EXPECT_EQ(ChildNames(Body(dialects.get())),
            (std::vector<std::string>{"Word Count", "Bytes Count", "Dialect 1", "Dialect 2"}));
  EXPECT_EQ(ChildNames(Smb(dialects.get())).back(), "Truncated");
}

// Every item lies within the captured frame.
void ExpectWithin(const Node* item, size_t frameSize) {
  EXPECT_LE(item->startPos + item->length, frameSize) << Narrow(item->Name());
  for (const Node* child : item->Children()) ExpectWithin(child, frameSize);
}

TEST_F(SMBDecoder, GarbageAfterEveryHandledHeaderEndsCleanly) {
  uint32_t seed = 12345;
  for (uint8_t command : {0x04, 0x25, 0x2B, 0x2E, 0x2F, 0x32, 0x71, 0x72, 0x73, 0x74, 0x75, 0xA0}) {
    for (uint8_t flags : {kRequest, kResponse}) {
      for (uint16_t flags2 : {kNtUnicode, kDosAscii}) {
        Bytes body(48);
        for (uint8_t& b : body) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
        const Bytes frame = Message(command, flags, flags2, body);
        auto info = DecodeFrame(frame);
        const Node* smb = Smb(info.get());
        ASSERT_NE(smb, nullptr);
        ExpectWithin(smb, frame.size());
        TruncationSweep(m_.get(), frame);
      }
    }
  }
}

TEST_F(SMBDecoder, AcceptsNetBiosDatagramsAndSessionsOnly) {
  IVELDcoder* created = nullptr;
  const ClassEntry* entry = FindClass(MakeGuid("{6F966C8D-B2D9-4597-8F7E-2DA33939C035}"));
  ASSERT_NE(entry, nullptr);
  ASSERT_EQ(entry->create(IVELDcoder::kIID, reinterpret_cast<void**>(&created)), S_OK);
  auto smb = ComPtr<IVELDcoder>::Adopt(created);
  for (uint32_t type : {45u, 46u, 2u, 20u}) {
    auto input = CTestModule::Make(type, {});
    EXPECT_EQ(input->ConnectModule(smb.get()), type == 45 || type == 46 ? S_OK : S_FALSE) << type;
  }
}

TEST_F(SMBDecoder, EveryCaptureLengthOfEveryFrame) {
  for (const Bytes* frame :
       {&kNegotiateRequest, &kNegotiateResponse, &kSessionSetupRequest, &kSessionSetupRequestPlain,
        &kSessionSetupResponse, &kTreeConnectRequest, &kTreeConnectResponse, &kReadAndXRequest, &kReadAndXResponse,
        &kWriteAndXRequest, &kWriteAndXResponse, &kCloseDosError, &kCloseRequest, &kFlushRequest, &kEchoRequest,
        &kEchoResponse, &kLogoffRequest, &kTreeDisconnectResponse, &kMailslotRequest, &kTransResponse,
        &kNtTransResponse, &kDfsReferralRequest, &kSmb2})
    TruncationSweep(m_.get(), *frame);
}

TEST_F(SMBDecoder, RealTransaction2Exchange) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/smb_data_print-segv.pcap");
  ASSERT_EQ(frames.size(), 4u);
  auto response = DecodeFrame(frames[0]);
  EXPECT_EQ(SummaryOf(Smb(response.get())), "Trans2 Response");
  ExpectItem(FindItem(Body(response.get()), "Bytes Count"), kBody + 21, 2, "29 (0x001D)");

  // A file-system query: subcommand 3, its two parameter bytes after three bytes of padding.
  auto request = DecodeFrame(frames[1]);
  EXPECT_EQ(SummaryOf(Smb(request.get())), "Trans2 Request ");
  const Node* body = Body(request.get());
  ExpectItem(FindItem(body, "Subcommand"), kBody + 29, 2, "3 (0x0003)");
  ExpectItem(FindItem(body, "Padding"), kBody + 33, 3, "000000");
  ExpectItem(FindItem(body, "Parameters"), kBody + 36, 2, "0501");
  for (const Bytes& frame : frames) TruncationSweep(m_.get(), frame);
}

}  // namespace
}  // namespace vel::test
