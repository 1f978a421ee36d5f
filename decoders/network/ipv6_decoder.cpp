// IPv6: the fixed 40-byte header, then the chain of extension headers that
// follows it, each shown as a sub-group of the IPv6 group (options, routing
// addresses, fragment fields, authentication data, mobility messages). The
// upper layer was found by the pre-classification's walk of the same chain;
// this decoder names it and hands on what follows the last item it showed.
// A fragment after the first carries no upper-layer header: its payload is
// shown as data and nothing is handed on.
#include <algorithm>
#include <optional>

#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels and texts.
constexpr uint32_t kType = 103, kIdentification = 105, kVersion = 111, kReserved = 117, kFragment = 118;
constexpr uint32_t kFragmentOffset = 123, kChecksum = 126, kRouterAlert = 159, kLength = 166, kFlags = 172;
constexpr uint32_t kIpAddress = 177, kSequenceNumber = 226, kLifetime = 260;
constexpr uint32_t kDestinationAddress = 1007, kSourceAddress = 1008;
constexpr uint32_t kTrafficClasses = 1250, kFlowLabel = 1251, kPayloadLength = 1252, kNextHeader = 1253;
constexpr uint32_t kHopLimit = 1254;
constexpr uint32_t kHopByHop = 1255, kRouting = 1256, kDestinationOptions = 1257, kEncapsulatingSecurity = 1258;
constexpr uint32_t kAuthentication = 1259, kNoNextHeader = 1260, kMobilityHeader = 1261, kHostIdentity = 1262;
constexpr uint32_t kShim6 = 1263;
constexpr uint32_t kOptionLabel = 1264, kAction = 1265, kDataMayChange = 1266, kSkipOver = 1267, kDiscard = 1268;
constexpr uint32_t kYes = 1269, kNo = 1270;
constexpr uint32_t kDown = 1295, kRankError = 1296, kForwardingError = 1297, kRplInstanceId = 1298;
constexpr uint32_t kSenderRank = 1299, kFunction = 1300, kRateRequest = 1301, kQsNonce = 1302;
constexpr uint32_t kDomainOfInterpretation = 1303, kCompartmentLength = 1304, kSensitivityLevel = 1305;
constexpr uint32_t kHBit = 1306, kLineIdLength = 1307, kLineId = 1308, kDup = 1309, kRet = 1310;
constexpr uint32_t kRoutingType = 1311, kSegmentsLeft = 1312, kMoreFragments = 1313;
constexpr uint32_t kAhSpi = 1314, kAhSequence = 1315, kAhIcv = 1316;
constexpr uint32_t kMhType = 1317, kHomeInitCookie = 1345, kCareOfInitCookie = 1346, kHomeNonceIndex = 1347;
constexpr uint32_t kHomeKeygenToken = 1348, kCareOfNonceIndex = 1349, kCareOfKeygenToken = 1350;
constexpr uint32_t kSequence = 1351, kAcknowledge = 1352, kHomeRegistration = 1353;
constexpr uint32_t kLinkLocalCompatibility = 1354, kKeyManagementCapability = 1355, kStatus = 1356;
constexpr uint32_t kRefreshInterval = 1357, kAlternateCareOfAddress = 1342, kAuthenticator = 1358;
constexpr uint32_t kHomeAddress = 1288, kFragmentData = 1013;

constexpr uint32_t kFixedHeaderSize = 40;

// Next-header values with a layout of their own in the walk.
enum : uint32_t {
  kHopByHopHeader = 0,
  kRoutingHeader = 43,
  kFragmentHeader = 44,
  kEspHeader = 50,
  kAuthenticationHeader = 51,
  kNoNextHeaderValue = 59,
  kDestinationOptionsHeader = 60,
  kMobilityHeaderValue = 135,
  kHipHeader = 139,
  kShim6Header = 140,
};

