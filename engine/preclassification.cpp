// The pre-classification: from the link layer the host names (the EtherType
// or 802.3 LLC/SNAP header of Ethernet, the protocol of a Linux cooked
// header, the address family of a loopback header, or none for raw IP), the
// IP protocol number, the IPv6 next-header chain, the PPP protocol number and
// the TCP or UDP ports, the list of protocol types that decides which module
// receives each layer. A header that is not captured whole ends the
// classification where it stands, and so does a fragment after the first:
// its payload continues a datagram and holds no upper-layer header.
#include "engine/preclassification.h"

#include <algorithm>
#include <iterator>

#include "vel/byte_view.h"
#include "vel/protocol_catalogue.h"

namespace vel {

namespace {

constexpr uint32_t kEthernetII = 48, kRaw8023 = 49, kSnap = 50, kLlc = 51;
constexpr uint32_t kTypeIPv4 = 1, kTypeTcp = 2, kTypeUdp = 20, kTypeArp = 16, kTypeRarp = 17;
constexpr uint32_t kTypeIPv6 = 52, kTypePppoeDiscovery = 59, kTypePppoeSession = 60, kTypePpp = 61;
constexpr uint32_t kTypeVlan = 326, kTypeLldp = 327, kTypeNdp = 328, kTypeCdp = 329;
constexpr uint32_t kEthernetIIMinimum = 1500;
constexpr uint32_t kFirstUnmappedIpProtocol = 141;
constexpr uint32_t kIPv4FragmentOffsetMask = 0x1FFF, kIPv6FragmentHeader = 44, kIPv6FragmentOffsetMask = 0xFFF8;
constexpr uint8_t kCdpDestination[6] = {0x01, 0x00, 0x0C, 0xCC, 0xCC, 0xCC};

// Link headers other than Ethernet: their lengths and where their protocol lies.
constexpr uint32_t kCookedProtocolAt = 14, kCookedHeaderLength = 16;
constexpr uint32_t kCookedV2ProtocolAt = 0, kCookedV2HeaderLength = 20;
constexpr uint32_t kLoopbackHeaderLength = 4;
// Address families of IPv4 and of IPv6 as the BSD systems number it.
constexpr uint32_t kFamilyIPv4 = 2;
constexpr uint32_t kFamiliesIPv6[] = {24, 28, 30};

// IPv6 next-header values walked as extension headers.
bool IsWalkedExtension(uint32_t n) {
  switch (n) {
    case 0: case 43: case 44: case 50: case 51: case 60: case 135: case 139: case 140: return true;
    default: return false;
  }
}

class Classifier {
 public:
  Classifier(const CapturedPacket* captured, ParsedPacket* packet)
      : p_(packet),
        frame_(packet->pFrameData, packet->pFrameData, packet->pFrameData + captured->CaptureLength),
        linkType_(captured->LinkType) {}

  void Run() {
    switch (linkType_) {
      case VEL_LT_ETHERNET: return ClassifyEthernet();
      case VEL_LT_LINUX_SLL:
        Append(kLinuxCookedType);
        return ByEtherType(frame_.U16(kCookedProtocolAt), kCookedHeaderLength, true);
      case VEL_LT_LINUX_SLL2:
        Append(kLinuxCookedV2Type);
        return ByEtherType(frame_.U16(kCookedV2ProtocolAt), kCookedV2HeaderLength, true);
      case VEL_LT_NULL:
      case VEL_LT_LOOP:
        Append(kLoopbackType);
        return ByAddressFamily(ReadLoopbackFamily(frame_, linkType_).value);
      case VEL_LT_RAW_IP: return ByIpVersion(frame_.U8(0) >> 4);
      case VEL_LT_IPV4: return ByIpVersion(4);
      case VEL_LT_IPV6: return ByIpVersion(6);
      default: return;
    }
  }

 private:
  void ClassifyEthernet() {
    Append(kEthernetII);
    uint32_t t = frame_.U16(12);
    if (t >= kEthernetIIMinimum) return ByEtherType(t, 14, true);
    uint32_t dsap = frame_.U8(14), ssap = frame_.U8(15);
    if (dsap == 0xFF && ssap == 0xFF) {
      p_->nLayers[0] = kRaw8023;
      return CdpTest();
    }
    if (dsap == 0xAA && ssap == 0xAA) {
      p_->nLayers[0] = kSnap;
      return ByEtherType(frame_.U16(20), 22, true);
    }
    p_->nLayers[0] = kLlc;
    if (dsap == 0x06) return ByEtherType(0x0800, 17, true);
    CdpTest();
  }

  void ByAddressFamily(uint32_t family) {
    if (family == kFamilyIPv4) return ByEtherType(0x0800, kLoopbackHeaderLength, true);
    if (std::find(std::begin(kFamiliesIPv6), std::end(kFamiliesIPv6), family) != std::end(kFamiliesIPv6))
      ByEtherType(0x86DD, kLoopbackHeaderLength, true);
  }

  // A frame that starts with its IP header.
  void ByIpVersion(uint32_t version) {
    if (version == 4) return ByEtherType(0x0800, 0, true);
    if (version == 6) ByEtherType(0x86DD, 0, true);
  }

