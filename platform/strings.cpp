// Length-prefixed UTF-16 strings: a 32-bit byte count, the code units, a zero.
#include <cstdlib>
#include <cstring>

#include "vel/platform.h"

namespace vel {

namespace {
constexpr size_t kPrefix = sizeof(uint32_t);

uint32_t* PrefixOf(BSTR text) { return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(text) - kPrefix); }
}  // namespace

BSTR SysAllocStringLen(const char16_t* text, uint32_t length) {
  size_t bytes = size_t{length} * sizeof(char16_t);
  auto* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(char16_t)));
  if (!block) return nullptr;
  uint32_t byteCount = static_cast<uint32_t>(bytes);
  std::memcpy(block, &byteCount, kPrefix);
  auto* units = reinterpret_cast<char16_t*>(block + kPrefix);
  if (text && length) std::memcpy(units, text, bytes);
  else if (length) std::memset(units, 0, bytes);
  units[length] = 0;
  return units;
}

BSTR SysAllocString(const char16_t* text) {
  if (!text) return nullptr;
  return SysAllocStringLen(text, static_cast<uint32_t>(std::char_traits<char16_t>::length(text)));
}

void SysFreeString(BSTR text) {
  if (text) std::free(PrefixOf(text));
}

uint32_t SysStringLen(BSTR text) { return text ? *PrefixOf(text) / sizeof(char16_t) : 0; }

BSTR AllocBstr(std::u16string_view text) {
  BSTR b = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
  if (!b) throw OutOfMemory{};
  return b;
}

}  // namespace vel
