// PPPoE session (EtherType 0x8864): the PPPoE header, the PPP protocol field
// as a PPP group of its own, and for the control and authentication protocols
// (LCP, PAP, CHAP, IPCP, IPv6CP) their packet as a third group. IPv4 carried
// in PPP is offered onward as IPv4; other payloads are shown as they are.
#include <algorithm>
#include <span>

#include "decoders/link/pppoe_header.h"
#include "engine/class_table.h"

namespace vel {

namespace {

// Labels and texts.
constexpr uint32_t kProtocol = 125, kPayload = 1487;
constexpr uint32_t kCode = 224, kIdentifier = 225, kLength = 166, kType = 103;
constexpr uint32_t kMagicNumber = 1507, kData = 1508;
constexpr uint32_t kPeerIdLength = 1509, kPeerId = 1510, kPasswdLength = 1511, kPassword = 1512;
constexpr uint32_t kMessageLength = 1513, kMessage = 1514;
constexpr uint32_t kPapRequestSummary = 1515, kPapMessageSummary = 1516;
constexpr uint32_t kValueSize = 1517, kValue = 1518, kName = 1519;
constexpr uint32_t kOptionTitle = 1520, kPapProtocolName = 1521;
constexpr uint32_t kVanJacobson = 1522, kMaxSlotId = 1523, kCompSlotId = 1524;
constexpr uint32_t kMustNotCompress = 1525, kMayCompress = 1526;

// Protocol types of the layers this decoder makes or offers.
constexpr uint32_t kTypeIPv4 = 1, kTypePpp = 61, kTypePppIp = 199;
constexpr uint32_t kTypeLcp = 62, kTypePap = 63, kTypeIpcp = 64, kTypeIpv6cp = 65, kTypeChap = 318;

constexpr uint32_t kPppProtocolSize = 2, kControlHeaderSize = 4, kOptionHeaderSize = 2;
constexpr uint32_t kPapProtocol = 0xC023, kVanJacobsonProtocol = 0x002D;

// Codes of LCP, IPCP and IPv6CP.
constexpr NameIdPair kLcpCodeNames[] = {
    {0, 1488},   // Vendor Specific
    {1, 1489},   // Configuration Request
    {2, 1490},   // Configuration Ack
    {3, 1491},   // Configuration Nak
    {4, 1492},   // Configuration Reject
    {5, 1493},   // Termination Request
    {6, 1494},   // Termination Ack
    {7, 1495},   // Code Reject
    {8, 1496},   // Protocol-Reject
    {9, 1497},   // Echo-Request
    {10, 1498},  // Echo-Reply
    {11, 1499},  // Discard-Request
    {0, 0},
};

constexpr NameIdPair kPapCodeNames[] = {
    {1, 1500},  // Authenticate-Request
    {2, 1501},  // Authenticate-Ack
    {3, 1502},  // Authenticate-Nak
    {0, 0},
};

constexpr NameIdPair kChapCodeNames[] = {
    {1, 1503},  // Challenge
    {2, 1504},  // Response
    {3, 1505},  // Success
    {4, 1506},  // Failure
    {0, 0},
};

struct OptionName {
  uint32_t type;
  const char16_t* name;
};

constexpr OptionName kLcpOptionNames[] = {
    {0, u"Vendor Specific"},
    {1, u"Maximum-Receive-Unit"},
    {2, u"Authentication-Protocol"},
    {3, u"Authentication Protocol"},
    {4, u"Quality Protocol"},
    {5, u"Magic Number"},
    {6, u"DEPRECATED"},
    {7, u"Protocol Field Compression"},
    {8, u"Address or Control Field Compression"},
    {9, u"FCS Alternatives"},
    {10, u"Self-Describing Pad"},
    {11, u"Numbered Mode"},
    {12, u"Multi-Link Procedure"},
    {13, u"Callback"},
    {14, u"Connect Time"},
    {15, u"Compound Frames"},
    {16, u"Nominal Data Encapsulation"},
    {17, u"Multilink MRRU"},
    {18, u"Multilink Short Sequence Number Header"},
    {19, u"Multilink Endpoint Discriminator"},
    {20, u"Proprietary"},
    {21, u"DCE Identifier"},
    {22, u"Multilink Plus Procedure"},
    {23, u"Link Discriminator for BACP"},
    {24, u"LCP Authentication"},
    {25, u"Consistent Overhead Byte Stuffing"},
    {26, u"Prefix elision"},
    {27, u"Multilink header format"},
    {28, u"Internationalization"},
    {29, u"Simple Data Link on SONET/SDH"},
    {30, u"Unassigned"},
};

constexpr OptionName kIpcpOptionNames[] = {
    {1, u"IP-Addresses"},
    {2, u"IP-Compression-Protocol"},
    {3, u"IP-Addresses"},
};

constexpr OptionName kIpv6cpOptionNames[] = {
    {1, u"Interface-Identifier"},
    {2, u"IPv6-Compression-Protocol"},
};

// LCP option types with a value rule of their own.
constexpr uint32_t kLcpMaximumReceiveUnit = 1, kLcpAuthenticationProtocol = 3;
// IPCP option types.
constexpr uint32_t kIpcpAddresses = 1, kIpcpCompression = 2, kIpcpAddress = 3;
// IPv6CP option types.
constexpr uint32_t kIpv6cpInterfaceId = 1, kIpv6cpCompression = 2;
constexpr uint32_t kInterfaceIdSize = 8, kIpv6cpCompressionFixedSize = 6;

constexpr CLSID kClsid = MakeGuid("{94297934-533E-40AB-82D1-C4D072B2A970}");

Text OptionNameOf(std::span<const OptionName> names, uint32_t type) {
  for (const OptionName& option : names)
    if (option.type == type) return option.name;
  return {};
}

std::span<const OptionName> OptionNamesOf(uint32_t protocol) {
  switch (protocol) {
    case kTypeLcp: return kLcpOptionNames;
    case kTypeIpcp: return kIpcpOptionNames;
    default: return kIpv6cpOptionNames;
  }
}

const NameIdPair* CodeNamesOf(uint32_t protocol) {
  switch (protocol) {
    case kTypePap: return kPapCodeNames;
    case kTypeChap: return kChapCodeNames;
    default: return kLcpCodeNames;
  }
}

bool IsControlProtocol(uint32_t type) {
  switch (type) {
    case kTypeLcp: case kTypePap: case kTypeIpcp: case kTypeIpv6cp: case kTypeChap: return true;
    default: return false;
  }
}

// The long catalogue name of a protocol type; empty past the catalogue.
Text LongName(uint32_t type) {
  const char16_t* name = ProtocolLongName(type);
  return name ? name : Text{};
}

}  // namespace

class CPPPoESDecoder : public CPPPoEHeaderDecoderT<CPPPoESDecoder, 60, kClsid> {
 protected:
  void DecodeLayer() override {
    uint32_t payloadLength = AddPPPoEHeader();
    SetGroupLength();
    if (payloadLength <= kPppProtocolSize) return;

    Item* ppp = NewLayerGroup(kTypePpp, kPppProtocolSize);
    if (!ppp) return;
    uint32_t next = LayerAfter(ppp);
    AddWordItem(ppp, Res(kProtocol), LongName(next));
    if (next == kTypePppIp) {
      // IPv4 goes on as IPv4: the layer list holds the PPP type in its place.
      if (Remaining() > 0) OfferToOutputs(kTypeIPv4, Cursor());
    } else if (IsControlProtocol(next)) {
      AddControlPacket(next);
    } else {
      AddRemainingItem(ppp, Res(kPayload));
    }
  }

