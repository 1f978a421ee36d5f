// IPv4: the fixed header field by field, one sub-group per option when the
// header is longer than 20 bytes, the header checksum judged when the manager
// asks for it, a one-line summary, and the payload handed to the next layer's
// module. Inside an ICMP error message the next layer follows the quoted
// header's own protocol number.
#include <algorithm>

#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels and texts.
constexpr uint32_t kVersion = 111, kHeaderLength = 112, kBytes = 113, kDsField = 114, kDscp = 115, kEcn = 116;
constexpr uint32_t kReserved = 117, kFragment = 118, kMoreFragment = 119, kDoNotFragment = 120;
constexpr uint32_t kMayFragment = 121, kLastFragment = 122, kFragmentOffset = 123, kTtl = 124;
constexpr uint32_t kTotalLength = 104, kIdentification = 105, kFragmentFlags = 201;
constexpr uint32_t kProtocol = 125, kChecksum = 126, kSourceIp = 127, kDestinationIp = 128;
constexpr uint32_t kIpOptions = 129;
constexpr uint32_t kShouldCopy = 132, kDoNotCopy = 133, kCopyFlag = 134, kClass = 138, kNumber = 333;
constexpr uint32_t kRouterAlert = 159, kLength = 166, kDataPointer = 167, kRouterIpAddress = 169;
constexpr uint32_t kOptionData = 170, kOverflow = 171, kFlags = 172, kTimestamps = 176, kIpAddress = 177;
constexpr uint32_t kClassificationLevel = 334, kRouterShallExamine = 343, kProtectionAuthorityFlags = 344;
constexpr uint32_t kNotEct = 1100, kNotVerifiedTruncated = 1101, kBadOptionLength = 1102;
constexpr uint32_t kSummaryFormat = 1963, kFragmentData = 1013;

constexpr uint32_t kFixedHeaderLength = 20;
constexpr uint32_t kStandardIhl = 5;
constexpr uint32_t kChecksumOffset = 10;
constexpr uint32_t kIpProtocolIPv6 = 41;
constexpr uint32_t kTypeIPv6 = 52;

// Option types (copy flag, class and number together).
constexpr uint32_t kEndOfOptions = 0x00, kNoOperation = 0x01;
constexpr uint32_t kRecordRoute = 0x07, kLooseSourceRoute = 0x83, kStrictSourceRoute = 0x89;
constexpr uint32_t kTimeStamp = 0x44, kSecurity = 0x82, kExtendedSecurity = 0x85;
constexpr uint32_t kCommercialSecurity = 0x86, kRouterAlertOption = 0x94;

struct CodeName {
  uint32_t code;
  const char16_t* name;
};

// Names of the differentiated services codepoints that have one.
constexpr CodeName kDscpNames[] = {
    {0, u"Default"}, {8, u"CS1"},   {10, u"AF11"}, {12, u"AF12"}, {14, u"AF13"}, {16, u"CS2"},  {18, u"AF21"},
    {20, u"AF22"},   {22, u"AF23"}, {24, u"CS3"},  {26, u"AF31"}, {28, u"AF32"}, {30, u"AF33"}, {32, u"CS4"},
    {34, u"AF41"},   {36, u"AF42"}, {38, u"AF43"}, {40, u"CS5"},  {46, u"EF"},   {48, u"CS6"},  {56, u"CS7"},
};

// Option names by option number (the low five bits of the type).
constexpr const char16_t* kOptionNames[] = {
    u"End of Option List (EOL)",
    u"No-Operation (NOP)",
    u"Security",
    u"Loose source route",
    u"Time stamp",
    u"Extended security",
    u"Commercial IP security option",
    u"Record route",
    u"Stream identifier",
    u"Strict source route",
    u"Experimental Measurement",
    u"MTU probe",
    u"MTU Reply",
    u"Experimental Flow Control",
    u"Experimental Access Control",
    u"Ask Estrin",
    u"IMI Traffic Descriptor",
    u"Extended Internet Protocol",
    u"Traceroute",
    u"Address Extension",
    u"Router Alert",
    u"Selective Directed Broadcast",
    u"Unassigned",
    u"Dynamic Packet State",
    u"Upstream Multicast Packet",
};

