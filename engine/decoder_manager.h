// The host's entry point: owns the module graph, pre-classifies each packet
// and hands it to the root module.
#pragma once

#include <string>
#include <vector>

#include "vel/interfaces.h"
#include "vel/object.h"

namespace vel {

struct ManagerDispatch {
  static std::span<const dispatch::Member> Members();
};

class CVELPacketsDecodingInfo;

class COrvDecoderManager : public DispatchImpl<IOrvDecoderManager, ManagerDispatch> {
 public:
  using Interfaces = std::tuple<IOrvDecoderManager>;

  static HRESULT CreateInstance(REFIID riid, void** ppv);
  static const CLSID& ClassId() { return CLSID_COrvDecoderManager; }

  HRESULT get_VerifyChecksum(int32_t* pVal) override;
  HRESULT put_VerifyChecksum(int32_t newVal) override;
  HRESULT get_ItemIDSelected(BSTR* pVal) override;
  HRESULT put_ItemIDSelected(BSTR newVal) override;
  HRESULT put_NameTableObj(IDispatch* pNameTable) override;
  HRESULT Initialize() override;
  HRESULT AddModule(IVELDcoder* pBaseModule) override;
  HRESULT RemoveModule(IVELDcoder* pBaseModule) override;
  HRESULT DestroyGraph() override;
  HRESULT EnumerateModules(IIDECollection** ppModules) override;
  HRESULT LookforModule(BSTR pClsid, IVELDcoder** ppModule) override;
  HRESULT Decode(uint8_t* pPacket, IVELPacketsDecodingInfo** ppiPacketsDecodingInfo) override;
  HRESULT LookupOUIName(uint32_t nCode, BSTR* pbstrName) override;

 protected:
  COrvDecoderManager() = default;
  virtual ~COrvDecoderManager();

 private:
  void AddFrameGroup(CVELPacketsDecodingInfo* info, const CapturedPacket* packet);
  void CreateLinkRoots();
  void ReleaseLinkRoots();
  // Hands a frame of a link type other than Ethernet to the module of its first layer.
  HRESULT DecodeFromLinkRoot(ParsedPacket* parsed, IVELPacketsDecodingInfo* info);
  void LoadModuleList();
  std::u16string_view TimestampText(uint64_t microseconds);

  int32_t verifyChecksum_ = 1;
  std::u16string itemIdSelected_;
  IVELNameTable* nameTable_ = nullptr;
  std::vector<IVELDcoder*> modules_;
  IVELDcoder* root_ = nullptr;
  // The roots of the link types besides Ethernet. Like the Ethernet root they
  // take input from no module; unlike it they stay out of the module list, so
  // the graph that hosts enumerate and configure is unchanged. They are
  // connected to every module that joins, and hear of every graph change.
  std::vector<IVELDcoder*> linkRoots_;

  // The date text of the last second formatted: packets of one second share it.
  int64_t lastSecond_ = -1;
  std::u16string lastDate_;
};

}  // namespace vel
