// RARP: the ARP message layout under the reverse protocol's own address
// labels, without a summary.
#include "decoders/link/arp_message.h"
#include "engine/class_table.h"

namespace vel {

namespace {

// Address labels.
constexpr uint32_t kSenderHardwareAddress = 1206, kSenderProtocolAddress = 1207;
constexpr uint32_t kTargetHardwareAddress = 1208, kTargetProtocolAddress = 1209;
constexpr arp::AddressLabels kLabels = {kSenderHardwareAddress, kSenderProtocolAddress, kTargetHardwareAddress,
                                        kTargetProtocolAddress};

constexpr CLSID kClsid = MakeGuid("{D8F0C115-34C0-43A0-B011-EB36ACAAF3F8}");

}  // namespace

class CRARPDecoder : public CArpMessageDecoderT<CRARPDecoder, 17, kClsid> {
 protected:
  void DecodeLayer() override { ShowMessage(kLabels); }
};

VEL_REGISTER_MODULE(CRARPDecoder, 3, u"RARP Decoder", u"RARP Decoder Module");

}  // namespace vel
