// ICMPv6: type (named), code (named where the type has a code table),
// checksum, then the body its type lays out, the neighbour-discovery options
// of router, neighbour and redirect messages, and every byte not yet shown
// as "Echo Data". Error and echo messages carry a summary; nothing is handed
// on.
#include "decoders/network/icmpv6_nd_options.h"
#include "engine/class_table.h"

namespace vel {

using namespace icmpv6;

namespace {

// Labels with a string-table entry.
constexpr uint32_t kChecksum = 126, kTtl = 124, kIpAddress = 177, kIdentifier = 225, kSequenceNumber = 226;
constexpr uint32_t kUnused = 243, kPointer = 249, kSubtype = 290, kEchoData = 291, kMulticastAddress = 332;
constexpr uint32_t kNumberOfSources = 357, kDestinationAddress = 1007, kSourceAddress = 1008;
constexpr uint32_t kRplInstanceId = 1298;

// Labels and texts of the message bodies.
constexpr Text kMtu = u"MTU", kAdvertisementInterval = u"Advertisement Interval";
constexpr Text kMaximumResponseDelay = u"Maximum Response Delay", kMilliseconds = u"Milliseconds";
constexpr Text kCurHopLimit = u"Cur Hop Limit", kManagedAddressConfiguration = u"Managed address configuration";
constexpr Text kOtherConfiguration = u"Other configuration", kHomeAgent = u"Home Agent";
constexpr Text kDefaultRouterPreference = u"Default Router Preference", kProxy = u"Proxy";
constexpr Text kRouterLifetime = u"Router Lifetime", kReachableTime = u"Reachable Time";
constexpr Text kRetransTimer = u"Retrans Timer", kTargetAddress = u"Target Address";
constexpr Text kRouterFlag = u"Router Flag", kSolicitedFlag = u"Solicited Flag", kOverrideFlag = u"Override flag";
constexpr Text kQtype = u"Qtype", kNonce = u"Nonce", kNodeName = u"Node Name";
constexpr Text kAddressRecords = u"Address Records", kMulticastAddressRecord = u"Multicast Address Record";
constexpr Text kRecordType = u"Record Type", kModeIsInclude = u"MODE_IS_INCLUDE", kModeIsExclude = u"MODE_IS_EXCLUDE";
constexpr Text kAuxDataLen = u"Aux Data Len", kAuxiliaryData = u"Auxiliary Data";
constexpr Text kHomeAgentAddresses = u"Home Agent Addresses";
constexpr Text kOtherStatefulConfiguration = u"Other Stateful Configuration";
constexpr Text kComponent = u"Component", kAllComponents = u"All Components";
constexpr Text kQueryInterval = u"Query Interval", kRobustnessVariable = u"Robustness Variable";
constexpr Text kNumOfLocs = u"Num of Locs", kOperation = u"Operation", kLocator = u"Locator";
constexpr Text kLocatorGroup = u"Locator - %u", kPreference = u"Preference";
constexpr Text kLocatorUpdateAdvertisement = u"Locator Update Advertisement";
constexpr Text kLocatorUpdateAcknowledgement = u"Locator Update Acknowledgement";
constexpr Text kRegistrationLifetime = u"Registration Lifetime", kEui64 = u"EUI-64";
constexpr Text kRegisteredAddress = u"Registered Address";

// RPL labels and texts.
constexpr Text kVersionNumber = u"Version Number", kRank = u"Rank", kGrounded = u"Grounded";
constexpr Text kModeOfOperation = u"Mode of Operation", kDodagPreference = u"DODAGPreference", kDtsn = u"DTSN";
constexpr Text kK = u"K", kD = u"D", kDaoSequence = u"DAOSequence", kResponse = u"Response";
constexpr Text kCcNonce = u"CC Nonce", kDestinationCounter = u"Destination Counter";
constexpr Text kRejection = u"Rejection", kNotRejection = u"Not an outright rejection";
constexpr Text kUnqualifiedAcceptance = u"Unqualified acceptance";
constexpr Text kCounterIsTime = u"Counter is Time", kAlgorithm = u"Algorithm";
constexpr Text kKeyIdentifierMode = u"Key Identifier Mode", kCounter = u"Counter";
constexpr Text kKeySource = u"Key Source", kKeyIndex = u"Key Index";

constexpr Text kErrorSummary = u"Type = %u; Code = %u";
constexpr Text kEchoSummary = u"Type = %u; Code = %u; ID = %u; Seq = %u";

// Message types with a layout of their own.
enum : uint32_t {
  kDestinationUnreachable = 1,
  kPacketTooBig = 2,
  kTimeExceeded = 3,
  kParameterProblem = 4,
  kEchoRequest = 128,
  kEchoReply = 129,
  kMulticastListenerQuery = 130,
  kMulticastListenerReport = 131,
  kMulticastListenerDone = 132,
  kRouterSolicitation = 133,
  kRouterAdvertisement = 134,
  kNeighborSolicitation = 135,
  kNeighborAdvertisement = 136,
  kRedirect = 137,
  kRouterRenumbering = 138,
  kNodeInformationQuery = 139,
  kNodeInformationResponse = 140,
  kInverseSolicitation = 141,
  kInverseAdvertisement = 142,
  kListenerReportV2 = 143,
  kHomeAgentRequest = 144,
  kHomeAgentReply = 145,
  kMobilePrefixSolicitation = 146,
  kMobilePrefixAdvertisement = 147,
  kCertificationPathSolicitation = 148,
  kCertificationPathAdvertisement = 149,
  kExperimentalMobility = 150,
  kMulticastRouterAdvertisement = 151,
  kFmipv6 = 154,
  kRplControl = 155,
  kLocatorUpdate = 156,
  kDuplicateAddressRequest = 157,
  kDuplicateAddressConfirmation = 158,
};

constexpr NameIdPair kMessageTypes[] = {
    {kDestinationUnreachable, 1359},          // Destination Unreachable
    {kPacketTooBig, 1360},                    // Packet Too Big
    {kTimeExceeded, 1361},                    // Time Exceeded (with a trailing blank)
    {kParameterProblem, 1362},                // Parameter Problem
    {kEchoRequest, 1363},                     // Echo Request
    {kEchoReply, 1364},                       // Echo Reply
    {kMulticastListenerQuery, 1365},          // Multicast Listener Query
    {kMulticastListenerReport, 1366},         // Multicast Listener Report
    {kMulticastListenerDone, 1367},           // Multicast Listener Done
    {kRouterSolicitation, 1368},              // Router Solicitation
    {kRouterAdvertisement, 1369},             // Router Advertisement
    {kNeighborSolicitation, 1370},            // Neighbor Solicitation
    {kNeighborAdvertisement, 1371},           // Neighbor Advertisement
    {kRedirect, 1372},                        // Redirect Message
    {kRouterRenumbering, 1373},               // Router Renumbering
    {kNodeInformationQuery, 1374},            // ICMP Node Information Query
    {kNodeInformationResponse, 1375},         // ICMP Node Information Response
    {kInverseSolicitation, 1376},             // Inverse Neighbor Discovery Solicitation Message
    {kInverseAdvertisement, 1377},            // Inverse Neighbor Discovery Advertisement Message
    {kListenerReportV2, 1378},                // Version 2 Multicast Listener Report
    {kHomeAgentRequest, 1379},                // Home Agent Address Discovery Request Message
    {kHomeAgentReply, 1380},                  // Home Agent Address Discovery Reply Message
    {kMobilePrefixSolicitation, 1381},        // Mobile Prefix Solicitation
    {kMobilePrefixAdvertisement, 1382},       // Mobile Prefix Advertisement
    {kCertificationPathSolicitation, 1383},   // Certification Path Solicitation Message
    {kCertificationPathAdvertisement, 1384},  // Certification Path Advertisement Message
    {kExperimentalMobility, 1385},            // ICMP messages utilized by experimental mobility protocols ...
    {kMulticastRouterAdvertisement, 1386},    // Multicast Router Advertisement
    {152, 1387},                              // Multicast Router Solicitation
    {153, 1388},                              // Multicast Router Termination
    {kFmipv6, 1389},                          // FMIPv6 Messages
    {kRplControl, 1390},                      // RPL Control Message
    {kLocatorUpdate, 1391},                   // ILNPv6 Locator Update Message
    {kDuplicateAddressRequest, 1392},         // Duplicate Address Request
    {kDuplicateAddressConfirmation, 1393},    // Duplicate Address Confirmation
    {0, 0},
};

// Destination unreachable codes, indexed by the code.
constexpr Text kUnreachableCodes[] = {
    u"No route to destination",
    u"Communication with destination administratively prohibited",
    u"Beyond scope of source address",
    u"Address unreachable",
    u"Port unreachable",
    u"Source address failed ingress/egress policy",
    u"Reject route to destination",
};

constexpr CodeText kParameterProblemCodes[] = {
    {0, u"Erroneous header field encountered"},
    {1, u"Unrecognized Next Header type encountered"},
    {2, u"Unrecognized IPv6 option encountered"},
};

constexpr CodeText kRouterRenumberingCodes[] = {
    {0, u"Router Renumbering Command"},
    {1, u"Router Renumbering Result"},
    {255, u"Sequence Number Reset"},
};

constexpr CodeText kNodeInformationQueryCodes[] = {
    {0, u"Data field contains an IPv6 address"},
    {1, u"Data field contains a name"},
    {2, u"Data field contains an IPv4 address"},
};

constexpr CodeText kNodeInformationResponseCodes[] = {{0, u"Successful"}, {1, u"Refuses"}, {2, u"Unknown"}};

// RPL control message codes.
enum : uint32_t {
  kDis = 0,
  kDio = 1,
  kDao = 2,
  kDaoAck = 3,
  kSecureDis = 128,
  kSecureDaoAck = 131,
  kConsistencyCheck = 138,
};
constexpr uint32_t kSecureCodes = 128;

constexpr CodeText kRplCodes[] = {
    {kDis, u"DODAG Information Solicitation"},
    {kDio, u"DODAG Information Object"},
    {kDao, u"Destination Advertisement Object"},
    {kDaoAck, u"Destination Advertisement Object Acknowledgment"},
    {kSecureDis, u"Secure DODAG Information Solicitation"},
    {129, u"Secure DODAG Information Object"},
    {130, u"Secure Destination Advertisement Object"},
    {kSecureDaoAck, u"Secure Destination Advertisement Object Acknowledgment"},
    {kConsistencyCheck, u"Consistency Check"},
};

constexpr CodeText kModesOfOperation[] = {
    {0, u"No Downward routes maintained by RPL"},
    {1, u"Non-Storing Mode of Operation"},
    {2, u"Storing Mode of Operation with no multicast support"},
    {3, u"Storing Mode of Operation with multicast support"},
};

// Security levels: signatures under key identifier mode 3, MACs otherwise.
constexpr uint32_t kSignatureKeyMode = 3;
constexpr CodeText kSignatureLevels[] = {
    {0, u"Sign-3072"}, {1, u"ENC-Sign-3072"}, {2, u"Sign-2048"}, {3, u"ENC-Sign-2048"}};
constexpr CodeText kMacLevels[] = {{0, u"MAC-32"}, {1, u"ENC-MAC-32"}, {2, u"MAC-64"}, {3, u"ENC-MAC-64"}};

// Node information query types and the data each brings.
enum : uint32_t { kQtypeNodeName = 2, kQtypeNodeAddresses = 3, kQtypeIPv4Addresses = 4 };
constexpr CodeText kQtypes[] = {
    {0, u"NOOP"}, {1, u"Unused"}, {kQtypeNodeName, u"Node Name"}, {kQtypeNodeAddresses, u"Node Addresses"},
    {kQtypeIPv4Addresses, u"IPv4 Addresses"}};

constexpr uint32_t kModeIsIncludeRecord = 1;
constexpr uint32_t kLocatorUpdateAdvertisementOperation = 1;
constexpr uint32_t kAddressSize = 16;

constexpr CLSID kClsid = MakeGuid("{660B1FD9-C5A3-409B-AA78-FA1C104D4978}");

}  // namespace

class CICMPv6Decoder : public CICMPv6OptionDecoder {
 public:
  static const CLSID& ClassId() { return kClsid; }
  static HRESULT CreateInstance(REFIID riid, void** ppv) {
    return CComObject<CICMPv6Decoder>::CreateInstance(riid, ppv);
  }

