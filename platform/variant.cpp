// Variant values: clearing, copying with reference counting, and the
// integer/string conversions that late-bound callers rely on.
#include <charconv>
#include <cstring>
#include <string>

#include "vel/platform.h"

namespace vel {

namespace {

bool IsInteger(uint16_t vt) {
  switch (vt) {
    case VT_I2: case VT_I4: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8: case VT_BOOL:
      return true;
    default:
      return false;
  }
}

// Signed view of any integer variant; unsigned 64-bit values keep their bits.
int64_t IntegerOf(const VARIANT& v) {
  switch (v.vt) {
    case VT_I1: return static_cast<int8_t>(v.bVal);
    case VT_UI1: return v.bVal;
    case VT_I2: case VT_BOOL: return v.iVal;
    case VT_UI2: return v.uiVal;
    case VT_I4: return v.lVal;
    case VT_UI4: return v.ulVal;
    default: return v.llVal;
  }
}

bool ParseInteger(std::u16string_view text, int64_t* out) {
  std::string narrow;
  for (char16_t c : text) {
    if (c > 127) return false;
    narrow.push_back(static_cast<char>(c));
  }
  size_t start = narrow.find_first_not_of(' ');
  size_t end = narrow.find_last_not_of(' ');
  if (start == std::string::npos) return false;
  const char* first = narrow.data() + start;
  const char* last = narrow.data() + end + 1;
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, last, *out);
  return ec == std::errc() && ptr == last;
}

void SetInteger(VARIANT* dst, uint16_t vt, int64_t value) {
  dst->vt = vt;
  dst->ullVal = 0;
  switch (vt) {
    case VT_I4: dst->lVal = static_cast<int32_t>(value); break;
    case VT_UI4: dst->ulVal = static_cast<uint32_t>(value); break;
    case VT_I2: case VT_BOOL: dst->iVal = static_cast<int16_t>(value); break;
    case VT_UI2: dst->uiVal = static_cast<uint16_t>(value); break;
    case VT_I1: case VT_UI1: dst->bVal = static_cast<uint8_t>(value); break;
    default: dst->llVal = value; break;
  }
}

}  // namespace

void VariantInit(VARIANT* v) { std::memset(static_cast<void*>(v), 0, sizeof(VARIANT)); }

HRESULT VariantClear(VARIANT* v) {
  if (!v) return E_POINTER;
  if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
  if ((v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN) && v->punkVal) v->punkVal->Release();
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dst, const VARIANT* src) {
  if (!dst || !src) return E_POINTER;
  if (dst == src) return S_OK;
  VARIANT copy = *src;
  if (src->vt == VT_BSTR && src->bstrVal) {
    copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
    if (!copy.bstrVal) return E_OUTOFMEMORY;
  }
  if ((src->vt == VT_DISPATCH || src->vt == VT_UNKNOWN) && src->punkVal) src->punkVal->AddRef();
  VariantClear(dst);
  *dst = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* dst, const VARIANT* src, uint16_t, uint16_t vt) {
  if (!dst || !src) return E_POINTER;
  if (src->vt == vt) return VariantCopy(dst, src);
  Variant result;
  if (vt == VT_BSTR) {
    if (!IsInteger(src->vt)) return DISP_E_TYPEMISMATCH;
    std::string digits = src->vt == VT_UI8 ? std::to_string(src->ullVal) : std::to_string(IntegerOf(*src));
    result.vt = VT_BSTR;
    result.bstrVal = SysAllocStringLen(std::u16string(digits.begin(), digits.end()).c_str(),
                                       static_cast<uint32_t>(digits.size()));
    if (!result.bstrVal) return E_OUTOFMEMORY;
  } else if (IsInteger(vt)) {
    int64_t value = 0;
    if (IsInteger(src->vt)) value = IntegerOf(*src);
    else if (src->vt != VT_BSTR || !ParseInteger(BstrView(src->bstrVal), &value)) return DISP_E_TYPEMISMATCH;
    SetInteger(&result, vt, value);
  } else {
    return DISP_E_TYPEMISMATCH;
  }
  VariantClear(dst);
  std::memcpy(static_cast<void*>(dst), static_cast<VARIANT*>(&result), sizeof(VARIANT));
  VariantInit(&result);
  return S_OK;
}

}  // namespace vel
