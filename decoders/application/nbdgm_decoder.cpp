// NetBIOS datagram service (UDP port 138): the datagram header, and by message
// type the source and destination names of a direct or broadcast datagram,
// whose user data is offered to the SMB module, an error code, or the name a
// query asks for.
#include "decoders/application/netbios_fields.h"
#include "engine/class_table.h"

namespace vel {

namespace {

// Labels.
constexpr uint32_t kMessageType = 960, kFlags = 961, kNodeType = 962, kFirst = 963, kMore = 964;
constexpr uint32_t kIdentification = 965, kSourceIP = 966, kSourcePort = 967, kDataLength = 968;
constexpr uint32_t kPacketOffset = 969, kSourceName = 970, kDestinationName = 971, kErrorCode = 972;

// Message types.
constexpr uint32_t kDirectUnique = 0x10, kBroadcast = 0x12, kError = 0x13, kQueryRequest = 0x14;
constexpr uint32_t kNegativeQueryResponse = 0x16;
constexpr NameIdPair kTypeNames[] = {
    {0x10, 973},  // Direct Unique
    {0x11, 974},  // Direct Group
    {0x12, 975},  // BROADCAST
    {0x13, 976},  // ERROR
    {0x14, 977},  // QUERY REQUEST
    {0x15, 978},  // POSITIVE QUERY RESPONSE
    {0x16, 979},  // Datagram positive query response
    {0, 0},
};

constexpr NameIdPair kNodeTypeNames[] = {
    {0, 980},  // B-node
    {1, 981},  // P-node
    {2, 982},  // M-node
    {3, 983},  // NBDD
    {0, 0},
};
constexpr FlagField kFlagFields[] = {{kNodeType, 0x0C, kNodeTypeNames}, {kFirst, 0x02}, {kMore, 0x01}};

constexpr NameIdPair kErrorNames[] = {
    {0x82, 984},  // Destination name not present
    {0x83, 985},  // Invalid source name format
    {0x84, 986},  // Invalid destination name format
    {0, 0},
};

constexpr uint32_t kAddressSize = 4;
// User data this short is no SMB message.
constexpr uint32_t kLeastUserData = 5;

constexpr uint32_t kUDP = 20, kNBDG = 45, kSMB = 54;
constexpr CLSID kClsid = MakeGuid("{41D20F53-E8C2-421F-A72B-89449E7CBBC5}");

}  // namespace

class CNBDGMDecoder : public NetBIOSFieldsT<CVELBaseModuleCLSIDImplT<CNBDGMDecoder, kNBDG, kClsid>> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kUDP}); }

  void DecodeLayer() override {
    const uint32_t type = AtCursor().U8(0);
    const Text typeName = NameOf(kTypeNames, type);
    AddByteItem(Group(), Res(kMessageType), typeName);
    AddFlagGroup(Group(), Res(kFlags), 1, kFlagFields);
    AddWordItem(Group(), Res(kIdentification));
    char16_t address[kIPv4TextSize];
    IPv4Text(AtCursor().Bytes(0, kAddressSize), address);
    AddTextItem(Group(), kAddressSize, Res(kSourceIP), address, {}, VEL_DII_SOURCE_IP);
    AddWordItem(Group(), Res(kSourcePort));

    NetBIOSName name;
    if (type >= kDirectUnique && type <= kBroadcast) {
      AddWordItem(Group(), Res(kDataLength));
      AddWordItem(Group(), Res(kPacketOffset));
      AddNetBIOSName(Group(), Res(kSourceName), name);
      AddNetBIOSName(Group(), Res(kDestinationName), name);
      // The group ends where the user data begins.
      SetGroupLength();
      if (Remaining() >= kLeastUserData) OfferToOutputs(kSMB, Cursor());
      return;
    }
    if (type == kError) {
      const Text error = NameOf(kErrorNames, AtCursor().U8(0));
      AddByteItem(Group(), Res(kErrorCode), error);
      TextBuffer summary;
      SetSummary(Group(), Format(summary, u"%s %s", typeName, error));
    } else if (type >= kQueryRequest && type <= kNegativeQueryResponse) {
      SetSummary(Group(), typeName);
      AddNetBIOSName(Group(), Res(kDestinationName), name);
    }
    SetGroupLength();
  }
};

VEL_REGISTER_MODULE(CNBDGMDecoder, 14, u"NBDGM Decoder", u"NBDGM Decoder Module");

}  // namespace vel