 protected:
  CICMPv6Decoder() : CICMPv6OptionDecoder(kClsid) {}

  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {52}); }

  void DecodeLayer() override {
    uint32_t type = AtCursor().U8(0);
    AddByteItem(Group(), Res(kType), NameOf(kMessageTypes, type));
    uint32_t code = AtCursor().U8(0);
    AddCode(type, code);
    AddWordItem(Group(), Res(kChecksum));
    AddBody(type, code);
    AddRemainingItem(Group(), Res(kEchoData));
    SetGroupLength();
  }

 private:
  // ---- Code ----

  void AddCode(uint32_t type, uint32_t code) {
    if (type == kMulticastRouterAdvertisement)
      AddByteItem(Group(), kAdvertisementInterval, Res(kSeconds));
    else
      AddByteItem(Group(), Res(kCode), CodeName(type, code));
  }

  static Text CodeName(uint32_t type, uint32_t code) {
    switch (type) {
      case kDestinationUnreachable: return code < std::size(kUnreachableCodes) ? kUnreachableCodes[code] : Text();
      case kParameterProblem: return TextFor(kParameterProblemCodes, code);
      case kRouterRenumbering: return TextFor(kRouterRenumberingCodes, code);
      case kNodeInformationQuery: return TextFor(kNodeInformationQueryCodes, code);
      case kNodeInformationResponse: return TextFor(kNodeInformationResponseCodes, code);
      case kRplControl: return TextFor(kRplCodes, code);
      default: return {};
    }
  }

  // ---- Bodies ----

  void AddBody(uint32_t type, uint32_t code) {
    switch (type) {
      case kDestinationUnreachable:
      case kTimeExceeded: AddErrorBody(type, code, Res(kUnused)); break;
      case kPacketTooBig: AddErrorBody(type, code, kMtu); break;
      case kParameterProblem: AddErrorBody(type, code, Res(kPointer)); break;
      case kEchoRequest:
      case kEchoReply: AddEcho(type, code); break;
      case kMulticastListenerQuery:
      case kMulticastListenerReport:
      case kMulticastListenerDone: AddMulticastListener(); break;
      case kRouterSolicitation:
      case kInverseSolicitation:
      case kInverseAdvertisement:
        AddDWordItem(Group(), Res(kReserved));
        AddNeighborDiscoveryOptions();
        break;
      case kRouterAdvertisement: AddRouterAdvertisement(); break;
      case kNeighborSolicitation:
        AddDWordItem(Group(), Res(kReserved));
        AddAddress(Group(), kTargetAddress);
        AddNeighborDiscoveryOptions();
        break;
      case kNeighborAdvertisement: AddNeighborAdvertisement(); break;
      case kRedirect:
        AddDWordItem(Group(), Res(kReserved));
        AddAddress(Group(), kTargetAddress);
        AddAddress(Group(), Res(kDestinationAddress));
        AddNeighborDiscoveryOptions();
        break;
      case kNodeInformationQuery:
      case kNodeInformationResponse: AddNodeInformation(); break;
      case kListenerReportV2: AddListenerReportV2(); break;
      case kHomeAgentRequest:
      case kMobilePrefixSolicitation: AddIdentifierAnd(Res(kReserved)); break;
      case kHomeAgentReply: AddHomeAgentReply(); break;
      case kMobilePrefixAdvertisement: AddMobilePrefixAdvertisement(); break;
      case kCertificationPathSolicitation: AddIdentifierAnd(kComponent); break;
      case kCertificationPathAdvertisement:
        AddWordItem(Group(), Res(kIdentifier));
        AddWordItem(Group(), kAllComponents);
        AddWordItem(Group(), kComponent);
        AddWordItem(Group(), Res(kReserved));
        break;
      case kExperimentalMobility:
        AddByteItem(Group(), Res(kSubtype));
        AddHexBytes(Group(), Res(kReserved), 3);
        break;
      case kMulticastRouterAdvertisement:
        AddWordItem(Group(), kQueryInterval, Res(kSeconds));
        AddWordItem(Group(), kRobustnessVariable);
        break;
      case kFmipv6:
        AddByteItem(Group(), Res(kSubtype));
        AddByteItem(Group(), Res(kReserved));
        break;
      case kRplControl: AddRplMessage(code); break;
      case kLocatorUpdate: AddLocatorUpdate(); break;
      case kDuplicateAddressRequest:
      case kDuplicateAddressConfirmation: AddDuplicateAddress(); break;
      default: break;
    }
  }

  // Error messages: the summary needs only type and code, so it stands even
  // when the quoted packet was cut short.
  void AddErrorBody(uint32_t type, uint32_t code, Text label) {
    TextBuffer summary;
    SetSummary(Group(), Format(summary, kErrorSummary, type, code));
    AddDWordItem(Group(), label);
  }

  void AddEcho(uint32_t type, uint32_t code) {
    uint32_t identifier = AtCursor().U16(0);
    AddWordItem(Group(), Res(kIdentifier));
    uint32_t sequence = AtCursor().U16(0);
    AddWordItem(Group(), Res(kSequenceNumber));
    TextBuffer summary;
    SetSummary(Group(), Format(summary, kEchoSummary, type, code, identifier, sequence));
  }

  void AddMulticastListener() {
    AddWordItem(Group(), kMaximumResponseDelay, kMilliseconds);
    AddWordItem(Group(), Res(kReserved));
    AddAddress(Group(), Res(kMulticastAddress));
  }

  struct BitField {
    Text label;
    uint32_t mask;
    bool named;  // a one-bit field, commented "Yes" or "No"
  };

  // The bit fields of a flags group, each shown over the whole field; the last
  // one moves the cursor past it.
  void AddBits(Item* flags, uint32_t length, uint32_t value, std::initializer_list<BitField> bits) {
    const BitField* last = bits.end() - 1;
    for (const BitField& bit : bits) {
      Text picture = length == 1 ? BitsText8(value, bit.mask) : length == 2 ? BitsText16(value, bit.mask)
                                                                            : BitsText32(value, bit.mask);
      AddTextItem(flags, length, bit.label, picture, bit.named ? YesNo(value & bit.mask) : Text(), 0, &bit == last);
    }
  }

  Item* AddFlags8(std::initializer_list<BitField> bits) {
    uint32_t value = AtCursor().U8(0);
    Item* flags = AddFlagsGroup(Group(), 1, BitsText8(value, 0xFF));
    AddBits(flags, 1, value, bits);
    return flags;
  }

  void AddRouterAdvertisement() {
    AddByteItem(Group(), kCurHopLimit);
    AddFlags8({{kManagedAddressConfiguration, 0x80, true},
               {kOtherConfiguration, 0x40, true},
               {kHomeAgent, 0x20, true},
               {kDefaultRouterPreference, 0x18, false},
               {kProxy, 0x04, true}});
    AddWordItem(Group(), kRouterLifetime);
    AddDWordItem(Group(), kReachableTime);
    AddDWordItem(Group(), kRetransTimer);
    AddNeighborDiscoveryOptions();
  }

  void AddNeighborAdvertisement() {
    uint32_t value = AtCursor().U32(0);
    Item* flags = AddFlagsGroup(Group(), 4, BitsText32(value, 0xFFFFFFFF));
    AddBits(flags, 4, value,
            {{kRouterFlag, 0x80000000, true}, {kSolicitedFlag, 0x40000000, true}, {kOverrideFlag, 0x20000000, true}});
    AddAddress(Group(), kTargetAddress);
    AddNeighborDiscoveryOptions();
  }

  void AddNodeInformation() {
    uint32_t qtype = AtCursor().U16(0);
    AddWordItem(Group(), kQtype, TextFor(kQtypes, qtype));
    AddWordItem(Group(), Res(kFlags), BitsText16(AtCursor().U16(0), 0xFFFF));
    AddQWordItem(Group(), kNonce);
    switch (qtype) {
      case kQtypeNodeName:
        AddDWordItem(Group(), Res(kTtl));
        AddNodeName();
        break;
      case kQtypeNodeAddresses: AddAddress(Group(), Res(kIpAddress)); break;
      case kQtypeIPv4Addresses: {
        char16_t text[kIPv4TextSize];
        AddTextItem(Group(), 4, Res(kIpAddress), IPv4Text(AtCursor().Bytes(0, 4), text), {}, VEL_DII_IP_ADRESS);
        break;
      }
      default: break;
    }
  }

  // The rest of the captured data as a name: length-prefixed labels joined
  // by dots; bytes that do not form a label are shown as they are.
  void AddNodeName() {
    ByteView data = AtCursor();
    if (data.empty()) return;
    TextBuffer name;
    for (uint32_t at = 0; at < data.size();) {
      uint32_t labelLength = data.U8(at);
      if (labelLength == 0) {
        ++at;
        continue;
      }
      if (name.size() > 0) name.append(u'.');
      ByteView label = data.Clamp(at + 1, labelLength);
      AppendPacketText(name, label.data(), label.size());
      at += 1 + label.size();
    }
    AddTextItem(Group(), data.size(), kNodeName, name);
  }

  void AddListenerReportV2() {
    AddWordItem(Group(), Res(kReserved));
    uint32_t records = AtCursor().U16(0);
    AddWordItem(Group(), kAddressRecords);
    for (uint32_t i = 0; i < records; ++i) AddMulticastAddressRecord();
  }

  void AddMulticastAddressRecord() {
    ByteView record = AtCursor();
    uint32_t auxLength = record.U8(1) * 4;
    uint32_t sources = record.U16(2);
    Item* group = AddGroupItem(Group(), 4 + kAddressSize * (sources + 1) + auxLength, kMulticastAddressRecord);
    AddByteItem(group, kRecordType, record.U8(0) == kModeIsIncludeRecord ? kModeIsInclude : kModeIsExclude);
    AddByteItem(group, kAuxDataLen);
    AddWordItem(group, Res(kNumberOfSources));
    AddAddress(group, Res(kMulticastAddress));
    for (uint32_t i = 0; i < sources; ++i) AddAddress(group, Res(kSourceAddress));
    AddHexBytes(group, kAuxiliaryData, auxLength);
  }

  void AddIdentifierAnd(Text second) {
    AddWordItem(Group(), Res(kIdentifier));
    AddWordItem(Group(), second);
  }

  void AddHomeAgentReply() {
    AddIdentifierAnd(Res(kReserved));
    if (Remaining() <= kAddressSize) return;
    Item* addresses = AddGroupItem(Group(), Remaining(), kHomeAgentAddresses);
    for (uint32_t count = Remaining() / kAddressSize; count > 0; --count) AddAddress(addresses, Res(kIpAddress));
  }

  void AddMobilePrefixAdvertisement() {
    AddWordItem(Group(), Res(kIdentifier));
    uint32_t value = AtCursor().U16(0);
    Item* flags = AddFlagsGroup(Group(), 2, BitsText16(value, 0xFFFF));
    AddBits(flags, 2, value,
            {{kManagedAddressConfiguration, 0x8000, true}, {kOtherStatefulConfiguration, 0x4000, true}});
  }

  void AddLocatorUpdate() {
    constexpr uint32_t kLocatorSize = 8;
    uint32_t locators = AtCursor().U8(0);
    AddByteItem(Group(), kNumOfLocs);
    uint32_t operation = AtCursor().U8(0);
    AddByteItem(Group(), kOperation,
                operation == kLocatorUpdateAdvertisementOperation ? kLocatorUpdateAdvertisement
                                                                   : kLocatorUpdateAcknowledgement);
    AddWordItem(Group(), Res(kReserved));
    for (uint32_t i = 1; i <= locators; ++i) {
      TextBuffer label;
      Item* locator = AddGroupItem(Group(), kLocatorSize, Format(label, kLocatorGroup, i));
      AddDWordItem(locator, kLocator);
      AddWordItem(locator, kPreference);
      AddWordItem(locator, Res(kLifetime));
    }
  }

  void AddDuplicateAddress() {
    AddByteItem(Group(), Res(kStatus));
    AddByteItem(Group(), Res(kReserved));
    AddWordItem(Group(), kRegistrationLifetime);
    AddQWordItem(Group(), kEui64);
    AddAddress(Group(), kRegisteredAddress);
  }

  // ---- RPL control messages ----

  void AddRplMessage(uint32_t code) {
    if (code >= kSecureDis && code <= kSecureDaoAck) {
      AddRplSecurity();
      code -= kSecureCodes;
    }
    switch (code) {
      case kDis:
        AddByteItem(Group(), Res(kFlags));
        AddByteItem(Group(), Res(kReserved));
        break;
      case kDio: AddDio(); break;
      case kDao: AddDao(); break;
      case kDaoAck: AddDaoAck(); break;
      case kConsistencyCheck:
        AddByteItem(Group(), Res(kRplInstanceId));
        AddFlags8({{kResponse, 0x80, false}});
        AddWordItem(Group(), kCcNonce);
        AddAddress(Group(), Res(kIpAddress));
        AddDWordItem(Group(), kDestinationCounter);
        break;
      default: break;
    }
  }

  void AddDio() {
    AddByteItem(Group(), Res(kRplInstanceId));
    AddByteItem(Group(), kVersionNumber);
    AddWordItem(Group(), kRank);
    uint32_t value = AtCursor().U8(0);
    Item* flags = AddFlagsGroup(Group(), 1, BitsText8(value, 0xFF));
    AddTextItem(flags, 1, kGrounded, BitsText8(value, 0x80), YesNo(value & 0x80), 0, false);
    AddTextItem(flags, 1, kModeOfOperation, BitsText8(value, 0x38), TextFor(kModesOfOperation, (value >> 3) & 0x07), 0,
                false);
    AddTextItem(flags, 1, kDodagPreference, BitsText8(value, 0x07));
    AddByteItem(Group(), kDtsn);
    AddByteItem(Group(), Res(kFlags));
    AddByteItem(Group(), Res(kReserved));
    AddAddress(Group(), Res(kIpAddress));
  }

  void AddDao() {
    AddByteItem(Group(), Res(kRplInstanceId));
    uint32_t value = AtCursor().U8(0);
    AddFlags8({{kK, 0x80, false}, {kD, 0x40, false}});
    AddByteItem(Group(), Res(kReserved));
    AddByteItem(Group(), kDaoSequence);
    if (value & 0x40) AddAddress(Group(), Res(kIpAddress));
  }

  void AddDaoAck() {
    AddByteItem(Group(), Res(kRplInstanceId));
    uint32_t value = AtCursor().U8(0);
    AddFlags8({{kD, 0x80, false}});
    AddByteItem(Group(), kDaoSequence);
    uint32_t status = AtCursor().U8(0);
    AddByteItem(Group(), Res(kStatus),
                status >= 128 ? kRejection : status > 0 ? kNotRejection : kUnqualifiedAcceptance);
    if (value & 0x80) AddAddress(Group(), Res(kIpAddress));
  }

  // The security section that opens a secure RPL message.
  void AddRplSecurity() {
    AddFlags8({{kCounterIsTime, 0x80, false}});
    AddByteItem(Group(), kAlgorithm);
    uint32_t value = AtCursor().U8(0);
    uint32_t keyMode = value >> 6;
    Item* flags = AddFlagsGroup(Group(), 1, BitsText8(value, 0xFF));
    AddTextItem(flags, 1, kKeyIdentifierMode, BitsText8(value, 0xC0), {}, 0, false);
    AddTextItem(flags, 1, Res(kReserved), BitsText8(value, 0x38), {}, 0, false);
    AddTextItem(flags, 1, Res(kReserved), BitsText8(value, 0x07),
                TextFor(keyMode == kSignatureKeyMode ? std::span<const CodeText>(kSignatureLevels)
                                                     : std::span<const CodeText>(kMacLevels),
                        value & 0x07));
    AddByteItem(Group(), Res(kReserved));
    AddDWordItem(Group(), kCounter);
    // Mode 1 names a key by its index; modes 2 and 3 add the key's source.
    if (keyMode >= 2) AddHexBytes(Group(), kKeySource, 8);
    if (keyMode >= 1) AddByteItem(Group(), kKeyIndex);
  }
};

VEL_REGISTER_MODULE(CICMPv6Decoder, 9, u"ICMPv6 Decoder", u"ICMPv6 Decoder Module");

}  // namespace vel
