// PPPoE discovery (EtherType 0x8863): the PPPoE header and its list of tags,
// each tag a sub-group of type, length and value. Error tags raise the
// packet's severity. The layer is a leaf: nothing is handed on.
#include <algorithm>

#include "decoders/link/pppoe_header.h"
#include "engine/class_table.h"

namespace vel {

namespace {

// Labels and texts.
constexpr uint32_t kTagTitle = 1452, kTagType = 1453, kTagLength = 1454, kTagValue = 1455;
constexpr uint32_t kAnyService = 1456, kTagSummary = 1457;

constexpr uint32_t kEndOfList = 0x0000, kServiceName = 0x0101, kAcName = 0x0102;
constexpr uint32_t kServiceNameError = 0x0201, kGenericError = 0x0203;
constexpr uint32_t kTagHeaderSize = 4;

constexpr NameIdPair kTagNames[] = {
    {0x0000, 1469},  // End-Of-List
    {0x0101, 1470},  // Service-Name
    {0x0102, 1471},  // AC-Name
    {0x0103, 1472},  // Host-Uniq
    {0x0104, 1473},  // AC-Cookie
    {0x0105, 1474},  // Vendor-Specific
    {0x0106, 1475},  // Credits
    {0x0107, 1476},  // Metrics
    {0x0108, 1477},  // Sequence Number
    {0x0109, 1478},  // Credit Scale Factor
    {0x0110, 1479},  // Relay-Session-Id
    {0x0111, 1480},  // HURL
    {0x0112, 1481},  // MOTM
    {0x0120, 1482},  // PPP-Max-Payload
    {0x0121, 1483},  // IP Route Add
    {0x0201, 1484},  // Service-Name-Error
    {0x0202, 1485},  // AC-System-Error
    {0x0203, 1486},  // Generic-Error
    {0, 0},
};

constexpr CLSID kClsid = MakeGuid("{10938E9D-F8C5-40DB-9DFC-01375D34D67B}");

bool IsErrorTag(uint32_t tag) { return tag >= kServiceNameError && tag <= kGenericError; }
bool IsNameTag(uint32_t tag) { return tag == kServiceName || tag == kAcName; }

}  // namespace

class CPPPOEDDecoder : public CPPPoEHeaderDecoderT<CPPPOEDDecoder, 59, kClsid> {
 protected:
  void DecodeLayer() override {
    uint32_t payloadLength = AddPPPoEHeader();
    uint32_t consumed = 0;
    for (uint32_t n = 1; consumed < payloadLength && Remaining() >= kTagHeaderSize; ++n) {
      uint32_t tag = 0, tagLength = 0;
      if (!AddTag(n, &tag, &tagLength)) break;
      consumed += kTagHeaderSize + tagLength;
      if (tag == kEndOfList) break;
    }
    SetGroupLength();
  }

 private:
  // One tag as sub-group number n; false when the sub-group could not be made.
  bool AddTag(uint32_t n, uint32_t* tag, uint32_t* tagLength) {
    TextBuffer title;
    FormatResText(title, kTagTitle, n);
    const uint32_t start = CursorOffset();
    Item* sub = AddGroupItem(Group(), 1, title);
    if (!sub) return false;

    *tag = AtCursor().U16(0);
    Text name = NameOf(kTagNames, *tag);
    if (name.empty()) name = title;
    AddWordItem(sub, Res(kTagType), name);
    if (IsErrorTag(*tag)) {
      SetItemSeverity(sub, VEL_SST_WARNING);
      RaisePacketSeverity(VEL_SST_WARNING);
    }

    *tagLength = AtCursor().U16(0);
    AddWordItem(sub, Res(kTagLength), *tagLength == 0 ? Res(kAnyService) : Text{});
    // The sub-group covers the whole tag, as far as it was captured.
    SetExtent(sub, start, kTagHeaderSize + std::min(*tagLength, Remaining()));
    if (*tagLength > 0) AddTagValue(sub, *tag, name, *tagLength);
    return true;
  }

  void AddTagValue(Item* sub, uint32_t tag, Text name, uint32_t length) {
    if (!IsNameTag(tag)) {
      AddHexItem(sub, Res(kTagValue), length);
      return;
    }
    TextBuffer value, summary;
    AppendPacketText(value, AtCursor().Bytes(0, length), length);
    AddTextItem(sub, length, Res(kTagValue), value);
    AppendSummary(Group(), FormatResText(summary, kTagSummary, name, value));
  }
};

VEL_REGISTER_MODULE(CPPPOEDDecoder, 24, u"PPPoED Decoder", u"PPPoED Decoder Module");

}  // namespace vel
