// VLAN: the four-byte IEEE 802.1Q tag after EtherType 0x8100, with the tag
// control information as bit pictures, then the encapsulated packet goes on.
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels.
constexpr uint32_t kTagControlInformation = 1987, kPriority = 1988;
constexpr uint32_t kCanonicalFormatIdentifier = 1210, kVlanId = 1211, kVlanName = 1212;

// Tag control information: priority, canonical format identifier, VLAN id.
constexpr uint32_t kPriorityBits = 0xE0, kCanonicalFormatBit = 0x10;  // of the first byte
constexpr uint32_t kVlanIdBits = 0x0FFF;

constexpr uint32_t kFromEthernet = 48;

constexpr CLSID kClsid = MakeGuid("{086B473F-BEB1-474F-B696-1E3C6A34B160}");

}  // namespace

class CVlanDecoder : public CVELBaseModuleCLSIDImplT<CVlanDecoder, 326, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override {
    return InputTypeIn(input, {kFromEthernet, kLinuxCookedType, kLinuxCookedV2Type});
  }

  void DecodeLayer() override {
    AddTagControlInformation();
    AddEncapsulatedType();
    ForwardPayload();
  }

 private:
  // A sub-group over the first two bytes; its three fields all start at the
  // tag's first byte.
  void AddTagControlInformation() {
    uint32_t tci = AtCursor().U16(0);
    Item* tag = AddTextItem(Group(), 2, Res(kTagControlInformation), {}, {}, 0, false);
    MakeGroup(tag);
    AddTextItem(tag, 1, Res(kPriority), BitsText8(tci >> 8, kPriorityBits), {}, 0, false);
    AddTextItem(tag, 1, Res(kCanonicalFormatIdentifier), BitsText8(tci >> 8, kCanonicalFormatBit), {}, 0, false);
    AddTextItem(tag, 2, Res(kVlanId), BitsText16(tci, kVlanIdBits));
  }

  // The type is shown as written; its name is that of the layer the
  // pre-classification found after the tag.
  void AddEncapsulatedType() {
    TextBuffer value;
    AddTextItem(Group(), 2, Res(kVlanName), Format(value, u"0x%x", AtCursor().U16(0)), NextLayerName());
  }
};

VEL_REGISTER_MODULE(CVlanDecoder, 29, u"Vlan", u"Virtual Local Area Network");

}  // namespace vel
