// IGMP: shows a membership query, report or leave by its type, names the
// multicast group (for a version 3 message: its sources) in the summary, and
// verifies the checksum over the captured message. Nothing is handed on.
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels.
constexpr uint32_t kType = 103, kReserved = 117, kChecksum = 126, kUnused = 243;
constexpr uint32_t kMulticastAddress = 332, kSFlag = 346, kMaxRespTime = 348;
constexpr uint32_t kRobustnessVariable = 355, kQueryIntervalCode = 356, kNumberOfSources = 357;
constexpr uint32_t kSourceAddress = 358;

// Comments and summaries.
constexpr uint32_t kSuppressRouterSide = 354;
constexpr uint32_t kQuerySummary = 345, kReportSummary = 349, kLeaveSummary = 352;

// Message types. A query with a zero max response time is a version 1 query.
constexpr uint32_t kQuery = 0x11, kV1Report = 0x12, kV2Report = 0x16, kLeave = 0x17, kV3Report = 0x22;
constexpr uint32_t kV1QueryName = 1411, kV2QueryName = 1412;
constexpr NameIdPair kTypeNames[] = {{kV1Report, 1413}, {kV2Report, 1414}, {kLeave, 1415}, {kV3Report, 1416}, {0, 0}};

constexpr uint32_t kChecksumOffset = 2;
constexpr uint32_t kAddressSize = 4;

constexpr uint32_t kIGMP = 35, kIPv4 = 1, kIPv6 = 52;
constexpr CLSID kClsid = MakeGuid("{F0BB551B-2434-4A26-A42E-10EC33E3657B}");

bool IsShownType(uint32_t type) {
  return type == kQuery || type == kV1Report || type == kV2Report || type == kLeave || type == kV3Report;
}

// One bit of value, for the "%u" places of a bit picture.
uint32_t Bit(uint32_t value, uint32_t bit) { return value >> bit & 1; }

}  // namespace

class CIGMPDecoder : public CVELBaseModuleCLSIDImplT<CIGMPDecoder, kIGMP, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kIPv4, kIPv6}); }

  void DecodeLayer() override {
    ByteView message = Layer();
    uint32_t type = message.U8(0);
    if (!IsShownType(type)) return SetGroupLength();

    bool v1Query = type == kQuery && message.U8(1) == 0;
    AddByteItem(Group(), Res(kType), TypeName(type, v1Query));
    AddByteItem(Group(), Res(v1Query || type == kV1Report ? kUnused : kMaxRespTime));
    Item* checksum = AddWordItem(Group(), Res(kChecksum));
    if (type == kQuery)
      SetSummary(Group(), Res(kQuerySummary));
    else
      AddMulticastAddress(type);
    if (type == kV3Report) AddSourceFields();
    SetGroupLength();
    if (VerifyChecksum()) JudgeInternetChecksum(checksum, message, kChecksumOffset);
  }

 private:
  static Text TypeName(uint32_t type, bool v1Query) {
    if (type == kQuery) return Res(v1Query ? kV1QueryName : kV2QueryName);
    return NameOf(kTypeNames, type);
  }

  // Reports and leaves are summarised by their group; a version 3 report by
  // its sources, which follow.
  void AddMulticastAddress(uint32_t type) {
    char16_t address[kIPv4TextSize];
    IPv4Text(AtCursor().Bytes(0, kAddressSize), address);
    AddTextItem(Group(), kAddressSize, Res(kMulticastAddress), address, {}, VEL_DII_IP_ADRESS);
    if (type == kV3Report) return;
    TextBuffer summary;
    SetSummary(Group(), FormatResText(summary, type == kLeave ? kLeaveSummary : kReportSummary, address));
  }

  void AddSourceFields() {
    uint32_t flags = AtCursor().U8(0);
    TextBuffer value;
    Format(value, u"%u%u%u%u ....", Bit(flags, 7), Bit(flags, 6), Bit(flags, 5), Bit(flags, 4));
    AddTextItem(Group(), 1, Res(kReserved), value, {}, 0, false);
    Format(value, u".... %u...", Bit(flags, 3));
    AddTextItem(Group(), 1, Res(kSFlag), value, Res(kSuppressRouterSide), 0, false);
    Format(value, u".... .%u%u%u", Bit(flags, 2), Bit(flags, 1), Bit(flags, 0));
    AddTextItem(Group(), 1, Res(kRobustnessVariable), value);
    AddByteItem(Group(), Res(kQueryIntervalCode));

    uint32_t count = AtCursor().U16(0);
    AddWordItem(Group(), Res(kNumberOfSources));
    SummarizeSources(count);
    // The count alone drives the walk: the first source not captured ends it.
    for (uint32_t i = 0; i < count; ++i) AddSourceAddress();
  }

  // Lists the sources whose addresses were captured, so that a message cut
  // short still names what it carries.
  void SummarizeSources(uint32_t count) {
    ByteView sources = AtCursor().Clamp(0, count * kAddressSize);
    TextBuffer list;
    char16_t address[kIPv4TextSize];
    for (uint32_t at = 0; at + kAddressSize <= sources.size(); at += kAddressSize) {
      if (at) list.append(u", ");
      list.append(IPv4Text(sources.Bytes(at, kAddressSize), address));
    }
    TextBuffer summary;
    SetSummary(Group(), FormatResText(summary, kReportSummary, list));
  }

  void AddSourceAddress() {
    char16_t address[kIPv4TextSize];
    IPv4Text(AtCursor().Bytes(0, kAddressSize), address);
    AddTextItem(Group(), kAddressSize, Res(kSourceAddress), address, {}, VEL_DII_IP_ADRESS);
  }
};

VEL_REGISTER_MODULE(CIGMPDecoder, 7, u"IGMP Decoder", u"IGMP Decoder Module");

}  // namespace vel
