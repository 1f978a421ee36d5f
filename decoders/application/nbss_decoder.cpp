// NetBIOS session service (TCP ports 139 and 445): the four-byte session
// header with its 17-bit length, the called and calling names of a session
// request, the error of a negative response, the address of a retarget
// response. A session message's payload is offered to the SMB module.
#include "decoders/application/netbios_fields.h"
#include "engine/class_table.h"

namespace vel {

namespace {

// Labels.
constexpr uint32_t kType = 880, kFlags = 881, kLengthExtension = 882, kLength = 883;
constexpr uint32_t kCalledName = 884, kCallingName = 885, kErrorCode = 886, kIPAddress = 887, kPort = 888;

// Packet types.
constexpr uint32_t kSessionMessage = 0x00, kSessionRequest = 0x81, kNegativeResponse = 0x83;
constexpr uint32_t kRetargetResponse = 0x84;
constexpr NameIdPair kTypeNames[] = {
    {0x00, 889},  // Session Message
    {0x81, 890},  // Session Request
    {0x82, 891},  // Positive Session Reponse
    {0x83, 892},  // Negative Session Response
    {0x84, 893},  // Retarget Session Response
    {0x85, 894},  // Session Keep Alive
    {0, 0},
};

constexpr NameIdPair kErrorNames[] = {
    {0x80, 895},  // Not listening on called name
    {0x81, 896},  // Not listening for calling name
    {0x82, 897},  // Called name not present
    {0x83, 898},  // Called name present, but insufficient resources
    {0x8F, 899},  // Unspecified error
    {0, 0},
};

// The flags' one bit extends the length field to 17 bits.
constexpr uint32_t kLengthExtensionBit = 0x01;
constexpr FlagField kFlagFields[] = {{kLengthExtension, kLengthExtensionBit}};

constexpr uint32_t kAddressSize = 4;
constexpr uint32_t kTCP = 2, kNBSS = 46, kSMB = 54;
constexpr CLSID kClsid = MakeGuid("{EB09F69E-C987-4862-9B16-628F3AF803B1}");

}  // namespace

class CNBSSDecoder : public NetBIOSFieldsT<CVELBaseModuleCLSIDImplT<CNBSSDecoder, kNBSS, kClsid>> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kTCP}); }

  void DecodeLayer() override {
    const uint32_t type = AtCursor().U8(0);
    AddByteItem(Group(), Res(kType), NameOf(kTypeNames, type));
    // A session message leaves its summary to the SMB layer it carries.
    if (type != kSessionMessage) SetSummary(Group(), NameOf(kTypeNames, type));
    const uint32_t flags = AddFlagGroup(Group(), Res(kFlags), 1, kFlagFields);
    AddLength(flags);

    switch (type) {
      case kSessionMessage:
        SetGroupLength();
        OfferToOutputs(kSMB, Cursor());
        return;
      case kSessionRequest: {
        NetBIOSName name;
        AddNetBIOSName(Group(), Res(kCalledName), name);
        AddNetBIOSName(Group(), Res(kCallingName), name);
        break;
      }
      case kNegativeResponse:
        AddErrorCode(NameOf(kTypeNames, type));
        break;
      case kRetargetResponse:
        AddRetargetAddress();
        break;
      default:
        break;
    }
    SetGroupLength();
  }

 private:
  void AddLength(uint32_t flags) {
    const uint32_t length = AtCursor().U16(0) + ((flags & kLengthExtensionBit) ? 0x10000 : 0);
    TextBuffer value;
    AddTextItem(Group(), 2, Res(kLength), Format(value, u"%u (0x%06x)", length, length));
  }

  // The error's name joins the type's in the summary.
  void AddErrorCode(Text typeName) {
    const Text error = NameOf(kErrorNames, AtCursor().U8(0));
    AddByteItem(Group(), Res(kErrorCode), error);
    TextBuffer summary;
    SetSummary(Group(), Format(summary, u"%s %s", typeName, error));
  }

  void AddRetargetAddress() {
    char16_t address[kIPv4TextSize];
    IPv4Text(AtCursor().Bytes(0, kAddressSize), address);
    AddTextItem(Group(), kAddressSize, Res(kIPAddress), address, {}, VEL_DII_IP_ADRESS);
    AddWordItem(Group(), Res(kPort));
  }
};

VEL_REGISTER_MODULE(CNBSSDecoder, 16, u"NBSS Decoder", u"NBSS Decoder Module");

}  // namespace vel
