// The decoding of one packet: groups, severity, selection, summaries,
// lookups by cookie and by frame offset, and the text of the whole tree.
#include "results/decoding_info.h"

#include <memory>

#include "engine/class_table.h"
#include "results/collection.h"
#include "vel/protocol_catalogue.h"

namespace vel {

namespace {

constexpr dispatch::Member kInfoMembers[] = {
    dispatch::Get<&IVELPacketsDecodingInfo::get_Sequence>(u"Sequence", 1),
    dispatch::Put<&IVELPacketsDecodingInfo::put_Sequence>(u"Sequence", 1),
    dispatch::Get<&IVELPacketsDecodingInfo::get_TimeStamp>(u"TimeStamp", 2),
    dispatch::Put<&IVELPacketsDecodingInfo::put_TimeStamp>(u"TimeStamp", 2),
    dispatch::Get<&IVELPacketsDecodingInfo::get_CaptureLength>(u"CaptureLength", 3),
    dispatch::Put<&IVELPacketsDecodingInfo::put_CaptureLength>(u"CaptureLength", 3),
    dispatch::Get<&IVELPacketsDecodingInfo::get_OriginalLength>(u"OriginalLength", 4),
    dispatch::Put<&IVELPacketsDecodingInfo::put_OriginalLength>(u"OriginalLength", 4),
    dispatch::Get<&IVELPacketsDecodingInfo::get_MaxItemLen>(u"MaxItemLen", 5),
    dispatch::Put<&IVELPacketsDecodingInfo::put_MaxItemLen>(u"MaxItemLen", 5),
    dispatch::Get<&IVELPacketsDecodingInfo::get_Severity>(u"Severity", 6),
    dispatch::Put<&IVELPacketsDecodingInfo::put_Severity>(u"Severity", 6),
    dispatch::Get<&IVELPacketsDecodingInfo::get_Summary>(u"Summary", 7),
    dispatch::Get<&IVELPacketsDecodingInfo::get_ItemIDSelected>(u"ItemIDSelected", 8),
    dispatch::Put<&IVELPacketsDecodingInfo::put_ItemIDSelected>(u"ItemIDSelected", 8),
    dispatch::Method<&IVELPacketsDecodingInfo::DecodingItemSelected>(u"DecodingItemSelected", 9),
    dispatch::Method<&IVELPacketsDecodingInfo::EmunGroups>(u"EmunGroups", 10),
    dispatch::LendingMethod<&IVELPacketsDecodingInfo::CreateGroup>(u"CreateGroup", 11),
    dispatch::LendingMethod<&IVELPacketsDecodingInfo::CreateGroupEx>(u"CreateGroupEx", 12),
    dispatch::Method<&IVELPacketsDecodingInfo::LooupDecodingItem>(u"LooupDecodingItem", 13),
    dispatch::Method<&IVELPacketsDecodingInfo::LooupDecodingItemEx>(u"LooupDecodingItemEx", 14),
    dispatch::Method<&IVELPacketsDecodingInfo::TopLayerDecodingItem>(u"TopLayerDecodingItem", 15),
    dispatch::Method<&IVELPacketsDecodingInfo::GetText>(u"GetText", 16),
};

template <class T>
HRESULT ReadOut(T value, T* out) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

// Hands out item with a new reference for the caller.
HRESULT GiveItem(CVELPacketsDecodingItem* item, IVELPacketsDecodingItem** out) {
  *out = item;
  if (item) item->AddRef();
  return item ? S_OK : S_FALSE;
}

// Depth-first, pre-order; only groups are searched below.
CVELPacketsDecodingItem* FindCookie(CVELPacketsDecodingItem* item, uint32_t cookie) {
  if (item->cookie == cookie) return item;
  if (!item->isGroup) return nullptr;
  for (CVELPacketsDecodingItem* child : item->Children())
    if (CVELPacketsDecodingItem* found = FindCookie(child, cookie)) return found;
  return nullptr;
}

// The deepest item under x (whose range contains offset) that covers it.
CVELPacketsDecodingItem* Descend(CVELPacketsDecodingItem* x, uint32_t offset) {
  if (!x->isGroup) return x->Covers(offset) ? x : nullptr;
  for (CVELPacketsDecodingItem* child : x->Children()) {
    if (!child->Covers(offset)) continue;
    if (CVELPacketsDecodingItem* found = Descend(child, offset)) return found;
  }
  return x;
}

}  // namespace

std::span<const dispatch::Member> InfoDispatch::Members() { return kInfoMembers; }

HRESULT CreateDecodingInfo(REFIID riid, void** ppv) { return CComObject<CVELPacketsDecodingInfo>::CreateInstance(riid, ppv); }

VEL_REGISTER_CLASS(CVELPacketsDecodingInfo, CLSID_CVELPacketsDecodingInfo, "CVELPacketsDecodingInfo.CVELPackets.1.0",
                   "CVELPacketsDecodingInfo.CVELPackets", &CreateDecodingInfo);

CVELPacketsDecodingInfo::~CVELPacketsDecodingInfo() {
  for (CVELPacketsDecodingItem* group : groups_) CVELPacketsDecodingItem::ReleaseItem(group);
}

// ---- Engine-side operations ------------------------------------------------

CVELPacketsDecodingItem* CVELPacketsDecodingInfo::AppendGroup(uint32_t protocol, bool withProtocol,
                                                              std::u16string_view name, bool lastingName) {
  CVELPacketsDecodingItem* group = CVELPacketsDecodingItem::New();
  if (!group) return nullptr;
  group->SetOwningInfo(this);
  group->index = static_cast<uint32_t>(groups_.size() + 1);
  group->isGroup = 1;
  if (withProtocol) group->protocol = protocol;
  if (lastingName) group->SetLastingName(name);
  else group->SetName(name);
  if (name == itemIdSelected_) selected_ = group;
  groups_.push_back(group);
  return group;
}

CVELPacketsDecodingItem* CVELPacketsDecodingInfo::AddGroup(std::u16string_view name) {
  return AppendGroup(0, false, name, false);
}

namespace {

// The group name of each catalogue row, "%s - %s" of its short and long name
// put together directly; made once, and pointed to by the groups. The names
// are never freed, so a group read late in the process's exit still has its name.
const std::vector<std::u16string>& ProtocolGroupNames() {
  static const auto* names = [] {
    auto* joined = new std::vector<std::u16string>(kProtocolTypeCount);
    for (uint32_t row = 0; row < kProtocolTypeCount; ++row) {
      std::u16string& name = (*joined)[row];
      if (const char16_t* shortName = ProtocolShortName(row)) name += shortName;
      name += u" - ";
      if (const char16_t* longName = ProtocolLongName(row)) name += longName;
    }
    return joined;
  }();
  return *names;
}

}  // namespace

// A type outside the catalogue gets the name of type 0.
CVELPacketsDecodingItem* CVELPacketsDecodingInfo::AddProtocolGroup(uint32_t protocol) {
  uint32_t row = protocol < kProtocolTypeCount ? protocol : 0;
  return AppendGroup(protocol, true, ProtocolGroupNames()[row], true);
}

void CVELPacketsDecodingInfo::RaiseSeverity(uint32_t severity) {
  if (static_cast<int32_t>(severity) > static_cast<int32_t>(severity_)) severity_ = severity;
}

void CVELPacketsDecodingInfo::TestIdentity(CVELPacketsDecodingItem* item) {
  if (item->IdentityEquals(itemIdSelected_)) selected_ = item;
}

const CVELPacketsDecodingItem* CVELPacketsDecodingInfo::SummaryGroup(uint32_t protocol) const {
  for (auto it = groups_.rbegin(); it != groups_.rend(); ++it) {
    const CVELPacketsDecodingItem* group = *it;
    if ((protocol == 0 && !group->Summary().empty()) || protocol == group->protocol) return group;
  }
  return nullptr;
}

CVELPacketsDecodingItem* CVELPacketsDecodingInfo::ItemAtOffset(uint32_t offset) const {
  for (CVELPacketsDecodingItem* group : groups_)
    if (group->Covers(offset)) return Descend(group, offset);
  return nullptr;
}

void CVELPacketsDecodingInfo::RenderText(TextBuffer& out) const {
  for (const CVELPacketsDecodingItem* group : groups_)
    group->Render(out, 0, EffectiveWidth(maxItemLen_), EffectiveWidth(group->maxValueLen), true);
}

// ---- IVELPacketsDecodingInfo ------------------------------------------------

HRESULT CVELPacketsDecodingInfo::get_Sequence(uint32_t* pVal) { return ReadOut(sequence, pVal); }
HRESULT CVELPacketsDecodingInfo::put_Sequence(uint32_t v) { return sequence = v, S_OK; }
HRESULT CVELPacketsDecodingInfo::get_TimeStamp(uint64_t* pVal) { return ReadOut(timeStamp, pVal); }
HRESULT CVELPacketsDecodingInfo::put_TimeStamp(uint64_t v) { return timeStamp = v, S_OK; }
HRESULT CVELPacketsDecodingInfo::get_CaptureLength(uint32_t* pVal) { return ReadOut(captureLength, pVal); }
HRESULT CVELPacketsDecodingInfo::put_CaptureLength(uint32_t v) { return captureLength = v, S_OK; }
HRESULT CVELPacketsDecodingInfo::get_OriginalLength(uint32_t* pVal) { return ReadOut(originalLength, pVal); }
HRESULT CVELPacketsDecodingInfo::put_OriginalLength(uint32_t v) { return originalLength = v, S_OK; }
HRESULT CVELPacketsDecodingInfo::get_MaxItemLen(uint32_t* pVal) { return ReadOut(maxItemLen_, pVal); }
HRESULT CVELPacketsDecodingInfo::put_MaxItemLen(uint32_t v) { return maxItemLen_ = v, S_OK; }
HRESULT CVELPacketsDecodingInfo::get_Severity(uint32_t* pVal) { return ReadOut(severity_, pVal); }
HRESULT CVELPacketsDecodingInfo::put_Severity(uint32_t v) { return RaiseSeverity(v), S_OK; }

HRESULT CVELPacketsDecodingInfo::get_Summary(uint32_t nProtocol, BSTR* pVal) {
  if (!pVal) return E_POINTER;
  const CVELPacketsDecodingItem* group = SummaryGroup(nProtocol);
  if (!group) return S_FALSE;
  *pVal = AllocBstr(group->Summary());
  return S_OK;
}

HRESULT CVELPacketsDecodingInfo::get_ItemIDSelected(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = AllocBstr(itemIdSelected_);
  return S_OK;
}

HRESULT CVELPacketsDecodingInfo::put_ItemIDSelected(BSTR v) { return SetItemIDSelected(BstrView(v)), S_OK; }

HRESULT CVELPacketsDecodingInfo::DecodingItemSelected(IVELPacketsDecodingItem** ppItem) {
  if (!ppItem) return E_POINTER;
  GiveItem(selected_, ppItem);
  return S_OK;
}

HRESULT CVELPacketsDecodingInfo::EmunGroups(IIDECollection** ppCollection) {
  if (!ppCollection) return E_POINTER;
  return MakeCollectionOf(groups_, ppCollection);
}

HRESULT CVELPacketsDecodingInfo::CreateGroup(BSTR bstrName, IVELPacketsDecodingItem** ppItem) {
  if (!ppItem) return E_POINTER;
  *ppItem = AddGroup(BstrView(bstrName));
  return *ppItem ? S_OK : E_OUTOFMEMORY;
}

HRESULT CVELPacketsDecodingInfo::CreateGroupEx(uint32_t nProtocol, IVELPacketsDecodingItem** ppItem) {
  if (!ppItem) return E_POINTER;
  *ppItem = AddProtocolGroup(nProtocol);
  return *ppItem ? S_OK : E_OUTOFMEMORY;
}

HRESULT CVELPacketsDecodingInfo::LooupDecodingItem(uint32_t nCookie, IVELPacketsDecodingItem** ppItem) {
  if (!ppItem) return E_POINTER;
  *ppItem = nullptr;
  for (CVELPacketsDecodingItem* group : groups_)
    if (CVELPacketsDecodingItem* found = FindCookie(group, nCookie)) return GiveItem(found, ppItem);
  return S_FALSE;
}

HRESULT CVELPacketsDecodingInfo::LooupDecodingItemEx(uint32_t nOffset, IVELPacketsDecodingItem** ppItem) {
  if (!ppItem) return E_POINTER;
  *ppItem = nullptr;
  return GiveItem(ItemAtOffset(nOffset), ppItem);
}

HRESULT CVELPacketsDecodingInfo::TopLayerDecodingItem(IVELPacketsDecodingItem** ppItem) {
  if (!ppItem) return E_POINTER;
  if (groups_.empty()) return S_FALSE;
  return GiveItem(groups_.back(), ppItem);
}

namespace {

// A packet's text runs to several kilobytes. Each thread keeps one buffer for
// it (unless a rendering made it very large), so rendering a packet does not
// grow a fresh buffer through the heap every time.
constexpr size_t kKeptRenderUnits = 1 << 20;

TextBuffer& ThreadRenderBuffer() {
  thread_local std::unique_ptr<TextBuffer> buffer;
  if (!buffer || buffer->size() > kKeptRenderUnits) buffer = std::make_unique<TextBuffer>();
  buffer->clear();
  return *buffer;
}

}  // namespace

HRESULT CVELPacketsDecodingInfo::GetText(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  TextBuffer& text = ThreadRenderBuffer();
  RenderText(text);
  *pVal = AllocBstr(text.view());
  return S_OK;
}

}  // namespace vel
