// ARP: one message as one group, with a one-line summary of the question or
// the answer it carries.
#include "decoders/link/arp_message.h"
#include "engine/class_table.h"

namespace vel {

namespace {

// Address labels.
constexpr uint32_t kDestinationAddress = 1007, kSourceAddress = 1008;
constexpr uint32_t kSourceIp = 127, kDestinationIp = 128;
constexpr arp::AddressLabels kLabels = {kSourceAddress, kSourceIp, kDestinationAddress, kDestinationIp};

// Summaries: "Who has <target IP>? Tell <sender IP>" and "<sender MAC> has <sender IP>".
constexpr uint32_t kWhoHasSummary = 185, kHasSummary = 1205;

constexpr CLSID kClsid = MakeGuid("{913B5AE9-2055-4C13-940F-F02BBF8C7094}");

}  // namespace

class CARPDecoder : public CArpMessageDecoderT<CARPDecoder, 16, kClsid> {
 protected:
  void DecodeLayer() override {
    ShowMessage(kLabels);
    SetSummaryLine();
  }

 private:
  void SetSummaryLine() {
    char16_t senderIp[kIPv4TextSize];
    IPv4Text(MessageBytes(arp::kSenderProtocolOffset, arp::kProtocolAddressSize), senderIp);
    TextBuffer summary;
    if (Operation() == arp::kRequest) {
      char16_t targetIp[kIPv4TextSize];
      IPv4Text(MessageBytes(arp::kTargetProtocolOffset, arp::kProtocolAddressSize), targetIp);
      FormatResText(summary, kWhoHasSummary, targetIp, senderIp);
    } else {
      char16_t senderMac[kMacTextSize] = {};
      MacText(MessageBytes(arp::kSenderHardwareOffset, arp::kHardwareAddressSize), senderMac);
      FormatResText(summary, kHasSummary, senderMac, senderIp);
    }
    SetSummary(Group(), summary);
  }
};

VEL_REGISTER_MODULE(CARPDecoder, 2, u"ARP Decoder", u"ARP Decoder Module");

}  // namespace vel