// Option class names (bits 6 and 5 of the type).
constexpr const char16_t* kOptionClassNames[] = {
    u"Control",
    u"Reserved for future use",
    u"Debugging and measurement",
    u"Reserved for future use",
};

// Classification levels of the security options.
constexpr NameIdPair kClassificationLevels[] = {
    {0x01, 1103},  // Reserved 4
    {0x3D, 1104},  // Top Secret
    {0x5A, 1105},  // Secret
    {0x96, 1106},  // Confidential
    {0x66, 1107},  // Reserved 3
    {0xCC, 1108},  // Reserved 2
    {0xAB, 1109},  // Unclassified
    {0xF1, 1110},  // Reserved 1
    {0, 0},
};

// Comments of the time stamp option's flags.
constexpr NameIdPair kTimeStampFlags[] = {
    {0, 173},  // Time stamps only
    {1, 174},  // Time stamps and address
    {3, 175},  // Time stamps for prespecified addresses
    {0, 0},
};

constexpr CLSID kClsid = MakeGuid("{4A513EC6-FBD3-455D-B8C5-D212A8DD7D08}");

Text DscpName(uint32_t dscp) {
  for (const CodeName& entry : kDscpNames)
    if (entry.code == dscp) return entry.name;
  return {};
}

Text OptionName(uint32_t type) {
  uint32_t number = type & 0x1F;
  return number < std::size(kOptionNames) ? kOptionNames[number] : Text();
}

// Route and time stamp options fill entries from their pointer to their end:
// (length - pointer + 1) / entrySize of them, none when the pointer lies past
// the end, and never more than the bytes left in the option hold.
uint32_t EntryCount(uint32_t length, uint32_t pointer, uint32_t entrySize, uint32_t room) {
  uint32_t span = length + 1 >= pointer ? length + 1 - pointer : 0;
  return std::min(span, room) / entrySize;
}

}  // namespace

