// RADIUS (UDP ports 1812 and 1813): the 20-byte header, then the attributes
// that the header's length covers, each a sub-group of type, length and a
// value shown by attribute type: text, hex, numbers with value names,
// addresses, the vendor id of vendor-specific data, or the header of a
// carried EAP message. The summary is the code name with the identifier and
// length. Nothing is handed on.
#include <algorithm>

#include "decoders/application/value_text.h"
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels.
constexpr uint32_t kType = 103, kLength = 166, kCode = 224, kIdentifier = 225;
constexpr uint32_t kPacketIdentifier = 1800, kAuthenticator = 1801, kAttributeValuePairs = 1802;
constexpr uint32_t kChapIdent = 1803, kVendorId = 1804, kValue = 1805, kEap = 1806, kTypeData = 1807;

// Summary and comments.
constexpr uint32_t kSummary = 1808, kNegotiated = 1809, kAssigned = 1810;
constexpr uint32_t kShorterThanHeader = 1811, kAttributeTooShort = 1812;

constexpr NameIdPair kCodeNames[] = {
    {1, 1820},    // Access-Request
    {2, 1821},    // Access-Accept
    {3, 1822},    // Access-Reject
    {4, 1823},    // Accounting-Request
    {5, 1824},    // Accounting-Response
    {6, 1825},    // Accounting-Status
    {7, 1826},    // Password-Request
    {8, 1827},    // Password-Ack
    {9, 1828},    // Password-Reject
    {10, 1829},   // Accounting-Message
    {11, 1830},   // Access-Challenge
    {12, 1831},   // Status-Server
    {13, 1832},   // Status-Client
    {21, 1833},   // Resource-Free-Request
    {22, 1834},   // Resource-Free-Response
    {23, 1835},   // Resource-Query-Request
    {24, 1836},   // Query_Response
    {25, 1837},   // Alternate-Resource-Reclaim-Request
    {26, 1838},   // NAS-Reboot-Request
    {27, 1839},   // NAS-Reboot-Response
    {29, 1840},   // Next-Passcode
    {30, 1841},   // New-Pin
    {31, 1842},   // Terminate-Session
    {32, 1843},   // Password-Expired
    {33, 1844},   // Event-Request
    {34, 1845},   // Event-Response
    {40, 1846},   // Disconnect-Request
    {41, 1847},   // Disconnect-ACK
    {42, 1848},   // Disconnect-NAK
    {43, 1849},   // CoA-Request
    {44, 1850},   // CoA-ACK
    {45, 1851},   // CoA-NAK
    {50, 1852},   // IP-Address-Allocate
    {51, 1853},   // IP-Address-Release
    {129, 1854},  // ALU-State-Request
    {130, 1855},  // ALU-State-Accept
    {131, 1856},  // ALU-State-Reject
    {132, 1857},  // ALU-State-Error
    {0, 0},
};

// Value names of the numbered attributes.
constexpr NameIdPair kServiceTypes[] = {{1, 1860}, {2, 1861}, {3, 1862}, {4, 1863},  {5, 1864},  {6, 1865},
                                        {7, 1866}, {8, 1867}, {9, 1868}, {10, 1869}, {11, 1870}, {0, 0}};
constexpr NameIdPair kFramedProtocols[] = {{1, 1871}, {2, 1872}, {3, 1873}, {4, 1874}, {5, 1875}, {6, 1876}, {0, 0}};
constexpr NameIdPair kFramedRoutings[] = {{0, 1877}, {1, 1878}, {2, 1879}, {3, 1880}, {0, 0}};
constexpr NameIdPair kFramedCompressions[] = {{0, 1877}, {1, 1881}, {2, 1882}, {3, 1883}, {0, 0}};
constexpr NameIdPair kLoginServices[] = {{0, 1884}, {1, 1885}, {2, 1886}, {3, 1887}, {4, 1888},
                                         {5, 1889}, {6, 1890}, {7, 1891}, {0, 0}};
constexpr NameIdPair kTerminationActions[] = {{0, 1892}, {1, 1893}, {0, 0}};
constexpr NameIdPair kNasPortTypes[] = {{0, 1894},  {1, 1895},  {2, 1896},  {3, 1897},  {4, 1898},  {5, 1899},
                                        {6, 1900},  {7, 1901},  {8, 1902},  {9, 1903},  {10, 1904}, {11, 1905},
                                        {12, 1906}, {13, 1907}, {14, 1908}, {15, 1909}, {16, 1910}, {17, 1911},
                                        {18, 1912}, {19, 1913}, {0, 0}};
constexpr NameIdPair kEapCodes[] = {{1, 1914}, {2, 1915}, {3, 1916}, {4, 1917}, {0, 0}};
constexpr NameIdPair kEapTypes[] = {{1, 1918}, {2, 1919}, {3, 1920},   {4, 1921},
                                    {5, 1922}, {6, 1923}, {254, 1924}, {255, 1925}, {0, 0}};

