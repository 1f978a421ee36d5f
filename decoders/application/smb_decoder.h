// The SMB decoder class. Its walks are spread over files by subject:
// smb_decoder.cpp (the header, the command table and the classic commands),
// smb_fields.cpp (numbers, bit-field groups, access masks, file attributes,
// strings), smb_nt_commands.cpp (NT Trans and NT Create AndX),
// smb_security.cpp (security blobs as SPNEGO tokens), smb_ntlmssp.cpp (the
// NTLMSSP messages inside them) and smb_mailslot.cpp (mailslot messages and
// browser announcements).
#pragma once

#include <span>

#include "decoders/application/der_reader.h"
#include "vel/module_base.h"

namespace vel {

// Texts more than one of the SMB files use.
namespace smb {
inline constexpr uint32_t kReserved = 117, kFlags = 172, kYes = 1269, kNo = 1270, kCommand = 1551;
inline constexpr uint32_t kWordCount = 1641, kBytesCount = 1642, kFid = 1646, kPadding = 1647, kFileName = 1748;
}  // namespace smb

// One field of a bit-field group: its mask, label, and the comments for a
// field with any of its bits set and for one with none (0: no comment).
struct SmbBitField {
  uint32_t mask, label, whenSet, whenClear;
};
constexpr SmbBitField YesNo(uint32_t mask, uint32_t label) { return {mask, label, smb::kYes, smb::kNo}; }

// One fixed field of an NTLMSSP message (smb_ntlmssp.cpp).
struct SmbNtlmField;

inline constexpr uint32_t kSMBProtocolType = 54;
inline constexpr CLSID kSMBClsid = MakeGuid("{6F966C8D-B2D9-4597-8F7E-2DA33939C035}");

class CSMBDecoder : public CVELBaseModuleCLSIDImplT<CSMBDecoder, kSMBProtocolType, kSMBClsid> {
 public:
  // Only data that begins with the SMB signature is taken; anything else
  // (an SMB2 header, a continuation segment) is left to the next module.
  HRESULT Decode(uint32_t nProtocol, uint8_t* pPacket, uint8_t* pDataDecoded,
                 IVELPacketsDecodingInfo* piDecodingInfo) override;

 protected:
  bool CanAccept(IVELDcoder* input) override;
  void DecodeLayer() override;

 private:
  using Handler = void (CSMBDecoder::*)(Item* body);
  // A command's titles and handlers by direction; a null handler leaves the header alone.
  struct CommandLayout {
    uint32_t code;
    uint32_t requestTitle, responseTitle;
    Handler request, response;
  };
  static const CommandLayout kCommands[];
  static const CommandLayout* FindLayout(uint32_t command);
  static bool BeginsWithSignature(const ParsedPacket* packet, const uint8_t* data);
  void RecordLayer();

  // ---- Header (smb_decoder.cpp) ----
  void AddStatus(bool ntStatus);
  void AddSignature();

  // ---- Commands (smb_decoder.cpp) ----
  void DecodeCommand(uint32_t command, bool response);
  uint32_t AddCounts(Item* body);
  void CountsOnly(Item* body);
  void CloseRequest(Item* body);
  // The counts and offsets of a transaction request.
  struct TransactionCounts {
    uint32_t parameterCount, parameterOffset, dataCount, dataOffset, setupCount;
  };
  TransactionCounts AddTransactionCounts(Item* body);
  void TransactionRequest(Item* body);
  void TransactionResponse(Item* body);
  void EchoRequest(Item* body);
  void EchoResponse(Item* body);
  void ReadAndXRequest(Item* body);
  void ReadAndXResponse(Item* body);
  void WriteAndXRequest(Item* body);
  void WriteAndXResponse(Item* body);
  void Trans2Request(Item* body);
  void LogoffAndX(Item* body);
  void NegotiateRequest(Item* body);
  void AddDialect(Item* body, uint32_t ordinal);
  void NegotiateResponse(Item* body);
  void AddTimeZone(Item* body);
  void SessionSetupRequest(Item* body);
  void SessionSetupResponse(Item* body);
  void TreeConnectRequest(Item* body);
  void TreeConnectResponse(Item* body);

  // ---- NT Trans and NT Create AndX (smb_nt_commands.cpp) ----
  void NtTransRequest(Item* body);
  void AddSetupInfo(Item* body, uint32_t function, uint32_t setupCount);
  void NtCreateAndXRequest(Item* body);
  void NtCreateAndXResponse(Item* body);

