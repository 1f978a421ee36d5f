// Fields the NetBIOS decoders share: a NetBIOS name read at the cursor, and a
// flags field shown as a group of bit pictures.
#pragma once

#include <bit>
#include <span>

#include "decoders/application/netbios_name.h"
#include "vel/module_base.h"

namespace vel {

// One child of a flags group: its label, its bits, and the names of the values
// those bits take (null: no comment).
struct FlagField {
  uint32_t label;
  uint32_t mask;
  const NameIdPair* names = nullptr;
};

// Adds the shared NetBIOS fields to a decoder's module base.
template <class Base>
class NetBIOSFieldsT : public Base {
 protected:
  using Base::AddTextItem, Base::AtCursor, Base::CursorOffset, Base::Layer, Base::LayerOffset, Base::MakeGroup;

  // The name at the cursor, whose compression pointers count from the layer
  // start, as an item over the bytes it occupies; the cursor moves past them.
  // A name cut by the capture is shown as far as it was captured (when any of
  // it was), and then ends the layer like any other field that was not
  // captured whole.
  Item* AddNetBIOSName(Item* parent, Text label, NetBIOSName& name) {
    const uint32_t start = CursorOffset();
    ReadNetBIOSName(Layer(), start - LayerOffset(), name);
    Item* item = name.length ? AddTextItem(parent, name.length, label, name.text, name.comment) : nullptr;
    if (name.cut) throw CapturedDataEnd{start, name.needed, name.length};
    return item;
  }

  // A flags field of 1 or 2 bytes: the picture of all its bits, made a group
  // of one picture per child; the last child moves the cursor past the field.
  // Returns the flags.
  uint32_t AddFlagGroup(Item* parent, Text label, uint32_t width, std::span<const FlagField> children) {
    const uint32_t flags = width == 1 ? AtCursor().U8(0) : AtCursor().U16(0);
    Item* group = AddTextItem(parent, width, label, Picture(flags, width == 1 ? 0xFF : 0xFFFF, width), {}, 0, false);
    MakeGroup(group);
    for (size_t i = 0; i < children.size(); ++i) {
      const FlagField& child = children[i];
      Text comment = child.names ? NameOf(child.names, (flags & child.mask) >> std::countr_zero(child.mask)) : Text{};
      AddTextItem(group, width, Res(child.label), Picture(flags, child.mask, width), comment, 0,
                  i + 1 == children.size());
    }
    return flags;
  }

 private:
  static const char16_t* Picture(uint32_t flags, uint32_t mask, uint32_t width) {
    return width == 1 ? BitsText8(flags, mask) : BitsText16(flags, mask);
  }
};

}  // namespace vel
