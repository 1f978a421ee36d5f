// The decoder manager: graph maintenance, the module list, and Decode with its
// "Packet Info" group and pre-classification.
#include "engine/decoder_manager.h"

#include <algorithm>
#include <ctime>

#include "engine/class_table.h"
#include "engine/preclassification.h"
#include "engine/registry_store.h"
#include "results/collection.h"
#include "results/decoding_info.h"
#include "vel/registration.h"

namespace vel {

namespace {

constexpr uint32_t kPacketInfoLabel = 1000;
constexpr uint32_t kNumberLabel = 1001;
constexpr uint32_t kPacketLengthLabel = 1002;
constexpr uint32_t kCaptureLengthLabel = 1003;
constexpr uint32_t kTimestampLabel = 1004;
constexpr uint32_t kMicrosecondsPerSecond = 1000000;

// Roots of the link types besides Ethernet; raw IP needs none, its first
// layer being the IPv4 or IPv6 module itself.
constexpr CLSID kLinkRootClasses[] = {
    MakeGuid("{0500FECE-4F9A-40FA-96E0-A5253C517DEE}"),  // Linux cooked capture
    MakeGuid("{D5C74786-F7B4-42DB-BFD4-E528CF860BA4}"),  // Linux cooked capture v2
    MakeGuid("{F3288485-38A5-4F31-AFC8-674C7A2C6F2B}"),  // BSD loopback
};

constexpr dispatch::Member kManagerMembers[] = {
    dispatch::Get<&IOrvDecoderManager::get_VerifyChecksum>(u"VerifyChecksum", 1),
    dispatch::Put<&IOrvDecoderManager::put_VerifyChecksum>(u"VerifyChecksum", 1),
    dispatch::Get<&IOrvDecoderManager::get_ItemIDSelected>(u"ItemIDSelected", 2),
    dispatch::Put<&IOrvDecoderManager::put_ItemIDSelected>(u"ItemIDSelected", 2),
    dispatch::Put<&IOrvDecoderManager::put_NameTableObj>(u"NameTableObj", 3),
    dispatch::Method<&IOrvDecoderManager::Initialize>(u"Initialize", 0x14),
    dispatch::Method<&IOrvDecoderManager::AddModule>(u"AddModule", 0x15),
    dispatch::Method<&IOrvDecoderManager::RemoveModule>(u"RemoveModule", 0x16),
    dispatch::Method<&IOrvDecoderManager::DestroyGraph>(u"DestroyGraph", 0x17),
    dispatch::Method<&IOrvDecoderManager::EnumerateModules>(u"EnumerateModules", 0x18),
    dispatch::Method<&IOrvDecoderManager::LookforModule>(u"LookforModule", 0x19),
    dispatch::Method<&IOrvDecoderManager::Decode>(u"Decode", 0x1a),
    dispatch::Method<&IOrvDecoderManager::LookupOUIName>(u"LookupOUIName", 0x1c),
};

bool EntryEnabled(const std::string& key) {
  auto enable = registry::GetValue(registry::Hive::kLocalMachine, key, "Enable");
  const uint32_t* value = enable ? std::get_if<uint32_t>(&*enable) : nullptr;
  return value && *value == 1;
}

}  // namespace

std::span<const dispatch::Member> ManagerDispatch::Members() { return kManagerMembers; }

VEL_REGISTER_CLASS(COrvDecoderManager, CLSID_COrvDecoderManager, "VEL.OrvDecoderManager.1", "VEL.OrvDecoderManager",
                   &COrvDecoderManager::CreateInstance);

HRESULT COrvDecoderManager::CreateInstance(REFIID riid, void** ppv) {
  return CComObject<COrvDecoderManager>::CreateInstance(riid, ppv);
}

COrvDecoderManager::~COrvDecoderManager() {
  for (IVELDcoder* m : modules_) m->Release();
  if (root_) root_->Release();
  ReleaseLinkRoots();
  if (nameTable_) nameTable_->Release();
}

// ---- Settings -------------------------------------------------------------------

HRESULT COrvDecoderManager::get_VerifyChecksum(int32_t* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = verifyChecksum_;
  return S_OK;
}

HRESULT COrvDecoderManager::put_VerifyChecksum(int32_t newVal) {
  verifyChecksum_ = newVal;
  return S_OK;
}

HRESULT COrvDecoderManager::get_ItemIDSelected(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = AllocBstr(itemIdSelected_);
  return S_OK;
}

HRESULT COrvDecoderManager::put_ItemIDSelected(BSTR newVal) {
  itemIdSelected_.assign(BstrView(newVal));
  return S_OK;
}

HRESULT COrvDecoderManager::put_NameTableObj(IDispatch* pNameTable) {
  if (!pNameTable) return S_FALSE;
  IVELNameTable* table = nullptr;
  HRESULT hr = pNameTable->QueryInterface(IVELNameTable::kIID, reinterpret_cast<void**>(&table));
  if (nameTable_) nameTable_->Release();
  nameTable_ = SUCCEEDED(hr) ? table : nullptr;
  return hr;
}

HRESULT COrvDecoderManager::LookupOUIName(uint32_t nCode, BSTR* pbstrName) {
  if (!nameTable_) return S_FALSE;
  return nameTable_->LookupName(nCode, pbstrName);
}

// ---- The graph --------------------------------------------------------------------

HRESULT COrvDecoderManager::Initialize() {
  IVELDcoder* root = nullptr;
  HRESULT hr = vel::CreateInstance(CLSID_CEthernetDcoder, &root);
  if (FAILED(hr)) return hr;
  if (root_) root_->Release();
  root_ = root;
  AddModule(root_);
  CreateLinkRoots();
  LoadModuleList();
  return S_OK;
}

void COrvDecoderManager::CreateLinkRoots() {
  ReleaseLinkRoots();
  IDispatch* self = nullptr;
  if (FAILED(QueryInterface(IDispatch::kIID, reinterpret_cast<void**>(&self)))) return;
  for (const CLSID& clsid : kLinkRootClasses) {
    IVELDcoder* root = nullptr;
    if (FAILED(vel::CreateInstance(clsid, &root))) continue;
    for (IVELDcoder* e : modules_) root->ConnectModule(e);
    root->OnManagerNotify(VGME_GME_JOINGRAPH, reinterpret_cast<int64_t>(self), 0);
    linkRoots_.push_back(root);
  }
  self->Release();
}

void COrvDecoderManager::ReleaseLinkRoots() {
  for (IVELDcoder* root : linkRoots_) root->Release();
  linkRoots_.clear();
}

void COrvDecoderManager::LoadModuleList() {
  using registry::Hive;
  if (!registry::KeyExists(Hive::kLocalMachine, kModuleListKey)) return;
  for (const std::string& name : registry::SubKeys(Hive::kLocalMachine, kModuleListKey)) {
    std::string key = std::string(kModuleListKey) + "\\" + name;
    CLSID clsid;
    if (!EntryEnabled(key) || !GuidFromString(name, &clsid)) continue;
    IVELDcoder* module = nullptr;
    if (FAILED(vel::CreateInstance(clsid, &module))) continue;
    AddModule(module);
    module->Release();
  }
}

HRESULT COrvDecoderManager::AddModule(IVELDcoder* m) {
  if (!m) return S_FALSE;
  IDispatch* self = nullptr;
  HRESULT hr = QueryInterface(IDispatch::kIID, reinterpret_cast<void**>(&self));
  if (FAILED(hr)) return hr;
  m->AddRef();
  for (IVELDcoder* e : modules_) {
    m->ConnectModule(e);
    e->ConnectModule(m);
  }
  for (IVELDcoder* root : linkRoots_) root->ConnectModule(m);
  m->OnManagerNotify(VGME_GME_JOINGRAPH, reinterpret_cast<int64_t>(self), 0);
  for (IVELDcoder* e : modules_) e->OnManagerNotify(VGME_GME_NEW_MODULE, reinterpret_cast<int64_t>(m), 0);
  for (IVELDcoder* root : linkRoots_) root->OnManagerNotify(VGME_GME_NEW_MODULE, reinterpret_cast<int64_t>(m), 0);
  modules_.push_back(m);
  self->Release();
  return S_OK;
}

HRESULT COrvDecoderManager::RemoveModule(IVELDcoder* m) {
  if (!m) return S_FALSE;
  auto it = std::find(modules_.begin(), modules_.end(), m);
  if (it == modules_.end()) return S_FALSE;
  for (IVELDcoder* e : modules_) e->OnManagerNotify(VGME_GME_REMOVE_MODULE, reinterpret_cast<int64_t>(m), 0);
  for (IVELDcoder* root : linkRoots_) root->OnManagerNotify(VGME_GME_REMOVE_MODULE, reinterpret_cast<int64_t>(m), 0);
  modules_.erase(std::find(modules_.begin(), modules_.end(), m));
  m->Release();
  return S_FALSE;
}

HRESULT COrvDecoderManager::DestroyGraph() {
  for (IVELDcoder* m : modules_) m->OnManagerNotify(VGME_GME_DESTROY, 0, 0);
  for (IVELDcoder* root : linkRoots_) root->OnManagerNotify(VGME_GME_DESTROY, 0, 0);
  for (IVELDcoder* m : modules_) m->Release();
  modules_.clear();
  return S_OK;
}

HRESULT COrvDecoderManager::EnumerateModules(IIDECollection** ppModules) {
  if (!ppModules) return E_POINTER;
  return MakeCollectionOf(modules_, ppModules);
}

HRESULT COrvDecoderManager::LookforModule(BSTR pClsid, IVELDcoder** ppModule) {
  std::u16string_view wanted = BstrView(pClsid);
  for (IVELDcoder* m : modules_) {
    Bstr clsid;
    if (FAILED(m->get_CLSID(&clsid)) || clsid.view() != wanted) continue;
    if (ppModule) {
      m->AddRef();
      *ppModule = m;
    }
    return S_OK;
  }
  return S_OK;
}

// ---- Decoding ---------------------------------------------------------------------

HRESULT COrvDecoderManager::Decode(uint8_t* pPacket, IVELPacketsDecodingInfo** ppiPacketsDecodingInfo) {
  if (!pPacket || !ppiPacketsDecodingInfo) return E_POINTER;
  IVELPacketsDecodingInfo* created = nullptr;
  HRESULT hr = CreateDecodingInfo(IVELPacketsDecodingInfo::kIID, reinterpret_cast<void**>(&created));
  if (FAILED(hr)) return hr;
  *ppiPacketsDecodingInfo = created;
  auto* info = static_cast<CVELPacketsDecodingInfo*>(created);
  auto* captured = reinterpret_cast<const CapturedPacket*>(pPacket);
  info->sequence = captured->Sequence;
  info->timeStamp = captured->TimeStamp;
  info->captureLength = captured->CaptureLength;
  info->originalLength = captured->OriginalLength;
  info->SetItemIDSelected(itemIdSelected_);
  AddFrameGroup(info, captured);

  ParsedPacket parsed{};
  Preclassify(captured, &parsed);
  if (captured->LinkType != VEL_LT_ETHERNET) return DecodeFromLinkRoot(&parsed, created);
  if (!root_) return S_OK;
  return root_->Decode(parsed.nLayers[0], reinterpret_cast<uint8_t*>(&parsed),
                       const_cast<uint8_t*>(parsed.pFrameData), created);
}

// The first layer's module is a link root, or for raw IP a module of the graph:
// the first of that protocol type, in list order, that takes the frame.
HRESULT COrvDecoderManager::DecodeFromLinkRoot(ParsedPacket* parsed, IVELPacketsDecodingInfo* info) {
  uint32_t first = parsed->nLayerCount ? parsed->nLayers[0] : 0;
  if (first == 0) return S_OK;
  auto offer = [&](IVELDcoder* module) {
    uint32_t type = 0;
    return SUCCEEDED(module->get_ProtocolType(&type)) && type == first &&
           module->Decode(first, reinterpret_cast<uint8_t*>(parsed), const_cast<uint8_t*>(parsed->pFrameData), info) ==
               S_OK;
  };
  for (IVELDcoder* root : linkRoots_)
    if (offer(root)) return S_OK;
  for (IVELDcoder* module : modules_)
    if (offer(module)) return S_OK;
  return S_OK;
}

void COrvDecoderManager::AddFrameGroup(CVELPacketsDecodingInfo* info, const CapturedPacket* packet) {
  CVELPacketsDecodingItem* group = info->AddProtocolGroup(0);
  if (!group) return;
  group->SetName(ResText(kPacketInfoLabel));
  TextBuffer value;
  if (auto* item = group->AddChild(ResText(kNumberLabel), false)) item->SetValue(Format(value, u"%u", packet->Sequence));
  if (auto* item = group->AddChild(ResText(kPacketLengthLabel), false))
    item->SetValue(Format(value, u"%u", packet->OriginalLength));
  if (auto* item = group->AddChild(ResText(kCaptureLengthLabel), false)) {
    item->SetValue(Format(value, u"%u", packet->CaptureLength));
    item->type = VEL_DII_PACKET_LEN;
  }
  if (auto* item = group->AddChild(ResText(kTimestampLabel), false)) {
    std::u16string_view date = TimestampText(packet->TimeStamp);
    item->SetValue(Format(value, u"%s.%06d", date, static_cast<uint32_t>(packet->TimeStamp % kMicrosecondsPerSecond)));
  }
}

// Local date and time of the packet's second; empty when it cannot be converted.
std::u16string_view COrvDecoderManager::TimestampText(uint64_t microseconds) {
  auto seconds = static_cast<int64_t>(microseconds / kMicrosecondsPerSecond);
  if (seconds == lastSecond_) return lastDate_;
  lastSecond_ = seconds;
  lastDate_.clear();
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  char text[128];
  if (localtime_r(&t, &local)) {
    size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    lastDate_.assign(text, text + n);
  }
  return lastDate_;
}

}  // namespace vel
