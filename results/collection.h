// Read-only snapshot collections of items or modules, and their enumerator.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "vel/interfaces.h"
#include "vel/object.h"

namespace vel {

struct CollectionDispatch {
  static std::span<const dispatch::Member> Members();
};

// FNV-1a over the UTF-16 code units taken as bytes.
struct Fnv1aHash {
  size_t operator()(const std::u16string& key) const;
};

class CPAECollection : public DispatchImpl<IIDECollection, CollectionDispatch> {
 public:
  using Interfaces = std::tuple<IIDECollection>;

  // Puts a dispatch reference to every non-null member into the collection.
  void Fill(const std::vector<IUnknown*>& members);

  HRESULT get_Count(int32_t* pVal) override;
  HRESULT get_Item(VARIANT Index, VARIANT* pRetVal) override;
  HRESULT get__NewEnum(IUnknown** ppEnum) override;

 protected:
  CPAECollection() = default;
  virtual ~CPAECollection() = default;

 private:
  HRESULT CopySlot(int64_t slot, VARIANT* out) const;

  std::vector<Variant> items_;
  int32_t count_ = 0;
  std::unordered_map<std::u16string, int32_t, Fnv1aHash> names_;
};

// Makes a collection of members in order; null members are left out.
HRESULT MakeCollection(const std::vector<IUnknown*>& members, IIDECollection** ppCollection);

template <class T>
HRESULT MakeCollectionOf(const std::vector<T*>& members, IIDECollection** ppCollection) {
  std::vector<IUnknown*> unknowns(members.begin(), members.end());
  return MakeCollection(unknowns, ppCollection);
}

}  // namespace vel
