// Security blobs of the negotiate and session-setup messages: SPNEGO tokens in
// DER, wrapped in a GSS-API token when they open a negotiation and bare when
// they answer one. Groups cover whole elements; leaves cover the value of the
// string, identifier or number they show. An NTLMSSP message inside a
// mechanism token is decoded as well.
#include "decoders/application/smb_decoder.h"

namespace vel {

using namespace smb;

namespace {

// ---- Texts ------------------------------------------------------------------

constexpr uint32_t kSecurityBlob = 1709, kGssApi = 336, kOid = 337, kSimpleProtectedNegotiation = 339;
constexpr uint32_t kNegTokenInit = 340, kMechTypes = 341, kMechType = 342, kReqFlags = 359, kMechToken = 360;
constexpr uint32_t kNegHints = 361, kHintName = 362, kMechListMic = 363, kNegTokenTarg = 364, kNegResult = 365;
constexpr uint32_t kSupportedMech = 369, kUnknownHeader = 370, kLengthOverruns = 371;

constexpr NameIdPair kNegResultNames[] = {
    {0, 366},  // Accept_completed
    {1, 367},  // Accept_incomplete
    {2, 368},  // Reject
    {0, 0},
};

// Object identifiers named by their dotted form.
struct OidName {
  std::u16string_view oid;
  uint32_t name;
};
constexpr uint32_t kSpnegoName = 338;
constexpr OidName kOidNames[] = {
    {u"1.3.6.1.5.5.2", kSpnegoName},   // SPNEGO - Simple Protected Negotiation
    {u"1.2.840.48018.1.2.2", 372},     // MS KRB5 - Microsoft Kerberos 5
    {u"1.2.840.113554.1.2.2", 373},    // KRB5 - Kerberos 5
    {u"1.2.840.113554.1.2.2.3", 374},  // KRB5 - Kerberos 5 - User to User
    {u"1.3.6.1.4.1.311.2.2.10", 375},  // NTLMSSP - Microsoft NTLM Security Support Provider
};

// ---- Tags ---------------------------------------------------------------------

constexpr uint8_t kGssApiTag = 0x60, kSequenceTag = 0x30;
// Context tags: the token kinds, and the fields inside each token.
constexpr uint8_t kNegTokenInitTag = 0xA0, kNegTokenTargTag = 0xA1;
constexpr uint8_t kField0 = 0xA0, kField1 = 0xA1, kField2 = 0xA2, kField3 = 0xA3, kField4 = 0xA4;

uint32_t OidNameId(Text oid) {
  for (const OidName& entry : kOidNames)
    if (entry.oid == oid) return entry.name;
  return 0;
}

}  // namespace

void CSMBDecoder::AddSecurityBlob(Item* parent, uint32_t length) {
  const uint32_t start = CursorOffset();
  Item* blob = AddBytesGroup(parent, kSecurityBlob, length);
  const uint8_t tag = AtCursor().U8(0);
  if (tag == kGssApiTag)
    AddGssApiToken(blob, length);
  else if (tag == kNegTokenTargTag)
    AddNegotiationToken(blob, length);
  else
    AddByteItem(blob, Res(kUnknownHeader));
  MoveCursorTo(start + length);
}

Item* CSMBDecoder::AddBytesGroup(Item* parent, uint32_t label, uint32_t length) {
  Item* item = AtCursor().Has(0, length) ? AddHexItem(parent, Res(label), length, {}, 0, false)
                                         : AddGroupItem(parent, length, Res(label));
  MakeGroup(item);
  return item;
}

CSMBDecoder::DerGroup CSMBDecoder::OpenDerGroup(Item* parent, uint32_t label, uint32_t limit) {
  const uint32_t start = CursorOffset();
  const DerElement element = ReadDerElement(AtCursor(), limit);
  Item* item = AddGroupItem(parent, element.size(), Res(label), {}, element.overruns ? Res(kLengthOverruns) : Text{});
  Skip(element.headerLength);
  return {item, start + element.size()};
}

DerElement CSMBDecoder::EnterDerElement(Item* holder, uint32_t limit) {
  const DerElement element = ReadDerElement(AtCursor(), limit);
  if (element.overruns) SetComment(holder, Res(kLengthOverruns));
  Skip(element.headerLength);
  return element;
}

uint32_t CSMBDecoder::EnterTaggedValue(Item* holder, uint32_t limit) {
  const DerElement field = EnterDerElement(holder, limit);
  return field.length ? EnterDerElement(holder, field.length).length : 0;
}

// [APPLICATION 0]: the mechanism's identifier, then its token: for SPNEGO a
// negotiation token. Other mechanisms' tokens stay in the blob's bytes.
void CSMBDecoder::AddGssApiToken(Item* parent, uint32_t limit) {
  const DerGroup token = OpenDerGroup(parent, kGssApi, limit);
  if (CursorOffset() >= token.end) return;
  if (AddObjectIdentifier(token.item, kOid, token.end - CursorOffset()) != kSpnegoName) return;
  if (CursorOffset() >= token.end) return;
  Item* spnego = AddGroupItem(token.item, token.end - CursorOffset(), Res(kSimpleProtectedNegotiation));
  AddNegotiationToken(spnego, token.end - CursorOffset());
}

// [0] negTokenInit or [1] negTokenTarg, each a SEQUENCE of context-tagged
// fields shown in the token's group; fields of other tags are passed over.
void CSMBDecoder::AddNegotiationToken(Item* parent, uint32_t limit) {
  const uint8_t tag = AtCursor().U8(0);
  if (tag != kNegTokenInitTag && tag != kNegTokenTargTag) {
    AddByteItem(parent, Res(kUnknownHeader));
    return;
  }
  const bool init = tag == kNegTokenInitTag;
  const DerGroup token = OpenDerGroup(parent, init ? kNegTokenInit : kNegTokenTarg, limit);
  if (CursorOffset() >= token.end) return;
  const DerElement sequence = EnterDerElement(token.item, token.end - CursorOffset());
  const uint32_t end = CursorOffset() + sequence.length;
  while (CursorOffset() < end) {
    const uint32_t start = CursorOffset();
    const DerElement field = ReadDerElement(AtCursor(), end - start);
    AddNegTokenField(token.item, init, field.tag, end - start);
    MoveCursorTo(start + field.size());
  }
}

void CSMBDecoder::AddNegTokenField(Item* token, bool init, uint8_t tag, uint32_t limit) {
  switch (tag) {
    case kField0: return init ? AddMechTypes(token, limit) : AddNegResult(token, limit);
    case kField1: return init ? AddOctetsField(token, kReqFlags, limit) : AddSupportedMech(token, limit);
    case kField2: return AddMechToken(token, limit);
    case kField3: return init ? AddNegHints(token, limit) : AddOctetsField(token, kMechListMic, limit);
    case kField4: return init ? AddOctetsField(token, kMechListMic, limit) : void();
    default: return;
  }
}

void CSMBDecoder::AddMechTypes(Item* token, uint32_t limit) {
  const DerGroup types = OpenDerGroup(token, kMechTypes, limit);
  if (CursorOffset() >= types.end) return;
  const DerElement sequence = EnterDerElement(types.item, types.end - CursorOffset());
  const uint32_t end = CursorOffset() + sequence.length;
  while (CursorOffset() < end) AddObjectIdentifier(types.item, kMechType, end - CursorOffset());
}

uint32_t CSMBDecoder::AddObjectIdentifier(Item* parent, uint32_t label, uint32_t limit) {
  const DerElement element = ReadDerElement(AtCursor(), limit);
  TextBuffer oid;
  AppendObjectIdentifier(oid, element.value);
  const uint32_t name = OidNameId(oid);
  Skip(element.headerLength);
  AddTextItem(parent, element.length, Res(label), oid, Res(element.overruns ? kLengthOverruns : name));
  return name;
}

void CSMBDecoder::AddSupportedMech(Item* token, uint32_t limit) {
  const DerElement field = EnterDerElement(token, limit);
  if (field.length) AddObjectIdentifier(token, kSupportedMech, field.length);
}

void CSMBDecoder::AddOctetsField(Item* token, uint32_t label, uint32_t limit) {
  const uint32_t length = EnterTaggedValue(token, limit);
  if (length) AddHexItem(token, Res(label), length);
}

void CSMBDecoder::AddNegResult(Item* token, uint32_t limit) {
  const uint32_t length = EnterTaggedValue(token, limit);
  if (length == 1)
    AddByteItem(token, Res(kNegResult), NameOf(kNegResultNames, AtCursor().U8(0)));
  else if (length)
    AddHexItem(token, Res(kNegResult), length);
}

// The mechanism's own token as bytes, broken down when it is an NTLMSSP message.
void CSMBDecoder::AddMechToken(Item* token, uint32_t limit) {
  const uint32_t length = EnterTaggedValue(token, limit);
  if (length == 0) return;
  if (!IsNtlmssp(AtCursor())) {
    AddHexItem(token, Res(kMechToken), length);
    return;
  }
  AddNtlmssp(AddBytesGroup(token, kMechToken, length), length);
}

// Field [3] of an init token is negHints (a SEQUENCE) in the token a server
// offers, mechListMIC (an OCTET STRING) in a client's.
void CSMBDecoder::AddNegHints(Item* token, uint32_t limit) {
  const DerElement field = ReadDerElement(AtCursor(), limit);
  if (field.length == 0) return;
  if (field.value.U8(0) != kSequenceTag) return AddOctetsField(token, kMechListMic, limit);
  const DerGroup hints = OpenDerGroup(token, kNegHints, limit);
  const DerElement sequence = EnterDerElement(hints.item, hints.end - CursorOffset());
  const uint32_t end = CursorOffset() + sequence.length;
  while (CursorOffset() < end) {
    const uint32_t start = CursorOffset();
    const DerElement hint = ReadDerElement(AtCursor(), end - start);
    if (hint.tag == kField0 && hint.length) {
      const uint32_t length = EnterTaggedValue(hints.item, end - start);
      TextBuffer name;
      AppendPacketText(name, AtCursor().Bytes(0, length), length);
      AddTextItem(hints.item, length, Res(kHintName), name);
    }
    MoveCursorTo(start + hint.size());
  }
}

}  // namespace vel
