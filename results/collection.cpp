// Snapshot collections: each member is held as a dispatch reference in a
// variant; the enumerator works on its own copy of those variants.
#include "results/collection.h"

namespace vel {

namespace {

class CVariantEnumerator : public IEnumVARIANT {
 public:
  using Interfaces = std::tuple<IEnumVARIANT>;

  void Assign(std::vector<Variant> values, size_t position) {
    values_ = std::move(values);
    position_ = position;
  }

  HRESULT Next(uint32_t celt, VARIANT* rgVar, uint32_t* pCeltFetched) override {
    if (!rgVar && celt) return E_POINTER;
    uint32_t fetched = 0;
    for (; fetched < celt && position_ < values_.size(); ++fetched, ++position_) {
      VariantInit(&rgVar[fetched]);
      VariantCopy(&rgVar[fetched], &values_[position_]);
    }
    if (pCeltFetched) *pCeltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
  }
  HRESULT Skip(uint32_t celt) override {
    size_t left = values_.size() - position_;
    position_ += std::min<size_t>(celt, left);
    return celt <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumVARIANT** ppEnum) override {
    if (!ppEnum) return E_POINTER;
    HRESULT hr = CComObject<CVariantEnumerator>::CreateInstance(IEnumVARIANT::kIID, reinterpret_cast<void**>(ppEnum));
    if (SUCCEEDED(hr)) static_cast<CVariantEnumerator*>(*ppEnum)->Assign(values_, position_);
    return hr;
  }

 protected:
  virtual ~CVariantEnumerator() = default;

 private:
  std::vector<Variant> values_;
  size_t position_ = 0;
};

constexpr dispatch::Member kCollectionMembers[] = {
    dispatch::Get<&IIDECollection::get_Count>(u"Count", 1),
    dispatch::Get<&IIDECollection::get_Item>(u"Item", DISPID_VALUE),
    dispatch::Get<&IIDECollection::get__NewEnum>(u"_NewEnum", DISPID_NEWENUM),
};

}  // namespace

std::span<const dispatch::Member> CollectionDispatch::Members() { return kCollectionMembers; }

size_t Fnv1aHash::operator()(const std::u16string& key) const {
  uint32_t hash = 0x811C9DC5u;
  for (char16_t unit : key) {
    for (uint8_t byte : {static_cast<uint8_t>(unit & 0xFF), static_cast<uint8_t>(unit >> 8)}) {
      hash ^= byte;
      hash *= 16777619u;
    }
  }
  return hash;
}

void CPAECollection::Fill(const std::vector<IUnknown*>& members) {
  items_.clear();
  items_.reserve(members.size() + 1);
  for (IUnknown* member : members) {
    if (!member) continue;
    Variant slot;
    if (SUCCEEDED(member->QueryInterface(IDispatch::kIID, reinterpret_cast<void**>(&slot.pdispVal))))
      slot.vt = VT_DISPATCH;
    items_.push_back(std::move(slot));
  }
  count_ = static_cast<int32_t>(items_.size());
  names_.clear();
}

HRESULT CPAECollection::get_Count(int32_t* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = count_;
  return S_OK;
}

HRESULT CPAECollection::CopySlot(int64_t slot, VARIANT* out) const {
  if (slot < 0 || slot >= count_) return E_INVALIDARG;
  return VariantCopy(out, &items_[static_cast<size_t>(slot)]);
}

HRESULT CPAECollection::get_Item(VARIANT Index, VARIANT* pRetVal) {
  if (!pRetVal) return E_POINTER;
  VariantInit(pRetVal);
  pRetVal->vt = VT_DISPATCH;
  if (Index.vt != VT_BSTR || names_.empty()) {
    Variant number;
    if (SUCCEEDED(VariantChangeType(&number, &Index, 0, VT_I4))) return CopySlot(int64_t{number.lVal} - 1, pRetVal);
  }
  Variant text;
  HRESULT hr = VariantChangeType(&text, &Index, 0, VT_BSTR);
  if (FAILED(hr)) return hr;
  auto found = names_.find(std::u16string(BstrView(text.bstrVal)));
  if (found == names_.end()) return E_FAIL;
  return CopySlot(found->second, pRetVal);
}

HRESULT CPAECollection::get__NewEnum(IUnknown** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  IEnumVARIANT* enumerator = nullptr;
  HRESULT hr =
      CComObject<CVariantEnumerator>::CreateInstance(IEnumVARIANT::kIID, reinterpret_cast<void**>(&enumerator));
  if (FAILED(hr)) return hr;
  static_cast<CVariantEnumerator*>(enumerator)->Assign(items_, 0);
  *ppEnum = enumerator;
  return S_OK;
}

HRESULT MakeCollection(const std::vector<IUnknown*>& members, IIDECollection** ppCollection) {
  if (!ppCollection) return E_POINTER;
  HRESULT hr = CComObject<CPAECollection>::CreateInstance(IIDECollection::kIID,
                                                          reinterpret_cast<void**>(ppCollection));
  if (SUCCEEDED(hr)) static_cast<CPAECollection*>(*ppCollection)->Fill(members);
  return hr;
}

}  // namespace vel
