// The decoder module base: connection handshake, graph events, the Decode
// frame with its truncation handling, and the field-adding helpers.
#include "vel/module_base.h"

#include <algorithm>
#include <span>
#include <tuple>

#include "results/decoding_info.h"
#include "results/decoding_item.h"
#include "support/decimal.h"

namespace vel {

namespace {

constexpr uint32_t kTruncatedLabel = 1005;
constexpr uint32_t kTruncatedComment = 1006;
constexpr uint32_t kHexItemDigitBytes = 32;
constexpr uint32_t kChecksumCorrect = 130, kChecksumIncorrect = 131;
// Outputs a module offers data to without copying the list to the heap.
constexpr size_t kInlineOutputs = 32;
constexpr char kHexDigits[] = "0123456789ABCDEF";

CVELPacketsDecodingItem* Impl(Item* item) { return static_cast<CVELPacketsDecodingItem*>(item); }

// The house style of a number field, "%u (0x%0NX)" with N hex digits,
// written straight into the item's value without parsing a format.
void SetNumberAndHex(CVELPacketsDecodingItem* item, uint32_t value, int hexDigits) {
  int digits = hexDigits;
  while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
  char16_t* to = item->PlaceValue(DecimalDigits(value) + 5 + static_cast<uint32_t>(digits));
  to = PutDecimal(to, value);
  for (char16_t c : std::u16string_view(u" (0x")) *to++ = c;
  for (int i = digits - 1; i >= 0; --i) *to++ = static_cast<char16_t>(kHexDigits[(value >> (4 * i)) & 0xF]);
  *to = u')';
}

template <class... T>
std::tuple<T...> CopyOf(const std::tuple<T&...>& references) {
  return references;
}

constexpr dispatch::Member kModuleMembers[] = {
    dispatch::Get<&IVELDcoder::get_Name>(u"Name", 1),
    dispatch::Put<&IVELDcoder::put_Name>(u"Name", 1),
    dispatch::Get<&IVELDcoder::get_CLSID>(u"CLSID", 2),
    dispatch::Get<&IVELDcoder::get_Enable>(u"Enable", 3),
    dispatch::Put<&IVELDcoder::put_Enable>(u"Enable", 3),
    dispatch::Get<&IVELDcoder::get_ProtocolType>(u"ProtocolType", 4),
    dispatch::Put<&IVELDcoder::put_ProtocolType>(u"ProtocolType", 4),
    dispatch::Method<&IVELDcoder::IsConnectedWith>(u"IsConnectedWith", 0x14),
    dispatch::Method<&IVELDcoder::ConnectModule>(u"ConnectModule", 0x15),
    dispatch::Method<&IVELDcoder::AcceptModule>(u"AcceptModule", 0x16),
    dispatch::Method<&IVELDcoder::OnManagerNotify>(u"OnManagerNotify", 0x17),
    dispatch::Method<&IVELDcoder::Decode>(u"Decode", 0x18),
};

}  // namespace

std::span<const dispatch::Member> ModuleDispatch::Members() { return kModuleMembers; }

CVELBaseModule::CVELBaseModule(uint32_t protocolType, const CLSID& clsid) : protocolType_(protocolType), clsid_(clsid) {}

CVELBaseModule::~CVELBaseModule() = default;

// ---- Identity and settings --------------------------------------------------

HRESULT CVELBaseModule::get_Name(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = AllocBstr(name_);
  return S_OK;
}

HRESULT CVELBaseModule::put_Name(BSTR newVal) {
  name_.assign(BstrView(newVal));
  return S_OK;
}

HRESULT CVELBaseModule::get_CLSID(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = AllocBstr(GuidToU16String(clsid_));
  return S_OK;
}

HRESULT CVELBaseModule::get_Enable(int32_t* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = enable_;
  return S_OK;
}

HRESULT CVELBaseModule::put_Enable(int32_t newVal) {
  enable_ = newVal;
  return S_OK;
}

HRESULT CVELBaseModule::get_ProtocolType(uint32_t* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = protocolType_;
  return S_OK;
}

HRESULT CVELBaseModule::put_ProtocolType(uint32_t newVal) {
  protocolType_ = newVal;
  return S_OK;
}

// ---- Connections and graph events ---------------------------------------------

HRESULT CVELBaseModule::IsConnectedWith(IVELDcoder* pDstModule) {
  if (!pDstModule) return S_FALSE;
  return std::find(outputs_.begin(), outputs_.end(), pDstModule) != outputs_.end() ? S_OK : S_FALSE;
}

HRESULT CVELBaseModule::ConnectModule(IVELDcoder* pOutputModule) {
  if (!pOutputModule || !CanConnect(pOutputModule)) return S_FALSE;
  IVELDcoder* self = nullptr;
  HRESULT hr = QueryInterface(IVELDcoder::kIID, reinterpret_cast<void**>(&self));
  if (FAILED(hr)) return hr;
  self->Release();  // this module passes itself without handing over a reference
  hr = pOutputModule->AcceptModule(self);
  if (hr != S_OK) return hr;
  outputs_.push_back(pOutputModule);
  return S_OK;
}

HRESULT CVELBaseModule::AcceptModule(IVELDcoder* pInputModule) { return CanAccept(pInputModule) ? S_OK : S_FALSE; }

bool CVELBaseModule::CanConnect(IVELDcoder*) { return true; }

bool CVELBaseModule::CanAccept(IVELDcoder*) { return false; }

bool CVELBaseModule::InputTypeIn(IVELDcoder* input, std::initializer_list<uint32_t> accepted) {
  uint32_t type = 0;
  if (!input || FAILED(input->get_ProtocolType(&type))) return false;
  return std::find(accepted.begin(), accepted.end(), type) != accepted.end();
}

HRESULT CVELBaseModule::OnManagerNotify(uint32_t nEventCode, int64_t nEventParam1, int64_t) {
  switch (nEventCode) {
    case VGME_GME_REMOVE_MODULE: {
      auto* removed = reinterpret_cast<IVELDcoder*>(nEventParam1);
      auto it = std::find(outputs_.begin(), outputs_.end(), removed);
      if (it != outputs_.end()) outputs_.erase(it);
      return S_FALSE;
    }
    case VGME_GME_JOINGRAPH: {
      auto* manager = reinterpret_cast<IDispatch*>(nEventParam1);
      if (!manager) return S_FALSE;
      IOrvDecoderManager* found = nullptr;
      HRESULT hr = manager->QueryInterface(IOrvDecoderManager::kIID, reinterpret_cast<void**>(&found));
      manager_ = SUCCEEDED(hr) ? found : nullptr;
      if (found) found->Release();  // the module does not own its manager
      return hr;
    }
    case VGME_GME_DESTROY:
      outputs_.clear();
      return S_FALSE;
    default:
      return S_FALSE;
  }
}

// ---- The Decode frame ---------------------------------------------------------

HRESULT CVELBaseModule::Decode(uint32_t nProtocol, uint8_t* pPacket, uint8_t* pDataDecoded,
                               IVELPacketsDecodingInfo* piDecodingInfo) {
  if (!BeginLayer(nProtocol, pPacket, pDataDecoded, piDecodingInfo)) return DeclinedResult();
  try {
    DecodeLayer();
    return S_OK;
  } catch (const CapturedDataEnd& end) {
    try {
      ShowTruncation(end);
    } catch (...) {
    }
    return S_OK;
  } catch (...) {
    return DeclinedResult();
  }
}

bool CVELBaseModule::BeginLayer(uint32_t nProtocol, uint8_t* pPacket, uint8_t* pDataDecoded,
                                IVELPacketsDecodingInfo* info) {
  group_ = nullptr;
  uint32_t groupType = 0;
  if (!enable_ || !pPacket || !info || !TakesLayer(nProtocol, &groupType)) return false;
  Item* group = nullptr;
  if (FAILED(info->CreateGroupEx(groupType, &group)) || !group) return false;
  offered_ = nProtocol;
  group_ = group;
  info_ = info;
  packet_ = reinterpret_cast<ParsedPacket*>(pPacket);
  frame_ = packet_->pFrameData;
  end_ = packet_->FrameEnd();
  cursor_ = std::clamp<const uint8_t*>(pDataDecoded, frame_, end_);
  layerStart_ = cursor_;
  layerOffset_ = static_cast<uint32_t>(cursor_ - frame_);
  group_->put_StartPos(layerOffset_);
  uint32_t index = GroupIndex();
  next_ = (index >= 1 && index <= 9) ? LayerProtocolType(packet_, index - 1) : 0;
  return true;
}

bool CVELBaseModule::TakesLayer(uint32_t nProtocol, uint32_t* groupType) const {
  *groupType = protocolType_;
  return nProtocol == protocolType_;
}

uint32_t CVELBaseModule::GroupIndex() const {
  uint32_t index = 0;
  if (group_) group_->get_Index(&index);
  return index;
}

void CVELBaseModule::SetGroupLength() {
  group_->put_Length(static_cast<uint32_t>(cursor_ - frame_) - layerOffset_);
}

void CVELBaseModule::NameGroup(Text name) {
  Impl(group_)->SetName(name);
  // The group was tested against the selected item under its first name.
  static_cast<CVELPacketsDecodingInfo*>(info_)->TestSelection(Impl(group_));
}

HRESULT CVELBaseModule::ForwardPayload() {
  SetGroupLength();
  if (cursor_ < end_) OfferToOutputs(next_, cursor_);
  return S_OK;
}

HRESULT CVELBaseModule::OfferToOutputs(uint32_t nProtocol, const uint8_t* data) {
  if (data >= end_) return S_FALSE;
  // The list is copied: an output may change this module's edges while it
  // decodes. The per-call state is kept aside and put back, since a quoted or
  // tunnelled layer may offer data back to this very module.
  IVELDcoder* inlineCopy[kInlineOutputs];
  std::vector<IVELDcoder*> heapCopy;
  std::span<IVELDcoder* const> outputs;
  if (outputs_.size() <= kInlineOutputs) {
    std::copy(outputs_.begin(), outputs_.end(), inlineCopy);
    outputs = std::span<IVELDcoder* const>(inlineCopy, outputs_.size());
  } else {
    heapCopy = outputs_;
    outputs = heapCopy;
  }
  auto state = std::tie(layerOffset_, packet_, info_, group_, frame_, layerStart_, cursor_, end_, next_, offered_);
  const auto saved = CopyOf(state);
  ParsedPacket* packet = packet_;
  IVELPacketsDecodingInfo* info = info_;
  HRESULT result = S_FALSE;
  for (IVELDcoder* output : outputs) {
    if (output->Decode(nProtocol, reinterpret_cast<uint8_t*>(packet), const_cast<uint8_t*>(data), info) == S_OK) {
      result = S_OK;
      break;
    }
  }
  state = saved;
  return result;
}

// The layer keeps what it showed; one item marks where the captured data ran
// out, and the group covers the layer's bytes up to the end of the capture.
void CVELBaseModule::ShowTruncation(const CapturedDataEnd& end) {
  CVELPacketsDecodingItem* marker = Impl(group_)->AddChild(Res(kTruncatedLabel), false);
  if (marker) {
    TextBuffer comment;
    marker->startPos = std::min(end.offset, static_cast<uint32_t>(end_ - frame_));
    marker->length = end.available;
    marker->SetComment(FormatResText(comment, kTruncatedComment, end.available, end.needed));
  }
  group_->put_Length(static_cast<uint32_t>(end_ - frame_) - layerOffset_);
}

bool CVELBaseModule::VerifyChecksum() const {
  int32_t verify = 1;
  if (manager_) manager_->get_VerifyChecksum(&verify);
  return verify != 0;
}

void CVELBaseModule::RaisePacketSeverity(uint32_t severity) {
  if (info_) info_->put_Severity(severity);
}

void CVELBaseModule::ShowChecksumVerdict(Item* item, bool correct, uint32_t expected) {
  if (correct) return SetComment(item, Res(kChecksumCorrect));
  TextBuffer comment;
  SetComment(item, Format(comment, u"%s 0x%04x", Res(kChecksumIncorrect), expected));
  SetItemSeverity(item, VEL_SST_INFOMATION);
  RaisePacketSeverity(VEL_SST_INFOMATION);
}

void CVELBaseModule::JudgeInternetChecksum(Item* item, ByteView data, uint32_t checksumOffset) {
  const uint8_t* bytes = data.Bytes(0, data.size());
  bool correct = (InternetChecksum(bytes, data.size()) & 0xFFFF) == 0;
  ShowChecksumVerdict(item, correct, correct ? 0 : ExpectedChecksum(nullptr, 0, bytes, data.size(), checksumOffset));
}

void CVELBaseModule::AppendVendorName(TextBuffer& out, const uint8_t* address) const {
  Bstr name;
  if (manager_ && manager_->LookupOUIName(ReadUInt24BE(address), &name) == S_OK) out.append(name.view());
}

void CVELBaseModule::Skip(uint32_t count) {
  AtCursor().Require(0, count);
  cursor_ += count;
}

void CVELBaseModule::SetCursor(const uint8_t* position) { cursor_ = std::clamp(position, layerStart_, end_); }

// ---- Adding fields ------------------------------------------------------------

Item* CVELBaseModule::AddItemAtCursor(Item* parent, Text name, uint32_t length, Text value, Text comment,
                                      uint32_t type) {
  if (!parent) return nullptr;
  CVELPacketsDecodingItem* item = Impl(parent)->AddChild(name, false);
  if (!item) return nullptr;
  item->startPos = CursorOffset();
  item->length = length;
  // A new item's texts are empty: only given texts need setting.
  if (!value.empty()) item->SetValue(value);
  if (!comment.empty()) item->SetComment(comment);
  item->type = type;
  return item;
}

Item* CVELBaseModule::AddNumberItem(Item* parent, Text name, uint32_t length, uint32_t value, Text comment,
                                    uint32_t type, bool advance) {
  Item* item = AddItemAtCursor(parent, name, length, {}, comment, type);
  if (item) SetNumberAndHex(Impl(item), value, static_cast<int>(2 * length));
  if (advance) cursor_ += length;
  return item;
}

Item* CVELBaseModule::AddByteItem(Item* parent, Text name, Text comment, uint32_t type, bool advance) {
  return AddNumberItem(parent, name, 1, AtCursor().U8(0), comment, type, advance);
}

Item* CVELBaseModule::AddWordItem(Item* parent, Text name, Text comment, uint32_t type, bool advance,
                                  bool networkOrder) {
  return AddNumberItem(parent, name, 2, networkOrder ? AtCursor().U16(0) : AtCursor().U16LE(0), comment, type, advance);
}

Item* CVELBaseModule::AddDWordItem(Item* parent, Text name, Text comment, uint32_t type, bool advance,
                                   bool networkOrder) {
  return AddNumberItem(parent, name, 4, networkOrder ? AtCursor().U32(0) : AtCursor().U32LE(0), comment, type, advance);
}

Item* CVELBaseModule::AddHexItem(Item* parent, Text name, uint32_t length, Text comment, uint32_t type,
                                 bool advance) {
  const uint8_t* bytes = AtCursor().Bytes(0, length);
  TextBuffer value;
  uint32_t shown = std::min(length, kHexItemDigitBytes);
  char16_t* digits = value.Extend(2 * shown);
  for (uint32_t i = 0; i < shown; ++i) {
    *digits++ = static_cast<char16_t>(kHexDigits[bytes[i] >> 4]);
    *digits++ = static_cast<char16_t>(kHexDigits[bytes[i] & 0x0F]);
  }
  if (length > kHexItemDigitBytes) value.append(u"...");
  Item* item = AddItemAtCursor(parent, name, length, value.view(), comment, type);
  if (advance) cursor_ += length;
  return item;
}

Item* CVELBaseModule::AddTextItem(Item* parent, uint32_t length, Text name, Text value, Text comment, uint32_t type,
                                  bool advance) {
  AtCursor().Require(0, length);
  Item* item = AddItemAtCursor(parent, name, length, value, comment, type);
  if (advance) cursor_ += length;
  return item;
}

Item* CVELBaseModule::AddRemainingItem(Item* parent, Text name) {
  uint32_t remaining = Remaining();
  if (remaining == 0) return nullptr;
  TextBuffer comment;
  Item* item = AddItemAtCursor(parent, name, remaining, {},
                               Format(comment, u"%u (0x%X) Bytes Remaining", remaining, remaining), 0);
  if (item) cursor_ = end_;
  return item;
}

Item* CVELBaseModule::AddDataItem(Item* parent, Text name, uint32_t length) {
  AtCursor().Require(0, length);
  TextBuffer comment;
  Item* item = AddItemAtCursor(parent, name, length, {}, Format(comment, u"%u (0x%X) Bytes Remaining", length, length), 0);
  cursor_ += length;
  return item;
}

Item* CVELBaseModule::AddGroupItem(Item* parent, uint32_t length, Text name, Text value, Text comment) {
  if (!parent) return nullptr;
  CVELPacketsDecodingItem* item = Impl(parent)->AddChild(name, true);
  if (!item) return nullptr;
  item->startPos = CursorOffset();
  item->length = std::min(length, Remaining());
  if (!value.empty()) item->SetValue(value);
  if (!comment.empty()) item->SetComment(comment);
  return item;
}

// ---- Changing items -------------------------------------------------------------

void CVELBaseModule::SetValue(Item* item, Text value) {
  if (item) Impl(item)->SetValue(value);
}
void CVELBaseModule::SetComment(Item* item, Text comment) {
  if (item) Impl(item)->SetComment(comment);
}
void CVELBaseModule::SetSummary(Item* item, Text summary) {
  if (item) Impl(item)->SetSummary(summary);
}
void CVELBaseModule::AppendSummary(Item* item, Text text) {
  if (item) Impl(item)->AppendSummaryText(text);
}
void CVELBaseModule::SetItemSeverity(Item* item, uint32_t severity) {
  if (item) Impl(item)->severity = severity;
}
void CVELBaseModule::SetExtent(Item* item, uint32_t startPos, uint32_t length) {
  if (!item) return;
  Impl(item)->startPos = startPos;
  Impl(item)->length = length;
}
void CVELBaseModule::MakeGroup(Item* item) {
  if (item) Impl(item)->isGroup = 1;
}

}  // namespace vel
