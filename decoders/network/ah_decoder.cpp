// AH: the IPsec authentication header carried in IPv4. Shows the header and
// its integrity check value, names SPI and sequence number in the summary, and
// hands the protected payload to the next layer's module. Nothing is verified.
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels, comment and summary.
constexpr uint32_t kNextHeader = 1400, kLength = 1401, kReserved = 1402;
constexpr uint32_t kSpi = 1403, kSequence = 1404, kIcv = 1405;
constexpr uint32_t kLengthBytes = 1406, kSummary = 1407;

// The payload length counts the header's 4-byte words less 2; the integrity
// check value fills what the fixed fields leave.
constexpr uint32_t kPayloadLengthOffset = 1, kSpiOffset = 4, kSequenceOffset = 8;
constexpr uint32_t kFixedSize = 12;

constexpr uint32_t kAH = 39, kIPv4 = 1;
constexpr CLSID kClsid = MakeGuid("{71BFDE0F-EAA9-4384-94FE-1F377E7A0A66}");

}  // namespace

class CAHDecoder : public CVELBaseModuleCLSIDImplT<CAHDecoder, kAH, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kIPv4}); }

  void DecodeLayer() override {
    ByteView header = Layer();
    AddByteItem(Group(), Res(kNextHeader), NextLayerName());
    uint32_t headerSize = (header.U8(kPayloadLengthOffset) + 2) * 4;
    TextBuffer comment;
    AddByteItem(Group(), Res(kLength), FormatResText(comment, kLengthBytes, headerSize));
    AddWordItem(Group(), Res(kReserved));
    AddDWordItem(Group(), Res(kSpi));
    AddDWordItem(Group(), Res(kSequence));
    TextBuffer summary;
    SetSummary(Group(), FormatResText(summary, kSummary, header.U32(kSpiOffset), header.U32(kSequenceOffset)));
    // A header claiming less than its fixed fields leaves no room for an
    // integrity check value and no known start of the payload.
    if (headerSize < kFixedSize) return SetGroupLength();
    AddHexItem(Group(), Res(kIcv), headerSize - kFixedSize);
    ForwardPayload();
  }
};

VEL_REGISTER_MODULE(CAHDecoder, 26, u"AH Decoder", u"Authentication header decoder");

}  // namespace vel
