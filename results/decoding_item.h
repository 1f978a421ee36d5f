// One node of a packet's decoding tree: a layer group, a sub-group or a field.
// Items come from the object pool and carry their texts inline, so adding an
// ordinary field costs no heap allocation.
#pragma once

#include <string_view>

#include "vel/interfaces.h"
#include "vel/object.h"
#include "vel/text.h"

namespace vel {

class CVELPacketsDecodingInfo;
class CVELPacketsDecodingItem;

struct ItemDispatch {
  static std::span<const dispatch::Member> Members();
};

// Texts of one item. Texts of the string table are pointed to (they last as
// long as the library); others share an inline area, and a text that does not
// fit in what is left of it gets its own heap block.
class ItemTexts {
 public:
  enum Field { kName, kValue, kComment, kDescription, kSummary, kFieldCount };

  ItemTexts() = default;
  ItemTexts(const ItemTexts&) = delete;
  ItemTexts& operator=(const ItemTexts&) = delete;
  ~ItemTexts();

  std::u16string_view Get(Field f) const { return {slots_[f].data, slots_[f].size}; }
  void Set(Field f, std::u16string_view text);
  // Points field f to a text that outlives the item.
  void Point(Field f, std::u16string_view lasting);
  // Makes field f a text of size units, to be written at the returned place.
  char16_t* Place(Field f, uint32_t size);

 private:
  static constexpr uint32_t kInlineUnits = 112;
  struct Slot {
    const char16_t* data = nullptr;
    uint32_t size = 0;
  };
  Slot slots_[kFieldCount];
  uint8_t onHeap_ = 0;  // one bit per field whose text is a heap block
  uint32_t used_ = 0;
  char16_t inline_[kInlineUnits];
};

// Children in creation order; grows by half its capacity (at least one).
class ChildList {
 public:
  ChildList() = default;
  ChildList(const ChildList&) = delete;
  ChildList& operator=(const ChildList&) = delete;
  ~ChildList();

  void push_back(CVELPacketsDecodingItem* item) {
    if (size_ == capacity_) Grow();
    items_[size_++] = item;
  }
  CVELPacketsDecodingItem* const* begin() const { return items_; }
  CVELPacketsDecodingItem* const* end() const { return items_ + size_; }
  uint32_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  CVELPacketsDecodingItem* operator[](uint32_t i) const { return items_[i]; }
  void clear() { size_ = 0; }

 private:
  void Grow();

  CVELPacketsDecodingItem** items_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};

class CVELPacketsDecodingItem : public DispatchImpl<IVELPacketsDecodingItem, ItemDispatch> {
 public:
  using Interfaces = std::tuple<IVELPacketsDecodingItem>;

  // A fresh pooled item holding one reference, or null when no storage could be had.
  static CVELPacketsDecodingItem* New();
  // Gives up one reference to an item made by New, without a virtual call.
  static void ReleaseItem(CVELPacketsDecodingItem* item);

  // ---- Engine-side operations (no string copies at the interface) ----
  // Creates a child; the tree keeps the reference, the pointer is lent.
  CVELPacketsDecodingItem* AddChild(std::u16string_view name, bool isGroup);
  void SetName(std::u16string_view name);
  // A name that outlives the item is pointed to, not copied.
  void SetLastingName(std::u16string_view name);
  void SetValue(std::u16string_view value);
  // Makes the value a text of size units and returns where to write it.
  char16_t* PlaceValue(uint32_t size);
  void SetComment(std::u16string_view comment) { texts_.Set(ItemTexts::kComment, comment); }
  void SetDescription(std::u16string_view text) { texts_.Set(ItemTexts::kDescription, text); }
  void SetSummary(std::u16string_view summary) { texts_.Set(ItemTexts::kSummary, summary); }
  void AppendSummaryText(std::u16string_view text);

  std::u16string_view Name() const { return texts_.Get(ItemTexts::kName); }
  std::u16string_view Value() const { return texts_.Get(ItemTexts::kValue); }
  std::u16string_view Comment() const { return texts_.Get(ItemTexts::kComment); }
  std::u16string_view Summary() const { return texts_.Get(ItemTexts::kSummary); }

