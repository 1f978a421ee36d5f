// The ARP message shared by the ARP and RARP decoders: its value names and the
// walk that shows it. The message is always read in its Ethernet/IPv4 form,
// with the addresses at fixed offsets whatever the two length fields say.
#pragma once

#include <iterator>

#include "vel/module_base.h"

namespace vel {

namespace arp {

// Labels shared by both decoders.
constexpr uint32_t kHardwareType = 1200, kProtocolType = 1201;
constexpr uint32_t kHardwareAddressLength = 1202, kProtocolAddressLength = 1203;
constexpr uint32_t kOperation = 103, kPaddingData = 1204;

// Input modules: Ethernet and VLAN.
constexpr uint32_t kFromEthernet = 48, kFromVlan = 326;

// Message offsets.
constexpr uint32_t kOperationOffset = 6, kSenderHardwareOffset = 8, kSenderProtocolOffset = 14;
constexpr uint32_t kTargetHardwareOffset = 18, kTargetProtocolOffset = 24;
constexpr uint32_t kHardwareAddressSize = 6, kProtocolAddressSize = 4;

constexpr uint32_t kRequest = 1;

// Hardware type names, indexed by the type; larger types are unknown.
constexpr const char16_t* kHardwareTypeNames[] = {
    u"Unknown",
    u"10Mbps Ehternet",
    u"Experimental Ethernet (3Mb)",
    u"Amateur Radio AX.25",
    u"Proteon ProNET Token Ring",
    u"Chaos",
    u"IEEE 802 Networks",
    u"ARCNET",
    u"Hyperchannel",
    u"Lanstar",
    u"Autonet Short Address",
    u"LocalTalk",
    u"LocalNet (IBM PCNet or SYTEK LocalNET)",
    u"Ultra link",
    u"SMDS",
    u"Frame Relay",
    u"Asynchronous Transmission Mode (ATM)",
    u"HDLC",
    u"Fibre Channel",
    u"Asynchronous Transmission Mode (ATM)",
    u"Serial Line",
    u"Asynchronous Transmission Mode (ATM)",
    u"MIL-STD-188-220",
    u"Metricom",
    u"IEEE 1394.1995",
    u"MAPOS",
    u"Twinaxial",
    u"EUI-64",
    u"HIPARP",
    u"IP and ARP over ISO 7816-3",
    u"ARPSec",
    u"IPsec tunnel",
    u"InfiniBand (TM)",
};

// Operation names, indexed by the operation; operation 0 has an empty name.
constexpr const char16_t* kOperationNames[] = {u"", u"Request", u"Reply", u"Request Reverse", u"Reply Reverse"};

constexpr const char16_t* kUnknown = u"Unknown";

inline Text HardwareTypeName(uint32_t type) {
  return type < std::size(kHardwareTypeNames) ? kHardwareTypeNames[type] : kUnknown;
}

inline Text OperationName(uint32_t operation) {
  return operation < std::size(kOperationNames) ? kOperationNames[operation] : kUnknown;
}

inline Text ProtocolTypeName(uint32_t type) {
  switch (type) {
    case 0x0800: return u"Internet Protocol(IPv4)";
    case 0x0801: return u"X.75 Internet";
    case 0x0802: return u"NBS Internet";
    case 0x0805: return u"X.25 Level 3";
    case 0x0806: return u"ARP Protocol";
    default: return u"Unknown Protocol";
  }
}

// The labels of the four addresses, which differ between ARP and RARP.
struct AddressLabels {
  uint32_t senderHardware, senderProtocol, targetHardware, targetProtocol;
};

}  // namespace arp

// The decoder class T of protocol type kType showing one ARP message as its
// group. A message cut short by the end of the captured data counts as not
// taken: Decode then answers S_FALSE, keeping what was shown.
template <class T, uint32_t kType, const CLSID& kClsid>
class CArpMessageDecoderT : public CVELBaseModuleCLSIDImplT<T, kType, kClsid> {
  using Base = CVELBaseModuleCLSIDImplT<T, kType, kClsid>;

 public:
  HRESULT Decode(uint32_t nProtocol, uint8_t* pPacket, uint8_t* pDataDecoded,
                 IVELPacketsDecodingInfo* piDecodingInfo) override {
    messageShown_ = false;
    HRESULT hr = Base::Decode(nProtocol, pPacket, pDataDecoded, piDecodingInfo);
    return hr == S_OK && !messageShown_ ? S_FALSE : hr;
  }

 protected:
  bool CanAccept(IVELDcoder* input) override {
    return this->InputTypeIn(input, {arp::kFromEthernet, arp::kFromVlan, kLinuxCookedType, kLinuxCookedV2Type});
  }

  // Adds the message's items and the padding after it, and sets the group's
  // length; nothing is handed on.
  void ShowMessage(const arp::AddressLabels& labels) {
    AddNamedWord(arp::kHardwareType, arp::HardwareTypeName);
    AddNamedWord(arp::kProtocolType, arp::ProtocolTypeName);
    this->AddByteItem(this->Group(), Res(arp::kHardwareAddressLength));
    this->AddByteItem(this->Group(), Res(arp::kProtocolAddressLength));
    AddNamedWord(arp::kOperation, arp::OperationName);
    AddHardwareAddress(labels.senderHardware, VEL_DII_SOURCE_ADDRESS);
    AddProtocolAddress(labels.senderProtocol, VEL_DII_SOURCE_IP);
    AddHardwareAddress(labels.targetHardware, VEL_DII_DESTINATION_ADDRESS);
    AddProtocolAddress(labels.targetProtocol, VEL_DII_DESTINATION_IP);
    this->AddRemainingItem(this->Group(), Res(arp::kPaddingData));
    this->SetGroupLength();
    messageShown_ = true;
  }

  // The message's fields, after ShowMessage has shown them.
  uint32_t Operation() const { return this->Layer().U16(arp::kOperationOffset); }
  const uint8_t* MessageBytes(uint32_t offset, uint32_t count) const { return this->Layer().Bytes(offset, count); }

 private:
  void AddNamedWord(uint32_t label, Text (*nameOf)(uint32_t)) {
    uint32_t value = this->AtCursor().U16(0);
    TextBuffer text;
    this->AddTextItem(this->Group(), 2, Res(label), Format(text, u"%u (0x%04X)", value, value), nameOf(value));
  }

  void AddHardwareAddress(uint32_t label, uint32_t itemType) {
    const uint8_t* address = this->AtCursor().Bytes(0, arp::kHardwareAddressSize);
    char16_t text[kMacTextSize] = {};
    Bstr vendor;
    IOrvDecoderManager* manager = this->Manager();
    if (!manager || manager->LookupOUIName(ReadUInt24BE(address), &vendor) != S_OK) vendor.Attach(nullptr);
    this->AddTextItem(this->Group(), arp::kHardwareAddressSize, Res(label), MacText(address, text), vendor.view(),
                      itemType);
  }

  void AddProtocolAddress(uint32_t label, uint32_t itemType) {
    const uint8_t* address = this->AtCursor().Bytes(0, arp::kProtocolAddressSize);
    char16_t text[kIPv4TextSize];
    this->AddTextItem(this->Group(), arp::kProtocolAddressSize, Res(label), IPv4Text(address, text), {}, itemType);
  }

  bool messageShown_ = false;
};

}  // namespace vel
