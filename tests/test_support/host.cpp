#include "host.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "engine/class_table.h"
#include "results.h"
#include "vel/text.h"

namespace vel::test {

ComPtr<IOrvDecoderManager> MakeManager(bool initialize) {
  ComPtr<IOrvDecoderManager> manager;
  EXPECT_EQ(S_OK, CreateInstance(CLSID_COrvDecoderManager, &manager));
  if (!initialize) return manager;
  // The root comes from Initialize (with whatever the test store lists); the
  // built-in modules are added as a host does without a module list.
  manager->Initialize();
  ComPtr<IIDECollection> modules;
  manager->EnumerateModules(&modules);
  int32_t count = 0;
  modules->get_Count(&count);
  if (count == 1) {
    for (const CLSID& clsid : BuiltInModuleClasses()) {
      ComPtr<IVELDcoder> module;
      if (SUCCEEDED(CreateInstance(clsid, &module))) manager->AddModule(module.get());
    }
  }
  return manager;
}

std::vector<ComPtr<IVELDcoder>> GraphModules(IOrvDecoderManager* manager) {
  ComPtr<IIDECollection> modules;
  manager->EnumerateModules(&modules);
  int32_t count = 0;
  modules->get_Count(&count);
  std::vector<ComPtr<IVELDcoder>> list;
  for (int32_t i = 1; i <= count; ++i) {
    Variant item;
    modules->get_Item(Variant(i), &item);
    list.push_back(ComPtr<IDispatch>(item.pdispVal).As<IVELDcoder>());
  }
  return list;
}

ComPtr<IVELPacketsDecodingInfo> DecodeAs(IOrvDecoderManager* manager, uint16_t linkType, const Bytes& frame,
                                         uint32_t captureLength) {
  PacketRecord record(frame, captureLength, 1, 0, linkType);
  ComPtr<IVELPacketsDecodingInfo> info;
  EXPECT_EQ(S_OK, manager->Decode(record.data(), &info));
  return info;
}

ComPtr<IVELPacketsDecodingInfo> DecodeAs(IOrvDecoderManager* manager, uint16_t linkType, const Bytes& frame) {
  return DecodeAs(manager, linkType, frame, static_cast<uint32_t>(frame.size()));
}

ComPtr<IVELPacketsDecodingInfo> Decode(IOrvDecoderManager* manager, const Bytes& frame, uint32_t captureLength) {
  return DecodeAs(manager, VEL_LT_ETHERNET, frame, captureLength);
}

ComPtr<IVELPacketsDecodingInfo> Decode(IOrvDecoderManager* manager, const Bytes& frame) {
  return Decode(manager, frame, static_cast<uint32_t>(frame.size()));
}

void TruncationSweep(IOrvDecoderManager* manager, const Bytes& frame, uint16_t linkType) {
  for (uint32_t length = 0; length <= frame.size(); ++length) {
    ComPtr<IVELPacketsDecodingInfo> info = DecodeAs(manager, linkType, frame, length);
    ASSERT_TRUE(info) << "capture length " << length;
    EXPECT_FALSE(TextOf(info.get()).empty());
  }
}

namespace {

struct NoMembers {
  static std::span<const dispatch::Member> Members() { return {}; }
};

class CVendorTable : public DispatchImpl<IVELNameTable, NoMembers> {
 public:
  using Interfaces = std::tuple<IVELNameTable>;
  uint32_t oui = 0;
  std::u16string name;

  HRESULT get_Count(uint32_t* count) override {
    *count = 1;
    return S_OK;
  }
  HRESULT LookupName(uint32_t code, BSTR* out) override {
    if (code != oui) return S_FALSE;
    *out = AllocBstr(name);
    return S_OK;
  }

 protected:
  virtual ~CVendorTable() = default;
};

}  // namespace

void SetVendorTable(IOrvDecoderManager* manager, uint32_t oui, std::u16string name) {
  IVELNameTable* created = nullptr;
  ASSERT_EQ(S_OK, CComObject<CVendorTable>::CreateInstance(IVELNameTable::kIID, reinterpret_cast<void**>(&created)));
  auto table = ComPtr<CComObject<CVendorTable>>::Adopt(static_cast<CComObject<CVendorTable>*>(created));
  table->oui = oui;
  table->name = std::move(name);
  EXPECT_EQ(S_OK, manager->put_NameTableObj(table.get()));
}

StoreAt::StoreAt(const std::string& root) {
  if (const char* saved = getenv("VEL_REGISTRY_ROOT")) previous_ = saved;
  setenv("VEL_REGISTRY_ROOT", root.c_str(), 1);
}

StoreAt::~StoreAt() { previous_ ? setenv("VEL_REGISTRY_ROOT", previous_->c_str(), 1) : unsetenv("VEL_REGISTRY_ROOT"); }

ChineseInterface::ChineseInterface() { SetThreadUILanguage(kLanguageChinese); }
ChineseInterface::~ChineseInterface() { SetThreadUILanguage(kLanguageEnglish); }

HRESULT COfferProbe::Decode(uint32_t nProtocol, uint8_t* pPacket, uint8_t* pDataDecoded, IVELPacketsDecodingInfo*) {
  const auto* packet = reinterpret_cast<const ParsedPacket*>(pPacket);
  offers.push_back({nProtocol, static_cast<uint32_t>(pDataDecoded - packet->pFrameData)});
  return S_FALSE;
}

bool COfferProbe::CanAccept(IVELDcoder* input) {
  uint32_t type = 0;
  if (!input || FAILED(input->get_ProtocolType(&type))) return false;
  return std::find(inputs.begin(), inputs.end(), type) != inputs.end();
}

ProbedGraph::ProbedGraph(std::initializer_list<uint32_t> keptTypes, std::initializer_list<uint32_t> probedInputs)
    : manager(MakeManager()) {
  std::vector<ComPtr<IVELDcoder>> removed;
  for (const ComPtr<IVELDcoder>& module : GraphModules(manager.get())) {
    uint32_t type = 0;
    module->get_ProtocolType(&type);
    if (std::find(keptTypes.begin(), keptTypes.end(), type) == keptTypes.end()) removed.push_back(module);
  }
  for (const auto& module : removed) manager->RemoveModule(module.get());
  IVELDcoder* created = nullptr;
  CComObject<COfferProbe>::CreateInstance(IVELDcoder::kIID, reinterpret_cast<void**>(&created));
  probe = ComPtr<CComObject<COfferProbe>>::Adopt(static_cast<CComObject<COfferProbe>*>(created));
  probe->inputs.assign(probedInputs.begin(), probedInputs.end());
  manager->AddModule(created);
}

Offers ProbedGraph::OffersFor(const Bytes& frame) {
  probe->offers.clear();
  Decode(manager.get(), frame);
  return probe->offers;
}

TimeZone::TimeZone(const char* zone) {
  const char* previous = std::getenv("TZ");
  wasSet_ = previous != nullptr;
  if (wasSet_) previous_ = previous;
  setenv("TZ", zone, 1);
  tzset();
}

TimeZone::~TimeZone() {
  wasSet_ ? setenv("TZ", previous_.c_str(), 1) : unsetenv("TZ");
  tzset();
}

}  // namespace vel::test
