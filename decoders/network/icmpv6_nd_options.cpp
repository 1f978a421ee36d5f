// Neighbour-discovery options: each one a group with its type and length
// (in units of 8 bytes), then the fields its type defines.
#include "decoders/network/icmpv6_nd_options.h"

namespace vel {

using namespace icmpv6;

namespace {

// Option labels.
constexpr Text kSourceLinkLayerAddress = u"Source Link-layer Address";
constexpr Text kTargetLinkLayerAddress = u"Target Link-layer Address";
constexpr Text kPrefixLength = u"Prefix Length", kOnLink = u"On Link";
constexpr Text kAutonomous = u"Autonomous Address Configuration";
constexpr Text kValidLifetime = u"Valid Lifetime", kPreferredLifetime = u"Preferred Lifetime", kPrefix = u"Prefix";
constexpr Text kMtu = u"MTU", kShortcutLimit = u"Shortcut Limit", kAdvertisementInterval = u"Advertisement Interval";
constexpr Text kHomeAgentPreference = u"Home Agent Preference", kHomeAgentLifetime = u"Home Agent Lifetime";
constexpr Text kIPv6Address = u"IPv6 Address", kPadLength = u"Pad Length", kPadding = u"Padding";
constexpr Text kCgaParameters = u"CGA Parameters", kKeyHash = u"Key Hash", kNonce = u"Nonce";
constexpr Text kNameType = u"Name Type", kName = u"Name", kCertType = u"Cert Type", kCertificate = u"Certificate";
constexpr Text kOptionCode = u"Option Code", kDistance = u"Distance", kPreference = u"Preference";
constexpr Text kAt = u"AT", kEncryptedHandoverKey = u"Encrypted Handover Key", kKeyLifetime = u"Key Lifetime";
constexpr Text kHaiLength = u"HAI-Length", kHaiValue = u"HAI-Value";
constexpr Text kMnIdLength = u"MN ID-Length ", kMnId = u"MN ID";
constexpr Text kDnsSearchList = u"DNS Search List", kDigitalSignature = u"Digital Signature";

// The name forms of a trust anchor.
constexpr uint32_t kDerEncodedName = 1;
constexpr Text kDerEncodedNameText = u"DER Encoded X.501 Name", kFqdn = u"FQDN";

constexpr uint32_t kUnitBytes = 8;
constexpr uint32_t kAddressSize = 16;
constexpr uint32_t kMacSize = 6;

enum : uint32_t {
  kSourceLinkLayer = 1,
  kTargetLinkLayer = 2,
  kPrefixInformation = 3,
  kMtuOption = 5,
  kNbmaShortcutLimit = 6,
  kAdvertisementIntervalOption = 7,
  kHomeAgentInformation = 8,
  kSourceAddressList = 9,
  kTargetAddressList = 10,
  kCga = 11,
  kRsaSignature = 12,
  kTimestampOption = 13,
  kNonceOption = 14,
  kTrustAnchor = 15,
  kCertificateOption = 16,
  kIpAddressPrefix = 17,
  kNewRouterPrefix = 18,
  kLinkLayerAddress = 19,
  kNeighborAdvertisementAck = 20,
  kMap = 23,
  kRecursiveDnsServer = 25,
  kHandoverKeyRequest = 27,
  kHandoverKeyReply = 28,
  kHandoverAssist = 29,
  kMobileNodeIdentifier = 30,
  kDnsSearchListOption = 31,
  kProxySignature = 32,
};

constexpr CodeText kOptionNames[] = {
    {kSourceLinkLayer, u"Source link-layer address"},
    {kTargetLinkLayer, u"Target link-layer address"},
    {kPrefixInformation, u"Prefix information"},
    {4, u"Redirected header"},
    {kMtuOption, kMtu},
    {kNbmaShortcutLimit, u"NBMA Shortcut Limit Option"},
    {kAdvertisementIntervalOption, kAdvertisementInterval},
    {kHomeAgentInformation, u"Home Agent Information"},
    {kSourceAddressList, u"Source Address List"},
    {kTargetAddressList, u"Target Address List"},
    {kCga, u"CGA"},
    {kRsaSignature, u"RSA Signature"},
    {kTimestampOption, u"Timestamp"},
    {kNonceOption, kNonce},
    {kTrustAnchor, u"Trust Anchor"},
    {kCertificateOption, u"Certificate"},
    {kIpAddressPrefix, u"IP Address/Prefix Option"},
    {kNewRouterPrefix, u"New Router Prefix Information"},
    {kLinkLayerAddress, u"Link-layer Address"},
    {kNeighborAdvertisementAck, u"Neighbor Advertisement Acknowledgment"},
    {kMap, u"MAP"},
    {24, u"Route Information"},
    {kRecursiveDnsServer, u"Recursive DNS Server"},
    {26, u"RA Flags Extension"},
    {kHandoverKeyRequest, u"Handover Key Request"},
    {kHandoverKeyReply, u"Handover Key Reply"},
    {kHandoverAssist, u"Handover Assist Information"},
    {kMobileNodeIdentifier, u"Mobile Node Identifier"},
    {kDnsSearchListOption, u"DNS Search List "},
    {kProxySignature, u"Proxy Signature (PS)"},
    {33, u"Address Registration"},
    {34, u"6LoWPAN Context"},
    {35, u"Authoritative Border Router"},
    {138, u"CARD Request"},
    {139, u"CARD Reply"},
};

constexpr CodeText kIpAddressPrefixCodes[] = {
    {1, u"Old Care-of Address"},
    {2, u"New Care-of Address"},
    {3, u"NAR IP address"},
    {4, u"NAR's Prefix"},
};

constexpr CodeText kLinkLayerAddressCodes[] = {
    {1, u"New CoA is invalid, perform address configuration"},
    {2, u"New CoA is invalid, use the supplied CoA"},
    {3, u"NCoA is invalid, use NAR's IP address as NCoA in FBU"},
    {4, u"PCoA supplied, do not send FBU"},
    {128, u"LLA is unrecognized"},
};

constexpr CodeText kHandoverAssistCodes[] = {{1, u"Access Network Identifier (AN ID)"}, {2, u"Sector ID"}};

constexpr CodeText kMobileNodeIdentifierCodes[] = {{1, u"NAI"}, {2, u"IMSI"}};

}  // namespace

// ---- The walk ----

void CICMPv6OptionDecoder::AddNeighborDiscoveryOptions() {
  const uint32_t captured = Remaining();
  for (uint32_t walked = 0; walked < captured && Remaining() > 0;) {
    const uint32_t start = CursorOffset();
    uint32_t type = AtCursor().U8(0);
    uint32_t length = AtCursor().U8(1) * kUnitBytes;
    Text name = TextFor(kOptionNames, type);
    TextBuffer label, lengthText;
    // An option of length 0 is shown over its type and length bytes; it would
    // never move the walk on, so the walk ends with it.
    Item* option = AddGroupItem(Group(), length ? length : 2, FormatResText(label, kOptionLabel, name));
    AddByteItem(option, Res(kType), name);
    AddByteItem(option, Res(kLength), Format(lengthText, u"%u Bytes", length));
    if (length == 0) return;
    AddOptionBody(option, type, start + length);
    walked += length;
  }
}

uint32_t CICMPv6OptionDecoder::RestOf(uint32_t end) const {
  return end > CursorOffset() ? end - CursorOffset() : 0;
}

void CICMPv6OptionDecoder::AddOptionBody(Item* option, uint32_t type, uint32_t end) {
  switch (type) {
    case kSourceLinkLayer: AddLinkLayerAddress(option, kSourceLinkLayerAddress); break;
    case kTargetLinkLayer: AddLinkLayerAddress(option, kTargetLinkLayerAddress); break;
    case kPrefixInformation: AddPrefixInformation(option, end); break;
    case kMtuOption:
      AddWordItem(option, Res(kReserved));
      AddDWordItem(option, kMtu);
      break;
    case kNbmaShortcutLimit: AddWordItem(option, kShortcutLimit); break;
    case kAdvertisementIntervalOption:
      AddWordItem(option, Res(kReserved));
      AddDWordItem(option, kAdvertisementInterval);
      break;
    case kHomeAgentInformation:
      AddWordItem(option, Res(kReserved));
      AddWordItem(option, kHomeAgentPreference);
      AddWordItem(option, kHomeAgentLifetime, Res(kSeconds));
      break;
    case kSourceAddressList:
    case kTargetAddressList:
      AddHexBytes(option, Res(kReserved), 6);
      AddAddressList(option, end);
      break;
    case kCga: {
      uint32_t padLength = AtCursor().U8(0);
      AddByteItem(option, kPadLength);
      AddByteItem(option, Res(kReserved));
      AddPaddedData(option, kCgaParameters, padLength, end);
      break;
    }
    case kRsaSignature:
      AddWordItem(option, Res(kReserved));
      AddHexBytes(option, kKeyHash, 16);
      break;
    case kTimestampOption:
      AddHexBytes(option, Res(kReserved), 6);
      AddQWordItem(option, Res(kTimestamp));
      break;
    case kNonceOption: AddHexBytes(option, kNonce, RestOf(end)); break;
    case kTrustAnchor: AddTrustAnchor(option, end); break;
    case kCertificateOption:
      AddByteItem(option, kCertType);
      AddByteItem(option, Res(kReserved));
      AddHexBytes(option, kCertificate, RestOf(end));
      break;
    case kIpAddressPrefix:
      AddByteItem(option, kOptionCode, TextFor(kIpAddressPrefixCodes, AtCursor().U8(0)));
      AddByteItem(option, kPrefixLength);
      AddAddress(option, kIPv6Address);
      break;
    case kNewRouterPrefix:
      AddByteItem(option, kOptionCode);
      AddByteItem(option, kPrefixLength);
      AddByteItem(option, Res(kReserved));
      AddHexBytes(option, kPrefix, RestOf(end));
      break;
    case kLinkLayerAddress: AddByteItem(option, kOptionCode); break;
    case kNeighborAdvertisementAck:
      AddByteItem(option, kOptionCode);
      AddByteItem(option, Res(kStatus), TextFor(kLinkLayerAddressCodes, AtCursor().U8(0)));
      AddWordItem(option, Res(kReserved));
      break;
    case kMap: AddMapOption(option); break;
    case kRecursiveDnsServer:
      AddWordItem(option, Res(kReserved));
      AddDWordItem(option, Res(kLifetime));
      AddAddressList(option, end);
      break;
    case kHandoverKeyRequest: AddHandoverKey(option, false, end); break;
    case kHandoverKeyReply: AddHandoverKey(option, true, end); break;
    case kHandoverAssist: AddCodedValue(option, kHandoverAssistCodes, kHaiLength, kHaiValue); break;
    case kMobileNodeIdentifier: AddCodedValue(option, kMobileNodeIdentifierCodes, kMnIdLength, kMnId); break;
    case kDnsSearchListOption:
      AddWordItem(option, Res(kReserved));
      AddDWordItem(option, Res(kLifetime));
      AddHexBytes(option, kDnsSearchList, RestOf(end));
      break;
    case kProxySignature:
      AddWordItem(option, Res(kReserved));
      AddHexBytes(option, kKeyHash, 16);
      AddHexBytes(option, kDigitalSignature, RestOf(end));
      break;
    default: SetCursor(Layer().Clamp(end - LayerOffset()).data()); break;
  }
}

// ---- Option bodies ----

void CICMPv6OptionDecoder::AddLinkLayerAddress(Item* option, Text label) {
  const uint8_t* address = AtCursor().Bytes(0, kMacSize);
  char16_t text[kMacTextSize] = {};
  TextBuffer vendor;
  Bstr name;
  if (Manager() && Manager()->LookupOUIName(ReadUInt24BE(address), &name) == S_OK) vendor.append(name.view());
  AddTextItem(option, kMacSize, label, Text(MacText(address, text), kMacTextSize - 1), vendor,
              VEL_DII_DESTINATION_ADDRESS);
}

void CICMPv6OptionDecoder::AddPrefixInformation(Item* option, uint32_t end) {
  AddByteItem(option, kPrefixLength);
  uint32_t flags = AtCursor().U8(0);
  Item* group = AddFlagsGroup(option, 1, BitsText8(flags, 0xFF));
  AddTextItem(group, 1, kOnLink, BitsText8(flags, 0x80), YesNo(flags & 0x80), 0, false);
  AddTextItem(group, 1, kAutonomous, BitsText8(flags, 0x40), YesNo(flags & 0x40));
  AddDWordItem(option, kValidLifetime);
  AddDWordItem(option, kPreferredLifetime);
  AddDWordItem(option, Res(kReserved));
  uint32_t rest = RestOf(end);
  if (rest == kAddressSize)
    AddAddress(option, kPrefix);
  else
    AddHexBytes(option, kPrefix, rest);
}

// One address per 16 bytes of what is left of the option.
void CICMPv6OptionDecoder::AddAddressList(Item* option, uint32_t end) {
  for (uint32_t count = RestOf(end) / kAddressSize; count > 0; --count) AddAddress(option, kIPv6Address);
}

// Data followed by padLength bytes of padding, both within the option.
void CICMPv6OptionDecoder::AddPaddedData(Item* option, Text label, uint32_t padLength, uint32_t end) {
  uint32_t rest = RestOf(end);
  if (padLength > rest) padLength = rest;
  AddHexBytes(option, label, rest - padLength);
  AddHexBytes(option, kPadding, padLength);
}

void CICMPv6OptionDecoder::AddTrustAnchor(Item* option, uint32_t end) {
  AddByteItem(option, kNameType, AtCursor().U8(0) == kDerEncodedName ? kDerEncodedNameText : kFqdn);
  uint32_t padLength = AtCursor().U8(0);
  AddByteItem(option, kPadLength);
  uint32_t rest = RestOf(end);
  if (padLength > rest) padLength = rest;
  if (uint32_t nameLength = rest - padLength) {
    TextBuffer name;
    AppendPacketText(name, AtCursor().Bytes(0, nameLength), nameLength);
    AddTextItem(option, nameLength, kName, name);
  }
  AddHexBytes(option, kPadding, padLength);
}

void CICMPv6OptionDecoder::AddHandoverKey(Item* option, bool withLifetime, uint32_t end) {
  uint32_t padLength = AtCursor().U8(0);
  AddByteItem(option, kPadLength);
  TextBuffer at;
  AddTextItem(option, 1, kAt, Format(at, u"%u", AtCursor().U8(0) >> 4));
  if (withLifetime) AddWordItem(option, kKeyLifetime, Res(kSeconds));
  AddPaddedData(option, kEncryptedHandoverKey, padLength, end);
}

void CICMPv6OptionDecoder::AddMapOption(Item* option) {
  uint32_t value = AtCursor().U8(0);
  TextBuffer distance, preference;
  AddTextItem(option, 1, kDistance, Format(distance, u"%u", value >> 4), {}, 0, false);
  AddTextItem(option, 1, kPreference, Format(preference, u"%u", value & 0x0F));
  AddByteItem(option, Res(kFlags));
  AddDWordItem(option, kValidLifetime);
}

// An option code, a length byte and that many bytes of value.
void CICMPv6OptionDecoder::AddCodedValue(Item* option, std::span<const CodeText> codes, Text lengthLabel,
                                         Text valueLabel) {
  AddByteItem(option, kOptionCode, TextFor(codes, AtCursor().U8(0)));
  uint32_t valueLength = AtCursor().U8(0);
  AddByteItem(option, lengthLabel);
  AddHexBytes(option, valueLabel, valueLength);
}

// ---- Shared item forms ----

Item* CICMPv6OptionDecoder::AddQWordItem(Item* parent, Text name, Text comment) {
  ByteView bytes = AtCursor();
  uint64_t value = uint64_t{bytes.U32(0)} << 32 | bytes.U32(4);
  TextBuffer text;
  return AddTextItem(parent, 8, name, Format(text, u"%u (0x%016X)", value, value), comment);
}

void CICMPv6OptionDecoder::AddAddress(Item* parent, Text label) {
  char16_t text[kIPv6TextSize];
  AddTextItem(parent, kAddressSize, label, IPv6Text(AtCursor().Bytes(0, kAddressSize), text), {}, VEL_DII_IP_ADRESS);
}

Item* CICMPv6OptionDecoder::AddFlagsGroup(Item* parent, uint32_t length, Text bits) {
  Item* flags = AddTextItem(parent, length, Res(kFlags), bits, {}, 0, false);
  MakeGroup(flags);
  return flags;
}

void CICMPv6OptionDecoder::AddHexBytes(Item* parent, Text name, uint32_t count) {
  if (count > 0) AddHexItem(parent, name, count);
}

}  // namespace vel
