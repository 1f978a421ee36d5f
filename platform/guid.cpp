// GUIDs in their registry text form.
#include <cstdio>

#include "vel/platform.h"

namespace vel {

std::string GuidToString(const GUID& g) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::u16string GuidToU16String(const GUID& g) {
  std::string narrow = GuidToString(g);
  return std::u16string(narrow.begin(), narrow.end());
}

bool GuidFromString(std::string_view text, GUID* guid) {
  GUID parsed{};
  if (!guid || !detail::ParseGuidText(text, parsed)) return false;
  *guid = parsed;
  return true;
}

bool GuidFromString(std::u16string_view text, GUID* guid) {
  GUID parsed{};
  if (!guid || !detail::ParseGuidText(text, parsed)) return false;
  *guid = parsed;
  return true;
}

}  // namespace vel
