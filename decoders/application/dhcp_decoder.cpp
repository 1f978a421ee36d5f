// BOOTP and DHCP: the fixed BOOTP header, the magic cookie, then the options
// up to End, each a group of its code, length and decoded value. The summary
// is the transaction id and the DHCP message type. Nothing is handed on.
#include <algorithm>
#include <cstring>

#include "decoders/application/value_text.h"
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels and texts.
constexpr uint32_t kType = 103, kReserved = 117, kLength = 166, kIpAddress = 177, kSeconds = 261;
constexpr uint32_t kTimeToLive = 282;
constexpr uint32_t kOperationCode = 526, kHardwareType = 527, kHardwareAddressLength = 528, kHops = 529;
constexpr uint32_t kTransactionId = 530, kSecondsElapsed = 531, kBootpFlags = 532, kBroadcast = 533;
constexpr uint32_t kClientAddress = 534, kYourAddress = 535, kNextServerAddress = 536, kRelayAgentAddress = 537;
constexpr uint32_t kClientMacAddress = 538, kHardwareAddressPadding = 539, kServerHostName = 540;
constexpr uint32_t kBootFileName = 541, kMagicCookie = 542, kBootRequest = 543, kBootReply = 544, kNotGiven = 548;
constexpr uint32_t kEnable = 549, kDisable = 550;
constexpr uint32_t kOptionCode = 558, kOptionLength = 559, kMask = 560, kDestination = 561, kSize = 562;
constexpr uint32_t kTimeout = 563, kMtuSize = 564, kTime = 565, kInformation = 566, kNodeType = 567, kScope = 568;
constexpr uint32_t kLeaseTime = 569, kValue = 570, kT1Interval = 571, kT2Interval = 572, kHardwareAddress = 573;
constexpr uint32_t kName = 574, kUnknown = 575, kFilePathname = 576, kOptionTooShort = 577;
constexpr uint32_t kSummary = 578;

constexpr NameIdPair kHardwareTypeNames[] = {{1, 545}, {6, 546}, {8, 547}, {0, 0}};
constexpr NameIdPair kNodeTypeNames[] = {{1, 551}, {2, 552}, {4, 553}, {8, 554}, {0, 0}};
constexpr NameIdPair kOverloadNames[] = {{1, 555}, {2, 556}, {3, 557}, {0, 0}};
constexpr NameIdPair kMessageTypeNames[] = {{1, 579}, {2, 580}, {3, 581}, {4, 582}, {5, 583},
                                            {6, 584}, {7, 585}, {8, 586}, {0, 0}};

// Option codes whose labels serve as field labels too.
constexpr uint32_t kPad = 0, kRouterOption = 3, kDomainNameOption = 15, kMessageOption = 56, kEnd = 255;

// Option labels: codes 0-61 and 64-76 in two runs of ids, then End.
constexpr uint32_t kFirstOptionLabel = 450, kSecondRunStart = 64, kSecondRunLabel = 512, kEndLabel = 525;
uint32_t OptionLabelId(uint32_t code) {
  if (code <= 61) return kFirstOptionLabel + code;
  if (code >= kSecondRunStart && code <= 76) return kSecondRunLabel + code - kSecondRunStart;
  return code == kEnd ? kEndLabel : kNoText;
}
Text OptionLabel(uint32_t code) { return ResText(OptionLabelId(code)); }

// How an option's value is shown.
enum class Shape {
  kAddress,          // one address under the option's label
  kSignedSeconds,    // a signed 32-bit number of seconds under the option's label
  kAddressList,      // length / 4 addresses
  kText,             // text under the option's label
  kWord,             // a 16-bit number under the option's label
  kNamedText,        // text under a label of its own
  kSwitch,           // one byte, 1 enables
  kAddressPairs,     // length / 8 pairs of addresses under two labels
  kByte,             // an 8-bit number under a label of its own
  kNamedWord,        // a 16-bit number under a label of its own
  kDWord,            // a 32-bit number under a label of its own
  kWordList,         // length / 2 numbers under a label of its own
  kOpaque,           // bytes without a value
  kNamedByte,        // a byte named from a table
  kMessageType,      // the DHCP message type, which the summary names too
  kParameterList,    // option codes, each named
  kHardwareEntries,  // length / 7 hardware type and address entries
};

