#include "test_support.h"

namespace vel::test {
namespace {

constexpr uint32_t P = kUdpPayload;
constexpr std::string_view kAuthenticator = "00112233445566778899aabbccddeeff";

// Code, identifier and length, the authenticator above, then the attributes.
Bytes RadiusFrame(std::string_view header, std::string_view attributes) {
  return UdpFrame(50000, 1812, Concat({Hex(header), Hex(kAuthenticator), Hex(attributes)}));
}

// Access-Request 7: User-Name "bob", NAS-IP-Address 192.168.0.10, Vendor-Specific of vendor 9 with "priv=15".
const Bytes kAccessRequest = RadiusFrame("0107002c", "0105626f62 0406c0a8000a 1a0d00000009707269763d3135");

// Access-Challenge 3: State, an EAP Request of type MD5-Challenge, Message-Authenticator.
const Bytes kAccessChallenge =
    RadiusFrame("0b030044", "1806a1b2c3d4 4f18 0102001604 10202122232425262728292a2b2c2d2e2f 5012" +
                                std::string(32, '0'));

// Accounting-Request 9: the unnamed types 40 and 44, Service-Type Framed, NAS-Port-Type Ethernet,
// Framed-IP-Address 255.255.255.255, Session-Timeout 3600, CHAP-Password with ident 5.
const Bytes kAccountingRequest = RadiusFrame(
    "0409004b", "2806 00000001 2c06 30303031 0606 00000002 3d06 0000000f 0806 ffffffff 1b06 00000e10"
                "0313 05 30313233343536373839616263646566");

// Header only, code 99; and a length below the header's 20 bytes with an attribute after it.
const Bytes kUnnamedCode = RadiusFrame("63010014", "");
const Bytes kShortLength = RadiusFrame("0101000a", "010378");
// A length of 26 over two attributes of 6 bytes: only the first is walked.
const Bytes kLengthEndsWalk = RadiusFrame("0201001a", "010661626364 010665666768");
// Attribute lengths of 1 and 0 end the walk.
const Bytes kAttributeLengthOne = RadiusFrame("02010019", "0101 010378");
const Bytes kAttributeLengthZero = RadiusFrame("02010019", "4f00 010378");
// A length of 200 over 25 captured bytes, and an attribute claiming 40 bytes where 5 are left.
const Bytes kLengthBeyondCapture = RadiusFrame("010100c8", "0105626f62");
const Bytes kAttributeBeyondCapture = RadiusFrame("0101001f", "04060a000001 0128616263");
// Values too short for their fixed parts: NAS-Port of 2 bytes, Vendor-Specific of 2, an empty
// CHAP-Password, an EAP-Message of 2; then User-Name "z".
const Bytes kShortValues = RadiusFrame("01010025", "05040001 1a046162 0302 4f040301 01037a");
// Access-Accept with EAP Success, which has no type.
const Bytes kEapSuccess = RadiusFrame("0201001a", "4f0603050004");
// An EAP Response of 1000 bytes whose first 17 travel in this attribute, the rest in the next.
const Bytes kEapFragments = RadiusFrame("0b01003d", "4f11020703e80d00000000000000000000 4f06aabbccdd 5012" +
                                                      std::string(32, '0'));

const Node* Radius(IVELPacketsDecodingInfo* info) {
  return FindGroup(info, "Radius - Remote Authentication Dial In User Service");
}
const Node* Pairs(IVELPacketsDecodingInfo* info) { return ItemAt(info, {"Radius", "Attribute Value Pairs"}); }

using RadiusDecoder = DecoderTest;

TEST_F(RadiusDecoder, AccessRequestWithUserNameAddressAndVendorData) {
  auto info = SweepAndDecode(kAccessRequest);
  const Node* radius = Radius(info.get());
  ExpectItem(radius, P, 44, "");
  EXPECT_EQ(SummaryOf(radius), "Access-Request, ( ID = 7, Len = 44)");
  ExpectFields(radius, {{"Code", P, 1, "1 (0x01)", "Access-Request"},
                        {"Packet Identifier", P + 1, 1, "7 (0x07)"},
                        {"Length", P + 2, 2, "44 (0x002C)"},
                        {"Authenticator", P + 4, 16, "00112233445566778899AABBCCDDEEFF"},
                        {"Attribute Value Pairs", P + 20, 24, ""}});
  const Node* pairs = Pairs(info.get());
  ExpectFields(pairs,
               {{"User-Name", P + 20, 5, ""}, {"NAS-IP-Address", P + 25, 6, ""}, {"Vendor-Specific", P + 31, 13, ""}});
  ExpectFields(
      Child(pairs, 0),
      {{"Type", P + 20, 1, "1 (0x01)", "User-Name"}, {"Length", P + 21, 1, "5 (0x05)"}, {"Value", P + 22, 3, "bob"}});
  ExpectFields(Child(pairs, 1), {{"Type", P + 25, 1, "4 (0x04)", "NAS-IP-Address"},
                                 {"Length", P + 26, 1, "6 (0x06)"},
                                 {"Value", P + 27, 4, "192.168.0.10", "", VEL_DII_IP_ADRESS}});
  ExpectFields(Child(pairs, 2), {{"Type", P + 31, 1, "26 (0x1A)", "Vendor-Specific"},
                                 {"Length", P + 32, 1, "13 (0x0D)"},
                                 {"Vendor-Id", P + 33, 4, "9 (0x00000009)"},
                                 {"Value", P + 37, 7, "priv=15"}});
  EXPECT_EQ(GroupNames(info.get()).back(), "Radius - Remote Authentication Dial In User Service");

  // The same over IPv6.
  auto v6 = DecodeFrame(Udp6Frame(50000, 1812, Bytes(kAccessRequest.begin() + P, kAccessRequest.end())));
  EXPECT_EQ(SummaryOf(Radius(v6.get())), "Access-Request, ( ID = 7, Len = 44)");
}

TEST_F(RadiusDecoder, AccessChallengeCarryingEap) {
  auto info = SweepAndDecode(kAccessChallenge);
  EXPECT_EQ(SummaryOf(Radius(info.get())), "Access-Challenge, ( ID = 3, Len = 68)");
  const Node* pairs = Pairs(info.get());
  EXPECT_EQ(ChildNames(pairs), (Names{"State", "EAP-Message", "Message-Authenticator"}));
  EXPECT_EQ(ValueOf(FindItem(Child(pairs, 0), "Value")), "A1B2C3D4");
  // Hex values are shown in full, also beyond 32 digits.
  ExpectItem(FindItem(Child(pairs, 2), "Value"), P + 52, 16, std::string(32, '0'));

  const Node* eapMessage = Child(pairs, 1);
  EXPECT_EQ(ChildNames(eapMessage), (Names{"Type", "Length", "Extensible Authentication Protocol"}));
  const Node* eap = FindItem(eapMessage, "Extensible Authentication Protocol");
  ExpectItem(eap, P + 28, 22, "");
  EXPECT_TRUE(eap->isGroup);
  ExpectFields(eap, {{"Code", P + 28, 1, "1 (0x01)", "Request"},
                     {"Identifier", P + 29, 1, "2 (0x02)"},
                     {"Length", P + 30, 2, "22 (0x0016)"},
                     {"Type", P + 32, 1, "4 (0x04)", "MD5-Challenge"},
                     {"Type-Data", P + 33, 17, "10202122232425262728292A2B2C2D2E2F"}});
}

TEST_F(RadiusDecoder, AccountingRequestWithNumbersNamesAndUnnamedTypes) {
  auto info = SweepAndDecode(kAccountingRequest);
  EXPECT_EQ(SummaryOf(Radius(info.get())), "Accounting-Request, ( ID = 9, Len = 75)");
  const Node* pairs = Pairs(info.get());
  EXPECT_EQ(ChildNames(pairs),
            (Names{"", "", "Service-Type", "NAS-Port-Type", "Framed-IP-Address", "Session-Timeout", "CHAP-Password"}));
  // Types without a name: empty label, empty Type comment, empty value over the value bytes.
  ExpectFields(Child(pairs, 0),
               {{"Type", P + 20, 1, "40 (0x28)"}, {"Length", P + 21, 1, "6 (0x06)"}, {"Value", P + 22, 4, ""}});
  ExpectItem(FindItem(Child(pairs, 1), "Value"), P + 28, 4, "");
  ExpectItem(FindItem(Child(pairs, 2), "Value"), P + 34, 4, "2", "Framed");
  ExpectItem(FindItem(Child(pairs, 3), "Value"), P + 40, 4, "15", "Ethernet");
  ExpectItem(FindItem(Child(pairs, 4), "Value"), P + 46, 4, "FFFFFFFF", "Negotiated");
  ExpectItem(FindItem(Child(pairs, 5), "Value"), P + 52, 4, "3600");
  ExpectFields(Child(pairs, 6), {{"Type", P + 56, 1, "3 (0x03)", "CHAP-Password"},
                                 {"Length", P + 57, 1, "19 (0x13)"},
                                 {"CHAP Ident", P + 58, 1, "5 (0x05)"},
                                 {"Value", P + 59, 16, "0123456789abcdef"}});
}

TEST_F(RadiusDecoder, HeaderOnlyAndUnnamedCode) {
  auto info = SweepAndDecode(kUnnamedCode);
  const Node* radius = Radius(info.get());
  EXPECT_EQ(SummaryOf(radius), "( ID = 1, Len = 20)");
  ExpectValue(radius, "Code", "99 (0x63)");
  ExpectItem(Pairs(info.get()), P + 20, 0, "");
  EXPECT_TRUE(Pairs(info.get())->Children().empty());
  EXPECT_EQ(radius->length, 20u);
}

TEST_F(RadiusDecoder, TheHeaderLengthBoundsTheWalk) {
  auto shortLength = SweepAndDecode(kShortLength);
  const Node* radius = Radius(shortLength.get());
  EXPECT_EQ(ChildNames(radius), (Names{"Code", "Packet Identifier", "Length", "Authenticator"}));
  EXPECT_EQ(CommentOf(FindItem(radius, "Length")), "Less than the 20-byte header: no attributes follow");
  EXPECT_EQ(SummaryOf(radius), "Access-Request, ( ID = 1, Len = 10)");
  EXPECT_EQ(radius->length, 20u);

  auto bounded = SweepAndDecode(kLengthEndsWalk);
  EXPECT_EQ(ChildNames(Pairs(bounded.get())), (Names{"User-Name"}));
  EXPECT_EQ(ValueOf(ItemAt(bounded.get(), {"Radius", "Attribute Value Pairs", "User-Name", "Value"})), "abcd");
  EXPECT_EQ(Radius(bounded.get())->length, 26u);
}

TEST_F(RadiusDecoder, AttributeLengthBelowTwoEndsTheWalk) {
  for (const Bytes* frame : {&kAttributeLengthOne, &kAttributeLengthZero}) {
    auto info = SweepAndDecode(*frame);
    const Node* pairs = Pairs(info.get());
    ASSERT_EQ(pairs->Children().size(), 1u);
    EXPECT_EQ(Child(pairs, 0)->length, 2u);
    EXPECT_EQ(ChildNames(Child(pairs, 0)), (Names{"Type", "Length"}));
    EXPECT_EQ(CommentOf(FindItem(Child(pairs, 0), "Length")), "Less than 2: the attributes end here");
    EXPECT_EQ(Radius(info.get())->length, 22u);
  }
}

TEST_F(RadiusDecoder, LengthsBeyondTheCaptureKeepWhatWasShown) {
  auto pastCapture = SweepAndDecode(kLengthBeyondCapture);
  EXPECT_EQ(SummaryOf(Radius(pastCapture.get())), "Access-Request, ( ID = 1, Len = 200)");
  const Node* pairs = Pairs(pastCapture.get());
  ExpectItem(pairs, P + 20, 5, "");
  EXPECT_EQ(ChildNames(pairs), (Names{"User-Name"}));
  EXPECT_EQ(ChildNames(Radius(pastCapture.get())).back(), "Truncated");

  auto pastEnd = SweepAndDecode(kAttributeBeyondCapture);
  pairs = Pairs(pastEnd.get());
  EXPECT_EQ(ChildNames(pairs), (Names{"NAS-IP-Address", "User-Name"}));
  EXPECT_EQ(ValueOf(FindItem(Child(pairs, 0), "Value")), "10.0.0.1");
  EXPECT_EQ(Child(pairs, 1)->length, 5u);
  const Node* truncated = FindItem(Radius(pastEnd.get()), "Truncated");
  ExpectItem(truncated, P + 28, 3, "", "Frame ends here: 3 of the 38 bytes this field needs were captured");
}

TEST_F(RadiusDecoder, ValuesTooShortForTheirFixedParts) {
  auto info = SweepAndDecode(kShortValues);
  const Node* pairs = Pairs(info.get());
  EXPECT_EQ(ChildNames(pairs), (Names{"NAS-Port", "Vendor-Specific", "CHAP-Password", "EAP-Message", "User-Name"}));
  ExpectItem(FindItem(Child(pairs, 0), "Value"), P + 22, 2, "");
  EXPECT_EQ(ChildNames(Child(pairs, 1)), (Names{"Type", "Length", "Value"}));
  ExpectItem(FindItem(Child(pairs, 1), "Value"), P + 26, 2, "ab");
  EXPECT_EQ(ChildNames(Child(pairs, 2)), (Names{"Type", "Length", "Value"}));
  ExpectItem(FindItem(Child(pairs, 3), "Extensible Authentication Protocol"), P + 32, 2, "");
  EXPECT_TRUE(FindItem(Child(pairs, 3), "Extensible Authentication Protocol")->Children().empty());
  // The walk stays in step after them.
  ExpectItem(FindItem(Child(pairs, 4), "Value"), P + 36, 1, "z");
}

TEST_F(RadiusDecoder, EapSuccessAndMessagesSpreadOverAttributes) {
  auto success = SweepAndDecode(kEapSuccess);
  ExpectFields(
      ItemAt(success.get(), {"Radius", "Attribute Value Pairs", "EAP-Message", "Extensible Authentication Protocol"}),
      {{"Code", P + 22, 1, "3 (0x03)", "Success"},
       {"Identifier", P + 23, 1, "5 (0x05)"},
       {"Length", P + 24, 2, "4 (0x0004)"}});

  auto fragments = SweepAndDecode(kEapFragments);
  const Node* pairs = Pairs(fragments.get());
  EXPECT_EQ(ChildNames(pairs), (Names{"EAP-Message", "EAP-Message", "Message-Authenticator"}));
  const Node* first = FindItem(Child(pairs, 0), "Extensible Authentication Protocol");
  EXPECT_EQ(CommentOf(FindItem(first, "Type")), "");
  ExpectItem(FindItem(first, "Type-Data"), P + 27, 10, "00000000000000000000");
  // The continuation is read as a header of its own: code 0xAA has no name and no type.
  const Node* second = FindItem(Child(pairs, 1), "Extensible Authentication Protocol");
  EXPECT_EQ(ChildNames(second), (Names{"Code", "Identifier", "Length"}));
  EXPECT_EQ(CommentOf(FindItem(second, "Code")), "");
}

// tcpdump's RADIUS capture: an EAP exchange between a switch and its server.
TEST_F(RadiusDecoder, CapturedEapExchange) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/RADIUS.pcap");
  ASSERT_EQ(frames.size(), 4u);
  auto request = DecodeFrame(frames[0]);
  EXPECT_EQ(SummaryOf(Radius(request.get())), "Access-Request, ( ID = 5, Len = 139)");
  EXPECT_EQ(ChildNames(Pairs(request.get())),
            (Names{"NAS-IP-Address", "NAS-Port", "NAS-Port-Type", "User-Name", "Called-Station-Id",
                   "Calling-Station-Id", "Service-Type", "Framed-MTU", "EAP-Message", "Message-Authenticator"}));
  EXPECT_EQ(ValueOf(ItemAt(request.get(), {"Radius", "Attribute Value Pairs", "User-Name", "Value"})), "John.McGuirk");
  const Node* eap =
      ItemAt(request.get(), {"Radius", "Attribute Value Pairs", "EAP-Message", "Extensible Authentication Protocol"});
  EXPECT_EQ(CommentOf(FindItem(eap, "Code")), "Response");
  EXPECT_EQ(CommentOf(FindItem(eap, "Type")), "Identity");
  EXPECT_EQ(ValueOf(FindItem(eap, "Type-Data")), "4A6F686E2E4D63477569726B");