  // ---- Security blobs (smb_security.cpp) ----
  // The blob of length bytes at the cursor, decoded as a SPNEGO token; the
  // cursor ends after it.
  void AddSecurityBlob(Item* parent, uint32_t length);
  // Bytes at the cursor as one hex item made a group (without a value when
  // the capture ends inside them); the cursor stays.
  Item* AddBytesGroup(Item* parent, uint32_t label, uint32_t length);
  // A DER element within limit bytes shown as a group over the whole
  // element, the cursor on its value; end is the frame offset after it.
  struct DerGroup {
    Item* item;
    uint32_t end;
  };
  DerGroup OpenDerGroup(Item* parent, uint32_t label, uint32_t limit);
  // The element at the cursor without an item of its own: the cursor moves
  // to its value, and a length that runs past limit is noted on holder.
  DerElement EnterDerElement(Item* holder, uint32_t limit);
  // A context-tagged field holding one primitive element: the cursor moves
  // to the primitive's value, whose length is returned.
  uint32_t EnterTaggedValue(Item* holder, uint32_t limit);
  void AddGssApiToken(Item* parent, uint32_t limit);
  void AddNegotiationToken(Item* parent, uint32_t limit);
  void AddNegTokenField(Item* token, bool init, uint8_t tag, uint32_t limit);
  void AddMechTypes(Item* token, uint32_t limit);
  // An object identifier element, shown over its value in dotted form with
  // its name; returns the name's text id, 0 when it has none.
  uint32_t AddObjectIdentifier(Item* parent, uint32_t label, uint32_t limit);
  void AddSupportedMech(Item* token, uint32_t limit);
  void AddOctetsField(Item* token, uint32_t label, uint32_t limit);
  void AddNegResult(Item* token, uint32_t limit);
  void AddMechToken(Item* token, uint32_t limit);
  void AddNegHints(Item* token, uint32_t limit);

  // ---- NTLMSSP (smb_ntlmssp.cpp) ----
  static bool IsNtlmssp(ByteView token);
  // The NTLMSSP message of length bytes at the cursor, whose signature was
  // seen; the cursor ends after the last fixed field shown.
  void AddNtlmssp(Item* parent, uint32_t length);
  void AddNtlmField(Item* message, const SmbNtlmField& field, ByteView bytes, uint32_t length, uint32_t flags);
  void AddSecurityBuffer(Item* message, const SmbNtlmField& field, ByteView bytes, uint32_t messageLength,
                         bool unicode);
  void AddTargetInfo(Item* buffer, uint32_t length);
  void AddAttributeValue(Item* attribute, uint32_t type, uint32_t size);
  void AddNtlmVersion(Item* message);

  // ---- Mailslots (smb_mailslot.cpp) ----
  // A transaction's mailslot message: the data that dataOffset (counted
  // from the SMB header) points at, a browser announcement on the browse
  // mailslot.
  void AddMailslotMessage(Item* body, Text name, const TransactionCounts& counts);
  void AddBrowserMessage(Item* body, uint32_t length);
  void AddAnnouncement(Item* browser);
  void AddVersionPair(Item* parent, uint32_t label, const NameIdPair* names);

  // ---- Fields (smb_fields.cpp) ----
  // Numbers at the cursor, little-endian; each returns the value it showed.
  uint32_t AddByteField(Item* parent, uint32_t label, Text comment = {});
  uint32_t AddWordField(Item* parent, uint32_t label, Text comment = {});
  uint32_t AddDWordField(Item* parent, uint32_t label, Text comment = {});
  void AddQWordField(Item* parent, uint32_t label);
  // A bit-field group of width bytes: the whole value as a picture, then one
  // child per field with its own picture and the comment for its state. The
  // cursor passes the value with the last child. Returns the value.
  uint32_t AddBits(Item* parent, uint32_t label, uint32_t width, std::span<const SmbBitField> fields);
  void AddAccessMask(Item* parent, uint32_t label);
  void AddFileAttributes(Item* parent);
  // A Windows file time (100-nanosecond ticks from 1601-01-01) in UTC.
  void AddFileTime(Item* parent, uint32_t label);
  // A GUID in its registry form, its first three fields little-endian.
  void AddGuid(Item* parent, uint32_t label);
  // The next command of an AndX chain, named when there is none, and its offset.
  void AddAndX(Item* body, bool nameLastCommand = true);
  // The bytes between the cursor and an area that starts offset bytes into
  // the SMB message; nothing when the area starts at or before the cursor.
  void AddPaddingTo(Item* body, uint32_t offset);
  // Moves the cursor to a frame offset inside this layer; throws when the
  // offset lies past the captured data.
  void MoveCursorTo(uint32_t offset);

  // ---- Strings (smb_fields.cpp) ----
  // A zero-terminated UTF-16 string at the cursor, its terminator included.
  void AddUnicodeText(Item* parent, uint32_t label, bool advance = true);
  // A zero-terminated 8-bit string at the cursor in the thread's code page, its terminator included.
  void AddAnsiText(Item* parent, uint32_t label);
  // A zero-terminated string as flags2 says: UTF-16 from an even offset into
  // the message, or 8-bit. The text is left in text.
  void AddSmbString(Item* parent, uint32_t label, TextBuffer& text);
  // Reads the string into text and returns the bytes it takes; a string
  // whose terminator was not captured ends the layer.
  uint32_t ReadUnicode(TextBuffer& text) const;
  uint32_t ReadAnsi(TextBuffer& text) const;

  bool unicode_ = false;  // flags2 of the message being decoded
};

// Appends UTF-16 little-endian text (length bytes, an odd last byte left
// out); a terminating zero ends it early.
void AppendUtf16LE(TextBuffer& out, const uint8_t* bytes, uint32_t length);

}  // namespace vel