  uint32_t startPos = 0;
  uint32_t length = 0;
  int32_t isGroup = 0;
  uint32_t protocol = 0;
  uint32_t type = 0;
  uint32_t maxValueLen = 0;
  uint32_t cookie = 0;
  uint32_t severity = VEL_SST_INFOMATION;
  uint32_t index = 0;

  CVELPacketsDecodingInfo* OwningInfo() const { return info_; }
  void SetOwningInfo(CVELPacketsDecodingInfo* info) { info_ = info; }
  CVELPacketsDecodingItem* Parent() const { return parent_; }
  const ChildList& Children() const { return children_; }

  // Identity: own name, then each ancestor's name up to the root, no separator.
  void BuildIdentity(TextBuffer& out) const;
  bool IdentityEquals(std::u16string_view identity) const;
  bool Covers(uint32_t offset) const { return startPos <= offset && offset - startPos < length; }

  // Appends this item's line, then (with recurse) its children one blank deeper.
  void Render(TextBuffer& out, uint32_t indent, uint32_t nameWidth, uint32_t valueWidth, bool recurse) const;

  // ---- IVELPacketsDecodingItem ----
  HRESULT get_StartPos(uint32_t* pVal) override;
  HRESULT put_StartPos(uint32_t newVal) override;
  HRESULT get_Length(uint32_t* pVal) override;
  HRESULT put_Length(uint32_t newVal) override;
  HRESULT get_Name(BSTR* pVal) override;
  HRESULT put_Name(BSTR newVal) override;
  HRESULT get_Description(BSTR* pVal) override;
  HRESULT put_Description(BSTR newVal) override;
  HRESULT get_Comment(BSTR* pVal) override;
  HRESULT put_Comment(BSTR newVal) override;
  HRESULT get_Value(BSTR* pVal) override;
  HRESULT put_Value(BSTR newVal) override;
  HRESULT get_IsGroup(int32_t* pVal) override;
  HRESULT put_IsGroup(int32_t newVal) override;
  HRESULT get_Protocol(uint32_t* pVal) override;
  HRESULT put_Protocol(uint32_t newVal) override;
  HRESULT get_Type(uint32_t* pVal) override;
  HRESULT put_Type(uint32_t newVal) override;
  HRESULT get_MaxValueLen(uint32_t* pVal) override;
  HRESULT put_MaxValueLen(uint32_t newVal) override;
  HRESULT get_Cookie(uint32_t* pVal) override;
  HRESULT put_Cookie(uint32_t newVal) override;
  HRESULT get_Severity(uint32_t* pVal) override;
  HRESULT put_Severity(uint32_t newVal) override;
  HRESULT get_Summary(BSTR* pVal) override;
  HRESULT put_Summary(BSTR newVal) override;
  HRESULT get_ID(BSTR* pVal) override;
  HRESULT put_Index(uint32_t newVal) override;
  HRESULT get_Index(uint32_t* pVal) override;
  HRESULT EmunDecodingItem(IIDECollection** ppCollection) override;
  HRESULT CreateGroup(BSTR bstrName, IVELPacketsDecodingItem** ppItem) override;
  HRESULT CreateDecodingItem(BSTR bstrName, IVELPacketsDecodingItem** ppItem) override;
  HRESULT AppendSummary(BSTR text) override;
  HRESULT GetText(int32_t nNameWidth, int32_t nValueWidth, BSTR* pVal) override;

  // Pooled storage: objects of this class live in the item pool.
  static void* operator new(size_t size);
  static void* operator new(size_t size, const std::nothrow_t&) noexcept;
  static void operator delete(void* storage);

 protected:
  // Provided (not defaulted) so that making an item does not first zero all of
  // its storage, the inline text area included: only the members are set.
  CVELPacketsDecodingItem() {}
  virtual ~CVELPacketsDecodingItem();

 private:
  HRESULT CreateChild(BSTR name, bool isGroup, IVELPacketsDecodingItem** ppItem);

  CVELPacketsDecodingInfo* info_ = nullptr;
  CVELPacketsDecodingItem* parent_ = nullptr;
  CVELPacketsDecodingItem* root_ = this;  // the top of the tree: its group, or this item
  ChildList children_;
  ItemTexts texts_;
};

using DecodingItem = CVELPacketsDecodingItem;

// Width 0 stands for 20.
constexpr uint32_t EffectiveWidth(int64_t width) { return width == 0 ? 20 : static_cast<uint32_t>(width); }

}  // namespace vel
