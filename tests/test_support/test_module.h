// A configurable decoder module for testing the graph and the shared frame:
// its protocol type, accept list and field decoding are set by the test.
#pragma once

#include <functional>
#include <vector>

#include "vel/module_base.h"

namespace vel::test {

inline constexpr CLSID kTestModuleClsid = MakeGuid("{A0000000-0000-4000-8000-000000000001}");

class CTestModule : public CVELBaseModuleCLSIDImplT<CTestModule, 0, kTestModuleClsid> {
 public:
  std::vector<uint32_t> accepts;
  // Runs in place of a decoder's field decoding; by default the layer takes `consume` bytes and forwards.
  std::function<void(CTestModule&)> body;
  uint32_t consume = 0;
  int decodeCalls = 0;

  // The protected helpers, for tests.
  using CVELBaseModule::AddByteItem;
  using CVELBaseModule::AddDWordItem;
  using CVELBaseModule::AddGroupItem;
  using CVELBaseModule::AddHexItem;
  using CVELBaseModule::AddRemainingItem;
  using CVELBaseModule::AddTextItem;
  using CVELBaseModule::AddWordItem;
  using CVELBaseModule::AtCursor;
  using CVELBaseModule::CursorOffset;
  using CVELBaseModule::ForwardPayload;
  using CVELBaseModule::Manager;
  using CVELBaseModule::NextProtocol;
  using CVELBaseModule::Group;
  using CVELBaseModule::Outputs;
  using CVELBaseModule::Skip;

  static ComPtr<CTestModule> Make(uint32_t type, std::vector<uint32_t> accepted) {
    IVELDcoder* created = nullptr;
    CreateInstance(IVELDcoder::kIID, reinterpret_cast<void**>(&created));
    auto module = ComPtr<CTestModule>::Adopt(static_cast<CTestModule*>(created));
    module->put_ProtocolType(type);
    module->accepts = std::move(accepted);
    return module;
  }

 protected:
  bool CanAccept(IVELDcoder* input) override {
    uint32_t type = 0;
    if (!input || FAILED(input->get_ProtocolType(&type))) return false;
    return std::find(accepts.begin(), accepts.end(), type) != accepts.end();
  }
  void DecodeLayer() override {
    ++decodeCalls;
    if (body) return body(*this);
    Skip(consume);
    ForwardPayload();
  }
};

}  // namespace vel::test
