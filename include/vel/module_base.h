// The base of every decoder module: identity, enable flag, output modules,
// the connection handshake, graph events, and the frame of Decode that takes a
// layer, lets the decoder add its fields through bounded reads, and hands the
// rest of the frame on.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "vel/byte_view.h"
#include "vel/fields.h"
#include "vel/interfaces.h"
#include "vel/object.h"
#include "vel/protocol_catalogue.h"
#include "vel/text.h"

namespace vel {

using Item = IVELPacketsDecodingItem;
using Text = std::u16string_view;

// A label or value text from the string table, in the thread's language.
inline Text Res(uint32_t id) { return ResText(id); }

struct ModuleDispatch {
  static std::span<const dispatch::Member> Members();
};

class CVELBaseModule : public DispatchImpl<IVELDcoder, ModuleDispatch> {
 public:
  using Interfaces = std::tuple<IVELDcoder>;

  // ---- IVELDcoder ----
  HRESULT get_Name(BSTR* pVal) override;
  HRESULT put_Name(BSTR newVal) override;
  HRESULT get_CLSID(BSTR* pVal) override;
  HRESULT get_Enable(int32_t* pVal) override;
  HRESULT put_Enable(int32_t newVal) override;
  HRESULT get_ProtocolType(uint32_t* pVal) override;
  HRESULT put_ProtocolType(uint32_t newVal) override;
  HRESULT IsConnectedWith(IVELDcoder* pDstModule) override;
  HRESULT ConnectModule(IVELDcoder* pOutputModule) override;
  HRESULT AcceptModule(IVELDcoder* pInputModule) override;
  HRESULT OnManagerNotify(uint32_t nEventCode, int64_t nEventParam1, int64_t nEventParam2) override;
  // Entry step, the decoder's DecodeLayer, and its end; a read past the
  // captured data ends the layer with what was shown so far.
  HRESULT Decode(uint32_t nProtocol, uint8_t* pPacket, uint8_t* pDataDecoded,
                 IVELPacketsDecodingInfo* piDecodingInfo) override;

  // ---- Internal operations ----
  virtual bool CanConnect(IVELDcoder* pOutputModule);
  virtual bool CanAccept(IVELDcoder* pInputModule);
  virtual ~CVELBaseModule();

  const std::vector<IVELDcoder*>& Outputs() const { return outputs_; }

 protected:
  CVELBaseModule(uint32_t protocolType, const CLSID& clsid);

  // The decoder's field decoding, run after the layer group was made. It ends
  // with ForwardPayload() when the layer hands its payload on.
  virtual void DecodeLayer() = 0;
  // What Decode returns when the module does not take the packet, and after
  // an unexpected failure inside DecodeLayer.
  virtual HRESULT DeclinedResult() const { return S_FALSE; }
  // Whether this module takes a layer offered as nProtocol, and the protocol
  // type its group is made for: by default its own type only.
  virtual bool TakesLayer(uint32_t nProtocol, uint32_t* groupType) const;
  // The protocol type this layer was offered as.
  uint32_t OfferedProtocol() const { return offered_; }

  // True when input's protocol type is in accepted.
  static bool InputTypeIn(IVELDcoder* input, std::initializer_list<uint32_t> accepted);

  // ---- The shared frame ----
  bool BeginLayer(uint32_t nProtocol, uint8_t* pPacket, uint8_t* pDataDecoded, IVELPacketsDecodingInfo* info);
  // Sets the group's Length to the bytes consumed and offers the rest, under
  // the next protocol, to the output modules. Returns S_OK.
  HRESULT ForwardPayload();
  // Sets the group's Length to the bytes consumed by this layer.
  void SetGroupLength();
  // Names this layer's group, for a protocol type the catalogue has no row for.
  void NameGroup(Text name);
  // Offers data to the output modules as nProtocol until one takes it.
  HRESULT OfferToOutputs(uint32_t nProtocol, const uint8_t* data);
  // The next protocol ForwardPayload uses: the layer list at the group's
  // index - 1, unless the decoder chose another.
  uint32_t NextProtocol() const { return next_; }
  void SetNextProtocol(uint32_t type) { next_ = type; }
  // The catalogue's long name of the next protocol; a type without a row is
  // named as the unknown protocol.
  Text NextLayerName() const {
    const char16_t* name = ProtocolLongName(next_);
    return name ? name : ProtocolLongName(0);
  }

  // ---- Per-call state ----
  ParsedPacket* Packet() const { return packet_; }
  Item* Group() const { return group_; }
  IVELPacketsDecodingInfo* Info() const { return info_; }
  IOrvDecoderManager* Manager() const { return manager_; }
  // The manager's checksum setting; on when there is no manager.
  bool VerifyChecksum() const;
  uint32_t LayerOffset() const { return layerOffset_; }
  // Index of this layer's group among the packet's groups.
  uint32_t GroupIndex() const;
  // Raises the packet's severity.
  void RaisePacketSeverity(uint32_t severity);
  // The verdict on a checksum item: "Correct", or "Incorrect, should be
  // 0x%04x" of the value the field should hold, which puts severity 1 on the
  // item and the packet.
  void ShowChecksumVerdict(Item* item, bool correct, uint32_t expected);
  // The same for an Internet checksum over data, whose field lies at
  // checksumOffset of it.
  void JudgeInternetChecksum(Item* item, ByteView data, uint32_t checksumOffset);
  // Appends the host's name for the vendor of a hardware address (known by
  // its first three bytes); nothing when the host has none.
  void AppendVendorName(TextBuffer& out, const uint8_t* address) const;

