// DNS over UDP and TCP: the message header with its flags word taken apart,
// then the question and the answer, authority and additional records, each a
// group of its fields, with compressed names followed. The summary names the
// query, or the answers of a response. Nothing is handed on.
#include <algorithm>

#include "decoders/application/domain_name.h"
#include "decoders/application/value_text.h"
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels and texts.
constexpr uint32_t kType = 103, kReserved = 117, kClass = 138, kLength = 166, kFlags = 172, kIpAddress = 177;
constexpr uint32_t kIdentifier = 225;
constexpr uint32_t kQueryResponse = 400, kOperatorCode = 401, kAuthoritativeAnswer = 402, kTrunCation = 403;
constexpr uint32_t kRecursionDesired = 404, kRecursionAvailable = 405, kResponseCode = 406;
constexpr uint32_t kQuestions = 407, kAnswers = 408, kAuthority = 409, kAdditional = 410;
constexpr uint32_t kQuery = 411, kResponse = 412;
constexpr uint32_t kDomainName = 413, kTimeToLive = 414, kDataLength = 415, kNameServer = 416, kCname = 417;
constexpr uint32_t kMname = 418, kRname = 419, kRdata = 425;
constexpr uint32_t kSoaNumbers[] = {420, 421, 422, 423, 424};  // SERIA, REFRESH, RETRY, EXPIRE, MINIMUM
constexpr uint32_t kCompressedName = 426, kPointerRefused = 427;
constexpr uint32_t kQuerySummary = 428, kResponseSummary = 429;

constexpr NameIdPair kRecordTypeNames[] = {
    {1, 430},   {2, 431},   {3, 432},   {4, 433},   {5, 434},   {6, 435},   {7, 436},
    {8, 437},   {9, 438},   {10, 439},  {11, 440},  {12, 441},  {13, 442},  {14, 443},
    {15, 444},  {16, 445},  {252, 446}, {253, 447}, {254, 448}, {255, 449}, {0, 0},
};

// Value names.
constexpr NameIdPair kClassNames[] = {{1, 671}, {2, 672}, {3, 673}, {4, 674}, {0, 0}};
constexpr NameIdPair kOpcodeNames[] = {{0, 675}, {1, 676}, {2, 677}, {0, 0}};
constexpr NameIdPair kResponseCodeNames[] = {{0, 678}, {1, 679}, {2, 680}, {3, 681}, {4, 682}, {5, 683}, {0, 0}};

// Flags word.
constexpr uint32_t kQrBit = 0x8000, kOpcodeMask = 0x7800, kOpcodeShift = 11, kResponseCodeMask = 0x000F;
struct FlagField {
  uint32_t label, mask;
};
constexpr FlagField kFlagFields[] = {
    {kQueryResponse, kQrBit}, {kOperatorCode, kOpcodeMask},      {kAuthoritativeAnswer, 0x0400},
    {kTrunCation, 0x0200},    {kRecursionDesired, 0x0100},       {kRecursionAvailable, 0x0080},
    {kReserved, 0x0070},      {kResponseCode, kResponseCodeMask},
};

// Record types with data of their own shape.
constexpr uint32_t kTypeA = 1, kTypeNs = 2, kTypeCname = 5, kTypeSoa = 6;

constexpr uint32_t kFlagsSize = 2, kAddressSize = 4, kSoaNumberSize = 4;
// Bytes of a record after its name: type and class, then time to live and data length.
constexpr uint32_t kQuestionFixedSize = 4, kRecordFixedSize = 10;
// Records shown per answer, authority or additional section.
constexpr uint32_t kMaxRecordsShown = 20;

constexpr uint32_t kDNS = 29, kTCP = 2, kUDP = 20;
constexpr CLSID kClsid = MakeGuid("{4C36722A-3ED9-4FEA-AB51-850EB01E6327}");

enum class Section { kQuestion, kAnswer, kAuthority, kAdditional };

}  // namespace

