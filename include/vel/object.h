// Building blocks for component objects: the reference-counted concrete
// object, interface queries from a list of interfaces, and late binding from a
// table of members whose adapters are generated from the member signatures.
#pragma once

#include <atomic>
#include <cstring>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

#include "vel/platform.h"

namespace vel {

// ---- Reference counting and interface queries ------------------------------

// The concrete object: adds the atomic reference count, the module lock and
// QueryInterface to a class T that lists its interfaces in `Interfaces`
// (a std::tuple of interface types; IUnknown and IDispatch answer through the first).
template <class T>
class CComObject final : public T {
 public:
  template <class... A>
  explicit CComObject(A&&... args) : T(std::forward<A>(args)...) {
    ModuleLock();
  }
  ~CComObject() override { ModuleUnlock(); }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = FindInterface(riid, static_cast<typename T::Interfaces*>(nullptr));
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  // The first reference of an object no other thread can see yet: no interlocked step.
  void AddFirstReference() { refs_.store(1, std::memory_order_relaxed); }
  uint32_t Release() override {
    // The last reference needs no interlocked step: whoever holds it is the
    // only one who may still touch the object.
    if (refs_.load(std::memory_order_acquire) == 1) {
      delete this;
      return 0;
    }
    uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  // Creates the object with no reference and asks it for riid.
  template <class... A>
  static HRESULT CreateInstance(REFIID riid, void** ppv, A&&... args) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    CComObject* object = new (std::nothrow) CComObject(std::forward<A>(args)...);
    if (!object) return E_OUTOFMEMORY;
    object->AddRef();
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }

 private:
  template <class... I>
  void* FindInterface(REFIID riid, std::tuple<I...>*) {
    using First = std::tuple_element_t<0, std::tuple<I...>>;
    if (riid == IUnknown::kIID || riid == IDispatch::kIID) return static_cast<First*>(this);
    void* found = nullptr;
    ((found = (!found && riid == IidOf<I>) ? static_cast<I*>(this) : found), ...);
    return found;
  }

  std::atomic<uint32_t> refs_{0};
};

// ---- Late binding -------------------------------------------------------

namespace dispatch {

// An input argument converted from a VARIANT, holding what it needs to free.
template <class T, class = void>
struct InArg;

template <class T>
struct InArg<T, std::enable_if_t<std::is_integral_v<T>>> {
  T value{};
  HRESULT From(const VARIANT& v) {
    Variant out;
    uint16_t vt = std::is_signed_v<T> ? (sizeof(T) > 4 ? VT_I8 : VT_I4) : (sizeof(T) > 4 ? VT_UI8 : VT_UI4);
    HRESULT hr = VariantChangeType(&out, &v, 0, vt);
    if (FAILED(hr)) return hr;
    value = static_cast<T>(sizeof(T) > 4 ? out.ullVal : out.ulVal);
    return S_OK;
  }
  T Get() { return value; }
};

template <>
struct InArg<BSTR> {
  Variant text;
  HRESULT From(const VARIANT& v) { return VariantChangeType(&text, &v, 0, VT_BSTR); }
  BSTR Get() { return text.bstrVal; }
};

// Byte pointers travel as 64-bit integers.
template <>
struct InArg<uint8_t*> {
  uint64_t address = 0;
  HRESULT From(const VARIANT& v) {
    InArg<uint64_t> n;
    HRESULT hr = n.From(v);
    address = n.value;
    return hr;
  }
  uint8_t* Get() { return reinterpret_cast<uint8_t*>(address); }
};

template <>
struct InArg<VARIANT> {
  const VARIANT* value = nullptr;
  HRESULT From(const VARIANT& v) {
    value = &v;
    return S_OK;
  }
  VARIANT Get() { return *value; }
};

template <class I>
struct InArg<I*, std::enable_if_t<std::is_base_of_v<IUnknown, I>>> {
  ComPtr<I> object;
  HRESULT From(const VARIANT& v) {
    if (v.vt == VT_EMPTY || v.vt == VT_NULL) return S_OK;
    if (v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
    if (!v.punkVal) return S_OK;
    return v.punkVal->QueryInterface(IidOf<I>, reinterpret_cast<void**>(&object));
  }
  I* Get() { return object.get(); }
};

// The trailing output argument, turned into the call's result.
template <class T>
struct OutArg;

template <class T>
  requires std::is_integral_v<T>
struct OutArg<T*> {
  T value{};
  T* Ptr() { return &value; }
  void To(VARIANT* r) {
    if constexpr (sizeof(T) > 4) {
      r->vt = std::is_signed_v<T> ? VT_I8 : VT_UI8;
      r->ullVal = static_cast<uint64_t>(value);
    } else {
      r->vt = std::is_signed_v<T> ? VT_I4 : VT_UI4;
      r->ulVal = static_cast<uint32_t>(value);
    }
  }
};

template <>
struct OutArg<BSTR*> {
  Bstr value;
  BSTR* Ptr() { return &value; }
  void To(VARIANT* r) {
    r->vt = VT_BSTR;
    r->bstrVal = value.Detach();
  }
};

template <>
struct OutArg<VARIANT*> {
  Variant value;
  VARIANT* Ptr() { return &value; }
  void To(VARIANT* r) {
    std::memcpy(static_cast<void*>(r), static_cast<VARIANT*>(&value), sizeof(VARIANT));
    VariantInit(&value);
  }
};

template <class I>
struct OutArg<I**> {
  I* value = nullptr;
  I** Ptr() { return &value; }
  void To(VARIANT* r) {
    if constexpr (std::is_same_v<I, IUnknown>) {
      r->vt = VT_UNKNOWN;
      r->punkVal = std::exchange(value, nullptr);
    } else {
      r->vt = VT_DISPATCH;
      r->pdispVal = nullptr;
      if (value) value->QueryInterface(IDispatch::kIID, reinterpret_cast<void**>(&r->pdispVal));
    }
  }
  // The operation lent the pointer (the tree keeps the reference): nothing to release.
  void Forget() { value = nullptr; }
  ~OutArg() {
    if (value) value->Release();
  }
};

template <class T>
concept OutParam = std::is_pointer_v<T> && !std::is_same_v<T, uint8_t*> && !std::is_same_v<T, BSTR> &&
                   !std::is_base_of_v<IUnknown, std::remove_pointer_t<T>>;

template <class T>
concept Forgettable = requires(T t) { t.Forget(); };

// Calls Fn on self with the arguments of a late-bound call. With kLent the
// interface the operation returns is lent, not given: the result variant takes
// its own reference.
template <auto Fn, bool kLent = false>
struct Adapter;

template <class C, class... A, HRESULT (C::*Fn)(A...), bool kLent>
struct Adapter<Fn, kLent> {
  static constexpr size_t kCount = sizeof...(A);
  static constexpr bool kHasOut = [] {
    if constexpr (kCount == 0)
      return false;
    else
      return OutParam<std::tuple_element_t<kCount - 1, std::tuple<A...>>>;
  }();
  static constexpr size_t kInputs = kHasOut ? kCount - 1 : kCount;

