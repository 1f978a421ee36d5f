// SNMP (UDP ports 161 and 162): the BER walk of a version 1 or 2c message.
// Version and community, the PDU with its header fields (request id and
// error fields, the trap fields, or the bulk fields), and the variable
// bindings, each object name as a dotted OID and each value by its type. The
// PDU type name is the summary. Nothing is handed on.
#include <algorithm>

#include "decoders/application/ber_reader.h"
#include "decoders/application/value_text.h"
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels.
constexpr uint32_t kVersion = 111, kTimestamp = 1004;
constexpr uint32_t kCommunity = 1750, kData = 1751, kRequestId = 1752, kErrorStatus = 1753, kErrorIndex = 1754;
constexpr uint32_t kEnterprise = 1755, kAgentAddress = 1756, kGenericTrap = 1757, kSpecificTrap = 1758;
constexpr uint32_t kNonRepeaters = 1759, kMaxRepetitions = 1760, kBindingList = 1761, kBindingTitle = 1762;
constexpr uint32_t kObjectName = 1763, kValue = 1764, kUnreadableElement = 1766;

// Value texts and comments.
constexpr uint32_t kNullValue = 1765, kLengthTooLong = 1767;

// Names the message layout gives by position.
constexpr NameIdPair kVersionNames[] = {{0, 1926}, {1, 1927}, {2, 1928}, {3, 1929}, {0, 0}};
constexpr NameIdPair kPduNames[] = {
    {0, 1930}, {1, 1931}, {2, 1932}, {3, 1933}, {4, 1934}, {5, 1935}, {6, 1936}, {7, 1937}, {8, 1938}, {0, 0},
};
constexpr NameIdPair kGenericTrapNames[] = {
    {0, 1939}, {1, 1940}, {2, 1941}, {3, 1942}, {4, 1943}, {5, 1944}, {6, 1945}, {0, 0},
};
constexpr NameIdPair kApplicationTypeNames[] = {{0, 1946}, {1, 1947}, {2, 1948}, {3, 1949}, {4, 1950}, {0, 0}};

constexpr NameIdPair kErrorStatusNames[] = {
    {0, 1770},   // No error
    {1, 1771},   // Too Big
    {2, 1772},   // No such name
    {3, 1773},   // Bad value
    {4, 1774},   // Read only
    {5, 1775},   // genErr
    {6, 1776},   // No access
    {7, 1777},   // Wrong type
    {8, 1778},   // Wrong length
    {9, 1779},   // Wrong encoding
    {10, 1780},  // Wrong value
    {11, 1781},  // No creation
    {12, 1782},  // Inconsistent value
    {13, 1783},  // Resource unavailable
    {14, 1784},  // Commit failed
    {15, 1785},  // Undo failed
    {16, 1786},  // Authorization error
    {17, 1787},  // Not writable
    {18, 1788},  // Inconsistent name
    {0, 0},
};

// PDU tags by their field layout.
constexpr uint32_t kTrap = 4, kGetBulk = 5, kReport = 8;

// Application value types.
constexpr uint32_t kIpAddress = 0, kCounter = 1, kGauge = 2, kTimeTicks = 3, kOpaque = 4;
constexpr uint32_t kAddressSize = 4;

constexpr uint32_t kUDP = 20;
constexpr CLSID kClsid = MakeGuid("{38E4B85D-CBA8-43E7-B995-CA760B7689B1}");

// A decoded INTEGER as a code of a name table: a value no table holds stays unnamed.
uint32_t CodeOf(int64_t value) { return value >= 0 && value < kNoText ? static_cast<uint32_t>(value) : kNoText; }

}  // namespace

