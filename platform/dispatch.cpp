// Late binding over member tables: names to dispatch ids, ids to calls.
#include <vector>

#include "vel/object.h"

namespace vel {

namespace {
char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// Member names match without regard to letter case, as script hosts expect.
bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}
}  // namespace

namespace dispatch {

HRESULT IdsOfNames(std::span<const Member> members, const char16_t** names, uint32_t count, int32_t* ids) {
  if (!names || !ids) return E_POINTER;
  HRESULT hr = S_OK;
  for (uint32_t i = 0; i < count; ++i) {
    ids[i] = -1;
    if (!names[i]) continue;
    for (const Member& m : members) {
      if (SameName(m.name, names[i])) {
        ids[i] = m.dispid;
        break;
      }
    }
    if (ids[i] == -1) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT InvokeMember(std::span<const Member> members, void* self, int32_t dispid, uint16_t flags,
                     DISPPARAMS* params, VARIANT* result) {
  if (result) VariantInit(result);
  for (const Member& m : members) {
    if (m.dispid != dispid) continue;
    // A property get may also be called as a method, as script hosts do.
    bool matches = (m.kind & flags) != 0 ||
                   (m.kind == DISPATCH_PROPERTYGET && (flags & DISPATCH_METHOD) != 0);
    if (matches) return m.call(self, params, result);
  }
  return DISP_E_MEMBERNOTFOUND;
}

}  // namespace dispatch

HRESULT InvokeByName(IDispatch* object, std::u16string_view name, uint16_t flags, std::initializer_list<Variant> args,
                     Variant* result) {
  if (!object) return E_POINTER;
  std::u16string ownedName(name);
  const char16_t* names[] = {ownedName.c_str()};
  int32_t dispid = 0;
  HRESULT hr = object->GetIDsOfNames(IDispatch::kIID, names, 1, 0, &dispid);
  if (FAILED(hr)) return hr;
  std::vector<VARIANT> reversed(args.size());
  size_t i = args.size();
  for (const Variant& a : args) reversed[--i] = a;  // shallow: args outlive the call
  DISPPARAMS params{reversed.data(), nullptr, static_cast<uint32_t>(reversed.size()), 0};
  Variant ignored;
  return object->Invoke(dispid, IDispatch::kIID, 0, flags, &params, result ? result : &ignored, nullptr, nullptr);
}

}  // namespace vel
