// The decoding of one packet: its facts, its layer groups in order, the worst
// severity, the selected item, and the text rendering of the whole tree.
#pragma once

#include <string>
#include <vector>

#include "results/decoding_item.h"

namespace vel {

struct InfoDispatch {
  static std::span<const dispatch::Member> Members();
};

class CVELPacketsDecodingInfo : public DispatchImpl<IVELPacketsDecodingInfo, InfoDispatch> {
 public:
  using Interfaces = std::tuple<IVELPacketsDecodingInfo>;

  // ---- Engine-side operations ----
  // A new top-level group named name (CreateGroup) or after the catalogue row
  // of protocol (CreateGroupEx); the info keeps the reference, the pointer is lent.
  CVELPacketsDecodingItem* AddGroup(std::u16string_view name);
  CVELPacketsDecodingItem* AddProtocolGroup(uint32_t protocol);

  // Severity only ever rises.
  void RaiseSeverity(uint32_t severity);
  void RaiseMaxItemLen(uint32_t length) {
    if (length > maxItemLen_) maxItemLen_ = length;
  }
  // Makes item the selected item when its identity is the selected identity.
  // The identity begins with the item's own name, so most items are turned
  // away by their name's length alone.
  void TestSelection(CVELPacketsDecodingItem* item) {
    if (item->Name().size() <= itemIdSelected_.size()) TestIdentity(item);
  }
  void SetItemIDSelected(std::u16string_view id) { itemIdSelected_.assign(id); }

  const std::vector<CVELPacketsDecodingItem*>& Groups() const { return groups_; }
  uint32_t Severity() const { return severity_; }
  uint32_t MaxItemLen() const { return maxItemLen_; }
  CVELPacketsDecodingItem* SelectedItem() const { return selected_; }
  // The summary Summary(nProtocol) answers with, or null when no group answers.
  const CVELPacketsDecodingItem* SummaryGroup(uint32_t protocol) const;
  // The deepest item covering a frame offset, or null.
  CVELPacketsDecodingItem* ItemAtOffset(uint32_t offset) const;
  void RenderText(TextBuffer& out) const;

  uint32_t sequence = 0;
  uint64_t timeStamp = 0;
  uint32_t captureLength = 0;
  uint32_t originalLength = 0;

  // ---- IVELPacketsDecodingInfo ----
  HRESULT get_Sequence(uint32_t* pVal) override;
  HRESULT put_Sequence(uint32_t newVal) override;
  HRESULT get_TimeStamp(uint64_t* pVal) override;
  HRESULT put_TimeStamp(uint64_t newVal) override;
  HRESULT get_CaptureLength(uint32_t* pVal) override;
  HRESULT put_CaptureLength(uint32_t newVal) override;
  HRESULT get_OriginalLength(uint32_t* pVal) override;
  HRESULT put_OriginalLength(uint32_t newVal) override;
  HRESULT get_MaxItemLen(uint32_t* pVal) override;
  HRESULT put_MaxItemLen(uint32_t newVal) override;
  HRESULT get_Severity(uint32_t* pVal) override;
  HRESULT put_Severity(uint32_t newVal) override;
  HRESULT get_Summary(uint32_t nProtocol, BSTR* pVal) override;
  HRESULT get_ItemIDSelected(BSTR* pVal) override;
  HRESULT put_ItemIDSelected(BSTR newVal) override;
  HRESULT DecodingItemSelected(IVELPacketsDecodingItem** ppItem) override;
  HRESULT EmunGroups(IIDECollection** ppCollection) override;
  HRESULT CreateGroup(BSTR bstrName, IVELPacketsDecodingItem** ppItem) override;
  HRESULT CreateGroupEx(uint32_t nProtocol, IVELPacketsDecodingItem** ppItem) override;
  HRESULT LooupDecodingItem(uint32_t nCookie, IVELPacketsDecodingItem** ppItem) override;
  HRESULT LooupDecodingItemEx(uint32_t nOffset, IVELPacketsDecodingItem** ppItem) override;
  HRESULT TopLayerDecodingItem(IVELPacketsDecodingItem** ppItem) override;
  HRESULT GetText(BSTR* pVal) override;

 protected:
  // Room for the groups of an ordinary packet from the start.
  CVELPacketsDecodingInfo() { groups_.reserve(kMaxLayers); }
  virtual ~CVELPacketsDecodingInfo();

 private:
  // A lasting name outlives the group and is pointed to rather than copied.
  CVELPacketsDecodingItem* AppendGroup(uint32_t protocol, bool withProtocol, std::u16string_view name,
                                       bool lastingName);

  void TestIdentity(CVELPacketsDecodingItem* item);

  std::u16string itemIdSelected_;
  uint32_t maxItemLen_ = 0;
  uint32_t severity_ = VEL_SST_INFOMATION;
  CVELPacketsDecodingItem* selected_ = nullptr;
  std::vector<CVELPacketsDecodingItem*> groups_;
};

// Makes a new decoding info holding one reference.
HRESULT CreateDecodingInfo(REFIID riid, void** ppv);

}  // namespace vel
