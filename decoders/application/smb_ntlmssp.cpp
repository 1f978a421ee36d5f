// NTLMSSP messages inside SPNEGO mechanism tokens, little-endian: the
// identifier and the message type, then the type's fields in message order.
// A security buffer (length, maximum length, offset from the message start)
// shows what it points at; the challenge's target information is a list of
// typed attributes; the version block is summarised on one line.
#include <cstring>

#include "decoders/application/smb_decoder.h"

namespace vel {

using namespace smb;

// ---- Message layouts ------------------------------------------------------------

// One field after the message type.
struct SmbNtlmField {
  enum Kind : uint8_t {
    kText,            // a buffer of text, UTF-16 when the message negotiates Unicode
    kOemText,         // a buffer of 8-bit text in any case
    kBytes,           // a buffer of bytes
    kTargetInfoList,  // a buffer holding a list of attributes
    kFlagWord,
    kEightBytes,
    kVersionBlock,  // present when the flags say so
  } kind;
  uint32_t label = 0;
};

namespace {

// ---- Texts ------------------------------------------------------------------

constexpr uint32_t kNtlmSecureServiceProvider = 376, kNtlmsspIdentifier = 377, kNtlmMessageType = 378;
constexpr uint32_t kUnknownMessageType = 382;
constexpr uint32_t kLength = 166, kMaxlen = 383, kOffset = 1651, kValue = 1518, kLengthOverruns = 371;
constexpr uint32_t kLanManagerResponse = 384, kNtlmResponse = 385, kDomainName = 915, kUserName = 386;
constexpr uint32_t kHostName = 387, kSessionKey = 1682, kTargetName = 388, kCallingWorkstationDomain = 389;
constexpr uint32_t kCallingWorkstationName = 390, kServerChallenge = 391, kTargetInfo = 392;
constexpr uint32_t kTargetInfoItemType = 393, kTargetInfoItemLength = 394, kNegotiateFlags = 395;
constexpr uint32_t kVersion = 111, kMajorVersion = 1042, kMinorVersion = 1043, kBuildNumber = 1044;
constexpr uint32_t kCurrentRevision = 1045, kVersionSummary = 1046, kUnknown = 1111;

constexpr NameIdPair kMessageTypeNames[] = {
    {1, 379},  // NTLMSSP_NEGOTIATE
    {2, 380},  // NTLMSSP_CHALLENGE
    {3, 381},  // NTLMSSP_AUTH
    {0, 0},
};

constexpr SmbBitField kNegotiateFlagBits[] = {
    YesNo(0x80000000, 396),   // Negotiate 56
    YesNo(0x40000000, 397),   // Negotiate Key Exchange
    YesNo(0x20000000, 398),   // Negotiate 128
    YesNo(0x02000000, 399),   // Negotiate Version
    YesNo(0x00800000, 1014),  // Negotiate Target Info
    YesNo(0x00400000, 1015),  // Request Non-NT Session
    YesNo(0x00100000, 1016),  // Negotiate Identify
    YesNo(0x00080000, 1017),  // Negotiate Extended Security
    YesNo(0x00040000, 1018),  // Target Type Share
    YesNo(0x00020000, 1019),  // Target Type Server
    YesNo(0x00010000, 1020),  // Target Type Domain
    YesNo(0x00008000, 1021),  // Negotiate Always Sign
    YesNo(0x00002000, 1022),  // Negotiate OEM Workstation Supplied
    YesNo(0x00001000, 1023),  // Negotiate OEM Domain Supplied
    YesNo(0x00000800, 1024),  // Negotiate Anonymous
    YesNo(0x00000400, 1025),  // Negotiate NT Only
    YesNo(0x00000200, 1026),  // Negotiate NTLM key
    YesNo(0x00000080, 1027),  // Negotiate Lan Manager Key
    YesNo(0x00000040, 1028),  // Negotiate Datagram
    YesNo(0x00000020, 1029),  // Negotiate Seal
    YesNo(0x00000010, 1030),  // Negotiate Sign
    YesNo(0x00000004, 1031),  // Request Target
    YesNo(0x00000002, 1032),  // Negotiate OEM
    YesNo(0x00000001, 1033),  // Negotiate UNICODE
};

constexpr NameIdPair kTargetInfoNames[] = {
    {0, 1034},         // End of list
    {1, 1035},         // NetBIOS computer name
    {2, 1036},         // NetBIOS domain name
    {3, 1037},         // DNS computer name
    {4, 1038},         // DNS domain name
    {5, 1039},         // DNS tree name
    {6, kFlags},       // Flags
    {7, 1004},         // Timestamp
    {8, 1040},         // Restrictions
    {9, kTargetName},  // Target Name
    {10, 1041},        // Channel Bindings
    {0, 0},
};

using enum SmbNtlmField::Kind;
constexpr SmbNtlmField kNegotiateFields[] = {
    {kFlagWord},
    {kOemText, kCallingWorkstationDomain},
    {kOemText, kCallingWorkstationName},
    {kVersionBlock},
};
constexpr SmbNtlmField kChallengeFields[] = {
    {kText, kTargetName},
    {kFlagWord},
    {kEightBytes, kServerChallenge},
    {kEightBytes, kReserved},
    {kTargetInfoList, kTargetInfo},
    {kVersionBlock},
};
constexpr SmbNtlmField kAuthenticateFields[] = {
    {kBytes, kLanManagerResponse},
    {kBytes, kNtlmResponse},
    {kText, kDomainName},
    {kText, kUserName},
    {kText, kHostName},
    {kBytes, kSessionKey},
    {kFlagWord},
    {kVersionBlock},
};

// A message type's fields and where its flags lie, which decide the
// character set of its texts before the walk reaches them.
struct NtlmLayout {
  uint32_t type, flagsOffset;
  std::span<const SmbNtlmField> fields;
};
constexpr NtlmLayout kLayouts[] = {
    {1, 12, kNegotiateFields},
    {2, 20, kChallengeFields},
    {3, 60, kAuthenticateFields},
};

// ---- Layout -------------------------------------------------------------------

constexpr uint8_t kIdentifierBytes[] = {'N', 'T', 'L', 'M', 'S', 'S', 'P', 0};
constexpr uint32_t kHeaderBytes = sizeof kIdentifierBytes + 4;
constexpr uint32_t kBufferBytes = 8, kVersionBytes = 8, kVersionReservedBytes = 3;
constexpr uint32_t kNegotiateUnicode = 0x00000001, kNegotiateVersion = 0x02000000;
constexpr uint32_t kAttributeHeaderBytes = 4;
constexpr uint32_t kEndOfList = 0, kAttributeFlags = 6, kAttributeTimestamp = 7, kAttributeTargetName = 9;

const NtlmLayout* FindNtlmLayout(uint32_t type) {
  for (const NtlmLayout& layout : kLayouts)
    if (layout.type == type) return &layout;
  return nullptr;
}

uint32_t FieldBytes(SmbNtlmField::Kind kind) {
  switch (kind) {
    case kFlagWord: return 4;
    case kVersionBlock: return kVersionBytes;
    default: return 8;
  }
}

// Names (computers, domains, trees, targets) are UTF-16 text.
bool IsTextAttribute(uint32_t type) {
  return (type > kEndOfList && type < kAttributeFlags) || type == kAttributeTargetName;
}

}  // namespace

bool CSMBDecoder::IsNtlmssp(ByteView token) {
  return token.Has(0, sizeof kIdentifierBytes) &&
         std::memcmp(token.data(), kIdentifierBytes, sizeof kIdentifierBytes) == 0;
}

// Each field is shown while it fits in the message; the cursor ends after the last.
void CSMBDecoder::AddNtlmssp(Item* parent, uint32_t length) {
  const ByteView bytes = AtCursor().Clamp(0, length);
  const uint32_t end = CursorOffset() + length;
  Item* message = AddGroupItem(parent, length, Res(kNtlmSecureServiceProvider));
  TextBuffer identifier;
  AppendPacketText(identifier, bytes.data(), sizeof kIdentifierBytes - 1);
  AddTextItem(message, sizeof kIdentifierBytes, Res(kNtlmsspIdentifier), identifier);
  if (length < kHeaderBytes) return;
  const uint32_t type = AtCursor().U32LE(0);
  const uint32_t typeName = LookupNameIdOrZero(kMessageTypeNames, type);
  AddDWordField(message, kNtlmMessageType, Res(typeName ? typeName : kUnknownMessageType));
  const NtlmLayout* layout = FindNtlmLayout(type);
  if (!layout) return;
  const uint32_t flags = bytes.Has(layout->flagsOffset, 4) ? bytes.U32LE(layout->flagsOffset) : 0;
  for (const SmbNtlmField& field : layout->fields) {
    if (field.kind == kVersionBlock && !(flags & kNegotiateVersion)) return;
    if (FieldBytes(field.kind) > end - CursorOffset()) return;
    AddNtlmField(message, field, bytes, length, flags);
  }
}

void CSMBDecoder::AddNtlmField(Item* message, const SmbNtlmField& field, ByteView bytes, uint32_t length,
                               uint32_t flags) {
  switch (field.kind) {
    case kFlagWord: AddBits(message, kNegotiateFlags, 4, kNegotiateFlagBits); return;
    case kEightBytes: AddHexItem(message, Res(field.label), 8); return;
    case kVersionBlock: AddNtlmVersion(message); return;
    default: AddSecurityBuffer(message, field, bytes, length, field.kind == kText && (flags & kNegotiateUnicode));
  }
}

// The buffer's group holds its three numbers and, at its own place, the data
// it points at, when that lies inside the message and was captured; a text's
// group also shows the text.
void CSMBDecoder::AddSecurityBuffer(Item* message, const SmbNtlmField& field, ByteView bytes, uint32_t messageLength,
                                    bool unicode) {
  ByteView at = AtCursor();
  const uint32_t length = at.U16LE(0), offset = at.U32LE(4);
  Item* buffer = AddGroupItem(message, kBufferBytes, Res(field.label));
  AddWordField(buffer, kLength);
  AddWordField(buffer, kMaxlen);
  AddDWordField(buffer, kOffset);
  if (length == 0) return;
  if (offset > messageLength || length > messageLength - offset) return SetComment(buffer, Res(kLengthOverruns));
  if (!bytes.Has(offset, length)) return;
  const uint32_t resume = CursorOffset();
  MoveCursorTo(bytes.offset() + offset);
  if (field.kind == kTargetInfoList) {
    AddTargetInfo(buffer, length);
  } else if (field.kind == kBytes) {
    AddHexItem(buffer, Res(kValue), length);
  } else {
    TextBuffer text;
    if (unicode)
      AppendUtf16LE(text, Cursor(), length);
    else
      AppendPacketText(text, Cursor(), length);
    SetValue(buffer, text);
    AddTextItem(buffer, length, Res(kValue), text);
  }
  MoveCursorTo(resume);
}

// Attributes up to the end of the list or of the buffer, each a group named
// by its type; a name also shows as the group's value.
void CSMBDecoder::AddTargetInfo(Item* buffer, uint32_t length) {
  const uint32_t end = CursorOffset() + length;
  while (end - CursorOffset() >= kAttributeHeaderBytes) {
    ByteView at = AtCursor();
    const uint32_t type = at.U16LE(0), size = at.U16LE(2);
    const uint32_t room = end - CursorOffset() - kAttributeHeaderBytes;
    const uint32_t valueSize = size < room ? size : room;
    const uint32_t name = LookupNameIdOrZero(kTargetInfoNames, type);
    Item* attribute = AddGroupItem(buffer, kAttributeHeaderBytes + valueSize, Res(name ? name : kUnknown), {},
                                   size > room ? Res(kLengthOverruns) : Text{});
    AddWordField(attribute, kTargetInfoItemType);
    AddWordField(attribute, kTargetInfoItemLength);
    AddAttributeValue(attribute, type, valueSize);
    if (type == kEndOfList) return;
  }
}

void CSMBDecoder::AddAttributeValue(Item* attribute, uint32_t type, uint32_t size) {
  if (size == 0) return;
  if (IsTextAttribute(type)) {
    TextBuffer text;
    AppendUtf16LE(text, AtCursor().Bytes(0, size), size);
    SetValue(attribute, text);
    AddTextItem(attribute, size, Res(kValue), text);
  } else if (type == kAttributeFlags && size == 4) {
    AddDWordField(attribute, kValue);
  } else if (type == kAttributeTimestamp && size == 8) {
    AddFileTime(attribute, kValue);
  } else {
    AddHexItem(attribute, Res(kValue), size);
  }
}

void CSMBDecoder::AddNtlmVersion(Item* message) {
  ByteView at = AtCursor();
  const uint32_t major = at.U8(0), minor = at.U8(1), build = at.U16LE(2), revision = at.U8(kVersionBytes - 1);
  TextBuffer summary;
  Item* version = AddGroupItem(message, kVersionBytes, Res(kVersion),
                               FormatResText(summary, kVersionSummary, major, minor, build, revision));
  AddByteField(version, kMajorVersion);
  AddByteField(version, kMinorVersion);
  AddWordField(version, kBuildNumber);
  AddHexItem(version, Res(kReserved), kVersionReservedBytes);
  AddByteField(version, kCurrentRevision);
}

}  // namespace vel
