// printf-style formatting of typed arguments into UTF-16 text.
#include <algorithm>

#include "vel/text.h"

namespace vel {

void TextBuffer::append(std::u16string_view text) {
  if (heap_.empty() && size_ + text.size() <= kInline) {
    std::copy(text.begin(), text.end(), inline_ + size_);
    size_ += text.size();
    return;
  }
  if (heap_.empty()) heap_.assign(inline_, size_);
  heap_.append(text);
}

void TextBuffer::append(char16_t c, size_t count) {
  for (size_t i = 0; i < count; ++i) append(std::u16string_view(&c, 1));
}

void TextBuffer::appendAscii(std::string_view text) {
  for (char c : text) append(static_cast<char16_t>(static_cast<unsigned char>(c)));
}

namespace {

struct Directive {
  bool left = false, zero = false, plus = false, space = false, alternate = false;
  int width = 0;
  int precision = -1;
  char16_t conversion = 0;
};

// Digits of value in the given base, most significant first, into a small buffer.
std::u16string_view Digits(uint64_t value, unsigned base, bool upper, char16_t (&buffer)[24]) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  size_t pos = sizeof buffer / sizeof buffer[0];
  do {
    buffer[--pos] = static_cast<char16_t>(set[value % base]);
    value /= base;
  } while (value);
  return std::u16string_view(buffer + pos, sizeof buffer / sizeof buffer[0] - pos);
}

void Pad(TextBuffer& out, int count, char16_t c) {
  if (count > 0) out.append(c, static_cast<size_t>(count));
}

void EmitField(TextBuffer& out, const Directive& directive, std::u16string_view prefix, std::u16string_view body,
               int zeros) {
  int length = static_cast<int>(prefix.size() + body.size()) + zeros;
  int padding = directive.width - length;
  if (!directive.left && !(directive.zero && directive.precision < 0)) Pad(out, padding, u' ');
  out.append(prefix);
  if (!directive.left && directive.zero && directive.precision < 0) Pad(out, padding, u'0');
  Pad(out, zeros, u'0');
  out.append(body);
  if (directive.left) Pad(out, padding, u' ');
}

void EmitInteger(TextBuffer& out, const Directive& directive, const FormatArg& arg) {
  char16_t buffer[24];
  bool isSignedConversion = directive.conversion == u'd' || directive.conversion == u'i';
  bool negative = false;
  uint64_t magnitude = arg.integer;
  if (arg.kind != FormatArg::kInteger) magnitude = 0;
  if (arg.bytes <= 4) magnitude &= 0xFFFFFFFFu;
  if (isSignedConversion) {
    int64_t value = arg.bytes <= 4 ? static_cast<int32_t>(magnitude) : static_cast<int64_t>(magnitude);
    negative = value < 0;
    magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  }
  unsigned base = 10;
  if (directive.conversion == u'x' || directive.conversion == u'X') base = 16;
  if (directive.conversion == u'o') base = 8;
  std::u16string_view digits = Digits(magnitude, base, directive.conversion == u'X', buffer);
  if (directive.precision == 0 && magnitude == 0) digits = {};
  std::u16string_view prefix;
  if (negative) prefix = u"-";
  else if (isSignedConversion && directive.plus) prefix = u"+";
  else if (isSignedConversion && directive.space) prefix = u" ";
  else if (directive.alternate && magnitude != 0 && base == 16) prefix = directive.conversion == u'X' ? u"0X" : u"0x";
  int zeros = std::max(0, directive.precision - static_cast<int>(digits.size()));
  EmitField(out, directive, prefix, digits, zeros);
}

void EmitText(TextBuffer& out, const Directive& directive, const FormatArg& arg) {
  std::u16string_view text = arg.kind == FormatArg::kText ? arg.text : std::u16string_view();
  if (directive.precision >= 0 && static_cast<size_t>(directive.precision) < text.size()) text = text.substr(0, directive.precision);
  Directive plain = directive;
  plain.zero = false;
  plain.precision = -1;
  EmitField(out, plain, {}, text, 0);
}

void EmitChar(TextBuffer& out, const Directive& directive, const FormatArg& arg) {
  char16_t c = static_cast<char16_t>(arg.kind == FormatArg::kInteger ? arg.integer : u'?');
  Directive plain = directive;
  plain.zero = false;
  EmitField(out, plain, {}, std::u16string_view(&c, 1), 0);
}

int ReadNumber(std::u16string_view format, size_t& i) {
  int n = 0;
  while (i < format.size() && format[i] >= u'0' && format[i] <= u'9') n = n * 10 + (format[i++] - u'0');
  return n;
}

int TakeIntArg(std::span<const FormatArg> args, size_t& next) {
  if (next >= args.size()) return 0;
  const FormatArg& a = args[next++];
  return a.kind == FormatArg::kInteger ? static_cast<int>(static_cast<int64_t>(a.integer)) : 0;
}

// Parses one conversion starting after '%'; returns false for a malformed one.
bool ParseDirective(std::u16string_view format, size_t& i, std::span<const FormatArg> args, size_t& next, Directive& directive) {
  for (; i < format.size(); ++i) {
    char16_t c = format[i];
    if (c == u'-') directive.left = true;
    else if (c == u'0') directive.zero = true;
    else if (c == u'+') directive.plus = true;
    else if (c == u' ') directive.space = true;
    else if (c == u'#') directive.alternate = true;
    else break;
  }
  if (i < format.size() && format[i] == u'*') {
    ++i;
    directive.width = TakeIntArg(args, next);
    if (directive.width < 0) directive.left = true, directive.width = -directive.width;
  } else {
    directive.width = ReadNumber(format, i);
  }
  if (i < format.size() && format[i] == u'.') {
    ++i;
    if (i < format.size() && format[i] == u'*') ++i, directive.precision = TakeIntArg(args, next);
    else directive.precision = ReadNumber(format, i);
  }
  while (i < format.size() && std::u16string_view(u"hlLqjztI6432").find(format[i]) != std::u16string_view::npos) ++i;
  if (i >= format.size()) return false;
  directive.conversion = format[i++];
  return true;
}

}  // namespace

void AppendFormatArgs(TextBuffer& out, std::u16string_view format, std::span<const FormatArg> args) {
  size_t next = 0;
  size_t i = 0;
  while (i < format.size()) {
    size_t percent = format.find(u'%', i);
    if (percent == std::u16string_view::npos) percent = format.size();
    out.append(format.substr(i, percent - i));
    i = percent;
    if (i >= format.size()) break;
    ++i;
    if (i < format.size() && format[i] == u'%') {
      out.append(u'%');
      ++i;
      continue;
    }
    Directive directive;
    if (!ParseDirective(format, i, args, next, directive)) break;
    static const FormatArg kMissing(0);
    const FormatArg& arg = next < args.size() ? args[next++] : kMissing;
    switch (directive.conversion) {
      case u'd': case u'i': case u'u': case u'x': case u'X': case u'o': EmitInteger(out, directive, arg); break;
      case u's': case u'S': EmitText(out, directive, arg); break;
      case u'c': case u'C': EmitChar(out, directive, arg); break;
      default: break;
    }
  }
}

}  // namespace vel