// How an attribute's value is shown.
enum class Shown {
  kText,            // the bytes as text
  kHex,             // hex pairs of all bytes
  kChapPassword,    // an ident byte, then text
  kAddress,         // dotted IPv4 address
  kNumber,          // 32-bit number, named when the attribute has value names
  kHexNumber,       // 32-bit number as eight hex digits
  kVendorSpecific,  // a vendor id, then text
  kEapMessage,      // the header of the carried EAP message
};

struct Attribute {
  uint32_t type;
  uint32_t name;  // text id
  Shown shown;
  const NameIdPair* values = nullptr;
};

// Named attribute types; the value of any other type is shown empty.
constexpr Attribute kAttributes[] = {
    {1, 1213, Shown::kText},
    {2, 1214, Shown::kHex},
    {3, 1215, Shown::kChapPassword},
    {4, 1216, Shown::kAddress},
    {5, 1217, Shown::kNumber},
    {6, 1218, Shown::kNumber, kServiceTypes},
    {7, 1219, Shown::kNumber, kFramedProtocols},
    {8, 1220, Shown::kHexNumber},
    {9, 1221, Shown::kAddress},
    {10, 1222, Shown::kNumber, kFramedRoutings},
    {11, 1223, Shown::kHex},
    {12, 1224, Shown::kNumber},
    {13, 1225, Shown::kNumber, kFramedCompressions},
    {14, 1226, Shown::kHexNumber},
    {15, 1227, Shown::kNumber, kLoginServices},
    {16, 1228, Shown::kNumber},
    {18, 1229, Shown::kHex},
    {19, 1230, Shown::kHex},
    {20, 1231, Shown::kHex},
    {22, 1232, Shown::kHex},
    {23, 1233, Shown::kHexNumber},
    {24, 1234, Shown::kHex},
    {25, 1235, Shown::kHex},
    {26, 1236, Shown::kVendorSpecific},
    {27, 1237, Shown::kNumber},
    {28, 1238, Shown::kNumber},
    {29, 1239, Shown::kNumber, kTerminationActions},
    {30, 1240, Shown::kText},
    {31, 1241, Shown::kText},
    {32, 1242, Shown::kHex},
    {33, 1243, Shown::kHex},
    {34, 1244, Shown::kHex},
    {35, 1245, Shown::kHex},
    {36, 1246, Shown::kHex},
    {37, 1247, Shown::kNumber},
    {38, 1248, Shown::kNumber},
    {39, 1249, Shown::kHex},
    {60, 1951, Shown::kHex},
    {61, 1952, Shown::kNumber, kNasPortTypes},
    {62, 1953, Shown::kNumber},
    {63, 1954, Shown::kHex},
    {79, 1955, Shown::kEapMessage},
    {80, 1956, Shown::kHex},
};

const Attribute* FindAttribute(uint32_t type) {
  auto found = std::find_if(std::begin(kAttributes), std::end(kAttributes),
                            [type](const Attribute& a) { return a.type == type; });
  return found != std::end(kAttributes) ? found : nullptr;
}

// Layout.
constexpr uint32_t kHeaderSize = 20, kAuthenticatorSize = 16;
constexpr uint32_t kAttributeHeaderSize = 2, kChapIdentSize = 1, kVendorIdSize = 4, kNumberSize = 4;
constexpr uint32_t kEapHeaderSize = 4, kEapTypeEnd = 5, kEapSuccess = 3;

// Addresses a framed-address attribute leaves to the NAS or the user.
constexpr uint32_t kNegotiatedAddress = 0xFFFFFFFF, kAssignedAddress = 0xFFFFFFFE;

constexpr uint32_t kNasIpAddress = 4;
constexpr uint32_t kUDP = 20;
constexpr CLSID kClsid = MakeGuid("{2A67203B-292C-49BB-804D-650BD395BFA0}");

}  // namespace

