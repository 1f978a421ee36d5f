// UDP: the eight-byte header (ports, length, checksum) and the datagram's
// payload handed to the application module that the pre-classification
// chose from the ports.
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels and texts.
constexpr uint32_t kChecksum = 126, kCorrect = 130, kIncorrect = 131;
constexpr uint32_t kSourcePort = 1150, kDestinationPort = 1151, kTotalLength = 1182;
constexpr uint32_t kNotVerifiedQuoted = 1183, kNotVerifiedTruncated = 1184;

// Header layout.
constexpr uint32_t kChecksumOffset = 6;
constexpr uint8_t kIpProtocolUdp = 17;
constexpr uint32_t kIPv4FixedHeaderLength = 20, kIPv6HeaderLength = 40;

constexpr CLSID kClsid = MakeGuid("{7D3453AE-DFA1-4BFE-BAD3-6FB6D01AE91A}");

}  // namespace

class CUDPDecoder : public CVELBaseModuleCLSIDImplT<CUDPDecoder, 20, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {1, 52}); }

  // The length field is shown as it is, not compared with the IP length or
  // the captured data.
  void DecodeLayer() override {
    AddWordItem(Group(), Res(kSourcePort), {}, VEL_DII_SOURCE_PORT);
    AddWordItem(Group(), Res(kDestinationPort), {}, VEL_DII_DEST_PORT);
    AddWordItem(Group(), Res(kTotalLength));
    Item* checksum = AddWordItem(Group(), Res(kChecksum));
    if (VerifyChecksum()) JudgeChecksum(checksum);
    ForwardPayload();
  }

 private:
  // Checks the datagram against the IP datagram that carries it: the nearest
  // IP header before this layer gives the pseudo-header, and the datagram
  // runs from this layer to that IP datagram's end (so headers in between,
  // such as IPv6 extension headers, are left out). A checksum field of 0 is
  // judged like any other value.
  void JudgeChecksum(Item* item) {
    if (Packet()->nQuotedDatagram) return SetComment(item, Res(kNotVerifiedQuoted));
    const uint8_t* ipv4 = HeaderBeforeLayer(Packet()->pIPv4Header);
    const uint8_t* ipv6 = HeaderBeforeLayer(Packet()->pIPv6Header);
    // Without an IP header there is no pseudo-header to disprove the field with.
    if (!ipv4 && !ipv6) return SetComment(item, Res(kCorrect));
    bool overIPv6 = ipv6 && (!ipv4 || ipv6 > ipv4);
    ByteView frame(Packet()->pFrameData, Packet()->pFrameData, Packet()->FrameEnd());
    uint32_t ip = static_cast<uint32_t>((overIPv6 ? ipv6 : ipv4) - Packet()->pFrameData);
    uint32_t ipHeaderSize = overIPv6 ? kIPv6HeaderLength : kIPv4FixedHeaderLength;
    if (!frame.Has(ip, ipHeaderSize)) return SetComment(item, Res(kNotVerifiedTruncated));
    uint32_t datagramEnd = overIPv6 ? ip + kIPv6HeaderLength + frame.U16(ip + 4) : ip + frame.U16(ip + 2);
    if (datagramEnd > frame.size() || datagramEnd < LayerOffset() + kChecksumOffset + 2)
      return SetComment(item, Res(kNotVerifiedTruncated));

    ByteView datagram = frame.Sub(LayerOffset(), datagramEnd - LayerOffset());
    uint8_t pseudo[kPseudoHeaderIPv6Size];
    if (overIPv6)
      PseudoHeaderIPv6(frame.data() + ip, kIpProtocolUdp, datagram.size(), pseudo);
    else
      PseudoHeaderIPv4(frame.data() + ip, kIpProtocolUdp, datagram.size(), pseudo);
    uint32_t expected = ExpectedChecksum(pseudo, overIPv6 ? kPseudoHeaderIPv6Size : kPseudoHeaderIPv4Size,
                                         datagram.data(), datagram.size(), kChecksumOffset);
    uint32_t field = datagram.U16(kChecksumOffset);
    // One's-complement arithmetic has two zeros: 0xFFFF stands for a computed 0.
    if (field == expected || (expected == 0 && field == 0xFFFF)) return SetComment(item, Res(kCorrect));
    TextBuffer comment;
    SetComment(item, Format(comment, u"%s 0x%04x", Res(kIncorrect), expected));
    SetItemSeverity(item, VEL_SST_INFOMATION);
    RaisePacketSeverity(VEL_SST_INFOMATION);
  }

  // header when it starts before this layer, else null.
  const uint8_t* HeaderBeforeLayer(const uint8_t* header) const {
    return header && header < Layer().data() ? header : nullptr;
  }
};

VEL_REGISTER_MODULE(CUDPDecoder, 6, u"UDP Decoder", u"UDP Decoder Module");

}  // namespace vel
