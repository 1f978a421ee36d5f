// The SMB decoder's fields: little-endian numbers, bit-field groups with the
// access-mask and file-attribute layouts, file times, GUIDs, the AndX block,
// padding and the strings SMB carries.
#include <cstring>

#include "decoders/application/smb_decoder.h"

namespace vel {

using namespace smb;

namespace {

constexpr uint32_t kAndXCommand = 1643, kAndXOffset = 1644, kNoFurtherCommands = 1645;
constexpr uint32_t kFileAttributes = 187;

// Access rights: generic, then standard, then the rights on files and directories.
constexpr SmbBitField kAccessMaskBits[] = {
    YesNo(0x80000000, 319),  // Generic Read
    YesNo(0x40000000, 318),  // Generic Write
    YesNo(0x20000000, 317),  // Generic Execute
    YesNo(0x10000000, 316),  // Generic All
    YesNo(0x02000000, 315),  // Maximum Allowed
    YesNo(0x01000000, 314),  // System Security
    YesNo(0x00100000, 313),  // Synchronize
    YesNo(0x00080000, 312),  // Write Owner
    YesNo(0x00040000, 311),  // Write DAC
    YesNo(0x00020000, 310),  // Read Control
    YesNo(0x00010000, 705),  // Delete
    YesNo(0x00000100, 309),  // Write Attributes
    YesNo(0x00000080, 308),  // Read Attributes
    YesNo(0x00000040, 307),  // Delete Child
    YesNo(0x00000020, 306),  // Execute
    YesNo(0x00000010, 305),  // Write EA
    YesNo(0x00000008, 304),  // Read EA
    YesNo(0x00000004, 303),  // Append Data
    YesNo(0x00000002, 302),  // Write Data
    YesNo(0x00000001, 301),  // Read Data
};

constexpr SmbBitField kFileAttributeBits[] = {
    YesNo(0x00004000, 335),   // Encrypted
    YesNo(0x00002000, 331),   // Not Content Indexed
    YesNo(0x00001000, 330),   // Offline
    YesNo(0x00000800, 1606),  // Compressed
    YesNo(0x00000400, 329),   // Reparse Point
    YesNo(0x00000200, 328),   // Sparse
    YesNo(0x00000100, 327),   // Temporary
    YesNo(0x00000080, 326),   // Normal
    YesNo(0x00000040, 325),   // Device
    YesNo(0x00000020, 324),   // Archive
    YesNo(0x00000010, 191),   // Directory
    YesNo(0x00000008, 323),   // Volume
    YesNo(0x00000004, 322),   // System
    YesNo(0x00000002, 321),   // Hidden
    YesNo(0x00000001, 320),   // Read Only
};

constexpr uint32_t kNoAndXCommand = 0xFF;
constexpr uint32_t kGuidBytes = 16;

// Windows file times count 100-nanosecond ticks from 1601-01-01 UTC.
constexpr uint64_t kTicksPerSecond = 10000000;
constexpr int64_t kDaysFrom1601To1970 = 134774;
constexpr int64_t kSecondsPerDay = 86400;

// The bit picture of value under mask, for a field of width bytes.
const char16_t* Picture(uint32_t value, uint32_t mask, uint32_t width) {
  switch (width) {
    case 1: return BitsText8(value, mask & 0xFF);
    case 2: return BitsText16(value, mask & 0xFFFF);
    default: return BitsText32(value, mask);
  }
}

// The date of a day counted from 1970-01-01 in the proleptic Gregorian calendar.
struct CivilDate {
  int64_t year;
  uint32_t month, day;
};
CivilDate DateOfDay(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const auto day = static_cast<uint32_t>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  const auto month = static_cast<uint32_t>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// "%Y-%m-%d %H:%M:%S" of a file time in UTC, a point, and the ticks left over from the whole second.
Text FileTimeText(uint64_t ticks, TextBuffer& out) {
  const auto seconds = static_cast<int64_t>(ticks / kTicksPerSecond);
  const int64_t secondOfDay = seconds % kSecondsPerDay;
  const CivilDate date = DateOfDay(seconds / kSecondsPerDay - kDaysFrom1601To1970);
  return Format(out, u"%d-%02d-%02d %02d:%02d:%02d.%u", date.year, date.month, date.day, secondOfDay / 3600,
                secondOfDay / 60 % 60, secondOfDay % 60, static_cast<uint32_t>(ticks % kTicksPerSecond));
}

uint64_t U64LE(ByteView bytes) { return uint64_t{bytes.U32LE(4)} << 32 | bytes.U32LE(0); }

}  // namespace

void AppendUtf16LE(TextBuffer& out, const uint8_t* bytes, uint32_t length) {
  for (uint32_t i = 0; i + 1 < length; i += 2) {
    const auto unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    if (unit == 0) return;
    out.append(unit);
  }
}

// ---- Numbers ----

uint32_t CSMBDecoder::AddByteField(Item* parent, uint32_t label, Text comment) {
  const uint32_t value = AtCursor().U8(0);
  AddByteItem(parent, Res(label), comment);
  return value;
}

uint32_t CSMBDecoder::AddWordField(Item* parent, uint32_t label, Text comment) {
  const uint32_t value = AtCursor().U16LE(0);
  AddWordItem(parent, Res(label), comment, 0, true, false);
  return value;
}

uint32_t CSMBDecoder::AddDWordField(Item* parent, uint32_t label, Text comment) {
  const uint32_t value = AtCursor().U32LE(0);
  AddDWordItem(parent, Res(label), comment, 0, true, false);
  return value;
}

void CSMBDecoder::AddQWordField(Item* parent, uint32_t label) {
  const uint64_t value = U64LE(AtCursor());
  TextBuffer text;
  AddTextItem(parent, 8, Res(label), Format(text, u"%u (0x%016X)", value, value));
}

// ---- Bit fields ----

uint32_t CSMBDecoder::AddBits(Item* parent, uint32_t label, uint32_t width, std::span<const SmbBitField> fields) {
  ByteView at = AtCursor();
  const uint32_t value = width == 1 ? at.U8(0) : width == 2 ? at.U16LE(0) : at.U32LE(0);
  Item* group = AddTextItem(parent, width, Res(label), Picture(value, 0xFFFFFFFF, width), {}, 0, false);
  MakeGroup(group);
  for (size_t i = 0; i < fields.size(); ++i) {
    const SmbBitField& field = fields[i];
    AddTextItem(group, width, Res(field.label), Picture(value, field.mask, width),
                Res(value & field.mask ? field.whenSet : field.whenClear), 0, i + 1 == fields.size());
  }
  return value;
}

void CSMBDecoder::AddAccessMask(Item* parent, uint32_t label) { AddBits(parent, label, 4, kAccessMaskBits); }

void CSMBDecoder::AddFileAttributes(Item* parent) { AddBits(parent, kFileAttributes, 4, kFileAttributeBits); }

// ---- Times and identifiers ----

void CSMBDecoder::AddFileTime(Item* parent, uint32_t label) {
  TextBuffer value;
  AddTextItem(parent, 8, Res(label), FileTimeText(U64LE(AtCursor()), value));
}

void CSMBDecoder::AddGuid(Item* parent, uint32_t label) {
  const uint8_t* g = AtCursor().Bytes(0, kGuidBytes);
  TextBuffer value;
  Format(value, u"%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", g[3], g[2], g[1], g[0], g[5],
         g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
  AddTextItem(parent, kGuidBytes, Res(label), value);
}

// ---- Command structure ----

void CSMBDecoder::AddAndX(Item* body, bool nameLastCommand) {
  const bool last = AtCursor().U8(0) == kNoAndXCommand;
  AddByteField(body, kAndXCommand, last && nameLastCommand ? Res(kNoFurtherCommands) : Text{});
  AddByteField(body, kReserved);
  AddWordField(body, kAndXOffset);
}

void CSMBDecoder::AddPaddingTo(Item* body, uint32_t offset) {
  const uint32_t target = LayerOffset() + offset;
  if (target > CursorOffset()) AddHexItem(body, Res(kPadding), target - CursorOffset());
}

void CSMBDecoder::MoveCursorTo(uint32_t offset) {
  if (offset > CursorOffset() && offset - CursorOffset() > Remaining())
    throw CapturedDataEnd{CursorOffset(), offset - CursorOffset(), Remaining()};
  SetCursor(Layer().data() + (offset - LayerOffset()));
}

// ---- Strings ----

void CSMBDecoder::AddUnicodeText(Item* parent, uint32_t label, bool advance) {
  TextBuffer text;
  const uint32_t size = ReadUnicode(text);
  AddTextItem(parent, size, Res(label), text, {}, 0, advance);
}

void CSMBDecoder::AddAnsiText(Item* parent, uint32_t label) {
  TextBuffer text;
  const uint32_t size = ReadAnsi(text);
  AddTextItem(parent, size, Res(label), text);
}

void CSMBDecoder::AddSmbString(Item* parent, uint32_t label, TextBuffer& text) {
  if (unicode_ && (CursorOffset() - LayerOffset()) % 2) Skip(1);
  const uint32_t size = unicode_ ? ReadUnicode(text) : ReadAnsi(text);
  AddTextItem(parent, size, Res(label), text);
}

uint32_t CSMBDecoder::ReadUnicode(TextBuffer& text) const {
  ByteView at = AtCursor();
  for (uint32_t i = 0; at.Has(i, 2); i += 2) {
    const auto unit = static_cast<char16_t>(at.U16LE(i));
    if (unit == 0) return i + 2;
    text.append(unit);
  }
  throw CapturedDataEnd{at.offset(), (at.size() & ~1u) + 2, at.size()};
}

uint32_t CSMBDecoder::ReadAnsi(TextBuffer& text) const {
  ByteView at = AtCursor();
  const auto* terminator = static_cast<const uint8_t*>(std::memchr(at.data(), 0, at.size()));
  if (!terminator) throw CapturedDataEnd{at.offset(), at.size() + 1, at.size()};
  const auto length = static_cast<uint32_t>(terminator - at.data());
  AppendPacketText(text, at.data(), length);
  return length + 1;
}

}  // namespace vel