  void Append(uint32_t type) {
    if (p_->nLayerCount < kMaxLayers) p_->nLayers[p_->nLayerCount++] = type;
  }

  // A pointer to a header at frame offset `at`, or null when nothing of it was captured.
  const uint8_t* HeaderAt(uint32_t at) const { return at < frame_.size() ? frame_.data() + at : nullptr; }

  void CdpTest() {
    if (frame_.Has(0, 6) && std::equal(kCdpDestination, kCdpDestination + 6, frame_.data())) {
      p_->pCDPData = HeaderAt(22);
      Append(kTypeCdp);
    }
  }

  void ByEtherType(uint32_t type, uint32_t n, bool outer) {
    switch (type) {
      case 0x0800:
        Append(kTypeIPv4);
        return ClassifyIPv4(n);
      case 0x0806:
        p_->pARPHeader = HeaderAt(n);
        return Append(kTypeArp);
      case 0x8035:
        return Append(kTypeRarp);
      case 0x8863:
        return Append(kTypePppoeDiscovery);
      case 0x8864:
        return ClassifyPppoeSession(n);
      case 0x86DD:
        Append(kTypeIPv6);
        return WalkIPv6(n);
      case 0x88CC:
        p_->pLLDPData = HeaderAt(n);
        return Append(kTypeLldp);
      case 0x88A7:
        p_->pNDPData = HeaderAt(n);
        return Append(kTypeNdp);
      case 0x8100:
        if (!outer) return;
        p_->pVlanTag = HeaderAt(n);
        Append(kTypeVlan);
        return ByEtherType(frame_.U16(n + 2), n + 4, false);
      default:
        if (outer && linkType_ == VEL_LT_ETHERNET) CdpTest();
    }
  }

  void ClassifyPppoeSession(uint32_t n) {
    Append(kTypePppoeSession);
    Append(kTypePpp);
    uint32_t pppProtocol = frame_.U16(n + 6);
    Append(PppProtocolToType(pppProtocol));
    if (pppProtocol == 0x0021) ClassifyIPv4(n + 8);
  }

  void ClassifyIPv4(uint32_t h) {
    p_->pIPv4Header = HeaderAt(h);
    uint32_t headerLength = (frame_.U8(h) & 0x0F) * 4;
    p_->nIPv4HeaderLength = headerLength;
    p_->nIPv4TotalLength = frame_.U16(h + 2);
    if (frame_.U16(h + 6) & kIPv4FragmentOffsetMask) return;
    uint32_t protocol = frame_.U8(h + 9);
    if (protocol >= kFirstUnmappedIpProtocol) return;
    Append(IpProtocolNumberToType(protocol));
    uint32_t d = h + headerLength;
    switch (protocol) {
      case 1: p_->pICMPHeader = HeaderAt(d); break;
      case 6:
        p_->pTCPHeader = HeaderAt(d);
        return SelectApplication(d, kTypeTcp);
      case 17:
        p_->pUDPHeader = HeaderAt(d);
        return SelectApplication(d, kTypeUdp);
      case 41: return WalkIPv6(d);
      case 51: {
        uint32_t next = frame_.U8(d);
        if (next < kFirstUnmappedIpProtocol) Append(IpProtocolNumberToType(next));
        break;
      }
      default: break;
    }
  }

  void WalkIPv6(uint32_t h) {
    p_->pIPv6Header = HeaderAt(h);
    uint32_t n = frame_.U8(h + 6);
    uint32_t payloadLength = frame_.U16(h + 4);
    uint32_t x = h + 40;
    while (IsWalkedExtension(n)) {
      if (n == kIPv6FragmentHeader && (frame_.U16(x + 2) & kIPv6FragmentOffsetMask)) return;
      n = frame_.U8(x);
      x += (frame_.U8(x + 1) + 1) * 8;
      if (x - (h + 40) >= payloadLength) break;
    }
    if (n == 59 || n >= kFirstUnmappedIpProtocol) return;
    Append(IpProtocolNumberToType(n));
    switch (n) {
      case 1: p_->pICMPHeader = HeaderAt(x); break;
      case 6:
        p_->pTCPHeader = HeaderAt(x);
        return SelectApplication(x, kTypeTcp);
      case 17:
        p_->pUDPHeader = HeaderAt(x);
        return SelectApplication(x, kTypeUdp);
      default: break;
    }
  }

  // The application type from the ports goes into the next slot; the count
  // moves on only when it names something above the transport itself.
  void SelectApplication(uint32_t at, uint32_t transport) {
    const uint8_t* ports = frame_.Bytes(at, 4);
    uint32_t type = transport == kTypeTcp ? TcpPortToType(ports) : UdpPortToType(ports);
    if (p_->nLayerCount >= kMaxLayers) return;
    p_->nLayers[p_->nLayerCount] = type;
    if (type != transport) ++p_->nLayerCount;
  }

  ParsedPacket* p_;
  ByteView frame_;
  uint32_t linkType_;
};

}  // namespace

void Preclassify(const CapturedPacket* captured, ParsedPacket* packet) {
  packet->pCapturedPacket = captured;
  packet->pFrameData = captured->Frame();
  try {
    Classifier(captured, packet).Run();
  } catch (const CapturedDataEnd&) {
    // The classification ends at the first header that was not captured.
  }
}

}  // namespace vel
