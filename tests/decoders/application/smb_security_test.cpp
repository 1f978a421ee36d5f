#include "smb_frames.h"
#include "test_support.h"

namespace vel::test {
namespace {

// ---- Tokens ----

const Bytes kSpnegoOid = Der(0x06, Hex("2b0601050502"));
const Bytes kNtlmsspOid = Der(0x06, Hex("2b06010401823702020a"));
const Bytes kMsKrb5Oid = Der(0x06, Hex("2a864882f712010202"));
const Bytes kKrb5Oid = Der(0x06, Hex("2a864886f712010202"));
const Bytes kKrb5UserToUserOid = Der(0x06, Hex("2a864886f71201020203"));

// An NTLMSSP security buffer: length, maximum length, offset.
Bytes Buffer(uint32_t length, uint32_t offset) { return Concat({Le16(length), Le16(length), Le32(offset)}); }
// Windows 7 SP1: version 6.1, build 7601, NTLM revision 15.
const Bytes kWindows7 = Hex("0601b11d0000000f");

// Negotiate: 56, key exchange, 128, version, extended security, always sign,
// OEM workstation and domain supplied, NTLM key, LM key, sign, request
// target, OEM, Unicode; the OEM domain and workstation names at 40 and 49.
const Bytes kNtlmNegotiate = Concat({Ascii("NTLMSSP"),
                                     {0},
                                     Le32(1),
                                     Le32(0xE208B297),
                                     Buffer(9, 40),
                                     Buffer(6, 49),
                                     kWindows7,
                                     Ascii("WORKGROUP"),
                                     Ascii("CLIENT")});
// 2010-01-01 00:00:00 and 1234567 ticks.
const Bytes kFileTime = Hex("87d6805c758aca01");
const Bytes kTargetInfo = Concat({Hex("0200 0c00"), Utf16("DOMAIN"), Hex("0100 0c00"), Utf16("SERVER"),
                                  Hex("0700 0800"), kFileTime, Hex("0600 0400 02000000"), Hex("0000 0000")});
// Challenge in Unicode: the target name at 56, the target information at 68.
const Bytes kNtlmChallenge = Concat({Ascii("NTLMSSP"),
                                     {0},
                                     Le32(2),
                                     Buffer(12, 56),
                                     Le32(0xE28A8215),
                                     Hex("0123456789abcdef 0000000000000000"),
                                     Buffer(56, 68),
                                     kWindows7,
                                     Utf16("DOMAIN"),
                                     kTargetInfo});
// Authenticate: sixteen bytes of message integrity code after the version,
// then domain, user and host in UTF-16, the two responses and the session key.
const Bytes kNtlmAuthenticate = Concat({Ascii("NTLMSSP"),
                                        {0},
                                        Le32(3),
                                        Buffer(24, 116),
                                        Buffer(24, 140),
                                        Buffer(12, 88),
                                        Buffer(8, 100),
                                        Buffer(8, 108),
                                        Buffer(16, 164),
                                        Le32(0xE2888215),
                                        kWindows7,
                                        Bytes(16, 0xAA),
                                        Utf16("DOMAIN"),
                                        Utf16("user"),
                                        Utf16("HOST"),
                                        Bytes(24, 0x11),
                                        Bytes(24, 0x22),
                                        Bytes(16, 0x33)});

// A negTokenInit in its GSS-API wrapper.
Bytes InitToken(const Bytes& fields) { return Der(0x60, Concat({kSpnegoOid, Der(0xA0, Der(0x30, fields))})); }
Bytes MechTypes(std::initializer_list<Bytes> oids) { return Der(0xA0, Der(0x30, Concat(oids))); }

// The server's negTokenInit in its negotiate response: four mechanisms and a hint.
const Bytes kServerInit =
    InitToken(Concat({MechTypes({kMsKrb5Oid, kKrb5Oid, kKrb5UserToUserOid, kNtlmsspOid}),
                      Der(0xA3, Der(0x30, Der(0xA0, Der(0x1B, Ascii("not_defined_in_RFC4178@please_ignore")))))}));
// The client's negTokenInit: NTLMSSP, request flags, the negotiate message and a MIC in field 3.
const Bytes kClientInit =
    InitToken(Concat({MechTypes({kNtlmsspOid}), Der(0xA1, Der(0x03, Hex("0780"))), Der(0xA2, Der(0x04, kNtlmNegotiate)),
                      Der(0xA3, Der(0x04, Hex("a1b2c3d4")))}));
// The server's answer: incomplete, NTLMSSP, the challenge.
const Bytes kServerChallenge = Der(
    0xA1, Der(0x30, Concat({Der(0xA0, Der(0x0A, {1})), Der(0xA1, kNtlmsspOid), Der(0xA2, Der(0x04, kNtlmChallenge))})));
// The client's answer: the authenticate message and its MIC.
const Bytes kClientAuthenticate =
    Der(0xA1, Der(0x30, Concat({Der(0xA2, Der(0x04, kNtlmAuthenticate)),
                                Der(0xA3, Der(0x04, Hex("01000000 0123456789abcdef 00000000")))})));
const Bytes kServerAccept = Der(0xA1, Der(0x30, Der(0xA0, Der(0x0A, {0}))));

// ---- Messages ----

// The security blob of a negotiate response starts at kSmbBody + 53, of a
// session-setup request at kSmbBody + 27, of a response at kSmbBody + 11.
constexpr uint32_t kNegotiateBlob = kSmbBody + 53, kRequestBlob = kSmbBody + 27, kResponseBlob = kSmbBody + 11;

Bytes NegotiateResponse(const Bytes& blob) {
  return SmbMessage(0x72, kSmbResponse, kNtUnicode,
                    Concat({Hex("11 0200 03 3200 0100 04110000 00000100 00000000 fdf30180 87d6805c758aca01 88ff 00"),
                            Le16(16 + blob.size()), Hex("00112233445566778899aabbccddeeff"), blob}));
}
// Extended security and Unicode; the texts start at an even offset into the message.
Bytes SessionSetupRequest(const Bytes& blob) {
  const Bytes alignment = blob.size() % 2 ? Bytes{} : Bytes{0};
  const Bytes texts = Concat({alignment, Utf16z("Unix"), Utf16z("Samba"), Utf16z("WG")});
  return SmbMessage(0x73, kSmbRequest, kNtUnicode,
                    Concat({Hex("0c ff 00 0000 0411 3200 0000 00000000"), Le16(blob.size()), Hex("00000000 d4000080"),
                            Le16(blob.size() + texts.size()), blob, texts}));
}
Bytes SessionSetupResponse(const Bytes& blob, uint32_t status) {
  const Bytes texts = Concat({Cstr("Windows 5.1"), Cstr("Windows 2000 LAN Manager")});
  return SmbMessage(
      0x73, kSmbResponse, kNtUnicode,
      Concat({Hex("04 ff 00 0000 0000"), Le16(blob.size()), Le16(blob.size() + texts.size()), blob, texts}), status);
}

const Bytes kNegotiateFrame = NegotiateResponse(kServerInit);
const Bytes kNegotiateMessageFrame = SessionSetupRequest(kClientInit);
const Bytes kChallengeFrame = SessionSetupResponse(kServerChallenge, 0xC0000016);
const Bytes kAuthenticateFrame = SessionSetupRequest(kClientAuthenticate);
const Bytes kAcceptFrame = SessionSetupResponse(kServerAccept, 0);

class SMBSecurityBlob : public DecoderTest {
 protected:
  static const Node* Blob(IVELPacketsDecodingInfo* info) { return FindItem(SmbCommand(info), "Security Blob"); }
};

// The NTLMSSP message in the mechanism token of a client's negTokenInit.
Bytes NtlmInit(const Bytes& ntlm) { return InitToken(Der(0xA2, Der(0x04, ntlm))); }
const Bytes kNtlmHeader = Concat({Ascii("NTLMSSP"), {0}});

TEST_F(SMBSecurityBlob, ServerOffersMechanismsAndAHint) {
  auto info = SweepAndDecode(kNegotiateFrame);
  const Node* blob = Blob(info.get());
  ExpectItem(blob, kNegotiateBlob, 108, "606A06062B0601050502A060305EA030302E06092A864882F71201020206092A...");
  const Node* gss = Child(blob, 0);
  EXPECT_EQ(Narrow(gss->Name()), "GSS-API Generic Security Service Application Program Interface");
  ExpectItem(gss, kNegotiateBlob, 108, "");
  ExpectFields(gss, {{"OID", kNegotiateBlob + 4, 6, "1.3.6.1.5.5.2", "SPNEGO - Simple Protected Negotiation"},
                     {"Simple Protected Negotiation", kNegotiateBlob + 10, 98, ""}});
  const Node* init = Child(Child(gss, 1), 0);
  ExpectItem(init, kNegotiateBlob + 10, 98, "");
  EXPECT_EQ(ChildNames(init), (Names{"mechTypes", "negHints"}));
  ExpectFields(FindItem(init, "mechTypes"),
               {{"mechType", kNegotiateBlob + 20, 9, "1.2.840.48018.1.2.2", "MS KRB5 - Microsoft Kerberos 5"},
                {"mechType", kNegotiateBlob + 31, 9, "1.2.840.113554.1.2.2", "KRB5 - Kerberos 5"},
                {"mechType", kNegotiateBlob + 42, 10, "1.2.840.113554.1.2.2.3", "KRB5 - Kerberos 5 - User to User"},
                {"mechType", kNegotiateBlob + 54, 10, "1.3.6.1.4.1.311.2.2.10",
                 "NTLMSSP - Microsoft NTLM Security Support Provider"}});
  ExpectItem(FindItem(init, "negHints"), kNegotiateBlob + 64, 44, "");
  ExpectFields(FindItem(init, "negHints"),
               {{"hintName", kNegotiateBlob + 72, 36, "not_defined_in_RFC4178@please_ignore"}});
  EXPECT_EQ(SmbCommand(info.get())->length, 53u + 108u);
}

TEST_F(SMBSecurityBlob, ClientNegotiatesWithNtlmssp) {
  auto info = SweepAndDecode(kNegotiateMessageFrame);
  const Node* init = FindItem(Blob(info.get()), "negTokenInit");
  EXPECT_EQ(ChildNames(init), (Names{"mechTypes", "reqFlags", "mechToken", "mechListMIC"}));
  ExpectItem(FindItem(init, "reqFlags"), kRequestBlob + 34, 2, "0780");
  // Field 3 holds an OCTET STRING here, so it is the MIC.
  ExpectItem(FindItem(init, "mechListMIC"), kRequestBlob + 99, 4, "A1B2C3D4");
  const Node* token = FindItem(init, "mechToken");
  ExpectItem(token, kRequestBlob + 40, 55, "4E544C4D535350000100000097B208E209000900280000000600060031000000...");

  const uint32_t ntlm = kRequestBlob + 40;
  const Node* message = Child(token, 0);
  ExpectItem(message, ntlm, 55, "");
  ExpectFields(message, {{"NTLMSSP Identifier", ntlm, 8, "NTLMSSP"},
                         {"NTLM Message Type", ntlm + 8, 4, "1 (0x00000001)", "NTLMSSP_NEGOTIATE"},
                         {"Negotiate Flags", ntlm + 12, 4, "1110 0010 0000 1000 1011 0010 1001 0111"},
                         {"Calling Workstation Domain", ntlm + 16, 8, "WORKGROUP"},
                         {"Calling Workstation Name", ntlm + 24, 8, "CLIENT"},
                         {"Version", ntlm + 32, 8, "Version 6.1 (Build 7601); NTLM Current Revision 15"}});
  // The OEM texts are 8-bit whatever the flags say.
  ExpectFields(FindItem(message, "Calling Workstation Domain"), {{"Length", ntlm + 16, 2, "9 (0x0009)"},
                                                                 {"Maxlen", ntlm + 18, 2, "9 (0x0009)"},
                                                                 {"Offset", ntlm + 20, 4, "40 (0x00000028)"},
                                                                 {"Value", ntlm + 40, 9, "WORKGROUP"}});
  ExpectFields(FindItem(message, "Version"), {{"Major Version", ntlm + 32, 1, "6 (0x06)"},
                                              {"Minor Version", ntlm + 33, 1, "1 (0x01)"},
                                              {"Build Number", ntlm + 34, 2, "7601 (0x1DB1)"},
                                              {"Reserved", ntlm + 36, 3, "000000"},
                                              {"NTLM Current Revision", ntlm + 39, 1, "15 (0x0F)"}});
  const Node* flags = FindItem(message, "Negotiate Flags");
  EXPECT_EQ(ChildNames(flags), (Names{"Negotiate 56",
                                      "Negotiate Key Exchange",
                                      "Negotiate 128",
                                      "Negotiate Version",
                                      "Negotiate Target Info",
                                      "Request Non-NT Session",
                                      "Negotiate Identify",
                                      "Negotiate Extended Security",
                                      "Target Type Share",
                                      "Target Type Server",
                                      "Target Type Domain",
                                      "Negotiate Always Sign",
                                      "Negotiate OEM Workstation Supplied",
                                      "Negotiate OEM Domain Supplied",
                                      "Negotiate Anonymous",
                                      "Negotiate NT Only",
                                      "Negotiate NTLM key",
                                      "Negotiate Lan Manager Key",
                                      "Negotiate Datagram",
                                      "Negotiate Seal",
                                      "Negotiate Sign",
                                      "Request Target",
                                      "Negotiate OEM",
                                      "Negotiate UNICODE"}));
  ExpectItem(Child(flags, 0), ntlm + 12, 4, "1... .... .... .... .... .... .... ....", "Yes");
  ExpectItem(Child(flags, 4), ntlm + 12, 4, ".... .... 0... .... .... .... .... ....", "No");
  ExpectItem(Child(flags, 23), ntlm + 12, 4, ".... .... .... .... .... .... .... ...1", "Yes");

  // The texts after the blob are where the blob's length says.
  ExpectItem(FindItem(SmbLayer(info.get()), "Native OS"), kRequestBlob + 103, 10, "Unix");
}

TEST_F(SMBSecurityBlob, ServerChallengeListsTargetInfo) {
  auto info = SweepAndDecode(kChallengeFrame);
  EXPECT_EQ(SummaryOf(SmbLayer(info.get())), "Session Setup AndX Response");
  const Node* targ = Child(Blob(info.get()), 0);
  EXPECT_EQ(Narrow(targ->Name()), "NegTokenTarg");
  ExpectItem(targ, kResponseBlob, 153, "");
  EXPECT_EQ(ChildNames(targ), (Names{"negResult", "supportedMech", "mechToken"}));
  ExpectItem(FindItem(targ, "negResult"), kResponseBlob + 10, 1, "1 (0x01)", "Accept_incomplete");
  ExpectItem(FindItem(targ, "supportedMech"), kResponseBlob + 15, 10, "1.3.6.1.4.1.311.2.2.10",
             "NTLMSSP - Microsoft NTLM Security Support Provider");

  const uint32_t ntlm = kResponseBlob + 29;
  const Node* message = FindItem(targ, "NTLM Secure Service Provider");
  EXPECT_EQ(ChildNames(message), (Names{"NTLMSSP Identifier", "NTLM Message Type", "Target Name", "Negotiate Flags",
                                        "NTLM Server Challenge", "Reserved", "Target Info", "Version"}));
  ExpectItem(FindItem(message, "NTLM Message Type"), ntlm + 8, 4, "2 (0x00000002)", "NTLMSSP_CHALLENGE");
  // Unicode, as the flags say.
  ExpectItem(FindItem(message, "Target Name"), ntlm + 12, 8, "DOMAIN");
  ExpectItem(Child(FindItem(message, "Target Name"), 3), ntlm + 56, 12, "DOMAIN");
  ExpectItem(FindItem(message, "NTLM Server Challenge"), ntlm + 24, 8, "0123456789ABCDEF");
  ExpectItem(Child(message, 5), ntlm + 32, 8, "0000000000000000");

  const Node* targetInfo = FindItem(message, "Target Info");
  EXPECT_EQ(ChildNames(targetInfo), (Names{"Length", "Maxlen", "Offset", "NetBIOS domain name", "NetBIOS computer name",
                                           "Timestamp", "Flags", "End of list"}));
  ExpectItem(Child(targetInfo, 3), ntlm + 68, 16, "DOMAIN");
  ExpectFields(Child(targetInfo, 3), {{"Target Info Item Type", ntlm + 68, 2, "2 (0x0002)"},
                                      {"Target Info Item Length", ntlm + 70, 2, "12 (0x000C)"},
                                      {"Value", ntlm + 72, 12, "DOMAIN"}});
  ExpectItem(Child(targetInfo, 4), ntlm + 84, 16, "SERVER");
  ExpectItem(Child(Child(targetInfo, 5), 2), ntlm + 104, 8, "2010-01-01 00:00:00.1234567");
  ExpectItem(Child(Child(targetInfo, 6), 2), ntlm + 116, 4, "2 (0x00000002)");
  ExpectItem(Child(targetInfo, 7), ntlm + 120, 4, "");

  // The server's last word.
  auto accept = SweepAndDecode(kAcceptFrame);
  ExpectFields(Child(Blob(accept.get()), 0), {{"negResult", kResponseBlob + 8, 1, "0 (0x00)", "Accept_completed"}});
  ExpectItem(FindItem(SmbLayer(accept.get()), "Native OS"), kResponseBlob + 9, 12, "Windows 5.1");
}

TEST_F(SMBSecurityBlob, ClientAuthenticateShowsNamesAndResponses) {
  auto info = SweepAndDecode(kAuthenticateFrame);
  const Node* targ = Child(Blob(info.get()), 0);
  EXPECT_EQ(ChildNames(targ), (Names{"mechToken", "mechListMIC"}));
  ExpectItem(FindItem(targ, "mechListMIC"), kRequestBlob + 196, 16, "010000000123456789ABCDEF00000000");

  const uint32_t ntlm = kRequestBlob + 12;
  const Node* message = FindItem(targ, "NTLM Secure Service Provider");
  EXPECT_EQ(ChildNames(message),
            (Names{"NTLMSSP Identifier", "NTLM Message Type", "Lan Manager Response", "NTLM Response", "Domain Name",
                   "User Name", "Host Name", "Session Key", "Negotiate Flags", "Version"}));
  ExpectItem(FindItem(message, "NTLM Message Type"), ntlm + 8, 4, "3 (0x00000003)", "NTLMSSP_AUTH");
  ExpectItem(Child(FindItem(message, "Lan Manager Response"), 3), ntlm + 116, 24, std::string(48, '1'));
  ExpectItem(Child(FindItem(message, "NTLM Response"), 3), ntlm + 140, 24, std::string(48, '2'));
  ExpectItem(FindItem(message, "Domain Name"), ntlm + 28, 8, "DOMAIN");
  ExpectItem(FindItem(message, "User Name"), ntlm + 36, 8, "user");
  ExpectFields(FindItem(message, "Host Name"), {{"Length", ntlm + 44, 2, "8 (0x0008)"},
                                                {"Maxlen", ntlm + 46, 2, "8 (0x0008)"},
                                                {"Offset", ntlm + 48, 4, "108 (0x0000006C)"},
                                                {"Value", ntlm + 108, 8, "HOST"}});
  ExpectItem(Child(FindItem(message, "Session Key"), 3), ntlm + 164, 16, std::string(32, '3'));
  ExpectItem(FindItem(message, "Negotiate Flags"), ntlm + 60, 4, "1110 0010 1000 1000 1000 0010 0001 0101");
}

TEST_F(SMBSecurityBlob, BlobsThatAreNoSpnegoNegotiation) {
  // A bare NTLMSSP message: the first byte is no token of SPNEGO's.
  auto bare = DecodeFrame(SessionSetupRequest(kNtlmNegotiate));
  ExpectFields(Blob(bare.get()), {{"Unknown Header", kRequestBlob, 1, "78 (0x4E)"}});
  ExpectItem(FindItem(SmbLayer(bare.get()), "Native OS"), kRequestBlob + 55, 10, "Unix");

  // A Kerberos token in its GSS-API wrapper: the identifier alone is shown.
  auto kerberos = DecodeFrame(SessionSetupRequest(Der(0x60, Concat({kKrb5Oid, Hex("0100 6e03 0201 05")}))));
  ExpectFields(Child(Blob(kerberos.get()), 0),
               {{"OID", kRequestBlob + 4, 9, "1.2.840.113554.1.2.2", "KRB5 - Kerberos 5"}});

  // A mechanism token that is no NTLMSSP message is shown as bytes.
  auto apRequest = DecodeFrame(SessionSetupRequest(InitToken(Der(0xA2, Der(0x04, Hex("6e820100a003020105"))))));
  const Node* token = FindItem(Blob(apRequest.get()), "mechToken");
  ExpectItem(token, kRequestBlob + 18, 9, "6E820100A003020105");
  EXPECT_TRUE(token->Children().empty());

  // SPNEGO wrapping neither token kind.
  auto other = DecodeFrame(SessionSetupRequest(Der(0x60, Concat({kSpnegoOid, Der(0xA5, Hex("0000"))}))));
  ExpectFields(FindItem(Blob(other.get()), "Simple Protected Negotiation"),
               {{"Unknown Header", kRequestBlob + 10, 1, "165 (0xA5)"}});
}

TEST_F(SMBSecurityBlob, LyingLengthsStayInsideTheirElements) {
  // The wrapper claims 127 bytes of a 12-byte blob; the texts follow the blob and its alignment byte.
  auto wrapper = DecodeFrame(SessionSetupRequest(Concat({Hex("607f"), kSpnegoOid, Hex("a000")})));
  const Node* gss = Child(Blob(wrapper.get()), 0);
  ExpectItem(gss, kRequestBlob, 12, "", "Length runs past the enclosing data");
  ExpectItem(FindItem(SmbLayer(wrapper.get()), "Native OS"), kRequestBlob + 13, 10, "Unix");
  // Five length bytes and an indefinite length give no length either.
  for (const char* header : {"6085", "6080"}) {
    auto form = DecodeFrame(SessionSetupRequest(Concat({Hex(header), Hex("0102030405060708")})));
    EXPECT_EQ(CommentOf(Child(Blob(form.get()), 0)), "Length runs past the enclosing data") << header;
    ExpectItem(FindItem(SmbLayer(form.get()), "Native OS"), kRequestBlob + 11, 10, "Unix");
  }

  // A security buffer pointing past the message keeps its numbers only.
  auto outside = DecodeFrame(
      SessionSetupRequest(NtlmInit(Concat({kNtlmHeader, Le32(1), Le32(0x00001001), Buffer(9, 200), Buffer(0, 0)}))));
  const Node* domain = FindItem(Blob(outside.get()), "Calling Workstation Domain");
  EXPECT_EQ(CommentOf(domain), "Length runs past the enclosing data");
  EXPECT_EQ(ChildNames(domain), (Names{"Length", "Maxlen", "Offset"}));

  // An attribute longer than the target information holding it.
  auto attribute =
      DecodeFrame(SessionSetupRequest(NtlmInit(Concat({kNtlmHeader, Le32(2), Buffer(0, 0), Le32(0x00800001),
                                                       Bytes(16, 0), Buffer(8, 48), Hex("0200 0c00 4400 4f00")}))));
  const Node* name = FindItem(FindItem(Blob(attribute.get()), "Target Info"), "NetBIOS domain name");
  EXPECT_EQ(CommentOf(name), "Length runs past the enclosing data");
  EXPECT_EQ(name->length, 8u);
  EXPECT_EQ(ValueOf(name), "DO");

  // A message too short for its fields, and one of a type without a layout.
  auto shortMessage = DecodeFrame(SessionSetupRequest(NtlmInit(Concat({kNtlmHeader, Le32(1), Le32(0x02000001)}))));
  EXPECT_EQ(ChildNames(FindItem(Blob(shortMessage.get()), "NTLM Secure Service Provider")),
            (Names{"NTLMSSP Identifier", "NTLM Message Type", "Negotiate Flags"}));
  auto unknown = DecodeFrame(SessionSetupRequest(NtlmInit(Concat({kNtlmHeader, Le32(7), Bytes(8, 0)}))));
  const Node* message = FindItem(Blob(unknown.get()), "NTLM Secure Service Provider");
  EXPECT_EQ(ChildNames(message), (Names{"NTLMSSP Identifier", "NTLM Message Type"}));
  EXPECT_EQ(CommentOf(Child(message, 1)), "NTLMSSP_UNKNOWN");
}

TEST_F(SMBSecurityBlob, CaptureEndingInsideTheMessageShowsItsFields) {
  // Cut inside the payload: every field is shown, the data that was not captured is not.
  auto info = Decode(m_.get(), kAuthenticateFrame, kRequestBlob + 12 + 120);
  const Node* message = FindItem(Blob(info.get()), "NTLM Secure Service Provider");
  EXPECT_EQ(ChildNames(message).back(), "Version");
  EXPECT_EQ(ValueOf(FindItem(message, "Host Name")), "HOST");
  EXPECT_EQ(ChildNames(FindItem(message, "NTLM Response")), (Names{"Length", "Maxlen", "Offset"}));
  EXPECT_EQ(ChildNames(SmbLayer(info.get())).back(), "Truncated");
}

TEST_F(SMBSecurityBlob, AnyByteOfATokenChangedStaysWithinTheFrame) {
  for (const Bytes* frame : {&kChallengeFrame, &kAuthenticateFrame}) {
    const uint32_t blob = frame == &kChallengeFrame ? kResponseBlob : kRequestBlob;
    for (size_t at = blob; at < frame->size(); ++at) {
      for (uint8_t value : {0x00, 0x05, 0x7F, 0x81, 0x84, 0xFF}) {
        Bytes changed = *frame;
        changed[at] = value;
        auto info = DecodeFrame(changed);
        ExpectItemsWithin(SmbLayer(info.get()), changed.size());
      }
    }
  }
}

}  // namespace
}  // namespace vel::test