 private:
  // A further top-level group at the cursor covering length bytes, as far as captured.
  Item* NewLayerGroup(uint32_t type, uint32_t length) {
    Item* group = nullptr;
    if (FAILED(Info()->CreateGroupEx(type, &group)) || !group) return nullptr;
    SetExtent(group, CursorOffset(), std::min(length, Remaining()));
    return group;
  }

  // The layer-list entry that follows the layer of group.
  uint32_t LayerAfter(Item* group) const {
    uint32_t index = 0;
    group->get_Index(&index);
    return (index >= 1 && index <= 9) ? LayerProtocolType(Packet(), index - 1) : 0;
  }

  // ---- Control packets ----

  void AddControlPacket(uint32_t protocol) {
    Item* control = NewLayerGroup(protocol, kControlHeaderSize);
    if (!control) return;
    const uint32_t start = CursorOffset();
    const uint32_t captured = Remaining();

    uint32_t code = AtCursor().U8(0);
    Text codeName = NameOf(CodeNamesOf(protocol), code);
    if (codeName.empty()) codeName = LongName(protocol);
    SetSummary(control, codeName);
    AddByteItem(control, Res(kCode), codeName);
    AddByteItem(control, Res(kIdentifier));
    uint32_t length = AtCursor().U16(0);
    AddWordItem(control, Res(kLength));
    SetExtent(control, start, std::min(length, captured));

    switch (protocol) {
      case kTypeLcp: AddLcpBody(control, code, length); break;
      case kTypePap: AddPapBody(control, code, length); break;
      case kTypeChap: AddChapBody(control, code, length); break;
      default: WalkOptions(control, protocol, OptionsLength(length)); break;
    }
  }

