#include "tools/vdecode/decoding_tree.h"

#include "vel/protocol_catalogue.h"

namespace vdecode {

using namespace vel;

template <class I>
std::vector<ComPtr<I>> Members(IIDECollection* collection) {
  std::vector<ComPtr<I>> members;
  int32_t count = 0;
  if (!collection || FAILED(collection->get_Count(&count))) return members;
  members.reserve(static_cast<size_t>(count));
  for (int32_t position = 1; position <= count; ++position) {
    Variant member;
    if (FAILED(collection->get_Item(Variant(position), &member)) || member.vt != VT_DISPATCH || !member.pdispVal)
      continue;
    ComPtr<I> typed;
    if (SUCCEEDED(member.pdispVal->QueryInterface(IidOf<I>, reinterpret_cast<void**>(&typed))))
      members.push_back(std::move(typed));
  }
  return members;
}

template std::vector<ComPtr<IVELPacketsDecodingItem>> Members(IIDECollection*);
template std::vector<ComPtr<IVELDcoder>> Members(IIDECollection*);

std::vector<ItemPtr> Groups(IVELPacketsDecodingInfo* info) {
  ComPtr<IIDECollection> groups;
  info->EmunGroups(&groups);
  return Members<IVELPacketsDecodingItem>(groups.get());
}

std::vector<ItemPtr> Children(IVELPacketsDecodingItem* item) {
  ComPtr<IIDECollection> children;
  item->EmunDecodingItem(&children);
  return Members<IVELPacketsDecodingItem>(children.get());
}

std::u16string LayerShortName(IVELPacketsDecodingItem* group) {
  if (const char16_t* name = ProtocolShortName(ReadNumber(group, &IVELPacketsDecodingItem::get_Protocol))) return name;
  Bstr text = ReadText(group, &IVELPacketsDecodingItem::get_Name);
  std::u16string_view name = text.view();
  return std::u16string(name.substr(0, name.find(u" - ")));
}

Bstr PacketSummary(IVELPacketsDecodingInfo* info) {
  Bstr summary;
  if (info->get_Summary(0, &summary) != S_OK) summary.Attach(nullptr);
  return summary;
}

bool SameObject(IUnknown* a, IUnknown* b) {
  if (!a || !b) return false;
  ComPtr<IUnknown> identityA = ComPtr<IUnknown>(a).As<IUnknown>();
  ComPtr<IUnknown> identityB = ComPtr<IUnknown>(b).As<IUnknown>();
  return identityA.get() == identityB.get();
}

}  // namespace vdecode
