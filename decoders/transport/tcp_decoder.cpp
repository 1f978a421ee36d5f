// TCP: ports, sequence numbers, data offset, the flags with one child per
// flag, window, checksum, urgent pointer and every option of the header, a
// one-line summary, and the segment's payload handed to the application
// module that the pre-classification chose from the ports.
#include <iterator>

#include "engine/class_table.h"
#include "decoders/transport/transport_checksum.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels and texts.
constexpr uint32_t kBytes = 113, kChecksum = 126;
constexpr uint32_t kLength = 166, kFlags = 172, kCode = 224, kSequenceNumber = 226;
constexpr uint32_t kSourcePort = 1150, kDestinationPort = 1151, kAckNumber = 1152, kTcpOffset = 1153;
constexpr uint32_t kWindow = 1154, kUrgentPointer = 1155, kOption = 1168;
constexpr uint32_t kMaximumSegmentSize = 1171, kWindowScale = 1172, kTs = 1174, kTsEcho = 1175, kCount = 1179;
constexpr uint32_t kSummary = 1180, kSummaryWithFlags = 1181;
constexpr uint32_t kInvalidOptionLength = 1185;

// Header layout.
constexpr uint32_t kFixedHeaderLength = 20;
constexpr uint32_t kChecksumOffset = 16;
constexpr uint8_t kIpProtocolTcp = 6;

// The flags byte: one child per flag, most significant first.
constexpr uint32_t kUrg = 0x20, kAck = 0x10, kPsh = 0x08, kRst = 0x04, kSyn = 0x02, kFin = 0x01;
struct FlagBit {
  uint32_t mask;
  uint32_t label;
  const char16_t* picture;
  uint32_t comment;
};
constexpr FlagBit kFlagBits[] = {
    {kUrg, 1156, u"..%u. ....", 1162}, {kAck, 1157, u"...%u ....", 1163}, {kPsh, 1158, u".... %u...", 1164},
    {kRst, 1159, u".... .%u..", 1165}, {kSyn, 1160, u".... ..%u.", 1166}, {kFin, 1161, u".... ...%u", 1167},
};

// The flags named in the summary, in the order they are listed there.
struct SummaryFlag {
  uint32_t mask;
  const char16_t* text;
};
constexpr SummaryFlag kSummaryFlags[] = {{kSyn, u"SYN "}, {kFin, u"FIN "}, {kAck, u"ACK "},
                                         {kUrg, u"URG "}, {kRst, u"RST "}, {kPsh, u"PSH "}};

// Options: the kinds' names and the value items that follow the length byte.
constexpr uint32_t kEndOfOptionList = 0, kNoOperation = 1;
constexpr NameIdPair kOptionNames[] = {{0, 1169}, {1, 1170},  {2, 1171},  {3, 1172},  {4, 1173},
                                       {8, 176},  {11, 1176}, {12, 1177}, {13, 1178}, {0, 0}};
struct OptionValue {
  uint32_t width;  // 0: no item
  uint32_t label;
};
struct OptionLayout {
  uint32_t kind;
  OptionValue values[2];
};
constexpr OptionLayout kOptionLayouts[] = {
    {2, {{2, kMaximumSegmentSize}}}, {3, {{1, kWindowScale}}}, {8, {{4, kTs}, {4, kTsEcho}}},
    {11, {{4, kCount}}},             {12, {{4, kCount}}},      {13, {{4, kCount}}},
};
constexpr uint32_t kOptionKindAndLength = 2;

constexpr CLSID kClsid = MakeGuid("{A55359B0-670D-4A5A-A8C8-0C037909F630}");

uint32_t Bit(uint32_t flags, uint32_t mask) { return (flags & mask) ? 1 : 0; }

}  // namespace

