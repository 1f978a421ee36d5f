// ESP: the IPsec encapsulating security payload. Only SPI and sequence number
// are in the clear; the rest is encrypted, so nothing is handed on.
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels and summary.
constexpr uint32_t kSpi = 1408, kSequence = 1409, kSummary = 1410;

constexpr uint32_t kSpiOffset = 0, kSequenceOffset = 4;

constexpr uint32_t kESP = 40, kAH = 39, kIPv4 = 1;
constexpr CLSID kClsid = MakeGuid("{C64634F0-0E42-4ABF-BC75-7ADDDA64A0DD}");

}  // namespace

class CESPDecorder : public CVELBaseModuleCLSIDImplT<CESPDecorder, kESP, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kAH, kIPv4}); }

  // The group's Length is left as made: the layer ends without forwarding.
  void DecodeLayer() override {
    ByteView header = Layer();
    AddDWordItem(Group(), Res(kSpi));
    AddDWordItem(Group(), Res(kSequence));
    TextBuffer summary;
    SetSummary(Group(), FormatResText(summary, kSummary, header.U32(kSpiOffset), header.U32(kSequenceOffset)));
  }
};

VEL_REGISTER_MODULE(CESPDecorder, 27, u"ESP Decoder", u"Encapsulating Security Payload");

}  // namespace vel
