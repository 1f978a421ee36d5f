// Name and reply recognition for the text-based application decoders.
#include "decoders/application/text_lines.h"

namespace vel {

namespace {

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool StartsWithName(ByteView text, std::string_view name, LetterCase letterCase) {
  std::string_view chars = CharsOf(text);
  if (chars.size() < name.size()) return false;
  if (letterCase == LetterCase::kExact) return chars.starts_with(name);
  for (size_t i = 0; i < name.size(); ++i)
    if (UpperAscii(chars[i]) != name[i]) return false;
  return true;
}

bool StartsWithAnyName(ByteView text, std::span<const std::string_view> names, LetterCase letterCase) {
  for (std::string_view name : names)
    if (StartsWithName(text, name, letterCase)) return true;
  return false;
}

bool IsNumberedReply(ByteView segment) {
  std::string_view chars = CharsOf(segment);
  return chars.size() >= 4 && IsDigit(chars[0]) && IsDigit(chars[1]) && IsDigit(chars[2]) && chars[3] == ' ';
}

bool IsPositiveReply(ByteView segment) { return CharsOf(segment).starts_with('+'); }

}  // namespace vel
