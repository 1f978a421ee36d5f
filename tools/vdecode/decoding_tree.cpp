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

template std::vector<ComPtr<IVELDcoder>> Members(IIDECollection*);

std::u16string_view LayerShortName(const DecodingItem& group) {
  if (const char16_t* name = ProtocolShortName(group.protocol)) return name;
  std::u16string_view name = group.Name();
  return name.substr(0, name.find(u" - "));
}

std::u16string_view PacketSummary(const DecodingInfo& info) {
  const DecodingItem* group = info.SummaryGroup(0);
  return group ? group->Summary() : std::u16string_view();
}

}  // namespace vdecode
