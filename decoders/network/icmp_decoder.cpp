// ICMP for IPv4: the message laid out by its type, with the type named in the
// summary and, for error messages, the code named too. The checksum covers the
// message to the end of the captured data. An error message quotes the IP
// header of the datagram that caused it; that header is handed to the output
// modules as a new IPv4 layer, and nothing else of the message goes on.
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels and texts.
constexpr uint32_t kReserved = 117, kChecksum = 126;
constexpr uint32_t kType = 223, kCode = 224, kIdentifier = 225, kSequenceNumber = 226, kUnused = 243;
constexpr uint32_t kPointer = 249, kGatewayAddress = 254;
constexpr uint32_t kOriginateTimestamp = 255, kReceiveTimestamp = 256, kTransmitTimestamp = 257;
constexpr uint32_t kNumberOfAddress = 258, kAddressEntrySize = 259, kLifetime = 260, kSeconds = 261;
constexpr uint32_t kRouterAddress = 262, kPreferenceLevel = 263, kAddressMask = 264;
constexpr uint32_t kOutboundHopCount = 265, kReturnHopCount = 266, kOutputLinkSpeed = 267, kOutputLinkMtu = 268;
constexpr uint32_t kErrorPointer = 281, kTimeToLive = 282, kNames = 283, kSubtype = 290, kEchoData = 291;
constexpr uint32_t kUnknown = 1111, kMtuOfNextHop = 1971;

constexpr uint32_t kChecksumOffset = 2;
constexpr uint32_t kTypeIPv4 = 1;
constexpr uint32_t kFragmentationNeeded = 4;

// Message types with a layout of their own.
enum : uint32_t {
  kEchoReply = 0,
  kDestinationUnreachable = 3,
  kSourceQuench = 4,
  kRedirect = 5,
  kEchoRequest = 8,
  kRouterAdvertisement = 9,
  kRouterSolicitation = 10,
  kTimeExceeded = 11,
  kParameterProblem = 12,
  kTimestampRequest = 13,
  kTimestampReply = 14,
  kInformationRequest = 15,
  kInformationReply = 16,
  kAddressMaskRequest = 17,
  kAddressMaskReply = 18,
  kTraceroute = 30,
  kConversionError = 31,
  kDomainNameRequest = 37,
  kDomainNameReply = 38,
  kPhoturis = 40,
  kExperimentalMobility = 41,
};

// Type names by type; every type from 41 on is reserved.
constexpr const char16_t* kTypeNames[] = {
    u"Echo Reply",
    u"Unassigned",
    u"Unassigned",
    u"Destination Unreachable",
    u"Source Quench",
    u"Redirect",
    u"Alternate Host Address",
    u"Unassigned",
    u"Echo request",
    u"Router Advertisement",
    u"Router Solicitation",
    u"Time Exceeded",
    u"Parameter Problem",
    u"Timestamp Request",
    u"Timestamp Reply",
    u"Information Request",
    u"Information Reply",
    u"Address Mask Request",
    u"Address Mask Reply",
    u"Reserved (for Security)",
    u"Reserved",
    u"Reserved",
    u"Reserved",
    u"Reserved",
    u"Reserved",
    u"Reserved",
    u"Reserved",
    u"Reserved",
    u"Reserved",
    u"Reserved",
    u"Traceroute",
    u"Datagram Conversion Error",
    u"Mobile Host Redirect",
    u"IPv6 Where-Are-You",
    u"IPv6 I-Am-Here",
    u"Mobile Registration Request",
    u"Mobile Registration Reply",
    u"Domain Name Request",
    u"Domain Name Reply",
    u"SKIP",
    u"Photuris",
};

