#include "test_support.h"
#include "vel/module_base.h"

namespace vel::test {
namespace {

// Ethernet + IPv4 (192.168.0.1 -> 192.168.0.2) + UDP; the UDP header starts at frame offset 34.
// 5353 -> 53, a DNS query, checksum 0x8790.
const Bytes kDnsQuery = Hex(
    "001122334455665544332211080045000039000100004011f95fc0a80001c0a80002"
    "14e9003500258790"
    "123401000001000000000000076578616d706c6503636f6d0000010001");
// 53 -> 5353, 12 zero bytes, checksum 0x1234 where 0x6954 belongs.
const Bytes kWrongChecksum = Hex(
    "001122334455665544332211080045000028000100004011f970c0a80001c0a80002"
    "003514e900141234"
    "000000000000000000000000");
// 137 -> 53, 12 zero bytes, checksum field 0 (0x7DB4 belongs).
const Bytes kZeroChecksum = Hex(
    "001122334455665544332211080045000028000100004011f970c0a80001c0a80002"
    "0089003500140000"
    "000000000000000000000000");
// 1900 -> 5060, no payload.
const Bytes kEmpty = Hex(
    "00112233445566554433221108004500001c000100004011f97cc0a80001c0a80002"
    "076c13c40008635a");
// Ethernet + IPv6 (2001:db8::1 -> 2001:db8::2) + hop-by-hop options + UDP 1900 -> 5060 "hello"; UDP at 62.
const Bytes kOverIPv6Extension = Hex(
    "00112233445566554433221186dd600000000015004020010db8000000000000000000000001"
    "20010db8000000000000000000000002"
    "1100010400000000"
    "076c13c4000d455d68656c6c6f");
// IPv6 carried in IPv4 (protocol 41), then UDP 1900 -> 5060 "x"; UDP at 74.
const Bytes kSixInFour = Hex(
    "001122334455665544332211080045000045000100004029668d0a0000010a000002"
    "600000000009114020010db8000000000000000000000001"
    "20010db8000000000000000000000002"
    "076c13c400091137"
    "78");
// ICMP port unreachable quoting a whole IPv4 + UDP datagram (1025 -> 53) whose checksum is wrong; quoted UDP at 62.
const Bytes kQuotedInIcmp = Hex(
    "001122334455665544332211080045000038000100004001f970c0a80001c0a80002"
    "0303e68a00000000"
    "4500001c000700003f11fa6ec0a80002c0a80009"
    "0401003500081234");

Bytes WithUdpChecksum(Bytes frame, uint16_t checksum, size_t udpStart) {
  frame[udpStart + 6] = static_cast<uint8_t>(checksum >> 8);
  frame[udpStart + 7] = static_cast<uint8_t>(checksum);
  return frame;
}

bool ModuleClassExists(const CLSID& clsid) {
  ComPtr<IVELDcoder> module;
  return SUCCEEDED(CreateInstance(clsid, &module));
}
constexpr CLSID kIPv6Decoder = MakeGuid("{C78AA047-91DB-419C-917D-EC5A2136B2FE}");
constexpr CLSID kIcmpDecoder = MakeGuid("{AA0BFB0A-FC9E-403E-8E82-03D1A69A0619}");

// The frames of a classic little-endian pcap file of tests/data.
std::vector<Bytes> PcapFrames(const std::string& name) {
  Bytes file = ReadDataFile(name);
  auto u32 = [&](size_t at) { return uint32_t{file[at]} | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t{file[at + 3]} << 24; };
  std::vector<Bytes> frames;
  for (size_t at = 24; at + 16 <= file.size();) {
    size_t length = u32(at + 8);
    at += 16;
    if (at + length > file.size()) break;
    frames.emplace_back(file.begin() + at, file.begin() + at + length);
    at += length;
  }
  return frames;
}

// Stands behind the transport decoders and records each offer they make:
// the protocol type it carries and the frame offset of its data.
constexpr CLSID kProbeClsid = MakeGuid("{8E4D2A17-C35B-4F60-A9E1-6B7C0D2F3A85}");
class CForwardProbe : public CVELBaseModuleCLSIDImplT<CForwardProbe, 0, kProbeClsid> {
 public:
  struct Offer {
    uint32_t protocol, offset;
    bool operator==(const Offer&) const = default;
  };
  std::vector<Offer> offers;

  HRESULT Decode(uint32_t nProtocol, uint8_t* pPacket, uint8_t* pDataDecoded, IVELPacketsDecodingInfo*) override {
    const auto* packet = reinterpret_cast<const ParsedPacket*>(pPacket);
    offers.push_back({nProtocol, static_cast<uint32_t>(pDataDecoded - packet->pFrameData)});
    return S_FALSE;
  }

 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {2, 20}); }
  void DecodeLayer() override {}
};

