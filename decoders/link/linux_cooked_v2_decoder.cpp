// Linux cooked capture v2: the 20-byte header that adds the interface index
// to the first version and puts the protocol first. The root of its link type.
#include "decoders/link/linux_cooked_header.h"
#include "engine/class_table.h"

namespace vel {

namespace {

// Labels.
constexpr uint32_t kGroupName = 1061, kReserved = 117, kInterfaceIndex = 1066;

constexpr CLSID kClsid = MakeGuid("{D5C74786-F7B4-42DB-BFD4-E528CF860BA4}");

}  // namespace

class CLinuxCookedV2Decoder : public CLinuxCookedDecoderT<CLinuxCookedV2Decoder, kLinuxCookedV2Type, kClsid> {
 protected:
  void DecodeLayer() override {
    NameGroup(Res(kGroupName));
    AddProtocol();
    AddWordItem(Group(), Res(kReserved));
    AddDWordItem(Group(), Res(kInterfaceIndex));
    AddCodeItem(2, cooked::kAddressType, cooked::kAddressTypeNames);
    AddCodeItem(1, cooked::kPacketType, cooked::kPacketTypeNames);
    AddSourceAddress(AddCodeItem(1, cooked::kAddressLength));
    ForwardPayload();
  }
};

VEL_REGISTER_CLASS(CLinuxCookedV2Decoder, kClsid, nullptr, nullptr, &CLinuxCookedV2Decoder::CreateInstance);

}  // namespace vel