constexpr NameIdPair kUnreachableCodes[] = {
    {0, 1112},  {1, 1113},  {2, 1114},  {3, 1115},  {4, 1116},  {5, 1117},  {6, 1118},  {7, 1119},
    {8, 1120},  {9, 1121},  {10, 1122}, {11, 1123}, {12, 1124}, {13, 1125}, {14, 1126}, {15, 1127},
    {0, 0},
};
constexpr NameIdPair kRedirectCodes[] = {{0, 1128}, {1, 1129}, {2, 1130}, {3, 1131}, {0, 0}};
constexpr NameIdPair kTimeExceededCodes[] = {{0, 1132}, {1, 1133}, {0, 0}};
constexpr NameIdPair kParameterProblemCodes[] = {{0, 1134}, {0, 0}};
constexpr NameIdPair kConversionErrorCodes[] = {
    {0, 269}, {1, 270}, {2, 271}, {3, 272}, {4, 273},  {5, 274},
    {6, 275}, {7, 276}, {8, 277}, {9, 278}, {10, 279}, {11, 280},
    {0, 0},
};
constexpr NameIdPair kPhoturisCodes[] = {{0, 1135}, {1, 1136}, {2, 1137}, {3, 1138}, {4, 1139}, {5, 1140}, {0, 0}};

constexpr CLSID kClsid = MakeGuid("{AA0BFB0A-FC9E-403E-8E82-03D1A69A0619}");

Text TypeName(uint32_t type) { return type < std::size(kTypeNames) ? kTypeNames[type] : u"Reserved"; }

// A code missing from the type's list is "Unknown".
Text NameOrUnknown(const NameIdPair* table, uint32_t code) {
  uint32_t id = LookupNameId(table, code);
  return Res(id == kNoText ? kUnknown : id);
}

Text CodeName(uint32_t type, uint32_t code) {
  switch (type) {
    case kDestinationUnreachable: return NameOrUnknown(kUnreachableCodes, code);
    case kRedirect: return NameOrUnknown(kRedirectCodes, code);
    case kTimeExceeded: return NameOrUnknown(kTimeExceededCodes, code);
    case kParameterProblem: return NameOrUnknown(kParameterProblemCodes, code);
    case kConversionError: return NameOf(kConversionErrorCodes, code);
    case kPhoturis: return NameOf(kPhoturisCodes, code);
    default: return {};
  }
}

}  // namespace

