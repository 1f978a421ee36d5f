// What the two Linux cooked capture headers share: the packet type, the
// link-layer address type, length and address (an eight-byte field holding
// the sender's address), and the protocol, an EtherType. Linux writes these
// headers for captures on its "any" device and on interfaces without a link
// header of their own.
#pragma once

#include <algorithm>

#include "vel/module_base.h"

namespace vel {

namespace cooked {

// Labels and texts.
constexpr uint32_t kPacketType = 1063, kAddressType = 1064, kAddressLength = 1065;
constexpr uint32_t kSourceAddress = 1008, kProtocol = 125;
constexpr uint32_t kAddressCut = 1088;

constexpr uint32_t kAddressFieldSize = 8;

// Which way the packet went, as the capturing host saw it.
constexpr NameIdPair kPacketTypeNames[] = {
    {0, 1068},  // Unicast to us
    {1, 1069},  // Broadcast
    {2, 1070},  // Multicast
    {3, 1071},  // Unicast to another host
    {4, 1072},  // Sent by us
    {0, 0},
};

// Link-layer address types (the hardware types of Linux's network devices).
constexpr NameIdPair kAddressTypeNames[] = {
    {1, 1073},      // Ethernet
    {24, 1074},     // IEEE 1394
    {32, 1075},     // InfiniBand
    {280, 1076},    // CAN
    {512, 1077},    // PPP
    {768, 1078},    // IP-in-IP tunnel
    {769, 1079},    // IPv6-in-IPv6 tunnel
    {772, 1080},    // Loopback
    {776, 1081},    // IPv6-in-IPv4 tunnel
    {778, 1082},    // GRE tunnel
    {801, 1083},    // IEEE 802.11
    {803, 1084},    // IEEE 802.11 with radiotap header
    {823, 1085},    // IPv6 GRE tunnel
    {824, 1086},    // Netlink
    {65534, 1087},  // No link-layer header
    {0, 0},
};

}  // namespace cooked

// Base of the two Linux cooked capture decoders, roots of their link types:
// they take no input from other modules and name their groups from the string
// table, since their protocol types lie beyond the catalogue.
template <class T, uint32_t kProtocol, const CLSID& kClsid>
class CLinuxCookedDecoderT : public CVELBaseModuleCLSIDImplT<T, kProtocol, kClsid> {
 protected:
  // A one- or two-byte code with its name as the comment; returns the code.
  uint32_t AddCodeItem(uint32_t size, uint32_t label, const NameIdPair* names = nullptr) {
    uint32_t code = size == 1 ? this->AtCursor().U8(0) : this->AtCursor().U16(0);
    Text name = names ? NameOf(names, code) : Text{};
    if (size == 1)
      this->AddByteItem(this->Group(), Res(label), name);
    else
      this->AddWordItem(this->Group(), Res(label), name);
    return code;
  }

  // The address field holds the first eight bytes of an address of the given
  // length, shown as colon-separated hex pairs.
  void AddSourceAddress(uint32_t length) {
    const uint8_t* field = this->AtCursor().Bytes(0, cooked::kAddressFieldSize);
    TextBuffer value, comment;
    uint32_t shown = std::min(length, cooked::kAddressFieldSize);
    for (uint32_t i = 0; i < shown; ++i) AppendFormat(value, i ? u":%02X" : u"%02X", field[i]);
    if (length > cooked::kAddressFieldSize) FormatResText(comment, cooked::kAddressCut, length);
    this->AddTextItem(this->Group(), cooked::kAddressFieldSize, Res(cooked::kSourceAddress), value.view(),
                      comment.view(), shown ? uint32_t{VEL_DII_SOURCE_ADDRESS} : 0u);
  }

  // The protocol is an EtherType; its name is that of the layer the
  // pre-classification found after the header.
  void AddProtocol() {
    TextBuffer value;
    this->AddTextItem(this->Group(), 2, Res(cooked::kProtocol), Format(value, u"0x%04X", this->AtCursor().U16(0)),
                      this->NextLayerName());
  }
};

}  // namespace vel