class CIPv4Decoder : public CVELBaseModuleCLSIDImplT<CIPv4Decoder, 1, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override {
    return InputTypeIn(input, {48, 15, 60, 326, kLinuxCookedType, kLinuxCookedV2Type, kLoopbackType});
  }

  void DecodeLayer() override {
    const ByteView header = Layer();
    const uint32_t version = header.U8(0) >> 4, ihl = header.U8(0) & 0x0F;
    const uint32_t headerLength = ihl * 4;
    AddVersionAndLength(version, ihl);
    AddDifferentiatedServices(header.U8(1));
    AddWordItem(Group(), Res(kTotalLength));
    AddWordItem(Group(), Res(kIdentification));
    AddFragmentFields(header);
    AddByteItem(Group(), Res(kTtl));
    const bool laterFragment = (header.U16(6) & 0x1FFF) != 0;
    AddProtocol(header.U8(9), laterFragment);
    AddChecksum(header, headerLength);
    AddAddress(kSourceIp, VEL_DII_SOURCE_IP);
    AddAddress(kDestinationIp, VEL_DII_DESTINATION_IP);
    // The summary needs only the fixed header, so options cut short still leave it.
    TextBuffer summary;
    SetSummary(Group(), FormatResText(summary, kSummaryFormat, version, ihl, header.U16(2), header.U16(4),
                                      header.U8(8), header.U8(9)));
    if (headerLength > kFixedHeaderLength) WalkOptions(headerLength - kFixedHeaderLength);
    if (laterFragment) return ShowFragmentData(header.U16(2), headerLength);
    ForwardPayload();
  }

 private:
  // Sets an item's severity and raises the packet's to match.
  void MarkSeverity(Item* item, uint32_t severity) {
    SetItemSeverity(item, severity);
    RaisePacketSeverity(severity);
  }

  void AddVersionAndLength(uint32_t version, uint32_t ihl) {
    TextBuffer value, comment;
    AddTextItem(Group(), 1, Res(kVersion), Format(value, u"%u", version), {}, 0, false);
    Item* item = AddTextItem(Group(), 1, Res(kHeaderLength), Format(value, u"%u", ihl),
                             Format(comment, u"%u %s", ihl * 4, Res(kBytes)));
    MarkSeverity(item, ihl != kStandardIhl ? VEL_SST_NOTICE : VEL_SST_INFOMATION);
  }

  void AddDifferentiatedServices(uint32_t ds) {
    Item* field = AddTextItem(Group(), 1, Res(kDsField), BitsText8(ds, 0xFF), {}, 0, false);
    MakeGroup(field);
    AddTextItem(field, 1, Res(kDscp), BitsText8(ds, 0xFC), DscpName(ds >> 2), 0, false);
    AddTextItem(field, 1, Res(kEcn), BitsText8(ds, 0x03), Res(kNotEct));
  }

  void AddFragmentFields(const ByteView& header) {
    const uint32_t flags = header.U8(6);
    const bool dontFragment = flags & 0x40, moreFragments = flags & 0x20;
    Item* field = AddTextItem(Group(), 1, Res(kFragmentFlags), BitsText8(flags, 0xE0), {}, 0, false);
    MakeGroup(field);
    AddTextItem(field, 1, Res(kReserved), BitsText8(flags, 0x80), {}, 0, false);
    Item* fragment = AddTextItem(field, 1, Res(kFragment), BitsText8(flags, 0x40),
                                 Res(dontFragment ? kDoNotFragment : kMayFragment), 0, false);
    MarkSeverity(fragment, dontFragment ? VEL_SST_NOTICE : VEL_SST_INFOMATION);
    AddTextItem(field, 1, Res(kMoreFragment), BitsText8(flags, 0x20), moreFragments ? Text() : Res(kLastFragment));
    TextBuffer offset;
    AddTextItem(Group(), 1, Res(kFragmentOffset), Format(offset, u"%u", header.U16(6) & 0x1FFF));
  }

  // The next layer is the pre-classification's, except inside an ICMP error,
  // where the quoted header names its own payload. A fragment after the first
  // hands nothing on, but its protocol is still named.
  void AddProtocol(uint32_t protocol, bool laterFragment) {
    if (Packet()->nQuotedDatagram)
      SetNextProtocol(IpProtocolNumberToType(protocol));
    else if (protocol == kIpProtocolIPv6)
      SetNextProtocol(kTypeIPv6);
    const char16_t* name = ProtocolShortName(laterFragment ? IpProtocolNumberToType(protocol) : NextProtocol());
    AddByteItem(Group(), Res(kProtocol), name ? Text(name) : Text());
  }

  // A fragment after the first carries the middle or the end of a datagram,
  // not the header of the layer above: its payload is shown as data, up to
  // the datagram's total length, and nothing is handed on.
  void ShowFragmentData(uint32_t totalLength, uint32_t headerLength) {
    uint32_t payload = std::min(totalLength >= headerLength ? totalLength - headerLength : Remaining(), Remaining());
    if (payload) AddDataItem(Group(), Res(kFragmentData), payload);
    SetGroupLength();
  }

  // The checksum is judged over the whole header, so only when all of it was captured.
  void AddChecksum(const ByteView& header, uint32_t headerLength) {
    if (!VerifyChecksum()) {
      AddWordItem(Group(), Res(kChecksum));
      return;
    }
    if (!header.Has(0, headerLength)) {
      AddWordItem(Group(), Res(kChecksum), Res(kNotVerifiedTruncated));
      return;
    }
    JudgeInternetChecksum(AddWordItem(Group(), Res(kChecksum)), header.Sub(0, headerLength), kChecksumOffset);
  }

  void AddAddress(uint32_t label, uint32_t itemType) {
    char16_t text[kIPv4TextSize];
    AddTextItem(Group(), 4, Res(label), IPv4Text(AtCursor().Bytes(0, 4), text), {}, itemType);
  }

  // ---- Options ----

  void WalkOptions(uint32_t optionsLength) {
    for (uint32_t total = 0, n = 1; total < optionsLength; ++n) {
      uint32_t consumed = AddOption(n, optionsLength - total);
      if (consumed == 0) break;
      total += consumed;
    }
  }

  // Shows the option at the cursor as sub-group n; left is what remains of
  // the options area. Returns the bytes the option took, or 0 when its length
  // does not fit the header: the rest of the area is then shown as that
  // option's data and the walk ends.
  uint32_t AddOption(uint32_t n, uint32_t left) {
    const ByteView option = AtCursor();
    const uint32_t type = option.U8(0);
    const bool single = type == kEndOfOptions || type == kNoOperation;
    const uint32_t length = single ? 1 : left >= 2 ? option.U8(1) : 0;
    const bool fits = single || (length >= 2 && length <= left);
    TextBuffer name;
    Item* group = AddGroupItem(Group(), fits ? length : left, Format(name, u"%s - %d", Res(kIpOptions), n), {},
                               fits ? Text() : Res(kBadOptionLength));
    AddOptionType(group, type);
    if (single) return 1;
    if (!fits) {
      if (left >= 2) AddByteItem(group, Res(kLength));
      if (left > 2) AddTextItem(group, left - 2, Res(kOptionData), {});
      return 0;
    }
    const uint32_t end = CursorOffset() - 1 + length;
    AddByteItem(group, Res(kLength));
    AddOptionBody(group, type, length);
    Skip(end - CursorOffset());
    return length;
  }

  void AddOptionType(Item* group, uint32_t type) {
    const Text copy = Res(type & 0x80 ? kShouldCopy : kDoNotCopy);
    AddTextItem(group, 1, Res(kCopyFlag), BitsText8(type, 0x80), copy, 0, false);
    AddTextItem(group, 1, Res(kClass), BitsText8(type, 0x60), kOptionClassNames[type >> 5 & 3], 0, false);
    AddTextItem(group, 1, Res(kNumber), BitsText8(type, 0x1F), OptionName(type));
  }

  // The fields after type and length; none reaches past the option's length.
  void AddOptionBody(Item* group, uint32_t type, uint32_t length) {
    const uint32_t room = length - 2;
    switch (type) {
      case kRecordRoute:
      case kLooseSourceRoute:
      case kStrictSourceRoute:
        return AddRoute(group, length, room);
      case kTimeStamp:
        return AddTimeStamps(group, length, room);
      case kSecurity:
      case kExtendedSecurity:
        if (room < 1) return;
        AddByteItem(group, Res(kClassificationLevel), NameOf(kClassificationLevels, AtCursor().U8(0)));
        AddTextItem(group, room - 1, Res(kProtectionAuthorityFlags), {});
        return;
      case kCommercialSecurity:
        return;
      case kRouterAlertOption:
        if (room < 2) return;
        AddWordItem(group, Res(kRouterAlert), Res(AtCursor().U16(0) == 0 ? kRouterShallExamine : kReserved));
        return;
      default:
        AddTextItem(group, room, Res(kOptionData), {});
        return;
    }
  }

  void AddRoute(Item* group, uint32_t length, uint32_t room) {
    if (room < 1) return;
    const uint32_t pointer = AtCursor().U8(0);
    AddByteItem(group, Res(kDataPointer));
    for (uint32_t k = EntryCount(length, pointer, 4, room - 1); k > 0; --k) AddIPv4Item(group, kRouterIpAddress);
  }

  void AddTimeStamps(Item* group, uint32_t length, uint32_t room) {
    if (room < 2) return;
    const uint32_t pointer = AtCursor().U8(0);
    AddByteItem(group, Res(kDataPointer));
    const uint32_t flags = AtCursor().U8(0) & 0x0F;
    AddTextItem(group, 1, Res(kOverflow), BitsText8(AtCursor().U8(0), 0xF0), {}, 0, false);
    AddTextItem(group, 1, Res(kFlags), BitsText8(flags, 0x0F), NameOf(kTimeStampFlags, flags));
    if (flags == 0) {
      for (uint32_t k = EntryCount(length, pointer, 4, room - 2); k > 0; --k) AddTimestamp(group);
      return;
    }
    for (uint32_t k = EntryCount(length, pointer, 8, room - 2); k > 0; --k) {
      AddIPv4Item(group, kIpAddress);
      AddTimestamp(group);
    }
  }

  void AddIPv4Item(Item* group, uint32_t label) {
    char16_t text[kIPv4TextSize];
    AddTextItem(group, 4, Res(label), IPv4Text(AtCursor().Bytes(0, 4), text));
  }

  void AddTimestamp(Item* group) {
    const uint32_t stamp = AtCursor().U32(0);
    TextBuffer value;
    AddTextItem(group, 4, Res(kTimestamps), Format(value, u"%u (0x%04X)", stamp, stamp));
  }
};

VEL_REGISTER_MODULE(CIPv4Decoder, 1, u"IPv4 Decoder", u"IPv4 Decoder Module");

}  // namespace vel
