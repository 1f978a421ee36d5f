// The component layer every interface of the engine stands on: result codes,
// GUIDs, length-prefixed UTF-16 strings, variants, reference-counted
// interfaces with late binding, and class factories.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#define VEL_API __attribute__((visibility("default")))

namespace vel {

// ---- Result codes -------------------------------------------------------

using HRESULT = int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Thrown by string handling when memory runs out; interface operations let it
// propagate, as their contract says.
struct OutOfMemory {
  HRESULT code = E_OUTOFMEMORY;
};

// ---- GUIDs --------------------------------------------------------------

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

namespace detail {
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
template <class Char>
constexpr bool ParseGuidText(std::basic_string_view<Char> s, GUID& g) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (s.size() != 38 || s[0] != '{' || s[37] != '}') return false;
  constexpr int kDashes[] = {9, 14, 19, 24};
  for (int d : kDashes)
    if (s[d] != '-') return false;
  auto hex = [&](int from, int count, uint64_t& out) {
    out = 0;
    for (int i = 0; i < count; ++i) {
      auto c = s[from + i];
      int v = (c < 128) ? HexDigit(static_cast<char>(c)) : -1;
      if (v < 0) return false;
      out = out * 16 + static_cast<uint64_t>(v);
    }
    return true;
  };
  uint64_t v = 0;
  if (!hex(1, 8, v)) return false;
  g.Data1 = static_cast<uint32_t>(v);
  if (!hex(10, 4, v)) return false;
  g.Data2 = static_cast<uint16_t>(v);
  if (!hex(15, 4, v)) return false;
  g.Data3 = static_cast<uint16_t>(v);
  constexpr int kTail[] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!hex(kTail[i], 2, v)) return false;
    g.Data4[i] = static_cast<uint8_t>(v);
  }
  return true;
}
}  // namespace detail

// A GUID from its registry text at compile time: MakeGuid("{...}").
consteval GUID MakeGuid(std::string_view text) {
  GUID g{};
  if (!detail::ParseGuidText(text, g)) throw "malformed GUID literal";
  return g;
}

// Registry form: braces, upper-case hex, 8-4-4-4-12.
VEL_API std::string GuidToString(const GUID& guid);
VEL_API std::u16string GuidToU16String(const GUID& guid);
// Accepts the registry form in either letter case.
VEL_API bool GuidFromString(std::string_view text, GUID* guid);
VEL_API bool GuidFromString(std::u16string_view text, GUID* guid);

// ---- Length-prefixed UTF-16 strings ---------------------------------------

// A BSTR points at the first code unit; the 32-bit byte length precedes it and
// a zero terminator follows it. Null stands for the empty string. Whoever
// receives a BSTR frees it with SysFreeString.
using BSTR = char16_t*;

VEL_API BSTR SysAllocString(const char16_t* text);
VEL_API BSTR SysAllocStringLen(const char16_t* text, uint32_t length);
VEL_API void SysFreeString(BSTR text);
VEL_API uint32_t SysStringLen(BSTR text);

inline std::u16string_view BstrView(const char16_t* text) {
  return text ? std::u16string_view(text, SysStringLen(const_cast<BSTR>(text))) : std::u16string_view();
}
// Throws OutOfMemory when the string cannot be allocated.
VEL_API BSTR AllocBstr(std::u16string_view text);

// Owns one BSTR; frees it on destruction.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::u16string_view text) : text_(AllocBstr(text)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : text_(other.Detach()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != std::addressof(other)) Attach(other.Detach());
    return *this;
  }
  ~Bstr() { SysFreeString(text_); }

  BSTR* operator&() {
    Attach(nullptr);
    return &text_;
  }
  operator BSTR() const { return text_; }
  std::u16string_view view() const { return BstrView(text_); }
  BSTR Detach() {
    BSTR t = text_;
    text_ = nullptr;
    return t;
  }
  void Attach(BSTR t) {
    SysFreeString(text_);
    text_ = t;
  }

 private:
  BSTR text_ = nullptr;
};

// ---- Interfaces ---------------------------------------------------------

