// UDP: the eight-byte header (ports, length, checksum) and the datagram's
// payload handed to the application module that the pre-classification
// chose from the ports.
#include "engine/class_table.h"
#include "decoders/transport/transport_checksum.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels and texts.
constexpr uint32_t kChecksum = 126;
constexpr uint32_t kSourcePort = 1150, kDestinationPort = 1151, kTotalLength = 1182;

// Header layout.
constexpr uint32_t kChecksumOffset = 6;
constexpr uint8_t kIpProtocolUdp = 17;

constexpr CLSID kClsid = MakeGuid("{7D3453AE-DFA1-4BFE-BAD3-6FB6D01AE91A}");

}  // namespace

class CUDPDecoder : public TransportChecksumT<CVELBaseModuleCLSIDImplT<CUDPDecoder, 20, kClsid>> {
 protected:
  // IPv4, IPv6, and the authentication header that the layer list names the segment after.
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {1, 52, 39}); }

  // The length field is shown as it is, not compared with the IP length or
  // the captured data.
  void DecodeLayer() override {
    AddWordItem(Group(), Res(kSourcePort), {}, VEL_DII_SOURCE_PORT);
    AddWordItem(Group(), Res(kDestinationPort), {}, VEL_DII_DEST_PORT);
    AddWordItem(Group(), Res(kTotalLength));
    Item* checksum = AddWordItem(Group(), Res(kChecksum));
    if (VerifyChecksum()) JudgeTransportChecksum(checksum, kIpProtocolUdp, kChecksumOffset);
    ForwardPayload();
  }
};

VEL_REGISTER_MODULE(CUDPDecoder, 6, u"UDP Decoder", u"UDP Decoder Module");

}  // namespace vel
