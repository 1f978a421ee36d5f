// RIP versions 1 and 2: the four-byte header, then 20-byte entries, each
// route a group titled with its address and metric; for version 2 also the
// authentication entry. The summary is the command's name. Nothing is handed on.
#include "decoders/application/value_text.h"
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels and texts.
constexpr uint32_t kVersion = 111, kReserved = 117, kIpAddress = 177, kSequenceNumber = 226;
constexpr uint32_t kCommand = 620, kRouteTitle = 621, kAddressFamily = 622, kMetric = 623, kRouteTag = 624;
constexpr uint32_t kSubnetMask = 625, kNextHop = 626, kAuthentication = 627, kAuthenticationFlag = 628;
constexpr uint32_t kAuthenticationType = 629, kPassword = 630, kPacketLength = 631, kKeyId = 632;
constexpr uint32_t kAuthDataLen = 633;

// Value names.
constexpr NameIdPair kCommandNames[] = {
    {1, 685}, {2, 686}, {3, 687}, {4, 688}, {5, 689}, {6, 690}, {7, 691}, {8, 692}, {9, 693}, {10, 694}, {11, 695},
    {0, 0},
};
constexpr NameIdPair kVersionNames[] = {{1, 696}, {2, 697}, {0, 0}};

// Address families: an entry whose family is 0xFFFF carries authentication.
constexpr uint32_t kFamilyIP = 2, kFamilyAuthentication = 0xFFFF;
constexpr NameIdPair kFamilyNames[] = {{0, 634}, {kFamilyIP, 635}, {kFamilyAuthentication, kAuthentication}, {0, 0}};
constexpr uint32_t kSimplePassword = 2;
constexpr NameIdPair kAuthenticationTypeNames[] = {{1, 636}, {kSimplePassword, 637}, {3, 638}, {0, 0}};

// Entry layout.
constexpr uint32_t kEntrySize = 20, kAddressOffset = 4, kMetricOffset = 16, kAddressSize = 4;
constexpr uint32_t kV1ZeroAfterFamily = 2, kV1ZeroAfterAddress = 8, kPasswordSize = 16;

constexpr uint32_t kRIP = 57, kUDP = 20;
constexpr CLSID kClsid = MakeGuid("{F78B9352-DFD3-44EE-9043-01706C4B07D2}");

}  // namespace

class CRIPDecoder : public CVELBaseModuleCLSIDImplT<CRIPDecoder, kRIP, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kUDP}); }

  void DecodeLayer() override {
    Text command = NameOf(kCommandNames, AtCursor().U8(0));
    SetSummary(Group(), command);
    AddByteItem(Group(), Res(kCommand), command);
    uint32_t version = AtCursor().U8(0);
    AddByteItem(Group(), Res(kVersion), NameOf(kVersionNames, version));
    AddWordItem(Group(), Res(kReserved));

    const uint32_t entries = Remaining();
    for (uint32_t at = 0; at < entries && AddEntry(version); at += kEntrySize) {
    }
    SetGroupLength();
  }

 private:
  // One entry at the cursor; false when it cannot be shown, which ends the walk.
  bool AddEntry(uint32_t version) {
    if (version == 1) {
      AddVersion1Route();
      return true;
    }
    if (version != 2) return false;
    uint32_t family = AtCursor().U16(0);
    if (family == kFamilyIP) {
      AddVersion2Route();
      return true;
    }
    if (family == kFamilyAuthentication) {
      AddAuthentication();
      return true;
    }
    return false;
  }

  Item* AddRouteGroup() {
    ByteView entry = AtCursor();
    char16_t address[kIPv4TextSize];
    IPv4Text(entry.Bytes(kAddressOffset, kAddressSize), address);
    TextBuffer title;
    return AddGroupItem(Group(), kEntrySize, FormatResText(title, kRouteTitle, address, entry.U32(kMetricOffset)));
  }

  void AddVersion1Route() {
    Item* route = AddRouteGroup();
    AddFamily(route);
    Skip(kV1ZeroAfterFamily);
    AddAddress(route, Res(kIpAddress), VEL_DII_IP_ADRESS);
    Skip(kV1ZeroAfterAddress);
    AddDWordItem(route, Res(kMetric));
  }

  void AddVersion2Route() {
    Item* route = AddRouteGroup();
    AddFamily(route);
    AddWordItem(route, Res(kRouteTag));
    AddAddress(route, Res(kIpAddress), VEL_DII_IP_ADRESS);
    AddAddress(route, Res(kSubnetMask), 0);
    AddDWordItem(route, Res(kNextHop));
    AddDWordItem(route, Res(kMetric));
  }

  // A simple password fills the entry, padded with zero bytes that are not
  // shown; the keyed digest's fields leave the rest of it unshown, and the
  // next entry starts after it.
  void AddAuthentication() {
    const uint32_t start = CursorOffset() - LayerOffset();
    Item* group = AddGroupItem(Group(), kEntrySize, Res(kAuthentication));
    AddWordItem(group, Res(kAuthenticationFlag));
    uint32_t type = AtCursor().U16(0);
    AddWordItem(group, Res(kAuthenticationType), NameOf(kAuthenticationTypeNames, type));
    if (type == kSimplePassword) {
      const uint8_t* field = AtCursor().Bytes(0, kPasswordSize);
      TextBuffer password;
      AppendPacketText(password, field, TextLength(field, kPasswordSize));
      AddTextItem(group, kPasswordSize, Res(kPassword), password);
      return;
    }
    AddWordItem(group, Res(kPacketLength));
    AddByteItem(group, Res(kKeyId));
    AddByteItem(group, Res(kAuthDataLen));
    AddDWordItem(group, Res(kSequenceNumber));
    SetCursor(Layer().Clamp(start + kEntrySize).data());
  }

  void AddFamily(Item* route) { AddWordItem(route, Res(kAddressFamily), NameOf(kFamilyNames, AtCursor().U16(0))); }

  void AddAddress(Item* parent, Text label, uint32_t type) {
    char16_t text[kIPv4TextSize];
    AddTextItem(parent, kAddressSize, label, IPv4Text(AtCursor().Bytes(0, kAddressSize), text), {}, type);
  }
};

VEL_REGISTER_MODULE(CRIPDecoder, 18, u"RIP Decoder", u"RIP Decoder Module");

}  // namespace vel
