// The checksum verdict shared by TCP and UDP: the segment is checked against
// the IP datagram that carries it. The nearest IP header before the layer
// gives the pseudo-header, and the segment runs from the layer to that
// datagram's end (so IPv6 extension headers in between are left out). A
// fragment holds only part of the datagram the checksum covers, so its
// checksum is not judged.
#pragma once

#include "vel/module_base.h"

namespace vel {

// Adds the transport checksum judgement to a decoder's module base.
template <class Base>
class TransportChecksumT : public Base {
 protected:
  using Base::Packet, Base::Layer, Base::LayerOffset, Base::SetComment, Base::ShowChecksumVerdict;

  void JudgeTransportChecksum(Item* item, uint8_t ipProtocol, uint32_t checksumOffset) {
    constexpr uint32_t kNotVerifiedQuoted = 1183, kNotVerifiedTruncated = 1184, kNotVerifiedFragmented = 1186;
    if (Packet()->nQuotedDatagram) return SetComment(item, Res(kNotVerifiedQuoted));
    const uint8_t* ipv4 = HeaderBeforeLayer(Packet()->pIPv4Header);
    const uint8_t* ipv6 = HeaderBeforeLayer(Packet()->pIPv6Header);
    // Without an IP header there is no pseudo-header to disprove the field with.
    if (!ipv4 && !ipv6) return ShowChecksumVerdict(item, true, 0);
    bool overIPv6 = ipv6 && (!ipv4 || ipv6 > ipv4);
    ByteView frame(Packet()->pFrameData, Packet()->pFrameData, Packet()->FrameEnd());
    uint32_t ip = static_cast<uint32_t>((overIPv6 ? ipv6 : ipv4) - Packet()->pFrameData);
    if (!frame.Has(ip, overIPv6 ? kIPv6HeaderLength : kIPv4FixedHeaderLength))
      return SetComment(item, Res(kNotVerifiedTruncated));
    if (IsFragment(frame, ip, overIPv6)) return SetComment(item, Res(kNotVerifiedFragmented));
    uint32_t datagramEnd = overIPv6 ? ip + kIPv6HeaderLength + frame.U16(ip + 4) : ip + frame.U16(ip + 2);
    if (datagramEnd > frame.size() || datagramEnd < LayerOffset() + checksumOffset + 2)
      return SetComment(item, Res(kNotVerifiedTruncated));

    ByteView segment = frame.Sub(LayerOffset(), datagramEnd - LayerOffset());
    uint8_t pseudo[kPseudoHeaderIPv6Size];
    if (overIPv6)
      PseudoHeaderIPv6(frame.data() + ip, ipProtocol, segment.size(), pseudo);
    else
      PseudoHeaderIPv4(frame.data() + ip, ipProtocol, segment.size(), pseudo);
    uint32_t expected = ExpectedChecksum(pseudo, overIPv6 ? kPseudoHeaderIPv6Size : kPseudoHeaderIPv4Size,
                                         segment.data(), segment.size(), checksumOffset);
    uint32_t field = segment.U16(checksumOffset);
    // One's-complement arithmetic has two zeros: 0xFFFF stands for a computed 0.
    ShowChecksumVerdict(item, field == expected || (expected == 0 && field == 0xFFFF), expected);
  }

 private:
  static constexpr uint32_t kIPv4FixedHeaderLength = 20, kIPv6HeaderLength = 40;

  // Whether the datagram whose IP header starts at ip is a fragment: IPv4
  // with the more-fragments flag or an offset, IPv6 with a fragment header
  // in the chain before this layer.
  bool IsFragment(const ByteView& frame, uint32_t ip, bool overIPv6) const {
    constexpr uint32_t kFragmentHeader = 44, kAuthenticationHeader = 51;
    if (!overIPv6) return (frame.U16(ip + 6) & 0x3FFF) != 0;
    uint32_t next = frame.U8(ip + 6);
    for (uint32_t at = ip + kIPv6HeaderLength; at < LayerOffset() && frame.Has(at, 2);) {
      if (next == kFragmentHeader) return true;
      uint32_t length = next == kAuthenticationHeader ? (frame.U8(at + 1) + 2) * 4 : (frame.U8(at + 1) + 1) * 8;
      next = frame.U8(at);
      at += length;
    }
    return false;
  }

  // header when it starts before this layer, else null.
  const uint8_t* HeaderBeforeLayer(const uint8_t* header) const {
    return header && header < Layer().data() ? header : nullptr;
  }
};

}  // namespace vel