// The full graph without the application decoders, so that the probe is the
// only module the transport decoders offer their payload to.
struct ProbedGraph {
  ComPtr<IOrvDecoderManager> manager = MakeManager();
  ComPtr<CComObject<CForwardProbe>> probe;

  ProbedGraph() {
    ComPtr<IIDECollection> modules;
    manager->EnumerateModules(&modules);
    int32_t count = 0;
    modules->get_Count(&count);
    for (int32_t i = 1; i <= count; ++i) {
      Variant item;
      modules->get_Item(Variant(i), &item);
      ComPtr<IVELDcoder> module = ComPtr<IDispatch>(item.pdispVal).As<IVELDcoder>();
      uint32_t type = 0;
      module->get_ProtocolType(&type);
      if (type != 48 && type != 1 && type != 52 && type != 2 && type != 20) manager->RemoveModule(module.get());
    }
    IVELDcoder* created = nullptr;
    CComObject<CForwardProbe>::CreateInstance(IVELDcoder::kIID, reinterpret_cast<void**>(&created));
    probe = ComPtr<CComObject<CForwardProbe>>::Adopt(static_cast<CComObject<CForwardProbe>*>(created));
    manager->AddModule(created);
  }

  std::vector<CForwardProbe::Offer> OffersFor(const Bytes& frame) {
    probe->offers.clear();
    Decode(manager.get(), frame);
    return probe->offers;
  }
};

std::string ChecksumComment(IVELPacketsDecodingInfo* info) {
  return CommentOf(FindItem(FindGroup(info, "UDP - "), "Checksum"));
}

TEST(UdpDecoder, HeaderShowsFourItemsAndNoSummary) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kDnsQuery);
  const auto* udp = FindGroup(info.get(), "UDP - ");
  ASSERT_NE(udp, nullptr);
  EXPECT_EQ(Narrow(udp->Name()), "UDP - User Datagram Protocol");
  EXPECT_EQ(udp->startPos, 34u);
  EXPECT_EQ(udp->length, 8u);
  EXPECT_EQ(SummaryOf(udp), "");
  EXPECT_EQ(ChildNames(udp), (std::vector<std::string>{"Source Port", "Destination Port", "Total length", "Checksum"}));
  const char* const values[] = {"5353 (0x14E9)", "53 (0x0035)", "37 (0x0025)", "34704 (0x8790)"};
  const uint32_t types[] = {VEL_DII_SOURCE_PORT, VEL_DII_DEST_PORT, 0, 0};
  for (uint32_t i = 0; i < 4; ++i) {
    const auto* item = udp->Children()[i];
    EXPECT_EQ(item->startPos, 34 + 2 * i);
    EXPECT_EQ(item->length, 2u);
    EXPECT_EQ(ValueOf(item), values[i]);
    EXPECT_EQ(item->type, types[i]);
  }
  EXPECT_EQ(ChecksumComment(info.get()), "Correct");
  TruncationSweep(m.get(), kDnsQuery);
}

TEST(UdpDecoder, ChecksumVerification) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kWrongChecksum);
  EXPECT_EQ(ChecksumComment(info.get()), "Incorrect, should be 0x6954");
  uint32_t severity = 0;
  info->get_Severity(&severity);
  EXPECT_EQ(severity, uint32_t{VEL_SST_INFOMATION});
  TruncationSweep(m.get(), kWrongChecksum);

  // A checksum field of 0 is judged like any other value.
  info = Decode(m.get(), kZeroChecksum);
  EXPECT_EQ(ChecksumComment(info.get()), "Incorrect, should be 0x7db4");
  TruncationSweep(m.get(), kZeroChecksum);

  // 0xFFFF is the other form of a computed 0: 1900 -> 5060 with payload 0x6356 sums to it.
  Bytes negativeZero = Concat({Hex("00112233445566554433221108004500001e000100004011f97ac0a80001c0a80002"),
                               Hex("076c13c4000affff"), Hex("6356")});
  EXPECT_EQ(ChecksumComment(Decode(m.get(), negativeZero).get()), "Correct");
  EXPECT_EQ(ChecksumComment(Decode(m.get(), WithUdpChecksum(negativeZero, 0, 34)).get()), "Correct");

  // A capture that ends inside the datagram cannot be checked.
  info = Decode(m.get(), kDnsQuery, static_cast<uint32_t>(kDnsQuery.size() - 1));
  EXPECT_EQ(ChecksumComment(info.get()), "Not verified, data truncated");

  m->put_VerifyChecksum(0);
  info = Decode(m.get(), kWrongChecksum);
  EXPECT_EQ(ChecksumComment(info.get()), "");
}

