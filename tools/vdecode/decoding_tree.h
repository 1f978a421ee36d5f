// Reading a decoding. vdecode runs the engine in its own process, so it reads
// the engine's result objects themselves: texts as views into the items and
// children as the items' own arrays, with no string copies, collections or
// reference counting per item. Collections of other objects (the module list)
// are read through the public interfaces.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "results/decoding_info.h"
#include "vel/interfaces.h"

namespace vdecode {

using DecodingInfo = vel::CVELPacketsDecodingInfo;
using DecodingItem = vel::CVELPacketsDecodingItem;

// The engine's object behind the interface its manager handed out.
inline const DecodingInfo& InfoOf(vel::IVELPacketsDecodingInfo* info) { return *static_cast<DecodingInfo*>(info); }

// The members of a collection that answer to interface I, in collection order.
template <class I>
std::vector<vel::ComPtr<I>> Members(vel::IIDECollection* collection);

// A string property; empty when the getter fails.
template <class Object>
vel::Bstr ReadText(Object* object, vel::HRESULT (Object::*getter)(vel::BSTR*)) {
  vel::Bstr text;
  (object->*getter)(&text);
  return text;
}

// A numeric property; zero when the getter fails.
template <class Object, class Number>
Number ReadNumber(Object* object, vel::HRESULT (Object::*getter)(Number*)) {
  Number value{};
  (object->*getter)(&value);
  return value;
}

// The short name of a layer group: the catalogue's for its protocol type, or
// for a type beyond the catalogue (the link layers besides Ethernet, whose
// modules name their groups) the part of the group's name before " - ".
std::u16string_view LayerShortName(const DecodingItem& group);

// The summary of the highest layer that wrote one; empty when none did.
std::u16string_view PacketSummary(const DecodingInfo& info);

}  // namespace vdecode
