// NetBIOS name service (UDP port 137): a header like DNS's with NetBIOS flags,
// then the question, answer, authority and additional records, whose names
// are NetBIOS names and whose data may be name/address (NB) entries or a
// node status (NBSTAT) name table. The summary names the operation and the
// questioned name. Nothing is handed on.
#include <algorithm>
#include <iterator>

#include "decoders/application/netbios_fields.h"
#include "engine/class_table.h"

namespace vel {

namespace {

// Labels.
constexpr uint32_t kTransactionId = 900, kFlags = 901, kQueryResponse = 902, kOperationCode = 903;
constexpr uint32_t kAuthoritativeAnswer = 904, kTruncation = 905, kRecursionDesired = 906;
constexpr uint32_t kRecursionAvailable = 907, kBroadcast = 908, kResponseCode = 909;
constexpr uint32_t kQuestions = 910, kAnswers = 911, kAuthority = 912, kAdditional = 913;
constexpr uint32_t kNetBIOSName = 914, kDomainName = 915, kType = 916, kClass = 917, kTimeToLive = 918;
constexpr uint32_t kDataLength = 919, kGroupName = 920, kOwnerNodeType = 921, kIPAddress = 922, kRData = 923;
constexpr uint32_t kNameNumber = 924, kDeregister = 925, kConflict = 926, kActiveName = 927;
constexpr uint32_t kPermanentName = 928, kStatistics = 929;

// Comments.
constexpr uint32_t kMoreNamesThanData = 952;

constexpr NameIdPair kDirectionNames[] = {{0, 930}, {1, 931}, {0, 0}};  // Query, Response
constexpr NameIdPair kOpcodeNames[] = {
    {0, 930},  // Query
    {5, 932},  // Registration
    {6, 933},  // Release
    {7, 934},  // WACK
    {8, 935},  // Refresh
    {0, 0},
};
constexpr NameIdPair kResponseCodeNames[] = {
    {0, 936},  // No Error
    {1, 937},  // Format Error
    {2, 938},  // Server Failure
    {3, 939},  // Name Error
    {4, 940},  // Unsupported request error
    {5, 941},  // Refused error
    {0, 0},
};
constexpr NameIdPair kOwnerNodeTypeNames[] = {
    {0, 948},  // B-node
    {1, 949},  // P-node
    {2, 950},  // M-node
    {3, 951},  // Reserved
    {0, 0},
};

constexpr uint32_t kOpcodeMask = 0x7800;
constexpr FlagField kHeaderFlags[] = {
    {kQueryResponse, 0x8000, kDirectionNames}, {kOperationCode, kOpcodeMask, kOpcodeNames},
    {kAuthoritativeAnswer, 0x0400},           {kTruncation, 0x0200},
    {kRecursionDesired, 0x0100},              {kRecursionAvailable, 0x0080},
    {kBroadcast, 0x0010},                     {kResponseCode, 0x000F, kResponseCodeNames},
};
// The flags of an NB address entry, and of a name in a node status table.
constexpr FlagField kAddressEntryFlags[] = {{kGroupName, 0x8000}, {kOwnerNodeType, 0x6000, kOwnerNodeTypeNames}};
constexpr FlagField kNameFlags[] = {
    {kGroupName, 0x8000}, {kOwnerNodeType, 0x6000, kOwnerNodeTypeNames},
    {kDeregister, 0x1000}, {kConflict, 0x0800}, {kActiveName, 0x0400}, {kPermanentName, 0x0200},
};

// Record types and classes.
constexpr uint32_t kTypeNS = 2, kTypeNULL = 10, kTypeNB = 32, kTypeNBSTAT = 33;
constexpr NameIdPair kTypeNames[] = {
    {1, 942},   // IP address resource record (A)
    {2, 943},   // Name server resource record (NS)
    {10, 944},  // NULL resource record (NULL)
    {32, 945},  // NetBIOS general name service resource record (NB)
    {33, 946},  // NetBIOS NODE STATUS resource record (NBSTAT)
    {0, 0},
};
constexpr uint32_t kClassInternet = 1;
constexpr NameIdPair kClassNames[] = {{kClassInternet, 947}, {0, 0}};  // Internet class (IN)

// The four sections, in message order.
constexpr uint32_t kSectionLabels[] = {kQuestions, kAnswers, kAuthority, kAdditional};

// Record and data layout.
constexpr uint32_t kQuestionFixedSize = 4, kResourceFixedSize = 10;
constexpr uint32_t kFlagsOnlySize = 2, kAddressEntrySize = 6, kAddressSize = 4;
constexpr uint32_t kNodeNameSize = 16, kNodeNameEntrySize = 18;

constexpr uint32_t kUDP = 20, kNBNS = 44;
constexpr CLSID kClsid = MakeGuid("{7A30FC6C-3083-4F34-9E7B-35CBD9D9425C}");

}  // namespace

class CNBNSDecoder : public NetBIOSFieldsT<CVELBaseModuleCLSIDImplT<CNBNSDecoder, kNBNS, kClsid>> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kUDP}); }

  void DecodeLayer() override {
    AddWordItem(Group(), Res(kTransactionId));
    const uint32_t flags = AddFlagGroup(Group(), Res(kFlags), 2, kHeaderFlags);
    opcodeName_ = NameOf(kOpcodeNames, (flags & kOpcodeMask) >> std::countr_zero(kOpcodeMask));
    uint32_t counts[std::size(kSectionLabels)];
    for (size_t s = 0; s < std::size(kSectionLabels); ++s) {
      counts[s] = AtCursor().U16(0);
      AddWordItem(Group(), Res(kSectionLabels[s]));
    }
    // The counts alone drive the walk: the first record not captured ends it.
    for (size_t s = 0; s < std::size(kSectionLabels); ++s)
      for (uint32_t n = 1; n <= counts[s]; ++n) AddRecord(kSectionLabels[s], n);
    SetGroupLength();
  }

 private:
  // One record as a group titled after its section and number. It covers the
  // rest of the capture until its own length is known.
  void AddRecord(uint32_t section, uint32_t n) {
    const uint32_t start = CursorOffset();
    TextBuffer title;
    Item* record = AddGroupItem(Group(), Remaining(), Format(title, u"%s %u", Res(section), n));
    const bool question = section == kQuestions;
    NetBIOSName name;
    AddNetBIOSName(record, Res(question ? kNetBIOSName : kDomainName), name);
    if (question) {
      TextBuffer summary;
      SetSummary(Group(), Format(summary, u"%s %s", opcodeName_, name.text));
    }
    const uint32_t type = AtCursor().U16(0);
    AddWordItem(record, Res(kType), NameOf(kTypeNames, type));
    const uint32_t recordClass = AtCursor().U16(0);
    AddWordItem(record, Res(kClass), NameOf(kClassNames, recordClass));
    if (question) return SetRecordExtent(record, start, name.length + kQuestionFixedSize);
    AddDWordItem(record, Res(kTimeToLive));
    const uint32_t dataLength = AtCursor().U16(0);
    AddWordItem(record, Res(kDataLength));
    SetRecordExtent(record, start, name.length + kResourceFixedSize + dataLength);
    const uint32_t dataEnd = CursorOffset() + dataLength;
    AddRecordData(record, type, recordClass, dataLength);
    Skip(dataEnd - CursorOffset());
  }

  // A record's extent, as far as it was captured.
  void SetRecordExtent(Item* record, uint32_t start, uint32_t length) {
    const uint32_t captured = LayerOffset() + Layer().size() - start;
    SetExtent(record, start, std::min(length, captured));
  }

  // The data items; they never go past the data length.
  void AddRecordData(Item* record, uint32_t type, uint32_t recordClass, uint32_t dataLength) {
    switch (type) {
      case kTypeNB:
        if (dataLength == kFlagsOnlySize)
          AddTextItem(record, kFlagsOnlySize, Res(kFlags), BitsText16(AtCursor().U16(0), 0xFFFF));
        else
          for (uint32_t i = 0; i < dataLength / kAddressEntrySize; ++i) AddAddressEntry(record, recordClass);
        break;
      case kTypeNBSTAT:
        AddNodeStatus(record, dataLength);
        break;
      case kTypeNS:
        AddDataText(record, Res(kNetBIOSName), dataLength);
        break;
      case kTypeNULL:
        break;
      default:
        if (recordClass == kClassInternet)
          AddAddress(record, dataLength);
        else
          AddDataText(record, Res(kRData), dataLength);
        break;
    }
  }

  void AddAddressEntry(Item* record, uint32_t recordClass) {
    AddFlagGroup(record, Res(kFlags), 2, kAddressEntryFlags);
    if (recordClass == kClassInternet)
      AddAddress(record, kAddressSize);
    else
      AddDataText(record, Res(kRData), kAddressSize);
  }

  // An address item over length bytes, showing the first four; a shorter
  // field has no address to show.
  void AddAddress(Item* record, uint32_t length) {
    char16_t address[kIPv4TextSize] = {};
    if (length >= kAddressSize) IPv4Text(AtCursor().Bytes(0, kAddressSize), address);
    AddTextItem(record, length, Res(kIPAddress), address);
  }

  void AddDataText(Item* record, Text label, uint32_t length) {
    TextBuffer value;
    AppendPacketText(value, AtCursor().Bytes(0, length), length);
    AddTextItem(record, length, label, value);
  }

  // The node status name table: the names that fit in the data, each with its
  // flags, then the statistics over the rest of the data.
  void AddNodeStatus(Item* record, uint32_t dataLength) {
    if (dataLength == 0) return;
    const uint32_t count = AtCursor().U8(0);
    uint32_t left = dataLength - 1;
    AddByteItem(record, Res(kNameNumber), count * kNodeNameEntrySize > left ? Res(kMoreNamesThanData) : Text{});
    for (uint32_t i = 0; i < count && left >= kNodeNameEntrySize; ++i, left -= kNodeNameEntrySize) {
      NetBIOSName name;
      PlainNetBIOSName(AtCursor().Bytes(0, kNodeNameSize), name);
      AddTextItem(record, kNodeNameSize, Res(kNetBIOSName), name.text, name.comment);
      AddFlagGroup(record, Res(kFlags), 2, kNameFlags);
    }
    if (left > 0) AddTextItem(record, left, Res(kStatistics), {});
  }

  Text opcodeName_;
};

VEL_REGISTER_MODULE(CNBNSDecoder, 13, u"NBNS Decoder", u"NBNS Decoder Module");

}  // namespace vel
