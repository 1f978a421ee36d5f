// BSD loopback: the four-byte address family in front of IPv4 and IPv6
// packets on loopback and tunnel interfaces, in network byte order (LOOP) or
// in the capturing host's (NULL). The root of both link types.
#include "engine/class_table.h"
#include "engine/preclassification.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels.
constexpr uint32_t kGroupName = 1062, kAddressFamily = 1067;

constexpr CLSID kClsid = MakeGuid("{F3288485-38A5-4F31-AFC8-674C7A2C6F2B}");

}  // namespace

class CLoopbackDecoder : public CVELBaseModuleCLSIDImplT<CLoopbackDecoder, kLoopbackType, kClsid> {
 protected:
  // The family is named after the layer the pre-classification found behind it.
  void DecodeLayer() override {
    NameGroup(Res(kGroupName));
    LoopbackFamily family = ReadLoopbackFamily(AtCursor(), Packet()->pCapturedPacket->LinkType);
    AddDWordItem(Group(), Res(kAddressFamily), NextLayerName(), 0, true, family.networkOrder);
    ForwardPayload();
  }
};

VEL_REGISTER_CLASS(CLoopbackDecoder, kClsid, nullptr, nullptr, &CLoopbackDecoder::CreateInstance);

}  // namespace vel
