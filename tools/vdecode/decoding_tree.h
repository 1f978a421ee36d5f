// Reading a decoding through the engine's public interfaces: the groups of a
// packet, the children of an item, and property values as owned texts.
#pragma once

#include <string>
#include <vector>

#include "vel/interfaces.h"

namespace vdecode {

using ItemPtr = vel::ComPtr<vel::IVELPacketsDecodingItem>;

// The members of a collection that answer to interface I, in collection order.
template <class I>
std::vector<vel::ComPtr<I>> Members(vel::IIDECollection* collection);

std::vector<ItemPtr> Groups(vel::IVELPacketsDecodingInfo* info);
std::vector<ItemPtr> Children(vel::IVELPacketsDecodingItem* item);

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
std::u16string LayerShortName(vel::IVELPacketsDecodingItem* group);

// The summary of the highest layer that wrote one; empty when none did.
vel::Bstr PacketSummary(vel::IVELPacketsDecodingInfo* info);

// Whether two interface pointers belong to the same object.
bool SameObject(vel::IUnknown* a, vel::IUnknown* b);

}  // namespace vdecode
