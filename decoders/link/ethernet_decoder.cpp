// Ethernet: the root of every module graph. Shows the Ethernet II header (or
// one of the IEEE 802.3 forms) with vendor names for both hardware addresses,
// then hands the rest of the frame to the next layer's module.
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels.
constexpr uint32_t kType = 103, kTotalLength = 104, kIdentification = 105;
constexpr uint32_t kDestinationAddress = 1007, kSourceAddress = 1008;
constexpr uint32_t kSsap = 1009, kDsap = 1010, kCtrl = 1011, kOuiId = 1012;

// Layer types: as the pre-classification names the frame forms, and as the
// catalogue names them for the group.
constexpr uint32_t kEthernetII = 48;
constexpr uint32_t kFormRaw = 49, kFormSnap = 50, kFormLlc = 51;
constexpr uint32_t kCatalogueSnap = 49, kCatalogueSap = 50, kCatalogueRaw = 51;

constexpr CLSID kClsid = CLSID_CEthernetDcoder;

}  // namespace

class CEthernetDcoder : public CVELBaseModuleCLSIDImplT<CEthernetDcoder, kEthernetII, kClsid> {
 protected:
  bool CanAccept(IVELDcoder*) override { return false; }
  // The root answers S_OK even when it declines, so the manager's Decode succeeds.
  HRESULT DeclinedResult() const override { return S_OK; }

  bool TakesLayer(uint32_t nProtocol, uint32_t* groupType) const override {
    switch (nProtocol) {
      case kEthernetII: *groupType = kEthernetII; return true;
      case kFormRaw: *groupType = kCatalogueRaw; return true;
      case kFormSnap: *groupType = kCatalogueSnap; return true;
      case kFormLlc: *groupType = kCatalogueSap; return true;
      default: return false;
    }
  }

  void DecodeLayer() override {
    AddHardwareAddress(kDestinationAddress, VEL_DII_DESTINATION_ADDRESS);
    AddHardwareAddress(kSourceAddress, VEL_DII_SOURCE_ADDRESS);
    switch (OfferedProtocol()) {
      case kFormRaw: AddRawFields(); break;
      case kFormSnap: AddLlcFields(), AddSnapFields(); break;
      case kFormLlc: AddLlcFields(); break;
      default: AddTypeField(); break;
    }
    ForwardPayload();
  }

 private:
  void AddHardwareAddress(uint32_t label, uint32_t itemType) {
    const uint8_t* address = AtCursor().Bytes(0, 6);
    char16_t text[kMacTextSize];
    TextBuffer vendor;
    AppendVendorName(vendor, address);
    AddTextItem(Group(), 6, Res(label), Text(MacText(address, text), kMacTextSize - 1), vendor.view(), itemType);
  }

  void AddTypeField() {
    TextBuffer value;
    AddTextItem(Group(), 2, Res(kType), Format(value, u"0x%04X", AtCursor().U16(0)), NextLayerName());
  }

  void AddDecimalWord(uint32_t label) {
    TextBuffer value;
    AddTextItem(Group(), 2, Res(label), Format(value, u"%u", AtCursor().U16(0)));
  }

  void AddDecimalByte(uint32_t label) {
    TextBuffer value;
    AddTextItem(Group(), 1, Res(label), Format(value, u"%u", AtCursor().U8(0)));
  }

  void AddRawFields() {
    AddDecimalWord(kTotalLength);
    AddDecimalWord(kIdentification);
  }

  void AddLlcFields() {
    AddDecimalWord(kTotalLength);
    AddDecimalByte(kDsap);
    AddDecimalByte(kSsap);
    AddDecimalByte(kCtrl);
  }

  void AddSnapFields() {
    TextBuffer value;
    const uint8_t* oui = AtCursor().Bytes(0, 3);
    AddTextItem(Group(), 3, Res(kOuiId), Format(value, u"%02X%02X%02X", oui[0], oui[1], oui[2]));
    AddTypeField();
  }
};

VEL_REGISTER_CLASS(CEthernetDcoder, kClsid, "EthernetDcoder.CEthernetDcoder.1.0", "CEthernetDcoder.CEthernetDcoder",
                   &CEthernetDcoder::CreateInstance);

}  // namespace vel