  auto challenge = DecodeFrame(frames[1]);
  ExpectValue(FindItem(Pairs(challenge.get()), "Framed-IP-Address"), "Value", "FFFFFFFE", "Assigned");
  for (const Bytes& frame : frames) TruncationSweep(m_.get(), frame);
}

// Attributes of later extensions, which have no names here (captures rewritten from Linux cooked to Ethernet).
TEST_F(RadiusDecoder, CapturedAttributesWithoutNames) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/RADIUS-RFC4675-ether.pcap");
  ASSERT_EQ(frames.size(), 6u);
  auto accept = DecodeFrame(frames[1]);
  EXPECT_EQ(SummaryOf(Radius(accept.get())), "Access-Accept, ( ID = 70, Len = 53)");
  const Node* pairs = Pairs(accept.get());
  EXPECT_EQ(ChildNames(pairs), (Names{"", "", "", ""}));
  EXPECT_EQ(ValueOf(FindItem(Child(pairs, 2), "Type")), "58 (0x3A)");
  EXPECT_EQ(ValueOf(FindItem(Child(pairs, 2), "Value")), "");
  SweepCapture(m_.get(), "tcpdump/RADIUS-RFC4675-ether.pcap");
  SweepCapture(m_.get(), "tcpdump/radius_rfc5447-ether.pcap");
}

}  // namespace
}  // namespace vel::test