struct OptionShape {
  Shape shape;
  uint32_t label = kNoText;   // a label of its own, where the shape has one
  uint32_t second = kNoText;  // the second label of a pair, or the comment of a number
  const NameIdPair* names = nullptr;
};

OptionShape ShapeOf(uint32_t code) {
  switch (code) {
    case 1: return {Shape::kAddress};
    case 2: case 35: return {Shape::kSignedSeconds};
    case 3: case 4: case 5: case 6: case 7: case 8: case 9: case 10: case 11: case 16: case 28: case 32: case 41:
    case 42: case 44: case 45: case 48: case 49: case 50: case 54: case 65: case 68: case 69: case 70: case 71:
    case 72: case 73: case 74: case 75: case 76:
      return {Shape::kAddressList, kIpAddress};
    case 12: case 15: case 17: case 18: return {Shape::kText};
    case 13: return {Shape::kWord};
    case 14: return {Shape::kNamedText, kFilePathname};
    case 19: case 20: case 27: case 29: case 30: case 31: case 34: case 36: case 39: return {Shape::kSwitch, kValue};
    case 21: return {Shape::kAddressPairs, kIpAddress, kMask};
    case 22: return {Shape::kNamedWord, kSize};
    case 23: case 37: return {Shape::kByte, kTimeToLive};
    case 24: return {Shape::kDWord, kTimeout};
    case 25: case 26: return {Shape::kWordList, kMtuSize};
    case 33: return {Shape::kAddressPairs, kDestination, OptionLabelId(kRouterOption)};
    case 38: return {Shape::kDWord, kTime};
    case 40: case 64: return {Shape::kNamedText, OptionLabelId(kDomainNameOption)};
    case 43: return {Shape::kOpaque, kInformation};
    case 46: return {Shape::kNamedByte, kNodeType, kNoText, kNodeTypeNames};
    case 47: return {Shape::kNamedText, kScope};
    case 51: return {Shape::kDWord, kLeaseTime};
    case 52: return {Shape::kNamedByte, kValue, kNoText, kOverloadNames};
    case 53: return {Shape::kMessageType, kType};
    case 55: return {Shape::kParameterList, kOptionCode};
    case 56: return {Shape::kNamedText, OptionLabelId(kMessageOption)};
    case 57: return {Shape::kNamedWord, kLength};
    case 58: return {Shape::kDWord, kT1Interval, kSeconds};
    case 59: return {Shape::kDWord, kT2Interval, kSeconds};
    case 60: case 61: return {Shape::kHardwareEntries};
    case 66: case 67: return {Shape::kNamedText, kName};
    default: return {Shape::kNamedText, kUnknown};
  }
}

// Bytes a shape needs before it can show anything; the list shapes show as
// many entries as fit.
uint32_t FixedSize(Shape shape) {
  switch (shape) {
    case Shape::kAddress: case Shape::kSignedSeconds: case Shape::kDWord: return 4;
    case Shape::kWord: case Shape::kNamedWord: return 2;
    case Shape::kSwitch: case Shape::kByte: case Shape::kNamedByte: case Shape::kMessageType: return 1;
    default: return 0;
  }
}

// Fixed header.
constexpr uint32_t kBootRequestCode = 1;
constexpr uint32_t kBroadcastBit = 0x8000, kFlagBits = 0x7FFF;
constexpr uint32_t kAddressSize = 4, kMacSize = 6, kHardwareAddressFieldSize = 16;
constexpr uint32_t kServerHostNameSize = 64, kBootFileNameSize = 128;
constexpr uint8_t kCookie[] = {0x63, 0x82, 0x53, 0x63};
// Option entries.
constexpr uint32_t kPairSize = 8, kHardwareEntrySize = 7;

constexpr uint32_t kDHCP = 12, kUDP = 20;
constexpr CLSID kClsid = MakeGuid("{F40F2C8D-DD40-42E1-83D5-9ABC625F7149}");

}  // namespace

