// String-table access in the calling thread's user-interface language, and
// value-name lookups.
#include <cstdlib>
#include <cstring>

#include "support/hot_thread_local.h"
#include "support/string_table.h"
#include "vel/text.h"

namespace vel {

namespace {

bool StartsWithChinese(const char* value) { return value && std::strncmp(value, "zh", 2) == 0; }

// The first non-empty of the locale variables decides, as the C library does.
uint16_t LanguageFromEnvironment() {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return StartsWithChinese(value) ? kLanguageChinese : kLanguageEnglish;
  }
  return kLanguageEnglish;
}

uint16_t ProcessDefaultLanguage() {
  static const uint16_t language = LanguageFromEnvironment();
  return language;
}

VEL_HOT_THREAD_LOCAL uint16_t t_language = 0;

inline uint16_t ThreadLanguage() {
  if (!t_language) t_language = ProcessDefaultLanguage();
  return t_language;
}

const string_data::Text* Lookup(uint32_t id) {
  if (id < string_data::kFirstId || id > string_data::kLastId) return nullptr;
  uint32_t slot = id - string_data::kFirstId;
  if (ThreadLanguage() == kLanguageChinese && string_data::kChinese[slot].text) return &string_data::kChinese[slot];
  return string_data::kEnglish[slot].text ? &string_data::kEnglish[slot] : nullptr;
}

}  // namespace

void SetThreadUILanguage(uint16_t language) {
  constexpr uint16_t kPrimaryMask = 0x3FF;
  t_language = (language & kPrimaryMask) == kLanguageChinese ? kLanguageChinese : kLanguageEnglish;
}

uint16_t GetThreadUILanguage() { return ThreadLanguage(); }

std::u16string_view ResText(uint32_t id) {
  const string_data::Text* t = Lookup(id);
  return t ? std::u16string_view(t->text, t->length) : std::u16string_view();
}

bool HasResText(uint32_t id) { return Lookup(id) != nullptr; }

std::u16string LoadResText(uint32_t id) { return std::u16string(ResText(id)); }

bool LoadResTextInto(std::u16string& text, uint32_t id) {
  const string_data::Text* t = Lookup(id);
  if (!t) return false;
  text.assign(t->text, t->length);
  return true;
}

uint32_t LookupNameId(const NameIdPair* table, uint32_t code) {
  for (const NameIdPair* p = table; p && p->textId != 0; ++p)
    if (p->code == code) return p->textId;
  return kNoText;
}

uint32_t LookupNameIdOrZero(const NameIdPair* table, uint32_t code) {
  uint32_t id = LookupNameId(table, code);
  return id == kNoText ? 0 : id;
}

}  // namespace vel