// The next-header values walked as extension headers, with their group labels.
constexpr NameIdPair kExtensionHeaders[] = {
    {kHopByHopHeader, kHopByHop},
    {kRoutingHeader, kRouting},
    {kFragmentHeader, kFragment},
    {kDestinationOptionsHeader, kDestinationOptions},
    {kEspHeader, kEncapsulatingSecurity},
    {kAuthenticationHeader, kAuthentication},
    {kNoNextHeaderValue, kNoNextHeader},
    {kMobilityHeaderValue, kMobilityHeader},
    {kHipHeader, kHostIdentity},
    {kShim6Header, kShim6},
    {0, 0},
};

// Hop-by-hop and destination option types.
enum : uint32_t {
  kPad1 = 0x00,
  kTunnelEncapsulationLimit = 0x04,
  kRouterAlertOption = 0x05,
  kCalipso = 0x07,
  kSimplifiedMulticastForwarding = 0x08,
  kQuickStart = 0x26,
  kRplOption = 0x63,
  kLineIdentification = 0x8C,
  kJumbo = 0xC2,
  kIpDff = 0xEE,
};

constexpr NameIdPair kOptionNames[] = {
    {kPad1, 1271},                           // Pad1
    {0x01, 1272},                            // PadN
    {kTunnelEncapsulationLimit, 1273},       // Tunnel Encapsulation Limit
    {kRouterAlertOption, kRouterAlert},      // Router Alert
    {kCalipso, 1274},                        // Calipso
    {kSimplifiedMulticastForwarding, 1275},  // Simplified Multicast Forwarding
    {0x1E, 1276},                            // Experimental (0x1E)
    {kQuickStart, 1277},                     // Quick Start
    {0x3E, 1278},                            // Experimental (0x3E)
    {0x5E, 1279},                            // Experimental (0x5E)
    {kRplOption, 1280},                      // RPL Option
    {0x6D, 1281},                            // MPL
    {0x7E, 1282},                            // Experimental (0x7E)
    {0x8A, 1283},                            // Endpoint Identification
    {kLineIdentification, 1284},             // Line-Identification
    {0x9E, 1285},                            // Experimental (0x9E)
    {0xBE, 1286},                            // Experimental (0xBE)
    {kJumbo, 1287},                          // Jumbo
    {0xC9, kHomeAddress},                    // Home Address
    {0xDE, 1289},                            // Experimental (0xDE)
    {kIpDff, 1290},                          // IP_DFF
    {0xFE, 1291},                            // Experimental (0xFE)
    {0, 0},
};

// What a node that does not know an option does, by the top two bits of its type.
constexpr NameIdPair kOptionActions[] = {{0, kSkipOver}, {1, kDiscard}, {2, kDiscard}, {3, kDiscard}, {0, 0}};

constexpr NameIdPair kRouterAlertValues[] = {
    {0, 1292},  // Datagram contains a Multicast Listener Discovery
    {1, 1293},  // Datagram contains RSVP message
    {2, 1294},  // Datagram contains an Active Networks message
    {0, 0},
};

// Mobility header message types.
enum : uint32_t {
  kBindingRefreshRequest = 0,
  kHomeTestInit = 1,
  kCareOfTestInit = 2,
  kHomeTest = 3,
  kCareOfTest = 4,
  kBindingUpdate = 5,
  kBindingAcknowledgement = 6,
  kBindingError = 7,
};

constexpr NameIdPair kMobilityMessages[] = {
    {kBindingRefreshRequest, 1318},    // Binding Refresh Request
    {kHomeTestInit, 1319},             // Home Test Init
    {kCareOfTestInit, 1320},           // Care-of Test Init
    {kHomeTest, 1321},                 // Home Test
    {kCareOfTest, 1322},               // Care-of Test
    {kBindingUpdate, 1323},            // Binding Update
    {kBindingAcknowledgement, 1324},   // Binding Acknowledgement
    {0, 0},
};