  // ---- Bounded reading ----
  // From the start of this layer / from the cursor to the end of the captured data.
  ByteView Layer() const { return ByteView(frame_, layerStart_, end_); }
  ByteView AtCursor() const { return ByteView(frame_, cursor_, end_); }
  const uint8_t* Cursor() const { return cursor_; }
  uint32_t CursorOffset() const { return static_cast<uint32_t>(cursor_ - frame_); }
  uint32_t Remaining() const { return cursor_ < end_ ? static_cast<uint32_t>(end_ - cursor_) : 0; }
  // Moves the cursor forward; throws when that would pass the captured data.
  void Skip(uint32_t count);
  // Moves the cursor to a position inside this layer's captured data.
  void SetCursor(const uint8_t* position);

  // ---- Adding fields at the cursor (each checks its bytes are captured) ----
  Item* AddByteItem(Item* parent, Text name, Text comment = {}, uint32_t type = 0, bool advance = true);
  Item* AddWordItem(Item* parent, Text name, Text comment = {}, uint32_t type = 0, bool advance = true,
                    bool networkOrder = true);
  Item* AddDWordItem(Item* parent, Text name, Text comment = {}, uint32_t type = 0, bool advance = true,
                     bool networkOrder = true);
  Item* AddHexItem(Item* parent, Text name, uint32_t length, Text comment = {}, uint32_t type = 0,
                   bool advance = true);
  Item* AddTextItem(Item* parent, uint32_t length, Text name, Text value, Text comment = {}, uint32_t type = 0,
                    bool advance = true);
  Item* AddRemainingItem(Item* parent, Text name);
  // An item of length data bytes at the cursor, without a value, whose
  // comment counts them ("%u (0x%X) Bytes Remaining"); the cursor moves past them.
  Item* AddDataItem(Item* parent, Text name, uint32_t length);
  // A sub-group at the cursor covering length bytes; the cursor stays.
  Item* AddGroupItem(Item* parent, uint32_t length, Text name, Text value = {}, Text comment = {});

  // ---- Changing items without string copies at the interface ----
  static void SetValue(Item* item, Text value);
  static void SetComment(Item* item, Text comment);
  static void SetSummary(Item* item, Text summary);
  static void AppendSummary(Item* item, Text text);
  static void SetItemSeverity(Item* item, uint32_t severity);
  static void SetExtent(Item* item, uint32_t startPos, uint32_t length);
  static void MakeGroup(Item* item);

 private:
  void ShowTruncation(const CapturedDataEnd& end);
  void EndLayer();
  Item* AddItemAtCursor(Item* parent, Text name, uint32_t length, Text value, Text comment, uint32_t type);
  // A number field of length bytes (1, 2 or 4) whose value was read at the cursor.
  Item* AddNumberItem(Item* parent, Text name, uint32_t length, uint32_t value, Text comment, uint32_t type,
                      bool advance);

  uint32_t protocolType_;
  std::u16string name_;
  int32_t enable_ = 1;
  IOrvDecoderManager* manager_ = nullptr;
  std::vector<IVELDcoder*> outputs_;
  const CLSID clsid_;

  // Valid during one Decode.
  uint32_t layerOffset_ = 0;
  ParsedPacket* packet_ = nullptr;
  IVELPacketsDecodingInfo* info_ = nullptr;
  Item* group_ = nullptr;
  const uint8_t* frame_ = nullptr;
  const uint8_t* layerStart_ = nullptr;
  const uint8_t* cursor_ = nullptr;
  const uint8_t* end_ = nullptr;
  uint32_t next_ = 0;
  uint32_t offered_ = 0;
};

// A module of protocol type kType presenting interface I.
template <class I, uint32_t kType>
class CVELBaseModuleImplT : public CVELBaseModule {
 protected:
  explicit CVELBaseModuleImplT(const CLSID& clsid) : CVELBaseModule(kType, clsid) {}
};

// The decoder class T with its protocol type and class id; T supplies
// DecodeLayer and its accept list (CanAccept).
template <class T, uint32_t kType, const CLSID& kClsid, class I = IVELDcoder>
class CVELBaseModuleCLSIDImplT : public CVELBaseModuleImplT<I, kType> {
 public:
  static constexpr uint32_t kProtocolType = kType;
  static const CLSID& ClassId() { return kClsid; }

  static HRESULT CreateInstance(REFIID riid, void** ppv) { return CComObject<T>::CreateInstance(riid, ppv); }

 protected:
  CVELBaseModuleCLSIDImplT() : CVELBaseModuleImplT<I, kType>(kClsid) {}
};

}  // namespace vel