class CDHCPDecoder : public CVELBaseModuleCLSIDImplT<CDHCPDecoder, kDHCP, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kUDP}); }

  void DecodeLayer() override {
    AddFixedHeader();
    AddMagicCookie();
    while (Remaining() > 0 && AddOption()) {
    }
    SetGroupLength();
  }

 private:
  void AddFixedHeader() {
    uint32_t operation = AtCursor().U8(0);
    AddByteItem(Group(), Res(kOperationCode), Res(operation == kBootRequestCode ? kBootRequest : kBootReply));
    AddByteItem(Group(), Res(kHardwareType), NameOf(kHardwareTypeNames, AtCursor().U8(0)));
    uint32_t hardwareLength = AtCursor().U8(0);
    AddByteItem(Group(), Res(kHardwareAddressLength));
    AddByteItem(Group(), Res(kHops));
    uint32_t transaction = AtCursor().U32(0);
    AddDWordItem(Group(), Res(kTransactionId));
    SetSummary(Group(), FormatResText(summary_, kSummary, Res(kTransactionId), transaction));
    AddWordItem(Group(), Res(kSecondsElapsed));
    AddFlags();
    for (uint32_t label : {kClientAddress, kYourAddress, kNextServerAddress, kRelayAgentAddress})
      AddAddress(Group(), Res(label), 0);
    AddClientHardwareAddress(hardwareLength);
    AddFieldText(Res(kServerHostName), kServerHostNameSize);
    AddFieldText(Res(kBootFileName), kBootFileNameSize);
  }

  void AddFlags() {
    uint32_t flags = AtCursor().U16(0);
    Item* group = AddTextItem(Group(), 2, Res(kBootpFlags), BitsText16(flags, 0xFFFF), {}, 0, false);
    MakeGroup(group);
    AddTextItem(group, 2, Res(kBroadcast), BitsText16(flags, kBroadcastBit), {}, 0, false);
    AddTextItem(group, 2, Res(kReserved), BitsText16(flags, kFlagBits));
  }

  // The 16-byte field shows its first six bytes as a MAC address; the rest
  // is padding, skipped also where the address length claims all of it, so
  // that the names that follow keep their places.
  void AddClientHardwareAddress(uint32_t hardwareLength) {
    AddMacAddress(Group(), Res(kClientMacAddress), 0);
    constexpr uint32_t padding = kHardwareAddressFieldSize - kMacSize;
    if (hardwareLength < kHardwareAddressFieldSize)
      AddTextItem(Group(), padding, Res(kHardwareAddressPadding), {});
    else
      Skip(padding);
  }

  // A fixed-size field holding text up to its first zero byte.
  void AddFieldText(Text label, uint32_t size) {
    const uint8_t* field = AtCursor().Bytes(0, size);
    uint32_t length = TextLength(field, size);
    TextBuffer value;
    AppendPacketText(value, field, length);
    AddTextItem(Group(), size, label, length ? value.view() : Res(kNotGiven));
  }

  // Shown only when present: a BOOTP message without it has its options, if
  // any, right after the header.
  void AddMagicCookie() {
    ByteView rest = AtCursor();
    if (rest.Has(0, sizeof(kCookie)) && std::memcmp(rest.data(), kCookie, sizeof(kCookie)) == 0)
      AddDWordItem(Group(), Res(kMagicCookie));
  }

  // One option as a group; false after the End option. The next option is
  // read after the option's length, whatever its value took.
  bool AddOption() {
    const uint32_t start = CursorOffset();
    uint32_t code = AtCursor().U8(0);
    TextBuffer value;
    Item* option = AddGroupItem(Group(), 1, OptionLabel(code), Format(value, u"%u (0x%02X)", code, code));
    AddByteItem(option, Res(kOptionCode));
    if (code == kPad || code == kEnd) return code != kEnd;

    uint32_t length = AtCursor().U8(0);
    Item* lengthItem = AddByteItem(option, Res(kOptionLength));
    SetExtent(option, start, std::min(2 + length, Layer().Clamp(start - LayerOffset()).size()));
    OptionShape shape = ShapeOf(code);
    if (length < FixedSize(shape.shape))
      SetComment(lengthItem, Res(kOptionTooShort));
    else
      AddOptionValue(option, code, shape, length);
    SetCursor(Layer().Clamp(start - LayerOffset() + 2 + length).data());
    return true;
  }

  void AddOptionValue(Item* option, uint32_t code, const OptionShape& shape, uint32_t length) {
    Text label = shape.label == kNoText ? OptionLabel(code) : Res(shape.label);
    switch (shape.shape) {
      case Shape::kAddress: AddAddress(option, label, 0); break;
      case Shape::kSignedSeconds: {
        TextBuffer value;
        Format(value, u"%d", static_cast<int32_t>(AtCursor().U32(0)));
        AddTextItem(option, 4, label, value, Res(kSeconds));
        break;
      }
      case Shape::kAddressList:
        for (uint32_t n = length / kAddressSize; n > 0; --n) AddAddress(option, label, VEL_DII_IP_ADRESS);
        break;
      case Shape::kText:
      case Shape::kNamedText: AddPacketText(option, label, length); break;
      case Shape::kWord:
      case Shape::kNamedWord: AddWordItem(option, label); break;
      case Shape::kSwitch: AddByteItem(option, label, Res(AtCursor().U8(0) == 1 ? kEnable : kDisable)); break;
      case Shape::kAddressPairs:
        for (uint32_t n = length / kPairSize; n > 0; --n) {
          AddAddress(option, label, VEL_DII_IP_ADRESS);
          AddAddress(option, Res(shape.second), VEL_DII_IP_ADRESS);
        }
        break;
      case Shape::kByte: AddByteItem(option, label); break;
      case Shape::kDWord: AddDWordItem(option, label, ResText(shape.second)); break;
      case Shape::kWordList:
        for (uint32_t n = length / 2; n > 0; --n) AddWordItem(option, label);
        break;
      case Shape::kOpaque: AddTextItem(option, length, label, {}); break;
      case Shape::kNamedByte: AddByteItem(option, label, NameOf(shape.names, AtCursor().U8(0))); break;
      case Shape::kMessageType: AddMessageType(option, label); break;
      case Shape::kParameterList:
        for (uint32_t n = length; n > 0; --n) AddByteItem(option, label, OptionLabel(AtCursor().U8(0)));
        break;
      case Shape::kHardwareEntries:
        for (uint32_t n = length / kHardwareEntrySize; n > 0; --n) {
          AddByteItem(option, Res(kHardwareType));
          AddMacAddress(option, Res(kHardwareAddress), VEL_DII_HARDWARE_ADDRESS);
        }
        break;
    }
  }

  // Named types add their name to the summary.
  void AddMessageType(Item* option, Text label) {
    Text name = NameOf(kMessageTypeNames, AtCursor().U8(0));
    AddByteItem(option, label, name);
    if (name.empty()) return;
    summary_.append(u'-');
    summary_.append(name);
    SetSummary(Group(), summary_);
  }

  void AddAddress(Item* parent, Text label, uint32_t type) {
    char16_t text[kIPv4TextSize];
    AddTextItem(parent, kAddressSize, label, IPv4Text(AtCursor().Bytes(0, kAddressSize), text), {}, type);
  }

  void AddMacAddress(Item* parent, Text label, uint32_t type) {
    const uint8_t* address = AtCursor().Bytes(0, kMacSize);
    char16_t text[kMacTextSize] = {};
    TextBuffer vendor;
    AppendVendorName(vendor, address);
    AddTextItem(parent, kMacSize, label, Text(MacText(address, text), kMacTextSize - 1), vendor, type);
  }

  void AddPacketText(Item* parent, Text label, uint32_t length) {
    TextBuffer value;
    AppendPacketText(value, AtCursor().Bytes(0, length), length);
    AddTextItem(parent, length, label, value);
  }

  TextBuffer summary_;
};

VEL_REGISTER_MODULE(CDHCPDecoder, 11, u"DHCP Decoder", u"DHCP Decoder Module");

}  // namespace vel