struct IUnknown {
  static constexpr IID kIID = MakeGuid("{00000000-0000-0000-C000-000000000046}");
  virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

enum VARTYPE : uint16_t {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_BOOL = 11,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
};

struct IDispatch;

// A tagged value for late-bound calls and collections: integers, strings and
// interface references. A VARIANT owns what it holds (the string, one
// reference); VariantClear releases it.
struct VARIANT {
  uint16_t vt;
  uint16_t reserved1, reserved2, reserved3;
  union {
    int16_t iVal;
    int32_t lVal;
    int64_t llVal;
    uint8_t bVal;
    uint16_t uiVal;
    uint32_t ulVal;
    uint64_t ullVal;
    int16_t boolVal;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
  };
};

VEL_API void VariantInit(VARIANT* v);
VEL_API HRESULT VariantClear(VARIANT* v);
VEL_API HRESULT VariantCopy(VARIANT* dst, const VARIANT* src);
// Converts between the integer types and strings (decimal text).
VEL_API HRESULT VariantChangeType(VARIANT* dst, const VARIANT* src, uint16_t flags, uint16_t vt);

// Owning VARIANT with value semantics.
class Variant : public VARIANT {
 public:
  Variant() { VariantInit(this); }
  Variant(int32_t v) : Variant() { vt = VT_I4, lVal = v; }
  Variant(uint32_t v) : Variant() { vt = VT_UI4, ulVal = v; }
  Variant(int64_t v) : Variant() { vt = VT_I8, llVal = v; }
  Variant(uint64_t v) : Variant() { vt = VT_UI8, ullVal = v; }
  Variant(std::u16string_view text) : Variant() { vt = VT_BSTR, bstrVal = AllocBstr(text); }
  Variant(const char16_t* text) : Variant(std::u16string_view(text)) {}
  explicit Variant(IDispatch* object);
  Variant(const Variant& other) : Variant() { VariantCopy(this, &other); }
  Variant& operator=(const Variant& other) {
    if (this != &other) VariantCopy(this, &other);
    return *this;
  }
  ~Variant() { VariantClear(this); }
};

enum : uint16_t {
  DISPATCH_METHOD = 1,
  DISPATCH_PROPERTYGET = 2,
  DISPATCH_PROPERTYPUT = 4,
};
inline constexpr int32_t DISPID_VALUE = 0;
inline constexpr int32_t DISPID_NEWENUM = -4;
inline constexpr int32_t DISPID_PROPERTYPUT = -3;

// Arguments of a late-bound call, last argument first (rgvarg[0] is the last).
struct DISPPARAMS {
  VARIANT* rgvarg;
  int32_t* rgdispidNamedArgs;
  uint32_t cArgs;
  uint32_t cNamedArgs;
};

struct IDispatch : IUnknown {
  static constexpr IID kIID = MakeGuid("{00020400-0000-0000-C000-000000000046}");
  virtual HRESULT GetTypeInfoCount(uint32_t* pctinfo) = 0;
  virtual HRESULT GetTypeInfo(uint32_t iTInfo, uint32_t lcid, void** ppTInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, const char16_t** rgszNames, uint32_t cNames, uint32_t lcid,
                                int32_t* rgDispId) = 0;
  virtual HRESULT Invoke(int32_t dispIdMember, REFIID riid, uint32_t lcid, uint16_t wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, void* pExcepInfo, uint32_t* puArgErr) = 0;

 protected:
  ~IDispatch() = default;
};

inline Variant::Variant(IDispatch* object) : Variant() {
  vt = VT_DISPATCH;
  pdispVal = object;
  if (object) object->AddRef();
}

// Calls a member by name through IDispatch, arguments in natural order.
// The convenience entry point for script-like hosts and tests.
VEL_API HRESULT InvokeByName(IDispatch* object, std::u16string_view name, uint16_t flags,
                             std::initializer_list<Variant> args, Variant* result);

struct IEnumVARIANT : IUnknown {
  static constexpr IID kIID = MakeGuid("{00020404-0000-0000-C000-000000000046}");
  virtual HRESULT Next(uint32_t celt, VARIANT* rgVar, uint32_t* pCeltFetched) = 0;
  virtual HRESULT Skip(uint32_t celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumVARIANT** ppEnum) = 0;

 protected:
  ~IEnumVARIANT() = default;
};

struct IClassFactory : IUnknown {
  static constexpr IID kIID = MakeGuid("{00000001-0000-0000-C000-000000000046}");
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  virtual HRESULT LockServer(int32_t fLock) = 0;

 protected:
  ~IClassFactory() = default;
};

// The interface id of an interface type.
template <class I>
inline constexpr const IID& IidOf = I::kIID;

// Smart pointer holding one reference.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() {
    if (p_) p_->Release();
  }
  static ComPtr Adopt(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Address for an output parameter; drops what is held first.
  T** operator&() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T* Detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  template <class Q>
  ComPtr<Q> As() const {
    ComPtr<Q> q;
    if (p_) p_->QueryInterface(IidOf<Q>, reinterpret_cast<void**>(&q));
    return q;
  }

 private:
  T* p_ = nullptr;
};

// ---- Module lifetime ----------------------------------------------------

// Live objects and server locks of this library; DllCanUnloadNow answers from them.
VEL_API void ModuleLock();
VEL_API void ModuleUnlock();
VEL_API long ModuleLockCount();

}  // namespace vel

// The four library entry points, with C linkage so a loader finds them by name.
extern "C" {
VEL_API vel::HRESULT DllRegisterServer();
VEL_API vel::HRESULT DllUnregisterServer();
VEL_API vel::HRESULT DllGetClassObject(const vel::CLSID* rclsid, const vel::IID* riid, void** ppv);
VEL_API vel::HRESULT DllCanUnloadNow();
}