  // The bytes after the control header that the options of a packet of this length fill.
  static uint32_t OptionsLength(uint32_t length) {
    return length > kControlHeaderSize ? length - kControlHeaderSize : 0;
  }

  void AddLcpBody(Item* control, uint32_t code, uint32_t length) {
    if (code >= 1 && code <= 4) {
      WalkOptions(control, kTypeLcp, OptionsLength(length));
    } else if (code >= 9 && code <= 11) {
      AddDWordItem(control, Res(kMagicNumber));
      if (length > 8) AddHexItem(control, Res(kData), length - 8);
    } else if (length >= kControlHeaderSize) {
      AddHexItem(control, Res(kData), length - kControlHeaderSize);
    }
  }

  // PAP shows its fields under a "Data" sub-group and adds the peer's texts to the summary.
  void AddPapBody(Item* control, uint32_t code, uint32_t length) {
    Item* data = AddGroupItem(control, length, Res(kData));
    TextBuffer summary;
    if (code == 1) {
      TextBuffer peerId, password;
      AddCountedText(data, kPeerIdLength, kPeerId, peerId);
      AddCountedText(data, kPasswdLength, kPassword, password);
      FormatResText(summary, kPapRequestSummary, peerId, password);
    } else if (code == 2 || code == 3) {
      TextBuffer message;
      AddCountedText(data, kMessageLength, kMessage, message);
      FormatResText(summary, kPapMessageSummary, message);
    }
    if (summary.size() > 0) AppendSummary(control, summary);
  }

  void AddChapBody(Item* control, uint32_t code, uint32_t length) {
    TextBuffer text;
    if (code == 1 || code == 2) {
      uint32_t valueSize = AtCursor().U8(0);
      AddByteItem(control, Res(kValueSize));
      AddHexItem(control, Res(kValue), valueSize);
      if (length > valueSize + 5) AddPacketText(control, kName, length - valueSize - 5, text);
    } else if (length > kControlHeaderSize) {
      AddPacketText(control, kMessage, length - kControlHeaderSize, text);
    }
  }

  // A one-byte count followed by that many bytes of text.
  void AddCountedText(Item* parent, uint32_t countLabel, uint32_t textLabel, TextBuffer& text) {
    uint32_t count = AtCursor().U8(0);
    AddByteItem(parent, Res(countLabel));
    AddPacketText(parent, textLabel, count, text);
  }

  void AddPacketText(Item* parent, uint32_t label, uint32_t length, TextBuffer& text) {
    AppendPacketText(text, AtCursor().Bytes(0, length), length);
    AddTextItem(parent, length, Res(label), text);
  }

  // ---- Options of LCP, IPCP and IPv6CP ----

