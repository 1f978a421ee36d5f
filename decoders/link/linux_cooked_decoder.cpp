// Linux cooked capture: the 16-byte header that stands in for the link layer
// of captures taken on Linux's "any" device. The root of its link type: the
// host names the link type, and the frame goes on after the header like an
// Ethernet frame after its type.
#include "decoders/link/linux_cooked_header.h"
#include "engine/class_table.h"

namespace vel {

namespace {

constexpr uint32_t kGroupName = 1060;

constexpr CLSID kClsid = MakeGuid("{0500FECE-4F9A-40FA-96E0-A5253C517DEE}");

}  // namespace

class CLinuxCookedDecoder : public CLinuxCookedDecoderT<CLinuxCookedDecoder, kLinuxCookedType, kClsid> {
 protected:
  void DecodeLayer() override {
    NameGroup(Res(kGroupName));
    AddCodeItem(2, cooked::kPacketType, cooked::kPacketTypeNames);
    AddCodeItem(2, cooked::kAddressType, cooked::kAddressTypeNames);
    AddSourceAddress(AddCodeItem(2, cooked::kAddressLength));
    AddProtocol();
    ForwardPayload();
  }
};

VEL_REGISTER_CLASS(CLinuxCookedDecoder, kClsid, nullptr, nullptr, &CLinuxCookedDecoder::CreateInstance);

}  // namespace vel