class CTCPDecoder : public TransportChecksumT<CVELBaseModuleCLSIDImplT<CTCPDecoder, 2, kClsid>> {
 protected:
  // IPv4, IPv6, and the authentication header that the layer list names the segment after.
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {1, 52, 39}); }

  void DecodeLayer() override {
    ByteView header = Layer();
    AddWordItem(Group(), Res(kSourcePort), {}, VEL_DII_SOURCE_PORT);
    AddWordItem(Group(), Res(kDestinationPort), {}, VEL_DII_DEST_PORT);
    AddDWordItem(Group(), Res(kSequenceNumber));
    AddDWordItem(Group(), Res(kAckNumber));
    uint32_t headerLength = (header.U8(12) >> 4) * 4;
    AddDataOffset(headerLength);
    uint32_t flags = header.U8(13);
    AddFlags(flags);
    AddWordItem(Group(), Res(kWindow));
    AddChecksum();
    AddWordItem(Group(), Res(kUrgentPointer));
    // The summary needs only the fixed header, so a segment whose options
    // were cut short by the capture still gets one.
    SetSegmentSummary(header.U32(4), header.U32(8), header.U16(14), flags, headerLength);
    if (headerLength > kFixedHeaderLength) AddOptions(headerLength - kFixedHeaderLength);
    ForwardPayload();
  }

 private:
  void AddDataOffset(uint32_t headerLength) {
    TextBuffer value, comment;
    AddTextItem(Group(), 1, Res(kTcpOffset), Format(value, u"%u", headerLength / 4),
                Format(comment, u"%u %s", headerLength, Res(kBytes)));
  }

  // The flags byte as a picture of its six used bits, grouping one child per
  // flag; the cursor moves past the byte with the last child.
  void AddFlags(uint32_t flags) {
    TextBuffer picture;
    Item* item = AddTextItem(Group(), 1, Res(kFlags),
                             Format(picture, u"%u%u%u%u %u%u%u%u", 0, 0, Bit(flags, kUrg), Bit(flags, kAck),
                                    Bit(flags, kPsh), Bit(flags, kRst), Bit(flags, kSyn), Bit(flags, kFin)),
                             {}, 0, false);
    MakeGroup(item);
    for (size_t i = 0; i < std::size(kFlagBits); ++i) {
      const FlagBit& flag = kFlagBits[i];
      bool last = i + 1 == std::size(kFlagBits);
      TextBuffer value;
      AddTextItem(item, 1, Res(flag.label), Format(value, flag.picture, Bit(flags, flag.mask)), Res(flag.comment), 0,
                  last);
    }
  }

  void AddChecksum() {
    Item* item = AddWordItem(Group(), Res(kChecksum));
    if (VerifyChecksum()) JudgeTransportChecksum(item, kIpProtocolTcp, kChecksumOffset);
  }

  // "Seq = …, Ack = …, Win = …,Len = …" and, when flags are set, their names
  // in brackets. Len counts the captured bytes after the header.
  void SetSegmentSummary(uint32_t sequence, uint32_t ack, uint32_t window, uint32_t flags, uint32_t headerLength) {
    uint32_t afterLayer = Packet()->pCapturedPacket->CaptureLength - LayerOffset();
    uint32_t payload = afterLayer > headerLength ? afterLayer - headerLength : 0;
    TextBuffer names;
    for (const SummaryFlag& flag : kSummaryFlags)
      if (flags & flag.mask) names.append(flag.text);
    TextBuffer summary;
    if (names.size() == 0)
      FormatResText(summary, kSummary, sequence, ack, window, payload);
    else
      FormatResText(summary, kSummaryWithFlags, sequence, ack, window, payload, names);
    SetSummary(Group(), summary);
  }

  // Walks the option area to its end; zero padding after an end-of-list
  // option shows as further one-byte options.
  void AddOptions(uint32_t areaSize) {
    uint32_t walked = 0;
    for (int ordinal = 1; walked < areaSize; ++ordinal) walked += AddOption(ordinal, areaSize - walked);
  }

  // Shows one option that has room bytes of the area left; returns the bytes
  // it takes. A length byte below 2 or past the area ends the walk: the
  // option then takes the rest of the area.
  uint32_t AddOption(int ordinal, uint32_t room) {
    uint32_t start = CursorOffset();
    uint32_t kind = AtCursor().U8(0);
    TextBuffer name;
    Item* option = AddGroupItem(Group(), 1, Format(name, u"%s %d", Res(kOption), ordinal));
    AddByteItem(option, Res(kCode), NameOf(kOptionNames, kind));
    if (kind == kEndOfOptionList || kind == kNoOperation || room < kOptionKindAndLength) return 1;

    uint32_t length = AtCursor().U8(0);
    Item* lengthItem = AddByteItem(option, Res(kLength));
    bool walkEnds = length < kOptionKindAndLength || length > room;
    if (walkEnds) length = room;
    if (walkEnds || !AddOptionValues(option, kind, length)) SetComment(lengthItem, Res(kInvalidOptionLength));
    Skip(start + length - CursorOffset());
    SetExtent(option, start, length);
    return length;
  }

  // Adds the kind's value items; false when the option is too short to hold them.
  bool AddOptionValues(Item* option, uint32_t kind, uint32_t length) {
    for (const OptionLayout& layout : kOptionLayouts) {
      if (layout.kind != kind) continue;
      uint32_t valueBytes = 0;
      for (const OptionValue& value : layout.values) valueBytes += value.width;
      if (length < kOptionKindAndLength + valueBytes) return false;
      for (const OptionValue& value : layout.values) AddOptionValue(option, value);
    }
    return true;
  }

  void AddOptionValue(Item* option, const OptionValue& value) {
    switch (value.width) {
      case 1: AddByteItem(option, Res(value.label)); break;
      case 2: AddWordItem(option, Res(value.label)); break;
      case 4: AddDWordItem(option, Res(value.label)); break;
      default: break;
    }
  }
};

VEL_REGISTER_MODULE(CTCPDecoder, 5, u"TCP Decoder", u"TCP Decoder Module");

}  // namespace vel
