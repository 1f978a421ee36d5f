// An extension module built against the public headers only: an LLDP decoder
// (protocol type 327, fed by Ethernet and VLAN) showing each TLV with its type,
// length and value, and naming the chassis id, port id, time to live and
// system name.
#include "vel/extension.h"
#include "vel/module_base.h"

namespace vel {

namespace {

constexpr uint32_t kLldpType = 327;
constexpr uint32_t kEthernet = 48, kVlan = 326;
constexpr CLSID kClsid = MakeGuid("{7C1E5A90-3B4D-4E21-9F6A-2D8B0C4E7A15}");

constexpr uint32_t kEndOfLldpdu = 0, kChassisId = 1, kPortId = 2, kTimeToLive = 3, kSystemName = 5;

// TLV names by type; the ones the decoder shows as named fields come first.
struct TlvName {
  uint32_t type;
  const char16_t* name;
};
constexpr TlvName kTlvNames[] = {
    {kEndOfLldpdu, u"End of LLDPDU"},   {kChassisId, u"Chassis ID"},        {kPortId, u"Port ID"},
    {kTimeToLive, u"Time to Live"},     {4, u"Port Description"},           {kSystemName, u"System Name"},
    {6, u"System Description"},         {7, u"System Capabilities"},        {8, u"Management Address"},
    {127, u"Organizationally Specific"},
};

Text TlvNameOf(uint32_t type) {
  for (const TlvName& t : kTlvNames)
    if (t.type == type) return t.name;
  return u"Reserved";
}

}  // namespace

class CLLDPDecoder : public CVELBaseModuleCLSIDImplT<CLLDPDecoder, kLldpType, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kEthernet, kVlan}); }

  void DecodeLayer() override {
    // Each TLV: 7 bits of type, 9 bits of length, then the value.
    while (Remaining() >= 2) {
      uint32_t header = AtCursor().U16(0);
      uint32_t type = header >> 9, length = header & 0x1FF;
      AddTlv(type, length);
      if (type == kEndOfLldpdu) break;
    }
    SetGroupLength();
  }

 private:
  void AddTlv(uint32_t type, uint32_t length) {
    Item* tlv = AddGroupItem(Group(), 2 + length, TlvNameOf(type));
    TextBuffer text;
    AddTextItem(tlv, 2, u"TLV Type", Format(text, u"%u", type), TlvNameOf(type), 0, false);
    AddTextItem(tlv, 2, u"TLV Length", Format(text, u"%u", length));
    if (length == 0) return;
    ByteView value = AtCursor().Sub(0, length);
    SetValue(tlv, ValueText(type, value, text));
    if (type == kTimeToLive) AddTextItem(tlv, length, u"Value", text.view(), u"Seconds");
    else AddHexItem(tlv, u"Value", length);
  }

  // What the TLV's group shows as its value.
  static Text ValueText(uint32_t type, const ByteView& value, TextBuffer& text) {
    text.clear();
    switch (type) {
      case kChassisId:
      case kPortId:
        // A subtype byte, then a MAC address (subtype 4 / 3) or text.
        if (value.size() == 7 && (value.U8(0) == 4 || value.U8(0) == 3)) {
          char16_t mac[kMacTextSize] = {};
          text.append(std::u16string_view(MacText(value.Bytes(1, 6), mac), kMacTextSize - 1));
        } else if (value.size() > 1) {
          AppendPacketText(text, value.Bytes(1, value.size() - 1), value.size() - 1);
        }
        break;
      case kTimeToLive:
        Format(text, u"%u", value.U16(0));
        break;
      case kSystemName:
      case 4:
      case 6:
        AppendPacketText(text, value.data(), value.size());
        break;
      default:
        break;
    }
    return text.view();
  }
};

}  // namespace vel

VEL_EXTENSION_MODULE(vel::CLLDPDecoder, "CLLDPDecoder", u"LLDP Decoder", u"Link Layer Discovery Protocol")