TEST(UdpDecoder, PayloadGoesToTheTypeThePortsChose) {
  ProbedGraph graph;
  using Offers = std::vector<CForwardProbe::Offer>;
  EXPECT_EQ(graph.OffersFor(kDnsQuery), (Offers{{29, 42}}));       // 5353 -> 53: DNS
  EXPECT_EQ(graph.OffersFor(kWrongChecksum), (Offers{{29, 42}}));  // 53 -> 5353: DNS
  EXPECT_EQ(graph.OffersFor(kZeroChecksum), (Offers{{44, 42}}));   // 137 -> 53: the source port wins
  EXPECT_EQ(graph.OffersFor(kEmpty), Offers{});                    // nothing after the header

  auto info = Decode(graph.manager.get(), kEmpty);
  EXPECT_EQ(GroupNames(info.get()).back(), "UDP - User Datagram Protocol");
  EXPECT_EQ(ChildNames(FindGroup(info.get(), "UDP - ")).size(), 4u);
  EXPECT_EQ(FindGroup(info.get(), "UDP - ")->length, 8u);
  TruncationSweep(graph.manager.get(), kEmpty);
}

TEST(UdpDecoder, ChecksumOverIPv6) {
  if (!ModuleClassExists(kIPv6Decoder)) GTEST_SKIP() << "no IPv6 decoder in this build";
  auto m = MakeManager();
  // The pseudo-header length leaves out the extension header before UDP.
  EXPECT_EQ(ChecksumComment(Decode(m.get(), kOverIPv6Extension).get()), "Correct");
  Bytes wrong = WithUdpChecksum(kOverIPv6Extension, 0x0001, 62);
  EXPECT_EQ(ChecksumComment(Decode(m.get(), wrong).get()), "Incorrect, should be 0x455d");
  TruncationSweep(m.get(), kOverIPv6Extension);
  TruncationSweep(m.get(), wrong);

  // IPv6 inside IPv4: the inner IPv6 header is the one that counts; 1900 -> 5060 is not classified.
  EXPECT_EQ(ChecksumComment(Decode(m.get(), kSixInFour).get()), "Correct");
  EXPECT_EQ(ChecksumComment(Decode(m.get(), WithUdpChecksum(kSixInFour, 0x1138, 74)).get()),
            "Incorrect, should be 0x1137");
  TruncationSweep(m.get(), kSixInFour);
  ProbedGraph graph;
  EXPECT_EQ(graph.OffersFor(kSixInFour), (std::vector<CForwardProbe::Offer>{{20, 82}}));
}

TEST(UdpDecoder, DatagramQuotedInIcmpIsNotVerified) {
  if (!ModuleClassExists(kIcmpDecoder)) GTEST_SKIP() << "no ICMP decoder in this build";
  auto m = MakeManager();
  auto info = Decode(m.get(), kQuotedInIcmp);
  const auto* udp = FindGroup(info.get(), "UDP - ");
  ASSERT_NE(udp, nullptr);
  EXPECT_EQ(udp->startPos, 62u);
  EXPECT_EQ(ValueOf(FindItem(udp, "Checksum")), "4660 (0x1234)");
  EXPECT_EQ(CommentOf(FindItem(udp, "Checksum")), "Not verified, quoted datagram");
  TruncationSweep(m.get(), kQuotedInIcmp);
}

TEST(UdpDecoder, TcpdumpCaptures) {
  auto m = MakeManager();
  for (const char* name : {"tcpdump/dns_udp_2.pcap", "tcpdump/bfd-sbfd.pcap"}) {
    std::vector<Bytes> frames = PcapFrames(name);
    ASSERT_FALSE(frames.empty()) << name;
    for (const Bytes& frame : frames) TruncationSweep(m.get(), frame);
  }
  // A DNS query, and its answer captured with a short snapshot length; BFD over IPv4 and over IPv6.
  std::vector<Bytes> dns = PcapFrames("tcpdump/dns_udp_2.pcap");
  auto info = Decode(m.get(), dns[0]);
  EXPECT_EQ(ValueOf(FindItem(FindGroup(info.get(), "UDP - "), "Source Port")), "43966 (0xABBE)");
  EXPECT_EQ(ChecksumComment(info.get()), "Correct");
  EXPECT_EQ(ChecksumComment(Decode(m.get(), dns[1]).get()), "Not verified, data truncated");
  std::vector<Bytes> bfd = PcapFrames("tcpdump/bfd-sbfd.pcap");
  EXPECT_EQ(ChecksumComment(Decode(m.get(), bfd[0]).get()), "Correct");
  if (ModuleClassExists(kIPv6Decoder)) {
    EXPECT_EQ(ChecksumComment(Decode(m.get(), bfd[1]).get()), "Correct");
  }
}

}  // namespace
}  // namespace vel::test