class CRadiusDecoder : public CVELBaseModuleCLSIDImplT<CRadiusDecoder, 58, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kUDP}); }

  void DecodeLayer() override {
    ByteView header = Layer();
    Text codeName = NameOf(kCodeNames, header.U8(0));
    AddByteItem(Group(), Res(kCode), codeName);
    SetSummary(Group(), codeName);
    uint32_t identifier = header.U8(1);
    AddByteItem(Group(), Res(kPacketIdentifier));
    uint32_t length = header.U16(2);
    Item* lengthItem = AddWordItem(Group(), Res(kLength));
    TextBuffer summary;
    AppendSummary(Group(), FormatResText(summary, kSummary, identifier, length));
    if (length < kHeaderSize) SetComment(lengthItem, Res(kShorterThanHeader));
    AddHexItem(Group(), Res(kAuthenticator), kAuthenticatorSize);
    if (length >= kHeaderSize) AddAttributes(length - kHeaderSize);
    SetGroupLength();
  }

 private:
  // The walk covers what the header's length gives, not the rest of the datagram.
  void AddAttributes(uint32_t total) {
    Item* pairs = AddGroupItem(Group(), total, Res(kAttributeValuePairs));
    for (uint32_t walked = 0; walked < total;) {
      uint32_t length = AddAttribute(pairs);
      if (length < kAttributeHeaderSize) return;
      walked += length;
    }
  }

  // One attribute; returns its length byte. A length below 2 would never
  // advance, so the walk ends there.
  uint32_t AddAttribute(Item* pairs) {
    uint32_t type = AtCursor().U8(0), length = AtCursor().U8(1);
    const Attribute* attribute = FindAttribute(type);
    Text name = attribute ? Res(attribute->name) : Text{};
    Item* group = AddGroupItem(pairs, std::max(length, kAttributeHeaderSize), name);
    AddByteItem(group, Res(kType), name);
    Item* lengthItem = AddByteItem(group, Res(kLength));
    if (length < kAttributeHeaderSize) {
      SetComment(lengthItem, Res(kAttributeTooShort));
      return length;
    }
    uint32_t size = length - kAttributeHeaderSize;
    const uint32_t valueStart = CursorOffset();
    if (attribute && attribute->shown == Shown::kEapMessage)
      AddEapMessage(group, size);
    else
      AddValue(group, attribute, size);
    Skip(valueStart + size - CursorOffset());
    return length;
  }

  void AddValue(Item* group, const Attribute* attribute, uint32_t size) {
    if (attribute && attribute->shown == Shown::kChapPassword && size >= kChapIdentSize) {
      AddByteItem(group, Res(kChapIdent));
      size -= kChapIdentSize;
    } else if (attribute && attribute->shown == Shown::kVendorSpecific && size >= kVendorIdSize) {
      AddDWordItem(group, Res(kVendorId));
      size -= kVendorIdSize;
    }
    ByteView value = AtCursor().Sub(0, size);
    TextBuffer text;
    Text comment = attribute ? ValueText(text, *attribute, value) : Text{};
    uint32_t itemType = attribute && attribute->type == kNasIpAddress ? uint32_t{VEL_DII_IP_ADRESS} : 0;
    AddTextItem(group, size, Res(kValue), text, comment, itemType);
  }

  // Writes the value text; returns the comment. Numbers and addresses need
  // their four bytes: a shorter value is shown empty.
  static Text ValueText(TextBuffer& text, const Attribute& attribute, ByteView value) {
    switch (attribute.shown) {
      case Shown::kText:
      case Shown::kChapPassword:
      case Shown::kVendorSpecific:
        AppendPacketText(text, value.data(), value.size());
        return {};
      case Shown::kHex:
        AppendHexPairs(text, value);
        return {};
      default:
        break;
    }
    if (value.size() < kNumberSize) return {};
    uint32_t number = value.U32(0);
    switch (attribute.shown) {
      case Shown::kAddress: {
        char16_t address[kIPv4TextSize];
        text.append(IPv4Text(value.Bytes(0, kNumberSize), address));
        return {};
      }
      case Shown::kNumber:
        Format(text, u"%u", number);
        return attribute.values ? NameOf(attribute.values, number) : Text{};
      case Shown::kHexNumber:
        Format(text, u"%08X", number);
        return number == kNegotiatedAddress ? Res(kNegotiated) : number == kAssignedAddress ? Res(kAssigned) : Text{};
      default:
        return {};
    }
  }

  // The EAP header as far as the attribute holds it: code, identifier and
  // length, then for requests and responses the type and its data.
  void AddEapMessage(Item* attribute, uint32_t size) {
    Item* eap = AddGroupItem(attribute, size, Res(kEap));
    if (size < kEapHeaderSize) return;
    uint32_t code = AtCursor().U8(0);
    AddByteItem(eap, Res(kCode), NameOf(kEapCodes, code));
    AddByteItem(eap, Res(kIdentifier));
    uint32_t length = AtCursor().U16(0);
    AddWordItem(eap, Res(kLength));
    if (code >= kEapSuccess || size == kEapHeaderSize) return;
    AddByteItem(eap, Res(kType), NameOf(kEapTypes, AtCursor().U8(0)));
    // A long message continues in the next attributes; its data here ends with this one.
    uint32_t end = std::min(length, size);
    if (end > kEapTypeEnd) AddHexItem(eap, Res(kTypeData), end - kEapTypeEnd);
  }
};

VEL_REGISTER_MODULE(CRadiusDecoder, 19, u"Radius Decoder", u"Radius Decoder Module");

}  // namespace vel
