// CIFS: a module of its own protocol type that takes no packet; SMB carried
// by NetBIOS is decoded by the SMB module. The class is creatable but not in
// the module list, so it joins a graph only when a host adds it.
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

constexpr uint32_t kCIFS = 47, kTCP = 2;
constexpr CLSID kClsid = MakeGuid("{84D22236-7E4E-4EE9-8F67-7EC8E0C89C10}");

}  // namespace

class CCIFSDecoder : public CVELBaseModuleCLSIDImplT<CCIFSDecoder, kCIFS, kClsid> {
 public:
  // Declines every packet before a group is made.
  HRESULT Decode(uint32_t, uint8_t*, uint8_t*, IVELPacketsDecodingInfo*) override { return S_FALSE; }

 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kTCP}); }
  void DecodeLayer() override {}
};

VEL_REGISTER_CLASS(CCIFSDecoder, kClsid, nullptr, nullptr, &CCIFSDecoder::CreateInstance);

}  // namespace vel