constexpr NameIdPair kBindingAcknowledgementStatus[] = {
    {0, 1325},    // Binding Update accepted
    {128, 1326},  // Reason unspecified
    {129, 1327},  // Administratively prohibited
    {130, 1328},  // Insufficient resources
    {131, 1329},  // Home registration not supported
    {132, 1330},  // Not home subnet
    {133, 1331},  // Not home agent for this mobile node
    {134, 1332},  // Duplicate Address Detection failed
    {135, 1333},  // Sequence number out of window
    {136, 1334},  // Expired home nonce index
    {137, 1335},  // Expired care-of nonce index
    {138, 1336},  // Expired nonces
    {139, 1337},  // Registration type change disallowed
    {174, 1338},  // Invalid Care-of Address
    {0, 0},
};

constexpr NameIdPair kBindingErrorStatus[] = {
    {1, 1339},  // Unknown binding for Home Address destination option
    {2, 1340},  // Unrecognized MH Type value
    {0, 0},
};

// Mobility options.
enum : uint32_t {
  kMobilityPad1 = 0,
  kBindingRefreshAdvice = 2,
  kAlternateCareOfAddressOption = 3,
  kNonceIndices = 4,
  kBindingAuthorizationData = 5,
  kHomeAddressOption = 201,
};

constexpr NameIdPair kMobilityOptionNames[] = {
    {kMobilityPad1, 1271},                                  // Pad1
    {1, 1272},                                              // PadN
    {kBindingRefreshAdvice, 1341},                          // Binding Refresh Advice
    {kAlternateCareOfAddressOption, kAlternateCareOfAddress},  // Alternate Care-of Address
    {kNonceIndices, 1343},                                  // Nonce Indices
    {kBindingAuthorizationData, 1344},                      // Binding Authorization Data
    {kHomeAddressOption, kHomeAddress},                     // Home Address
    {0, 0},
};

// A refresh advice counts units of four seconds.
constexpr uint32_t kRefreshIntervalUnit = 4;
// The Quick Start rate request: 80 kbps times two to the power of the field.
constexpr uint32_t kQuickStartBaseRate = 80;

constexpr CLSID kClsid = MakeGuid("{C78AA047-91DB-419C-917D-EC5A2136B2FE}");

Text YesNo(bool set) { return Res(set ? kYes : kNo); }

}  // namespace