class CSNMPDecoder : public CVELBaseModuleCLSIDImplT<CSNMPDecoder, 13, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kUDP}); }

  void DecodeLayer() override {
    try {
      DecodeMessage();
    } catch (const ber::LengthTooLong& bad) {
      ShowUnreadableElement(bad);
    }
  }

 private:
  void DecodeMessage() {
    ber::Header message = ReadElement();
    Group()->put_Length(std::min(message.Extent(), Layer().size()));

    ber::Header version = ReadElement();
    AddByteElement(Group(), Res(kVersion), NameOfCode(kVersionNames, IntegerOf(version)), version);

    ber::Header community = ReadElement();
    TextBuffer text;
    ByteView bytes = Content(community);
    AppendPacketText(text, bytes.data(), bytes.size());
    AddTextItem(Group(), community.contentLength, Res(kCommunity), text);

    ber::Header pdu = ReadElement();
    Text name = NameOfCode(kPduNames, pdu.tag);
    SetSummary(Group(), name);
    Item* data = AddGroupItem(Group(), pdu.Extent(), Res(kData), name);
    Item* fields = AddGroupItem(data, pdu.contentLength, name);
    // A Report and the tags past it show no fields and no bindings.
    if (pdu.tag >= kReport) return;
    if (pdu.tag == kTrap)
      AddTrapFields(fields);
    else if (pdu.tag == kGetBulk)
      AddBulkFields(fields);
    else
      AddRequestFields(fields);
    AddBindings(fields);
  }

  // ---- Elements at the cursor ----

  // Reads the header of the element at the cursor and moves over it.
  ber::Header ReadElement() {
    ber::Header header = ber::ReadHeader(AtCursor());
    Skip(header.headerLength);
    return header;
  }

  // The content of the element whose header the cursor just passed; it must have been captured.
  ByteView Content(const ber::Header& element) const { return AtCursor().Sub(0, element.contentLength); }

  // The header fields are integers of any class (a trap's time stamp is TimeTicks).
  int64_t IntegerOf(const ber::Header& element) const { return ber::SignedValue(Content(element)); }

  // A small number shown by its first content byte; the cursor moves over the whole content.
  void AddByteElement(Item* parent, Text label, Text comment, const ber::Header& element) {
    AddByteItem(parent, label, comment, 0, false);
    Skip(element.contentLength);
  }

  void AddIntegerElement(Item* parent, Text label) {
    ber::Header element = ReadElement();
    TextBuffer value;
    AddTextItem(parent, element.contentLength, label, Format(value, u"%I64d", IntegerOf(element)));
  }

  // ---- PDU fields ----

  void AddRequestFields(Item* fields) {
    AddIntegerElement(fields, Res(kRequestId));
    ber::Header status = ReadElement();
    AddByteElement(fields, Res(kErrorStatus), NameOf(kErrorStatusNames, CodeOf(IntegerOf(status))), status);
    ber::Header index = ReadElement();
    AddByteElement(fields, Res(kErrorIndex), {}, index);
  }

  void AddTrapFields(Item* fields) {
    ber::Header enterprise = ReadElement();
    TextBuffer oid;
    ber::AppendOidText(oid, Content(enterprise));
    AddTextItem(fields, enterprise.contentLength, Res(kEnterprise), oid);

    ber::Header agent = ReadElement();
    ByteView address = Content(agent);
    char16_t text[kIPv4TextSize] = {};
    if (address.size() >= kAddressSize) IPv4Text(address.Bytes(0, kAddressSize), text);
    AddTextItem(fields, agent.contentLength, Res(kAgentAddress), text);

    ber::Header generic = ReadElement();
    AddTextItem(fields, generic.contentLength, Res(kGenericTrap), NameOfCode(kGenericTrapNames, IntegerOf(generic)));
    AddIntegerElement(fields, Res(kSpecificTrap));
    AddIntegerElement(fields, Res(kTimestamp));
  }

  void AddBulkFields(Item* fields) {
    AddIntegerElement(fields, Res(kRequestId));
    AddIntegerElement(fields, Res(kNonRepeaters));
    AddIntegerElement(fields, Res(kMaxRepetitions));
  }

  // ---- Variable bindings ----

  // The list and each binding are shown from the end of their header on,
  // over their header and content length.
  void AddBindings(Item* fields) {
    ber::Header list = ReadElement();
    if (list.contentLength == 0) return;
    Item* bindings = AddGroupItem(fields, list.Extent(), Res(kBindingList));
    uint64_t walked = 0;
    for (uint32_t n = 1; walked < list.contentLength; ++n) walked += AddBinding(bindings, n);
  }

  // Binding number n; returns its header and content length. The next
  // binding starts where this one's length says, whatever its value held.
  uint32_t AddBinding(Item* bindings, uint32_t n) {
    ber::Header binding = ReadElement();
    const uint64_t end = uint64_t{CursorOffset()} + binding.contentLength;
    TextBuffer title;
    Item* group = AddGroupItem(bindings, binding.Extent(), FormatResText(title, kBindingTitle, n));

    ber::Header name = ReadElement();
    TextBuffer oid;
    ber::AppendOidText(oid, Content(name));
    AddTextItem(group, name.contentLength, Res(kObjectName), oid);

    ber::Header value = ReadElement();
    TextBuffer text;
    Text comment = value.tagClass == ber::kUniversal ? Text{} : NameOfCode(kApplicationTypeNames, value.tag);
    AddTextItem(group, value.contentLength, Res(kValue), ValueText(text, value), comment);
    if (end > CursorOffset()) Skip(static_cast<uint32_t>(end - CursorOffset()));
    return binding.Extent();
  }

  Text ValueText(TextBuffer& text, const ber::Header& value) const {
    ByteView content = Content(value);
    if (value.tagClass == ber::kUniversal) {
      switch (value.tag) {
        case ber::kInteger:
          return Format(text, u"%I64d", ber::SignedValue(content));
        case ber::kOctetString:
          AppendHexPairs(text, content);
          return text;
        case ber::kNull:
          return Res(kNullValue);
        case ber::kObjectIdentifier:
          ber::AppendOidText(text, content);
          return text;
        case ber::kGeneralString:
          AppendPacketText(text, content.data(), content.size());
          return text;
        default:
          return {};
      }
    }
    switch (value.tag) {
      case kIpAddress:
        if (content.size() >= kAddressSize) {
          char16_t address[kIPv4TextSize];
          text.append(IPv4Text(content.Bytes(0, kAddressSize), address));
        }
        return text;
      case kCounter:
      case kGauge:
      case kTimeTicks:
        // Small counts come with fewer than four content bytes, large ones with a leading zero byte.
        return Format(text, u"%u", ber::UnsignedValue(content));
      case kOpaque:
        AppendHexPairs(text, content);
        return text;
      default:
        return {};
    }
  }

  // ---- Damage ----

  // An element whose length cannot be read ends the message; the item covers
  // its header as far as it was read.
  void ShowUnreadableElement(const ber::LengthTooLong& bad) {
    TextBuffer comment;
    AddTextItem(Group(), bad.readBytes, Res(kUnreadableElement), {},
                FormatResText(comment, kLengthTooLong, bad.lengthBytes));
    uint32_t length = 0;
    Group()->get_Length(&length);
    if (CursorOffset() - LayerOffset() > length) SetGroupLength();
  }
};

VEL_REGISTER_MODULE(CSNMPDecoder, 17, u"SMNP Decoder", u"SMNP Decoder Module");

}  // namespace vel
