#include "tools/vdecode/json_output.h"

#include "tools/vdecode/decoding_tree.h"
#include "tools/vdecode/utf8.h"

namespace vdecode {

using namespace vel;
using Json = nlohmann::ordered_json;

namespace {

std::string Utf8Of(IVELPacketsDecodingItem* item, HRESULT (IVELPacketsDecodingItem::*getter)(BSTR*)) {
  return ToUtf8(ReadText(item, getter).view());
}

Json ItemJson(IVELPacketsDecodingItem* item) {
  using I = IVELPacketsDecodingItem;
  Json children = Json::array();
  for (const ItemPtr& child : Children(item)) children.push_back(ItemJson(child.get()));
  return Json{
      {"name", Utf8Of(item, &I::get_Name)},
      {"value", Utf8Of(item, &I::get_Value)},
      {"comment", Utf8Of(item, &I::get_Comment)},
      {"start", ReadNumber(item, &I::get_StartPos)},
      {"length", ReadNumber(item, &I::get_Length)},
      {"type", ReadNumber(item, &I::get_Type)},
      {"severity", ReadNumber(item, &I::get_Severity)},
      {"protocol", ReadNumber(item, &I::get_Protocol)},
      {"summary", Utf8Of(item, &I::get_Summary)},
      {"is_group", ReadNumber(item, &I::get_IsGroup) != 0},
      {"children", std::move(children)},
  };
}

}  // namespace

Json PacketJson(IVELPacketsDecodingInfo* info) {
  using P = IVELPacketsDecodingInfo;
  Json groups = Json::array();
  for (const ItemPtr& group : Groups(info)) groups.push_back(ItemJson(group.get()));
  return Json{
      {"number", ReadNumber(info, &P::get_Sequence)},
      {"timestamp", ReadNumber(info, &P::get_TimeStamp)},
      {"capture_length", ReadNumber(info, &P::get_CaptureLength)},
      {"original_length", ReadNumber(info, &P::get_OriginalLength)},
      {"severity", ReadNumber(info, &P::get_Severity)},
      {"summary", ToUtf8(PacketSummary(info).view())},
      {"groups", std::move(groups)},
  };
}

void AppendPacketJsonLine(std::string& out, IVELPacketsDecodingInfo* info) {
  // The texts are well-formed UTF-8 already; replacing stays as a safeguard.
  out += PacketJson(info).dump(-1, ' ', false, Json::error_handler_t::replace);
  out += '\n';
}

}  // namespace vdecode