class CICMPDecoder : public CVELBaseModuleCLSIDImplT<CICMPDecoder, 15, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {1}); }

  void DecodeLayer() override {
    const uint32_t type = Layer().U8(0);
    TextBuffer value;
    AddTextItem(Group(), 1, Res(kType), Format(value, u"%d", type), TypeName(type));
    SetSummary(Group(), TypeName(type));
    switch (type) {
      case kEchoReply:
      case kEchoRequest:
        AddQueryHeader();
        AddRemainingItem(Group(), Res(kEchoData));
        break;
      case kTimestampRequest:
      case kTimestampReply:
        AddQueryHeader();
        AddWord32Text(kOriginateTimestamp);
        AddWord32Text(kReceiveTimestamp);
        AddWord32Text(kTransmitTimestamp);
        break;
      case kAddressMaskRequest:
      case kAddressMaskReply:
        AddQueryHeader();
        AddIPv4Item(kAddressMask);
        break;
      case kDomainNameReply:
        AddQueryHeader();
        AddDWordItem(Group(), Res(kTimeToLive));
        AddRemainingItem(Group(), Res(kNames));
        break;
      case kInformationRequest:
      case kInformationReply:
      case kDomainNameRequest:
        AddQueryHeader();
        break;
      case kDestinationUnreachable:
      case kSourceQuench:
      case kRedirect:
      case kRouterSolicitation:
      case kTimeExceeded:
      case kParameterProblem:
        AddErrorMessage(type);
        OfferQuotedDatagram();
        break;
      case kRouterAdvertisement:
        AddRouterAdvertisement();
        break;
      case kTraceroute:
        AddTraceroute();
        break;
      case kConversionError:
        AddNamedCodeAndChecksum(type);
        AddDWordItem(Group(), Res(kErrorPointer));
        OfferQuotedDatagram();
        break;
      case kPhoturis:
        AddNamedCodeAndChecksum(type);
        AddWordItem(Group(), Res(kReserved));
        AddWordItem(Group(), Res(kErrorPointer));
        OfferQuotedDatagram();
        break;
      case kExperimentalMobility:
        AddCodeAndChecksum();
        AddByteItem(Group(), Res(kSubtype));
        AddTextItem(Group(), 3, Res(kReserved), {});
        break;
      default:
        AddCodeAndChecksum();
        break;
    }
    SetGroupLength();
  }

 private:
  // The checksum covers the message from its first byte to the end of the
  // captured data; a wrong one is answered with the value it should hold.
  void JudgeChecksum(Item* item) {
    if (VerifyChecksum()) JudgeInternetChecksum(item, Layer(), kChecksumOffset);
  }

  void AddCodeAndChecksum() {
    AddByteItem(Group(), Res(kCode));
    JudgeChecksum(AddWordItem(Group(), Res(kChecksum)));
  }

  void AddNamedCodeAndChecksum(uint32_t type) {
    AddByteItem(Group(), Res(kCode), CodeName(type, AtCursor().U8(0)));
    JudgeChecksum(AddWordItem(Group(), Res(kChecksum)));
  }

  // Code, checksum, identifier and sequence number: the start of every query and reply.
  void AddQueryHeader() {
    AddCodeAndChecksum();
    AddWordItem(Group(), Res(kIdentifier));
    AddWordItem(Group(), Res(kSequenceNumber));
  }

  void AddIPv4Item(uint32_t label) {
    char16_t text[kIPv4TextSize];
    AddTextItem(Group(), 4, Res(label), IPv4Text(AtCursor().Bytes(0, 4), text));
  }

  // A 4-byte item showing the big-endian 32-bit word.
  void AddWord32Text(uint32_t label) {
    const uint32_t stamp = AtCursor().U32(0);
    TextBuffer value;
    AddTextItem(Group(), 4, Res(label), Format(value, u"%u (0x%04X)", stamp, stamp));
  }

  void AddErrorMessage(uint32_t type) {
    const ByteView message = Layer();
    const uint32_t code = message.U8(1);
    TextBuffer value;
    AddTextItem(Group(), 1, Res(kCode), Format(value, u"%u (0x%02X)", code, code), CodeName(type, code));
    const uint32_t checksum = message.U16(2);
    JudgeChecksum(AddTextItem(Group(), 2, Res(kChecksum), Format(value, u"%u (0x%02X)", checksum, checksum)));
    if (type == kDestinationUnreachable && code == kFragmentationNeeded) {
      AddDWordItem(Group(), Res(kMtuOfNextHop));
    } else if (type == kRedirect) {
      AddIPv4Item(kGatewayAddress);
    } else if (type == kParameterProblem) {
      AddByteItem(Group(), Res(kPointer));
      AddTextItem(Group(), 3, Res(kUnused), {});
    } else {
      AddTextItem(Group(), 4, Res(kUnused), {});
    }
  }

  void AddRouterAdvertisement() {
    AddCodeAndChecksum();
    const uint32_t addresses = AtCursor().U8(0);
    AddByteItem(Group(), Res(kNumberOfAddress));
    AddByteItem(Group(), Res(kAddressEntrySize));
    AddWordItem(Group(), Res(kLifetime), Res(kSeconds));
    for (uint32_t i = 0; i < addresses; ++i) {
      AddIPv4Item(kRouterAddress);
      AddWord32Text(kPreferenceLevel);
    }
  }

  void AddTraceroute() {
    AddCodeAndChecksum();
    AddWordItem(Group(), Res(kIdentifier));
    AddWordItem(Group(), Res(kUnused));
    AddWordItem(Group(), Res(kOutboundHopCount));
    AddWordItem(Group(), Res(kReturnHopCount));
    AddDWordItem(Group(), Res(kOutputLinkSpeed));
    AddDWordItem(Group(), Res(kOutputLinkMtu));
  }

  // The quoted IP header goes to the output modules as a new IPv4 layer; the
  // flag makes the IPv4 module follow the quoted protocol number. This
  // layer's cursor stays before the quoted header.
  void OfferQuotedDatagram() {
    Packet()->nQuotedDatagram = 1;
    OfferToOutputs(kTypeIPv4, Cursor());
  }
};

VEL_REGISTER_MODULE(CICMPDecoder, 4, u"ICMP Decoder", u"ICMP Decoder Module");

}  // namespace vel
