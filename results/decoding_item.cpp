// Decoding items: creation under a parent, name and value bookkeeping for the
// aligned rendering, identity texts, and the line rendering.
#include "results/decoding_item.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "results/collection.h"
#include "results/decoding_info.h"
#include "support/ObjectPoolImpl.h"
#include "support/decimal.h"
#include "support/hot_thread_local.h"
#include "support/string_table.h"

namespace vel {

namespace {

using PooledItem = CComObject<CVELPacketsDecodingItem>;

ObjectPoolImpl<PooledItem>& ItemPool() {
  static ObjectPoolImpl<PooledItem>& pool = [] () -> ObjectPoolImpl<PooledItem>& {
    ObjectPoolImpl<PooledItem>::SetTypeName("CComObject<CVELPacketsDecodingItem>");
    return ObjectPoolImpl<PooledItem>::Instance();
  }();
  return pool;
}

HRESULT CopyOut(std::u16string_view text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = AllocBstr(text);
  return S_OK;
}

template <class T>
HRESULT ReadOut(T value, T* out) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

constexpr dispatch::Member kItemMembers[] = {
    dispatch::Get<&IVELPacketsDecodingItem::get_StartPos>(u"StartPos", 1),
    dispatch::Put<&IVELPacketsDecodingItem::put_StartPos>(u"StartPos", 1),
    dispatch::Get<&IVELPacketsDecodingItem::get_Length>(u"Length", 2),
    dispatch::Put<&IVELPacketsDecodingItem::put_Length>(u"Length", 2),
    dispatch::Get<&IVELPacketsDecodingItem::get_Name>(u"Name", 3),
    dispatch::Put<&IVELPacketsDecodingItem::put_Name>(u"Name", 3),
    dispatch::Get<&IVELPacketsDecodingItem::get_Description>(u"Description", 4),
    dispatch::Put<&IVELPacketsDecodingItem::put_Description>(u"Description", 4),
    dispatch::Get<&IVELPacketsDecodingItem::get_Comment>(u"Comment", 5),
    dispatch::Put<&IVELPacketsDecodingItem::put_Comment>(u"Comment", 5),
    dispatch::Get<&IVELPacketsDecodingItem::get_Value>(u"Value", 6),
    dispatch::Put<&IVELPacketsDecodingItem::put_Value>(u"Value", 6),
    dispatch::Get<&IVELPacketsDecodingItem::get_IsGroup>(u"IsGroup", 7),
    dispatch::Put<&IVELPacketsDecodingItem::put_IsGroup>(u"IsGroup", 7),
    dispatch::Get<&IVELPacketsDecodingItem::get_Protocol>(u"Protocol", 8),
    dispatch::Put<&IVELPacketsDecodingItem::put_Protocol>(u"Protocol", 8),
    dispatch::Get<&IVELPacketsDecodingItem::get_Type>(u"Type", 9),
    dispatch::Put<&IVELPacketsDecodingItem::put_Type>(u"Type", 9),
    dispatch::Get<&IVELPacketsDecodingItem::get_MaxValueLen>(u"MaxValueLen", 10),
    dispatch::Put<&IVELPacketsDecodingItem::put_MaxValueLen>(u"MaxValueLen", 10),
    dispatch::Get<&IVELPacketsDecodingItem::get_Cookie>(u"Cookie", 11),
    dispatch::Put<&IVELPacketsDecodingItem::put_Cookie>(u"Cookie", 11),
    dispatch::Get<&IVELPacketsDecodingItem::get_Severity>(u"Severity", 12),
    dispatch::Put<&IVELPacketsDecodingItem::put_Severity>(u"Severity", 12),
    dispatch::Get<&IVELPacketsDecodingItem::get_Summary>(u"Summary", 13),
    dispatch::Put<&IVELPacketsDecodingItem::put_Summary>(u"Summary", 13),
    dispatch::Get<&IVELPacketsDecodingItem::get_ID>(u"ID", 14),
    dispatch::Put<&IVELPacketsDecodingItem::put_Index>(u"Index", 15),
    dispatch::Get<&IVELPacketsDecodingItem::get_Index>(u"Index", 15),
    dispatch::Method<&IVELPacketsDecodingItem::EmunDecodingItem>(u"EmunDecodingItem", 16),
    dispatch::LendingMethod<&IVELPacketsDecodingItem::CreateGroup>(u"CreateGroup", 17),
    dispatch::LendingMethod<&IVELPacketsDecodingItem::CreateDecodingItem>(u"CreateDecodingItem", 18),
    dispatch::Method<&IVELPacketsDecodingItem::AppendSummary>(u"AppendSummary", 19),
    dispatch::Method<&IVELPacketsDecodingItem::GetText>(u"GetText", 20),
};

}  // namespace

std::span<const dispatch::Member> ItemDispatch::Members() { return kItemMembers; }

// ---- Texts ----------------------------------------------------------------

ItemTexts::~ItemTexts() {
  if (!onHeap_) return;
  for (uint32_t f = 0; f < kFieldCount; ++f)
    if (onHeap_ & (1u << f)) std::free(const_cast<char16_t*>(slots_[f].data));
}

void ItemTexts::Set(Field f, std::u16string_view text) {
  if (!text.empty() && string_data::IsTableText(text.data())) return Point(f, text);
  const auto size = static_cast<uint32_t>(text.size());
  if (size) std::memcpy(Place(f, size), text.data(), size * sizeof(char16_t));
  else Place(f, 0);
}

void ItemTexts::Point(Field f, std::u16string_view lasting) {
  Place(f, 0);
  slots_[f] = Slot{lasting.data(), static_cast<uint32_t>(lasting.size())};
}

char16_t* ItemTexts::Place(Field f, uint32_t size) {
  Slot& slot = slots_[f];
  const auto bit = static_cast<uint8_t>(1u << f);
  if (onHeap_ & bit) {
    std::free(const_cast<char16_t*>(slot.data));
    onHeap_ &= static_cast<uint8_t>(~bit);
  }
  slot = Slot{};
  if (size == 0) return nullptr;
  char16_t* place;
  if (size <= kInlineUnits - used_) {
    place = inline_ + used_;
    used_ += size;
  } else {
    place = static_cast<char16_t*>(std::malloc(size * sizeof(char16_t)));
    if (!place) throw OutOfMemory{};
    onHeap_ |= bit;
  }
  slot = Slot{place, size};
  return place;
}

namespace {

// A children array grows by half again of its capacity (at least one), in
// place while its block has room: blocks hold 4, 8, 16, ... pointers, so most
// growth steps of a group copy nothing. Each thread keeps the blocks it frees
// by size and hands them out again, so a packet's children cost no heap
// traffic once the first packets have been decoded.
constexpr uint32_t kBlockClasses = 12;  // blocks of 4 to 8,192 pointers are kept
constexpr uint32_t kBlocksPerClass = 64;

constexpr uint32_t NextCapacity(uint32_t capacity) { return capacity + std::max<uint32_t>(capacity / 2, 1); }
constexpr uint32_t BlockSize(uint32_t capacity) { return std::max<uint32_t>(4, std::bit_ceil(capacity)); }
// The class of a block size (kBlockClasses for blocks too large to keep).
constexpr uint32_t BlockClass(uint32_t blockSize) {
  return std::min<uint32_t>(static_cast<uint32_t>(std::countr_zero(blockSize)) - 2, kBlockClasses);
}

struct BlockCache {
  CVELPacketsDecodingItem** blocks[kBlockClasses][kBlocksPerClass];
  uint32_t counts[kBlockClasses];
};

// The cache is a heap block of its own thread (thread storage stays small: a
// library loaded at run time gets its thread storage from a small reserve),
// reached through a pointer in the static block.
VEL_HOT_THREAD_LOCAL BlockCache* t_blocks = nullptr;
VEL_HOT_THREAD_LOCAL bool t_blocksGone = false;

struct BlockCacheOwner {
  std::unique_ptr<BlockCache> cache = std::make_unique<BlockCache>();
  ~BlockCacheOwner() {
    for (uint32_t c = 0; c < kBlockClasses; ++c)
      while (cache->counts[c]) std::free(cache->blocks[c][--cache->counts[c]]);
    t_blocks = nullptr;
    t_blocksGone = true;  // the thread is ending: plain heap blocks from now on
  }
};

BlockCache* ThreadBlocks() {
  if (t_blocks || t_blocksGone) return t_blocks;
  thread_local BlockCacheOwner owner;
  return t_blocks = owner.cache.get();
}

CVELPacketsDecodingItem** TakeBlock(uint32_t blockSize) {
  uint32_t c = BlockClass(blockSize);
  BlockCache* cache = c < kBlockClasses ? ThreadBlocks() : nullptr;
  if (cache && cache->counts[c]) return cache->blocks[c][--cache->counts[c]];
  auto* block = static_cast<CVELPacketsDecodingItem**>(std::malloc(blockSize * sizeof(CVELPacketsDecodingItem*)));
  if (!block) throw OutOfMemory{};
  return block;
}

void GiveBlock(CVELPacketsDecodingItem** block, uint32_t blockSize) {
  uint32_t c = BlockClass(blockSize);
  BlockCache* cache = c < kBlockClasses ? ThreadBlocks() : nullptr;
  if (cache && cache->counts[c] < kBlocksPerClass) {
    cache->blocks[c][cache->counts[c]++] = block;
    return;
  }
  std::free(block);
}

}  // namespace

ChildList::~ChildList() {
  if (items_) GiveBlock(items_, BlockSize(capacity_));
}

void ChildList::Grow() {
  uint32_t grown = NextCapacity(capacity_);
  if (!items_ || grown > BlockSize(capacity_)) {
    CVELPacketsDecodingItem** items = TakeBlock(BlockSize(grown));
    if (size_) std::memcpy(items, items_, size_ * sizeof(*items_));
    if (items_) GiveBlock(items_, BlockSize(capacity_));
    items_ = items;
  }
  capacity_ = grown;
}

// ---- Pooled storage ---------------------------------------------------------

void* CVELPacketsDecodingItem::operator new(size_t size) {
  void* storage = operator new(size, std::nothrow);
  if (!storage) throw std::bad_alloc();
  return storage;
}

void* CVELPacketsDecodingItem::operator new(size_t size, const std::nothrow_t&) noexcept {
  if (size != sizeof(PooledItem)) return nullptr;
  return ItemPool().TakeObject();
}

void CVELPacketsDecodingItem::operator delete(void* storage) { ItemPool().ReturnObject(storage); }

CVELPacketsDecodingItem* CVELPacketsDecodingItem::New() {
  auto* item = new (std::nothrow) PooledItem();
  if (item) item->AddFirstReference();
  return item;
}

// Every item is a PooledItem, a final class: its Release and destructor are
// called directly, with the pool's and the lock count's steps inlined.
[[gnu::flatten]] void CVELPacketsDecodingItem::ReleaseItem(CVELPacketsDecodingItem* item) {
  static_cast<PooledItem*>(item)->Release();
}

CVELPacketsDecodingItem::~CVELPacketsDecodingItem() {
  for (CVELPacketsDecodingItem* child : children_) ReleaseItem(child);
  children_.clear();
}

// ---- Tree building ----------------------------------------------------------

// Flattened: taking the storage, naming and linking the child are one piece of code.
[[gnu::flatten]] CVELPacketsDecodingItem* CVELPacketsDecodingItem::AddChild(std::u16string_view name, bool group) {
  CVELPacketsDecodingItem* child = New();
  if (!child) return nullptr;
  child->parent_ = this;
  child->root_ = root_;
  if (group) child->isGroup = 1;
  child->SetName(name);
  child->info_ = info_;
  if (info_) info_->TestSelection(child);
  children_.push_back(child);
  return child;
}

void CVELPacketsDecodingItem::SetName(std::u16string_view name) {
  texts_.Set(ItemTexts::kName, name);
  if (CVELPacketsDecodingInfo* info = root_->info_) info->RaiseMaxItemLen(static_cast<uint32_t>(name.size()));
}

void CVELPacketsDecodingItem::SetLastingName(std::u16string_view name) {
  texts_.Point(ItemTexts::kName, name);
  if (CVELPacketsDecodingInfo* info = root_->info_) info->RaiseMaxItemLen(static_cast<uint32_t>(name.size()));
}

void CVELPacketsDecodingItem::SetValue(std::u16string_view value) {
  texts_.Set(ItemTexts::kValue, value);
  root_->maxValueLen = std::max(root_->maxValueLen, static_cast<uint32_t>(value.size()));
}

char16_t* CVELPacketsDecodingItem::PlaceValue(uint32_t size) {
  root_->maxValueLen = std::max(root_->maxValueLen, size);
  return texts_.Place(ItemTexts::kValue, size);
}

void CVELPacketsDecodingItem::AppendSummaryText(std::u16string_view text) {
  if (Summary().empty()) {
    SetSummary(text);
    return;
  }
  TextBuffer joined;
  joined.append(Summary());
  joined.append(u", ");
  joined.append(text);
  SetSummary(joined.view());
}

void CVELPacketsDecodingItem::BuildIdentity(TextBuffer& out) const {
  out.clear();
  for (const CVELPacketsDecodingItem* item = this; item; item = item->parent_) out.append(item->Name());
}

bool CVELPacketsDecodingItem::IdentityEquals(std::u16string_view identity) const {
  size_t offset = 0;
  for (const CVELPacketsDecodingItem* item = this; item; item = item->parent_) {
    std::u16string_view name = item->Name();
    if (identity.substr(offset, name.size()) != name) return false;
    offset += name.size();
  }
  return offset == identity.size();
}

// ---- Rendering --------------------------------------------------------------

namespace {

// The columns of a width (printf's "%-*s": a negative width counts as its magnitude).
size_t Columns(uint32_t width) {
  auto signedWidth = static_cast<int32_t>(width);
  return signedWidth == INT32_MIN ? 0 : signedWidth < 0 ? 0u - width : width;
}

char16_t* Put(char16_t* to, std::u16string_view text) {
  std::char_traits<char16_t>::copy(to, text.data(), text.size());
  return to + text.size();
}

// count blanks, eight units a store. The stores may run up to seven units
// past count: each line's room holds at least the extent's units beyond its
// last blanks, and what follows the blanks overwrites the rest.
char16_t* PutBlanks(char16_t* to, size_t count) {
  static constexpr char16_t kEight[8] = {u' ', u' ', u' ', u' ', u' ', u' ', u' ', u' '};
  for (size_t i = 0; i < count; i += 8) std::memcpy(to + i, kEight, sizeof kEight);
  return to + count;
}

// A text left-aligned in a column.
char16_t* PutColumn(char16_t* to, std::u16string_view text, size_t columns) {
  to = Put(to, text);
  return text.size() >= columns ? to : PutBlanks(to, columns - text.size());
}

// printf's "%d" of a 32-bit number.
char16_t* PutSigned(char16_t* to, uint32_t number) {
  auto value = static_cast<int32_t>(number);
  if (value < 0) *to++ = u'-';
  return PutDecimal(to, value < 0 ? 0u - number : number);
}

// " [%d / %d-%d] " at its longest: three signed 32-bit numbers.
constexpr size_t kExtentUnits = 2 + 11 + 3 + 11 + 1 + 11 + 2;

}  // namespace

// The line is "%-*s%-*s [%d / %d-%d] %s\r\n" of name, value, length, start,
// end and comment, or "%-*s%-*s %s\r\n" without a length; written directly
// into room made once for the line at its longest.
void CVELPacketsDecodingItem::Render(TextBuffer& out, uint32_t indent, uint32_t nameWidth, uint32_t valueWidth,
                                     bool recurse) const {
  const std::u16string_view name = Name(), value = Value(), comment = Comment();
  const size_t nameColumns = Columns(nameWidth), valueColumns = Columns(valueWidth);
  const size_t room = indent + std::max(name.size(), nameColumns) + std::max(value.size(), valueColumns) +
                      kExtentUnits + comment.size() + 2;
  char16_t* const start = out.Extend(room);
  char16_t* to = PutBlanks(start, indent);
  to = PutColumn(to, name, nameColumns);
  to = PutColumn(to, value, valueColumns);
  if (length != 0) {
    to = Put(to, u" [");
    to = PutSigned(to, length);
    to = Put(to, u" / ");
    to = PutSigned(to, startPos);
    *to++ = u'-';
    to = PutSigned(to, startPos + length);
    to = Put(to, u"] ");
  } else {
    *to++ = u' ';
  }
  to = Put(to, comment);
  to = Put(to, u"\r\n");
  out.Shrink(room - static_cast<size_t>(to - start));
  if (!recurse) return;
  for (const CVELPacketsDecodingItem* child : children_) child->Render(out, indent + 1, nameWidth, valueWidth, true);
}

// ---- IVELPacketsDecodingItem --------------------------------------------------

HRESULT CVELPacketsDecodingItem::get_StartPos(uint32_t* pVal) { return ReadOut(startPos, pVal); }
HRESULT CVELPacketsDecodingItem::put_StartPos(uint32_t v) { return startPos = v, S_OK; }
HRESULT CVELPacketsDecodingItem::get_Length(uint32_t* pVal) { return ReadOut(length, pVal); }
HRESULT CVELPacketsDecodingItem::put_Length(uint32_t v) { return length = v, S_OK; }
HRESULT CVELPacketsDecodingItem::get_Name(BSTR* pVal) { return CopyOut(Name(), pVal); }
HRESULT CVELPacketsDecodingItem::put_Name(BSTR v) { return SetName(BstrView(v)), S_OK; }
HRESULT CVELPacketsDecodingItem::get_Description(BSTR* pVal) {
  return CopyOut(texts_.Get(ItemTexts::kDescription), pVal);
}
HRESULT CVELPacketsDecodingItem::put_Description(BSTR v) { return SetDescription(BstrView(v)), S_OK; }
HRESULT CVELPacketsDecodingItem::get_Comment(BSTR* pVal) { return CopyOut(Comment(), pVal); }
HRESULT CVELPacketsDecodingItem::put_Comment(BSTR v) { return SetComment(BstrView(v)), S_OK; }
HRESULT CVELPacketsDecodingItem::get_Value(BSTR* pVal) { return CopyOut(Value(), pVal); }
HRESULT CVELPacketsDecodingItem::put_Value(BSTR v) { return SetValue(BstrView(v)), S_OK; }
HRESULT CVELPacketsDecodingItem::get_IsGroup(int32_t* pVal) { return ReadOut(isGroup, pVal); }
HRESULT CVELPacketsDecodingItem::put_IsGroup(int32_t v) { return isGroup = v, S_OK; }
HRESULT CVELPacketsDecodingItem::get_Protocol(uint32_t* pVal) { return ReadOut(protocol, pVal); }
HRESULT CVELPacketsDecodingItem::put_Protocol(uint32_t v) { return protocol = v, S_OK; }
HRESULT CVELPacketsDecodingItem::get_Type(uint32_t* pVal) { return ReadOut(type, pVal); }
HRESULT CVELPacketsDecodingItem::put_Type(uint32_t v) { return type = v, S_OK; }
HRESULT CVELPacketsDecodingItem::get_MaxValueLen(uint32_t* pVal) { return ReadOut(maxValueLen, pVal); }
HRESULT CVELPacketsDecodingItem::put_MaxValueLen(uint32_t v) { return maxValueLen = v, S_OK; }
HRESULT CVELPacketsDecodingItem::get_Cookie(uint32_t* pVal) { return ReadOut(cookie, pVal); }
HRESULT CVELPacketsDecodingItem::put_Cookie(uint32_t v) { return cookie = v, S_OK; }
HRESULT CVELPacketsDecodingItem::get_Severity(uint32_t* pVal) { return ReadOut(severity, pVal); }
HRESULT CVELPacketsDecodingItem::put_Severity(uint32_t v) { return severity = v, S_OK; }
HRESULT CVELPacketsDecodingItem::get_Summary(BSTR* pVal) { return CopyOut(Summary(), pVal); }
HRESULT CVELPacketsDecodingItem::put_Summary(BSTR v) { return SetSummary(BstrView(v)), S_OK; }
HRESULT CVELPacketsDecodingItem::put_Index(uint32_t v) { return index = v, S_OK; }
HRESULT CVELPacketsDecodingItem::get_Index(uint32_t* pVal) { return ReadOut(index, pVal); }

HRESULT CVELPacketsDecodingItem::get_ID(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  TextBuffer identity;
  BuildIdentity(identity);
  return CopyOut(identity.view(), pVal);
}

HRESULT CVELPacketsDecodingItem::EmunDecodingItem(IIDECollection** ppCollection) {
  if (!ppCollection) return E_POINTER;
  return MakeCollectionOf(std::vector<CVELPacketsDecodingItem*>(children_.begin(), children_.end()), ppCollection);
}

HRESULT CVELPacketsDecodingItem::CreateChild(BSTR name, bool group, IVELPacketsDecodingItem** ppItem) {
  if (!ppItem) return E_POINTER;
  *ppItem = AddChild(BstrView(name), group);
  return *ppItem ? S_OK : E_OUTOFMEMORY;
}

HRESULT CVELPacketsDecodingItem::CreateGroup(BSTR bstrName, IVELPacketsDecodingItem** ppItem) {
  return CreateChild(bstrName, true, ppItem);
}

HRESULT CVELPacketsDecodingItem::CreateDecodingItem(BSTR bstrName, IVELPacketsDecodingItem** ppItem) {
  return CreateChild(bstrName, false, ppItem);
}

HRESULT CVELPacketsDecodingItem::AppendSummary(BSTR text) {
  AppendSummaryText(BstrView(text));
  return S_OK;
}

HRESULT CVELPacketsDecodingItem::GetText(int32_t nNameWidth, int32_t nValueWidth, BSTR* pVal) {
  if (!pVal) return E_POINTER;
  TextBuffer line;
  Render(line, 0, EffectiveWidth(nNameWidth), EffectiveWidth(nValueWidth), false);
  return CopyOut(line.view(), pVal);
}

}  // namespace vel
