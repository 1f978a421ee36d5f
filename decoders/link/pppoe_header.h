// The six-byte PPPoE header that discovery and session frames share: version
// and type nibbles, code, session id and payload length, with the code's name
// as the layer's summary.
#pragma once

#include "vel/module_base.h"

namespace vel {

namespace pppoe {

// Labels.
constexpr uint32_t kVersion = 111, kType = 103, kCode = 224;
constexpr uint32_t kSessionId = 1450, kPayloadLength = 1451;

constexpr NameIdPair kCodeNames[] = {
    {0x00, 1458},  // Session Data
    {0x07, 1459},  // Active Discovery Offer (PADO)
    {0x09, 1460},  // Active Discovery Initiation (PADI)
    {0x0A, 1461},  // Active Discovery Session-Grant (PADG)
    {0x0B, 1462},  // Active Discovery Session-Credit Resp.(PADC)
    {0x0C, 1463},  // Active Discovery Quality (PADQ)
    {0x19, 1464},  // Active Discovery Request (PADR)
    {0x65, 1465},  // Active Discovery Session-confirmation (PADS)
    {0xA7, 1466},  // Active Discovery Terminate (PADT)
    {0xD3, 1467},  // Active Discovery Message (PADM)
    {0xD4, 1468},  // Active Discovery Network (PADN)
    {0, 0},
};

}  // namespace pppoe

// Base of the two PPPoE decoders: both take frames from Ethernet, VLAN and
// Linux cooked captures.
template <class T, uint32_t kProtocol, const CLSID& kClsid>
class CPPPoEHeaderDecoderT : public CVELBaseModuleCLSIDImplT<T, kProtocol, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override {
    return CVELBaseModule::InputTypeIn(input, {48, 326, kLinuxCookedType, kLinuxCookedV2Type});
  }

  // Adds the header items at the cursor and returns the payload length.
  uint32_t AddPPPoEHeader() {
    Item* group = this->Group();
    uint32_t versionAndType = this->AtCursor().U8(0);
    this->AddTextItem(group, 1, Res(pppoe::kVersion), BitsText8(versionAndType, 0xF0), {}, 0, false);
    this->AddTextItem(group, 1, Res(pppoe::kType), BitsText8(versionAndType, 0x0F));
    Text codeName = NameOf(pppoe::kCodeNames, this->AtCursor().U8(0));
    this->AddByteItem(group, Res(pppoe::kCode), codeName);
    CVELBaseModule::SetSummary(group, codeName);
    this->AddWordItem(group, Res(pppoe::kSessionId));
    uint32_t payloadLength = this->AtCursor().U16(0);
    this->AddWordItem(group, Res(pppoe::kPayloadLength));
    return payloadLength;
  }
};

}  // namespace vel