  void WalkOptions(Item* control, uint32_t protocol, uint32_t walkLength) {
    uint32_t consumed = 0;
    for (uint32_t k = 1; consumed < walkLength; ++k) {
      const uint32_t start = CursorOffset();
      const uint32_t captured = Remaining();
      TextBuffer title;
      FormatResText(title, kOptionTitle, k);
      Item* option = AddGroupItem(control, 1, title);
      if (!option) return;

      uint32_t type = AtCursor().U8(0);
      Text name = OptionNameOf(OptionNamesOf(protocol), type);
      if (name.empty()) name = title;
      AddByteItem(option, Res(kType), name);
      uint32_t optionLength = AtCursor().U8(0);
      SetExtent(option, start, std::min(optionLength, captured));
      AddByteItem(option, Res(kLength));
      // A length shorter than the type and length bytes would not advance,
      // and one beyond the packet's own length cannot be believed.
      if (optionLength < kOptionHeaderSize || optionLength > walkLength - consumed) return;

      AddOptionValue(option, protocol, type, optionLength, name);
      // The next option is read at its own start, whatever the value items covered.
      MoveToOffset(start + optionLength);
      consumed += optionLength;
    }
  }

  void AddOptionValue(Item* option, uint32_t protocol, uint32_t type, uint32_t optionLength, Text name) {
    switch (protocol) {
      case kTypeLcp: return AddLcpOptionValue(option, type, optionLength, name);
      case kTypeIpcp: return AddIpcpOptionValue(option, type, name);
      default: return AddIpv6cpOptionValue(option, type, optionLength, name);
    }
  }

  void AddLcpOptionValue(Item* option, uint32_t type, uint32_t optionLength, Text name) {
    if (type == kLcpMaximumReceiveUnit) {
      AddWordItem(option, name);
    } else if (type == kLcpAuthenticationProtocol) {
      AddWordItem(option, name, AtCursor().U16(0) == kPapProtocol ? Res(kPapProtocolName) : Text{});
    } else {
      AddHexItem(option, name, optionLength - kOptionHeaderSize);
    }
  }

  void AddIpcpOptionValue(Item* option, uint32_t type, Text name) {
    if (type == kIpcpAddresses || type == kIpcpAddress) {
      char16_t address[kIPv4TextSize];
      AddTextItem(option, 4, name, IPv4Text(AtCursor().Bytes(0, 4), address), {}, VEL_DII_IP_ADRESS);
    } else if (type == kIpcpCompression) {
      AddWordItem(option, name, AtCursor().U16(0) == kVanJacobsonProtocol ? Res(kVanJacobson) : Text{});
      AddByteItem(option, Res(kMaxSlotId));
      AddByteItem(option, Res(kCompSlotId), AtCursor().U8(0) == 0 ? Res(kMustNotCompress) : Res(kMayCompress));
    }
  }

  void AddIpv6cpOptionValue(Item* option, uint32_t type, uint32_t optionLength, Text name) {
    if (type == kIpv6cpInterfaceId) {
      const uint8_t* id = AtCursor().Bytes(0, kInterfaceIdSize);
      TextBuffer value;
      Format(value, u"%02X%02X:%02X%02X:%02X%02X:%02X%02X", id[0], id[1], id[2], id[3], id[4], id[5], id[6], id[7]);
      AddTextItem(option, optionLength - kOptionHeaderSize, name, value);
    } else if (type == kIpv6cpCompression) {
      AddWordItem(option, name);
      if (optionLength > kIpv6cpCompressionFixedSize)
        AddHexItem(option, Res(kData), optionLength - kIpv6cpCompressionFixedSize);
    }
  }

  // Moves the cursor to a frame offset inside this layer: forward only over captured bytes.
  void MoveToOffset(uint32_t offset) {
    uint32_t here = CursorOffset();
    if (offset >= here)
      Skip(offset - here);
    else
      SetCursor(Cursor() - (here - offset));
  }
};

VEL_REGISTER_MODULE(CPPPoESDecoder, 25, u"PPPoES Decoder", u"PPPoES Decoder Module");

}  // namespace vel