class CDNSDecoder : public CVELBaseModuleCLSIDImplT<CDNSDecoder, kDNS, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kUDP, kTCP}); }

  void DecodeLayer() override {
    if (OverTcp()) {
      AddWordItem(Group(), Res(kLength));
      if (Remaining() == 0) return;
    }
    message_ = AtCursor();
    summary_.clear();
    AddWordItem(Group(), Res(kIdentifier));
    uint32_t flags = AtCursor().U16(0);
    response_ = (flags & kQrBit) != 0;
    AddFlags(flags);
    uint32_t questions = AddCount(kQuestions);
    uint32_t answers = AddCount(kAnswers);
    uint32_t authority = AddCount(kAuthority);
    uint32_t additional = AddCount(kAdditional);

    // Without exactly one question the sections that follow cannot be relied on.
    if (questions == 1) {
      AddRecords(Section::kQuestion, kQuestions, 1);
      AddRecords(Section::kAnswer, kAnswers, answers);
      AddRecords(Section::kAuthority, kAuthority, authority);
      AddRecords(Section::kAdditional, kAdditional, additional);
    }
    SetGroupLength();
  }

 private:
  // Over TCP the message follows a two-byte length: the layer two places
  // below this one is then TCP.
  bool OverTcp() const {
    uint32_t index = GroupIndex();
    return index > 2 && LayerProtocolType(Packet(), index - 3) == kTCP;
  }

  void AddFlags(uint32_t flags) {
    Item* group = AddTextItem(Group(), kFlagsSize, Res(kFlags), BitsText16(flags, 0xFFFF), {}, 0, false);
    MakeGroup(group);
    for (const FlagField& field : kFlagFields) {
      bool last = &field == std::end(kFlagFields) - 1;
      AddTextItem(group, kFlagsSize, Res(field.label), BitsText16(flags, field.mask), FlagComment(field, flags), 0,
                  last);
    }
  }

  static Text FlagComment(const FlagField& field, uint32_t flags) {
    switch (field.label) {
      case kQueryResponse: return Res(flags & kQrBit ? kResponse : kQuery);
      case kOperatorCode: {
        uint32_t opcode = (flags & kOpcodeMask) >> kOpcodeShift;
        return Res(LookupNameIdOr(kOpcodeNames, opcode, kReserved));
      }
      case kResponseCode: return NameOf(kResponseCodeNames, flags & kResponseCodeMask);
      default: return {};
    }
  }

  uint32_t AddCount(uint32_t label) {
    uint32_t count = AtCursor().U16(0);
    AddWordItem(Group(), Res(label));
    return count;
  }

  void AddRecords(Section section, uint32_t label, uint32_t count) {
    TextBuffer title;
    for (uint32_t i = 1; i <= std::min(count, kMaxRecordsShown); ++i) {
      Item* record = AddGroupItem(Group(), 1, Format(title, u"%s %u", Res(label), i));
      if (record) AddRecord(record, section);
    }
  }

  void AddRecord(Item* record, Section section) {
    const uint32_t start = CursorOffset();
    TextBuffer name;
    uint32_t nameLength = AddDomainName(record, Res(kDomainName), AtCursor().size(), name);
    bool question = section == Section::kQuestion;
    CoverRecord(record, start, nameLength + (question ? kQuestionFixedSize : kRecordFixedSize));
    uint32_t type = AtCursor().U16(0);
    AddWordItem(record, Res(kType), NameOf(kRecordTypeNames, type));
    uint32_t recordClass = AtCursor().U16(0);
    AddWordItem(record, Res(kClass), NameOf(kClassNames, recordClass));
    if (question) {
      if (!response_) SetSummary(Group(), FormatResText(summary_, kQuerySummary, name));
      return;
    }

    AddDWordItem(record, Res(kTimeToLive));
    uint32_t dataLength = AtCursor().U16(0);
    AddWordItem(record, Res(kDataLength));
    CoverRecord(record, start, nameLength + kRecordFixedSize + dataLength);
    TextBuffer value;
    AddRecordData(record, type, dataLength, value);
    if (response_ && section == Section::kAnswer) SummarizeAnswer(name, value);
  }

  // A record's group covers its bytes as far as they were captured.
  void CoverRecord(Item* record, uint32_t start, uint32_t length) {
    SetExtent(record, start, std::min(length, Layer().Clamp(start - LayerOffset()).size()));
  }

  // "Response: name = value" for the first answer, ",value" for each further one.
  void SummarizeAnswer(Text name, Text value) {
    if (summary_.size() == 0) {
      FormatResText(summary_, kResponseSummary, name, value);
    } else {
      summary_.append(u',');
      summary_.append(value);
    }
    SetSummary(Group(), summary_);
  }

  // The record data as its type shapes it; value receives the text that
  // stands for the record in the summary. The next record starts after the
  // data, whatever its fields took.
  void AddRecordData(Item* record, uint32_t type, uint32_t dataLength, TextBuffer& value) {
    const uint32_t dataStart = CursorOffset() - message_.offset();
    const uint32_t dataEnd = dataStart + dataLength;
    switch (type) {
      case kTypeA:
        if (dataLength < kAddressSize) {
          AddRawData(record, dataLength, value);
        } else {
          char16_t address[kIPv4TextSize];
          value.append(IPv4Text(AtCursor().Bytes(0, kAddressSize), address));
          AddTextItem(record, dataLength, Res(kIpAddress), value);
        }
        break;
      case kTypeNs:
      case kTypeCname: {
        ReadDomainName(message_, dataStart, dataEnd, value);
        AddTextItem(record, dataLength, Res(type == kTypeNs ? kNameServer : kCname), value);
        break;
      }
      case kTypeSoa: {
        TextBuffer mname;
        AddDomainName(record, Res(kMname), dataLength, mname);
        AddDomainName(record, Res(kRname), dataEnd - (CursorOffset() - message_.offset()), value);
        for (uint32_t label : kSoaNumbers) AddDWordItem(record, Res(label));
        break;
      }
      default: AddRawData(record, dataLength, value); break;
    }
    if (CursorOffset() - message_.offset() < dataEnd) SetCursor(message_.Clamp(dataEnd).data());
  }

  void AddRawData(Item* record, uint32_t dataLength, TextBuffer& value) {
    AppendPacketText(value, AtCursor().Bytes(0, dataLength), dataLength);
    AddTextItem(record, dataLength, Res(kRdata), value);
  }

  // A name at the cursor, its labels read no further than `room` bytes on;
  // the item covers the bytes the name occupies here. Returns their count.
  uint32_t AddDomainName(Item* parent, Text label, uint32_t room, TextBuffer& name) {
    const uint32_t at = CursorOffset() - message_.offset();
    DomainName read = ReadDomainName(message_, at, at + std::min(room, Remaining()), name);
    Text comment = read.pointerRefused ? Res(kPointerRefused) : read.compressed ? Res(kCompressedName) : Text{};
    AddTextItem(parent, read.occupied, label, name, comment);
    return read.occupied;
  }

  ByteView message_;
  bool response_ = false;
  TextBuffer summary_;
};

VEL_REGISTER_MODULE(CDNSDecoder, 10, u"DNS Decoder", u"DNS Decoder Module");

}  // namespace vel