class CIPV6Decoder : public CVELBaseModuleCLSIDImplT<CIPV6Decoder, 52, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override {
    return InputTypeIn(input, {1, 60, 48, 326, kLinuxCookedType, kLinuxCookedV2Type, kLoopbackType});
  }

  void DecodeLayer() override {
    ByteView header = Layer();
    uint32_t nextHeader = header.U8(6);
    uint32_t payloadLength = header.U16(4);
    std::optional<uint32_t> fragmentProtocol = LaterFragmentProtocol(nextHeader, payloadLength);
    namedLayer_ = fragmentProtocol.value_or(NextProtocol());
    laterFragment_ = fragmentProtocol.has_value();
    AddFixedHeader();
    WalkExtensionHeaders(nextHeader, payloadLength);
    if (fragmentProtocol) return ShowFragmentData(payloadLength);
    ForwardPayload();
  }

 private:
  // ---- Fixed header ----

  void AddFixedHeader() {
    uint32_t word = AtCursor().U32(0);
    TextBuffer version;
    AddTextItem(Group(), 1, Res(kVersion), BitsText32(word, 0xF0000000), Format(version, u"%u", word >> 28), 0,
                false);
    AddTextItem(Group(), 2, Res(kTrafficClasses), BitsText32(word, 0x0FF00000), {}, 0, false);
    AddTextItem(Group(), 4, Res(kFlowLabel), BitsText32(word, 0x000FFFFF));
    AddWordItem(Group(), Res(kPayloadLength));
    AddByteItem(Group(), Res(kNextHeader), NextLayerName());
    AddByteItem(Group(), Res(kHopLimit));
    AddAddress(Group(), kSourceAddress);
    AddAddress(Group(), kDestinationAddress);
  }

  // The long name of the layer the pre-classification found after IPv6, or
  // of the protocol whose data a later fragment carries.
  Text NextLayerName() const {
    const char16_t* name = ProtocolLongName(namedLayer_);
    return name ? name : Text();
  }

  // The protocol type that a fragment after the first carries (from its
  // fragment header), or nothing when the packet is not such a fragment. It
  // looks only at captured bytes, so it never ends the layer.
  std::optional<uint32_t> LaterFragmentProtocol(uint32_t nextHeader, uint32_t payloadLength) const {
    const ByteView layer = Layer();
    uint32_t at = kFixedHeaderSize;
    while (LookupNameId(kExtensionHeaders, nextHeader) != kNoText && layer.Has(at, 4)) {
      if (nextHeader == kFragmentHeader) {
        if ((layer.U16(at + 2) & 0xFFF8) == 0) return std::nullopt;
        return IpProtocolNumberToType(layer.U8(at));
      }
      uint32_t length = ExtensionLength(nextHeader, layer.U8(at + 1));
      nextHeader = layer.U8(at);
      at += length;
      if (at - kFixedHeaderSize >= payloadLength) break;
    }
    return std::nullopt;
  }

  // The rest of a later fragment's payload, up to the payload length.
  void ShowFragmentData(uint32_t payloadLength) {
    uint32_t payloadEnd = kFixedHeaderSize + payloadLength;
    uint32_t consumed = CursorOffset() - LayerOffset();
    uint32_t length = std::min(payloadEnd > consumed ? payloadEnd - consumed : 0, Remaining());
    if (length) AddDataItem(Group(), Res(kFragmentData), length);
    SetGroupLength();
  }

  void AddAddress(Item* parent, uint32_t label) {
    char16_t text[kIPv6TextSize];
    AddTextItem(parent, 16, Res(label), IPv6Text(AtCursor().Bytes(0, 16), text), {}, VEL_DII_IP_ADRESS);
  }

  // ---- Extension headers ----

  // Shows each extension header of the chain. The walk follows the headers'
  // own lengths and ends at the first value it does not walk, at a header
  // that carries nothing it can show, when the headers fill the payload, or
  // when the capture ends where the next header would begin.
  void WalkExtensionHeaders(uint32_t nextHeader, uint32_t payloadLength) {
    uint32_t at = kFixedHeaderSize;  // offset of the current header in the layer
    bool more = true;
    while (more && LookupNameId(kExtensionHeaders, nextHeader) != kNoText && Remaining() > 0) {
      uint32_t length = ExtensionLength(nextHeader, Layer().U8(at + 1));
      more = AddExtensionHeader(nextHeader, length);
      nextHeader = Layer().U8(at);
      at += length;
      if (at - kFixedHeaderSize >= payloadLength) break;
    }
  }

  // The authentication header counts 4-byte words less two, every other
  // header 8-byte units less one.
  static uint32_t ExtensionLength(uint32_t nextHeader, uint32_t lengthField) {
    return nextHeader == kAuthenticationHeader ? (lengthField + 2) * 4 : (lengthField + 1) * 8;
  }

  // Adds one extension header's group; false when the walk cannot go past it.
  bool AddExtensionHeader(uint32_t nextHeader, uint32_t length) {
    Item* header = AddGroupItem(Group(), length, Res(LookupNameId(kExtensionHeaders, nextHeader)));
    AddByteItem(header, Res(kType), NextLayerName());
    if (nextHeader != kFragmentHeader) {
      TextBuffer comment;
      AddByteItem(header, Res(kLength), Format(comment, u"%u", length));
    }
    switch (nextHeader) {
      case kHopByHopHeader:
      case kDestinationOptionsHeader: AddOptions(header, length - 2); return true;
      case kRoutingHeader: AddRoutingHeader(header); return true;
      case kFragmentHeader: AddFragmentHeader(header); return !laterFragment_;
      case kAuthenticationHeader: AddAuthenticationHeader(header, length); return true;
      case kMobilityHeaderValue: AddMobilityHeader(header, length - 2); return true;
      default: return false;  // ESP, no next header, HIP, Shim6
    }
  }

  void AddRoutingHeader(Item* header) {
    AddByteItem(header, Res(kRoutingType));
    uint32_t segmentsLeft = AtCursor().U8(0);
    AddByteItem(header, Res(kSegmentsLeft));
    AddDWordItem(header, Res(kReserved));
    for (uint32_t i = 0; i < segmentsLeft; ++i) AddAddress(header, kIpAddress);
  }

  void AddFragmentHeader(Item* header) {
    AddByteItem(header, Res(kReserved));
    uint32_t field = AtCursor().U16(0);
    Item* flags = AddFlagsGroup(header, 2, kFlags, BitsText16(field, 0xFFFF));
    TextBuffer offset;
    AddTextItem(flags, 2, Res(kFragmentOffset), BitsText16(field, 0xFFF8), Format(offset, u"%u Bytes", field & 0xFFF8),
                0, false);
    AddTextItem(flags, 2, Res(kMoreFragments), BitsText16(field, 0x0001), YesNo(field & 0x0001));
    AddDWordItem(header, Res(kIdentification));
  }

  void AddAuthenticationHeader(Item* header, uint32_t length) {
    constexpr uint32_t kFixedPart = 12;
    AddWordItem(header, Res(kReserved));
    AddDWordItem(header, Res(kAhSpi));
    AddDWordItem(header, Res(kAhSequence));
    if (length > kFixedPart) AddHexItem(header, Res(kAhIcv), length - kFixedPart);
  }

  // A flags field shown as a group of its bits; the cursor stays on the field.
  Item* AddFlagsGroup(Item* parent, uint32_t length, uint32_t label, Text bits) {
    Item* flags = AddTextItem(parent, length, Res(label), bits, {}, 0, false);
    MakeGroup(flags);
    return flags;
  }

  // ---- Hop-by-hop and destination options ----

  // Options are read one after another from the cursor until their type and
  // length bytes add up to the header's option space.
  void AddOptions(Item* header, uint32_t count) {
    for (uint32_t walked = 0; walked < count;) {
      uint32_t type = AtCursor().U8(0);
      Text name = NameOf(kOptionNames, type);
      uint32_t length = type == kPad1 ? 0 : AtCursor().U8(1);
      TextBuffer label;
      Item* option = AddGroupItem(header, type == kPad1 ? 1 : length + 2, FormatResText(label, kOptionLabel, name));
      AddOptionType(option, type, name);
      if (type == kPad1) {
        walked += 1;
        continue;
      }
      AddByteItem(option, Res(kLength));
      if (length > 0) AddOptionData(option, type, name, length);
      walked += length + 2;
    }
  }

  void AddOptionType(Item* option, uint32_t type, Text name) {
    Item* typeItem = AddTextItem(option, 1, Res(kType), BitsText8(type, 0xFF), name, 0, false);
    MakeGroup(typeItem);
    AddTextItem(typeItem, 1, Res(kAction), BitsText8(type, 0xC0), NameOf(kOptionActions, type >> 6), 0, false);
    AddTextItem(typeItem, 1, Res(kDataMayChange), BitsText8(type, 0x20), YesNo(type & 0x20));
  }

  void AddOptionData(Item* option, uint32_t type, Text name, uint32_t length) {
    switch (type) {
      case kJumbo: AddDWordItem(option, name); break;
      case kRouterAlertOption: AddWordItem(option, name, NameOf(kRouterAlertValues, AtCursor().U16(0))); break;
      case kRplOption: AddRplOption(option); break;
      case kQuickStart: AddQuickStartOption(option); break;
      case kCalipso: AddCalipsoOption(option); break;
      case kSimplifiedMulticastForwarding: AddBitsOf8(option, {{kHBit, 0x80}}); break;
      case kLineIdentification: AddLineIdentificationOption(option); break;
      case kIpDff: AddIpDffOption(option); break;
      default: AddHexItem(option, name, length); break;
    }
  }

  struct BitField {
    uint32_t label;
    uint32_t mask;
  };

  // A one-byte "Flags" group holding the given bit fields, each shown as the
  // byte under its mask; the last one moves the cursor past the byte.
  Item* AddBitsOf8(Item* parent, std::initializer_list<BitField> bits) {
    uint32_t value = AtCursor().U8(0);
    Item* flags = AddFlagsGroup(parent, 1, kFlags, BitsText8(value, 0xFF));
    const BitField* last = bits.end() - 1;
    for (const BitField& bit : bits)
      AddTextItem(flags, 1, Res(bit.label), BitsText8(value, bit.mask), {}, 0, &bit == last);
    return flags;
  }

  void AddRplOption(Item* option) {
    AddBitsOf8(option, {{kDown, 0x80}, {kRankError, 0x40}, {kForwardingError, 0x20}});
    AddByteItem(option, Res(kRplInstanceId));
    AddWordItem(option, Res(kSenderRank));
  }

  void AddQuickStartOption(Item* option) {
    uint32_t value = AtCursor().U8(0);
    uint32_t rate = value & 0x0F;
    Item* flags = AddFlagsGroup(option, 1, kFlags, BitsText8(value, 0xFF));
    AddTextItem(flags, 1, Res(kFunction), BitsText8(value, 0xF0), {}, 0, false);
    TextBuffer rateValue, rateComment;
    AddTextItem(flags, 1, Res(kRateRequest), Format(rateValue, u"%u", rate),
                Format(rateComment, u"%u Kbps", kQuickStartBaseRate << rate));
    AddByteItem(option, Res(kReserved));
    AddWordItem(option, Res(kQsNonce));
  }

  void AddCalipsoOption(Item* option) {
    AddDWordItem(option, Res(kDomainOfInterpretation));
    AddByteItem(option, Res(kCompartmentLength));
    AddByteItem(option, Res(kSensitivityLevel));
    AddWordItem(option, Res(kChecksum));
  }

  void AddLineIdentificationOption(Item* option) {
    uint32_t lineIdLength = AtCursor().U8(0);
    AddByteItem(option, Res(kLineIdLength));
    AddHexItem(option, Res(kLineId), lineIdLength);
  }

  void AddIpDffOption(Item* option) {
    AddBitsOf8(option, {{kVersion, 0xC0}, {kDup, 0x40}, {kRet, 0x20}});
    AddWordItem(option, Res(kSequenceNumber));
  }

  // ---- Mobility header ----

  // The message after the header's first two bytes: type, reserved byte,
  // checksum, the body of the message type, then mobility options up to
  // count bytes from where the message began.
  void AddMobilityHeader(Item* header, uint32_t count) {
    const uint32_t start = CursorOffset() - LayerOffset();
    uint32_t messageType = AtCursor().U8(0);
    AddByteItem(header, Res(kMhType), NameOf(kMobilityMessages, messageType));
    AddByteItem(header, Res(kReserved));
    AddWordItem(header, Res(kChecksum));
    AddMobilityMessage(header, messageType);
    AddMobilityOptions(header, start, count);
  }

  void AddMobilityMessage(Item* header, uint32_t messageType) {
    switch (messageType) {
      case kBindingRefreshRequest: AddWordItem(header, Res(kReserved)); break;
      case kHomeTestInit: AddTestInit(header, kReserved, kHomeInitCookie); break;
      case kCareOfTestInit: AddTestInit(header, kReserved, kCareOfInitCookie); break;
      case kHomeTest: AddTest(header, kHomeNonceIndex, kHomeInitCookie, kHomeKeygenToken); break;
      case kCareOfTest: AddTest(header, kCareOfNonceIndex, kCareOfInitCookie, kCareOfKeygenToken); break;
      case kBindingUpdate: AddBindingUpdate(header); break;
      case kBindingAcknowledgement: AddBindingAcknowledgement(header); break;
      case kBindingError:
        AddByteItem(header, Res(kStatus), NameOf(kBindingErrorStatus, AtCursor().U8(0)));
        AddByteItem(header, Res(kReserved));
        break;
      default: break;
    }
  }

  void AddTestInit(Item* header, uint32_t first, uint32_t cookie) {
    AddWordItem(header, Res(first));
    AddHexItem(header, Res(cookie), 8);
  }

  void AddTest(Item* header, uint32_t nonceIndex, uint32_t cookie, uint32_t token) {
    AddTestInit(header, nonceIndex, cookie);
    AddHexItem(header, Res(token), 8);
  }

  void AddBindingUpdate(Item* header) {
    AddWordItem(header, Res(kSequence));
    uint32_t value = AtCursor().U16(0);
    Item* flags = AddFlagsGroup(header, 2, kFlags, BitsText16(value, 0xFFFF));
    constexpr BitField kBits[] = {{kAcknowledge, 0x8000},
                              {kHomeRegistration, 0x4000},
                              {kLinkLocalCompatibility, 0x2000},
                              {kKeyManagementCapability, 0x1000}};
    for (const BitField& bit : kBits)
      AddTextItem(flags, 2, Res(bit.label), BitsText16(value, bit.mask), YesNo(value & bit.mask), 0,
                  &bit == &kBits[3]);
    AddWordItem(header, Res(kLifetime));
  }

  void AddBindingAcknowledgement(Item* header) {
    AddByteItem(header, Res(kStatus), NameOf(kBindingAcknowledgementStatus, AtCursor().U8(0)));
    MakeGroup(AddTextItem(header, 1, Res(kKeyManagementCapability), BitsText8(AtCursor().U8(0), 0x80)));
    AddWordItem(header, Res(kSequence));
    AddWordItem(header, Res(kLifetime));
  }

  // Mobility options follow the message body; each one is read where the
  // previous one ends by its own length, and the walk ends where the last
  // one ends.
  void AddMobilityOptions(Item* header, uint32_t start, uint32_t count) {
    uint32_t walked = CursorOffset() - LayerOffset() - start;
    while (walked < count) {
      SetCursor(Layer().Clamp(start + walked).data());
      uint32_t type = AtCursor().U8(0);
      AddByteItem(header, Res(kType), NameOf(kMobilityOptionNames, type));
      if (type == kMobilityPad1) {
        walked += 1;
        continue;
      }
      uint32_t length = AtCursor().U8(0);
      AddByteItem(header, Res(kLength));
      AddMobilityOptionData(header, type, length);
      walked += 2 + length;
    }
    SetCursor(Layer().Clamp(start + walked).data());
  }

  void AddMobilityOptionData(Item* header, uint32_t type, uint32_t length) {
    switch (type) {
      case kBindingRefreshAdvice: {
        TextBuffer comment;
        AddWordItem(header, Res(kRefreshInterval),
                    Format(comment, u"%u (seconds)", kRefreshIntervalUnit * AtCursor().U16(0)));
        break;
      }
      case kAlternateCareOfAddressOption: AddAddress(header, kAlternateCareOfAddress); break;
      case kNonceIndices:
        AddWordItem(header, Res(kHomeNonceIndex));
        AddWordItem(header, Res(kCareOfNonceIndex));
        break;
      case kBindingAuthorizationData: AddHexItem(header, Res(kAuthenticator), length); break;
      case kHomeAddressOption: AddAddress(header, kHomeAddress); break;
      default: break;
    }
  }

  // For this call: the protocol the next-header comments name, and whether
  // the packet is a fragment after the first (whose headers end at the fragment header).
  uint32_t namedLayer_ = 0;
  bool laterFragment_ = false;
};

VEL_REGISTER_MODULE(CIPV6Decoder, 8, u"IPv6 Decoder", u"IPv6 Decoder Module");

}  // namespace vel