  static HRESULT Call(void* self, DISPPARAMS* params, VARIANT* result) {
    uint32_t given = params ? params->cArgs : 0;
    if (given != kInputs) return DISP_E_BADPARAMCOUNT;
    return CallWith(static_cast<C*>(self), params, result, std::make_index_sequence<kInputs>());
  }

 private:
  template <size_t... In>
  static HRESULT CallWith(C* self, DISPPARAMS* params, VARIANT* result, std::index_sequence<In...>) {
    std::tuple<InArg<std::tuple_element_t<In, std::tuple<A...>>>...> inputs;
    HRESULT hr = S_OK;
    // Arguments arrive last first.
    ((hr = SUCCEEDED(hr) ? std::get<In>(inputs).From(params->rgvarg[kInputs - 1 - In]) : hr), ...);
    if (FAILED(hr)) return hr;
    if constexpr (kHasOut) {
      OutArg<std::tuple_element_t<kCount - 1, std::tuple<A...>>> out;
      hr = (self->*Fn)(std::get<In>(inputs).Get()..., out.Ptr());
      if (SUCCEEDED(hr) && result) out.To(result);
      if constexpr (kLent && Forgettable<decltype(out)>) out.Forget();
      return hr;
    } else {
      return (self->*Fn)(std::get<In>(inputs).Get()...);
    }
  }
};

struct Member {
  const char16_t* name;
  int32_t dispid;
  uint16_t kind;
  HRESULT (*call)(void* self, DISPPARAMS* params, VARIANT* result);
};

template <auto Fn>
constexpr Member Method(const char16_t* name, int32_t dispid) {
  return {name, dispid, DISPATCH_METHOD, &Adapter<Fn>::Call};
}
// A method whose interface result is lent (the create operations).
template <auto Fn>
constexpr Member LendingMethod(const char16_t* name, int32_t dispid) {
  return {name, dispid, DISPATCH_METHOD, &Adapter<Fn, true>::Call};
}
template <auto Fn>
constexpr Member Get(const char16_t* name, int32_t dispid) {
  return {name, dispid, DISPATCH_PROPERTYGET, &Adapter<Fn>::Call};
}
template <auto Fn>
constexpr Member Put(const char16_t* name, int32_t dispid) {
  return {name, dispid, DISPATCH_PROPERTYPUT, &Adapter<Fn>::Call};
}

VEL_API HRESULT IdsOfNames(std::span<const Member> members, const char16_t** names, uint32_t count, int32_t* ids);
VEL_API HRESULT InvokeMember(std::span<const Member> members, void* self, int32_t dispid, uint16_t flags,
                             DISPPARAMS* params, VARIANT* result);

}  // namespace dispatch

// Implements IDispatch for interface I from the member table of D, a type
// with `static std::span<const dispatch::Member> Members()`.
template <class I, class D>
class DispatchImpl : public I {
 public:
  HRESULT GetTypeInfoCount(uint32_t* pctinfo) override {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(uint32_t, uint32_t, void** ppTInfo) override {
    if (ppTInfo) *ppTInfo = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, const char16_t** names, uint32_t count, uint32_t, int32_t* ids) override {
    return dispatch::IdsOfNames(D::Members(), names, count, ids);
  }
  HRESULT Invoke(int32_t dispid, REFIID, uint32_t, uint16_t flags, DISPPARAMS* params, VARIANT* result, void*,
                 uint32_t*) override {
    return dispatch::InvokeMember(D::Members(), static_cast<I*>(this), dispid, flags, params, result);
  }
};

}  // namespace vel
