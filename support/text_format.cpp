// printf-style formatting of typed arguments into UTF-16 text.
#include <algorithm>
#include <iterator>

#include "support/decimal.h"
#include "vel/text.h"

namespace vel {

void TextBuffer::Grow(size_t needed) {
  size_t capacity = std::max(needed, capacity_ * 2);
  auto* grown = new char16_t[capacity];
  std::char_traits<char16_t>::copy(grown, data_, size_);
  if (data_ != inline_) delete[] data_;
  data_ = grown;
  capacity_ = capacity;
}

namespace {

struct Directive {
  bool left = false, zero = false, plus = false, space = false, alternate = false;
  int width = 0;
  int precision = -1;
  char16_t conversion = 0;
};

constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr char kLowerDigits[] = "0123456789abcdef";

// Digits of value in the given base, most significant first, at the end of a small buffer.
template <unsigned kBase>
std::u16string_view DigitsIn(uint64_t value, const char* set, char16_t (&buffer)[24]) {
  size_t pos = std::size(buffer);
  if (value <= 0xFFFFFFFFu) {
    // 32-bit division is much cheaper than 64-bit; most values fit.
    auto small = static_cast<uint32_t>(value);
    do {
      buffer[--pos] = static_cast<char16_t>(set[small % kBase]);
      small /= kBase;
    } while (small);
  } else {
    do {
      buffer[--pos] = static_cast<char16_t>(set[value % kBase]);
      value /= kBase;
    } while (value);
  }
  return std::u16string_view(buffer + pos, std::size(buffer) - pos);
}

std::u16string_view Digits(uint64_t value, unsigned base, bool upper, char16_t (&buffer)[24]) {
  const char* set = upper ? kUpperDigits : kLowerDigits;
  if (base == 16) return DigitsIn<16>(value, set, buffer);
  if (base == 8) return DigitsIn<8>(value, set, buffer);
  return DigitsIn<10>(value, set, buffer);
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

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int ReadNumber(const char16_t*& p, const char16_t* end) {
  int n = 0;
  while (p < end && IsDigit(*p)) n = n * 10 + (*p++ - u'0');
  return n;
}

int TakeIntArg(std::span<const FormatArg> args, size_t& next) {
  if (next >= args.size()) return 0;
  const FormatArg& a = args[next++];
  return a.kind == FormatArg::kInteger ? static_cast<int>(static_cast<int64_t>(a.integer)) : 0;
}

bool IsLengthModifier(char16_t c) {
  switch (c) {
    case u'h': case u'l': case u'L': case u'q': case u'j': case u'z': case u't': case u'I':
    case u'6': case u'4': case u'3': case u'2':
      return true;
    default:
      return false;
  }
}

// Parses one conversion starting after '%'; returns false for a malformed one.
bool ParseDirective(const char16_t*& p, const char16_t* end, std::span<const FormatArg> args, size_t& next,
                    Directive& directive) {
  for (; p < end; ++p) {
    char16_t c = *p;
    if (c == u'-') directive.left = true;
    else if (c == u'0') directive.zero = true;
    else if (c == u'+') directive.plus = true;
    else if (c == u' ') directive.space = true;
    else if (c == u'#') directive.alternate = true;
    else break;
  }
  if (p < end && *p == u'*') {
    ++p;
    directive.width = TakeIntArg(args, next);
    if (directive.width < 0) directive.left = true, directive.width = -directive.width;
  } else {
    directive.width = ReadNumber(p, end);
  }
  if (p < end && *p == u'.') {
    ++p;
    if (p < end && *p == u'*') ++p, directive.precision = TakeIntArg(args, next);
    else directive.precision = ReadNumber(p, end);
  }
  while (p < end && IsLengthModifier(*p)) ++p;
  if (p >= end) return false;
  directive.conversion = *p++;
  return true;
}

// The number a "%d" or "%u" prints, or false for a negative "%d" (or an
// argument that is not a number), which takes the general path.
bool PlainNumber(char16_t conversion, const FormatArg& arg, uint64_t& value) {
  if (arg.kind != FormatArg::kInteger) return false;
  value = arg.bytes <= 4 ? arg.integer & 0xFFFFFFFFu : arg.integer;
  if (conversion != u'd') return true;
  int64_t signedValue = arg.bytes <= 4 ? static_cast<int32_t>(value) : static_cast<int64_t>(value);
  return signedValue >= 0;
}

// The commonest directives, written without parsing a directive: "%s" of a
// text; "%u", "%d", "%x" and "%X" of a number that is not negative, bare or
// padded to a width of one digit with zeros ("%04X") or blanks ("%5d"). p is
// just past the '%'; on success it moves past the directive.
bool AppendCommonDirective(TextBuffer& out, const char16_t*& p, const char16_t* end, const FormatArg& arg) {
  if (*p == u's') {
    if (arg.kind != FormatArg::kText) return false;
    out.append(arg.text);
    ++p;
    return true;
  }
  const char16_t* q = p;
  size_t width = 0;
  char16_t padding = u' ';
  if (*q == u'0') {
    padding = u'0';
    ++q;
  }
  if (q + 1 < end && *q >= u'1' && *q <= u'9') {
    width = static_cast<size_t>(*q - u'0');
    ++q;
  } else if (padding == u'0') {
    return false;
  }
  if (q >= end) return false;
  const char16_t conversion = *q;
  uint64_t value = 0;
  char16_t buffer[24];
  std::u16string_view digits;
  if (conversion == u'u' || conversion == u'd') {
    if (!PlainNumber(conversion, arg, value)) return false;
    if (width == 0 && value <= 0xFFFFFFFFu) {
      AppendDecimal(out, static_cast<uint32_t>(value));
      p = q + 1;
      return true;
    }
    digits = DigitsIn<10>(value, kUpperDigits, buffer);
  } else if (conversion == u'x' || conversion == u'X') {
    if (!PlainNumber(conversion, arg, value)) return false;
    digits = DigitsIn<16>(value, conversion == u'X' ? kUpperDigits : kLowerDigits, buffer);
  } else {
    return false;
  }
  if (digits.size() < width) out.append(padding, width - digits.size());
  out.append(digits);
  p = q + 1;
  return true;
}

}  // namespace

void AppendDecimal(TextBuffer& out, uint32_t value) { PutDecimal(out.Extend(DecimalDigits(value)), value); }

void AppendFormatArgs(TextBuffer& out, std::u16string_view format, std::span<const FormatArg> args) {
  static const FormatArg kMissing(0);
  size_t next = 0;
  const char16_t* p = format.data();
  const char16_t* end = p + format.size();
  while (p < end) {
    const char16_t* literal = p;
    while (p < end && *p != u'%') ++p;
    if (p != literal) out.append(std::u16string_view(literal, static_cast<size_t>(p - literal)));
    if (p >= end) break;
    ++p;
    if (p < end && *p == u'%') {
      out.append(u'%');
      ++p;
      continue;
    }
    if (p < end && next < args.size() && AppendCommonDirective(out, p, end, args[next])) {
      ++next;
      continue;
    }
    Directive directive;
    if (!ParseDirective(p, end, args, next, directive)) break;
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
