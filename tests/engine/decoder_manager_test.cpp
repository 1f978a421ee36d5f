#include "test_module.h"
#include "test_support.h"

namespace vel::test {
namespace {

const Bytes kUnknownType = Hex("001122334455 665544332211 1234");

TEST(DecoderManager, UnknownTypeGivesFrameGroupAndEthernetGroup) {
  auto manager = MakeManager();
  auto info = Decode(manager.get(), kUnknownType);
  ASSERT_EQ(GroupNames(info.get()), (std::vector<std::string>{"Packet Info", "Ethernet II - Ethernet II Frame"}));
  const auto* frame = FindGroup(info.get(), "Packet Info");
  EXPECT_EQ(ChildNames(frame), (std::vector<std::string>{"Number", "Packet Length", "Capture Length", "Timestamp"}));
  EXPECT_EQ(frame->index, 1u);
  EXPECT_EQ(frame->protocol, 0u);
  EXPECT_EQ(FindItem(frame, "Capture Length")->type, uint32_t{VEL_DII_PACKET_LEN});
  EXPECT_EQ(ValueOf(FindItem(frame, "Packet Length")), "14");
}

TEST(DecoderManager, TimestampInLocalTime) {
  TimeZone utc("UTC");
  auto manager = MakeManager();
  PacketRecord record(kUnknownType, 14, 7, 1000000123);
  ComPtr<IVELPacketsDecodingInfo> info;
  ASSERT_EQ(S_OK, manager->Decode(record.data(), &info));
  const auto* frame = FindGroup(info.get(), "Packet Info");
  EXPECT_EQ(ValueOf(FindItem(frame, "Timestamp")), "1970-01-01 00:16:40.000123");
  EXPECT_EQ(ValueOf(FindItem(frame, "Number")), "7");
  uint64_t stamp = 0;
  info->get_TimeStamp(&stamp);
  EXPECT_EQ(stamp, 1000000123u);
}

TEST(DecoderManager, NullArgumentsAndDecodeWithoutRoot) {
  auto manager = MakeManager(false);
  ComPtr<IVELPacketsDecodingInfo> info;
  EXPECT_EQ(E_POINTER, manager->Decode(nullptr, &info));
  PacketRecord record(kUnknownType);
  EXPECT_EQ(E_POINTER, manager->Decode(record.data(), nullptr));
  ASSERT_EQ(S_OK, manager->Decode(record.data(), &info));
  EXPECT_EQ(GroupNames(info.get()), (std::vector<std::string>{"Packet Info"}));
  EXPECT_EQ(E_POINTER, manager->EnumerateModules(nullptr));
  EXPECT_EQ(S_FALSE, manager->AddModule(nullptr));
  EXPECT_EQ(S_FALSE, manager->RemoveModule(nullptr));
  EXPECT_EQ(S_FALSE, manager->put_NameTableObj(nullptr));
  Bstr name;
  EXPECT_EQ(S_FALSE, manager->LookupOUIName(0x001122, &name));
}

TEST(DecoderManager, DisabledRootStillSucceeds) {
  auto manager = MakeManager();
  ComPtr<IVELDcoder> root;
  manager->LookforModule(Bstr(u"{0E0B92FD-E942-4649-B36D-987410322621}"), &root);
  ASSERT_TRUE(root);
  root->put_Enable(0);
  auto info = Decode(manager.get(), kUnknownType);
  EXPECT_EQ(GroupNames(info.get()), (std::vector<std::string>{"Packet Info"}));
}

TEST(DecoderManager, GraphMaintenance) {
  auto manager = MakeManager(false);
  manager->Initialize();
  auto a = CTestModule::Make(1, {48});
  auto b = CTestModule::Make(20, {1});
  manager->AddModule(a.get());
  manager->AddModule(b.get());
  ComPtr<IVELDcoder> root;
  manager->LookforModule(Bstr(u"{0E0B92FD-E942-4649-B36D-987410322621}"), &root);
  EXPECT_EQ(S_OK, root->IsConnectedWith(a.get()));
  EXPECT_EQ(S_OK, a->IsConnectedWith(b.get()));

  IVELDcoder* none = nullptr;
  EXPECT_EQ(S_OK, manager->LookforModule(Bstr(u"{0e0b92fd-e942-4649-b36d-987410322621}"), &none));
  EXPECT_EQ(none, nullptr);

  auto stranger = CTestModule::Make(2, {1});
  EXPECT_EQ(S_FALSE, manager->RemoveModule(stranger.get()));
  EXPECT_EQ(S_FALSE, manager->RemoveModule(b.get()));
  EXPECT_EQ(S_FALSE, a->IsConnectedWith(b.get()));
  EXPECT_EQ(GraphModules(manager.get()).size(), 2u);

  EXPECT_EQ(S_OK, manager->DestroyGraph());
  EXPECT_EQ(S_FALSE, root->IsConnectedWith(a.get()));
  auto info = Decode(manager.get(), Hex("001122334455 665544332211 0800 4500"));
  EXPECT_EQ(GroupNames(info.get()), (std::vector<std::string>{"Packet Info", "Ethernet II - Ethernet II Frame"}));
}

TEST(DecoderManager, SettingsAreCopiedIntoEachDecoding) {
  auto manager = MakeManager();
  manager->put_ItemIDSelected(Bstr(u"TypeEthernet II - Ethernet II Frame"));
  auto info = Decode(manager.get(), kUnknownType);
  ComPtr<IVELPacketsDecodingItem> selected;
  info->DecodingItemSelected(&selected);
  ASSERT_TRUE(selected);
  EXPECT_EQ(Narrow(Impl(selected.get())->Name()), "Type");
  manager->put_VerifyChecksum(0);
  int32_t verify = 1;
  manager->get_VerifyChecksum(&verify);
  EXPECT_EQ(verify, 0);
}

TEST(EthernetDecoder, GroupLayoutAndVendorComments) {
  auto manager = MakeManager();
  const Bytes frame = Hex("00000c010203 0a0b0c0d0e0f 0800 4500");
  auto plain = Decode(manager.get(), frame);
  const auto* ethernet = FindGroup(plain.get(), "Ethernet II");
  EXPECT_EQ(ethernet->startPos, 0u);
  EXPECT_EQ(ethernet->length, 14u);
  EXPECT_EQ(ethernet->protocol, 48u);
  EXPECT_EQ(CommentOf(FindItem(ethernet, "Destination Address")), "");
  EXPECT_EQ(ValueOf(FindItem(ethernet, "Type")), "0x0800");
  EXPECT_EQ(CommentOf(FindItem(ethernet, "Type")), "Internet Protocol (v4)");

  SetVendorTable(manager.get(), 0x00000C, u"Cisco Systems");
  auto named = Decode(manager.get(), frame);
  ethernet = FindGroup(named.get(), "Ethernet II");
  const auto* destination = FindItem(ethernet, "Destination Address");
  EXPECT_EQ(ValueOf(destination), "00:00:0C:01:02:03");
  EXPECT_EQ(CommentOf(destination), "Cisco Systems");
  EXPECT_EQ(destination->type, uint32_t{VEL_DII_DESTINATION_ADDRESS});
  const auto* source = FindItem(ethernet, "Source Address");
  EXPECT_EQ(CommentOf(source), "");
  EXPECT_EQ(source->startPos, 6u);
  EXPECT_EQ(source->type, uint32_t{VEL_DII_SOURCE_ADDRESS});
  EXPECT_EQ(FindItem(ethernet, "Type")->startPos, 12u);
}

TEST(EthernetDecoder, Ieee8023Forms) {
  auto manager = MakeManager();
  auto snap = Decode(manager.get(), Hex("01000ccccccc 001122334455 0026 aaaa03 00000c 2000 0102"));
  const auto* group = FindGroup(snap.get(), "Ethernet SNAP - Ethernet 802.3 SNAP");
  EXPECT_EQ(ChildNames(group), (std::vector<std::string>{"Destination Address", "Source Address", "Total Length",
                                                         "DSAP", "SSAP", "CTRL", "OUIID", "Type"}));
  EXPECT_EQ(ValueOf(FindItem(group, "Total Length")), "38");
  EXPECT_EQ(ValueOf(FindItem(group, "DSAP")), "170");
  EXPECT_EQ(ValueOf(FindItem(group, "OUIID")), "00000C");
  EXPECT_EQ(ValueOf(FindItem(group, "Type")), "0x2000");
  EXPECT_EQ(CommentOf(FindItem(group, "Type")), "Cisco Discovery Protocol");
  EXPECT_EQ(group->length, 22u);

  auto raw = Decode(manager.get(), Hex("ffffffffffff 001122334455 0040 ffff 0040"));
  group = FindGroup(raw.get(), "Ethernet raw - Ethernet 802.3 raw");
  EXPECT_EQ(ValueOf(FindItem(group, "Identification")), "65535");

  auto llc = Decode(manager.get(), Hex("0180c2000000 001122334455 0026 424203 0000"));
  group = FindGroup(llc.get(), "Ethernet SAP - Ethernet 802.3 SAP");
  EXPECT_EQ(ValueOf(FindItem(group, "SSAP")), "66");
  EXPECT_EQ(group->length, 17u);
}

TEST(EthernetDecoder, ShortFramesShowWhatWasCaptured) {
  auto manager = MakeManager();
  auto info = Decode(manager.get(), Hex("001122334455 6655"));
  const auto* group = FindGroup(info.get(), "Ethernet II");
  EXPECT_EQ(ChildNames(group), (std::vector<std::string>{"Destination Address", "Truncated"}));
  EXPECT_EQ(group->length, 8u);
  TruncationSweep(manager.get(), Hex("00000c010203 0a0b0c0d0e0f 0026 aaaa03 00000c 0800 4500"));
}

}  // namespace
}  // namespace vel::test

namespace vel::test {
namespace {

const Bytes kUdpPacket = IPv4Packet(kIpProtocolUdp, UdpDatagram(40000, 40001, Ascii("hi")));

TEST(DecoderManager, RawIpStartsAtTheNetworkLayer) {
  auto manager = MakeManager();
  auto v4 = DecodeAs(manager.get(), VEL_LT_RAW_IP, kUdpPacket);
  EXPECT_EQ(GroupNames(v4.get()), (std::vector<std::string>{"Packet Info", "IP - Internet Protocol (v4)",
                                                            "UDP - User Datagram Protocol"}));
  EXPECT_EQ(FindGroup(v4.get(), "IP - ")->startPos, 0u);
  EXPECT_EQ(FindGroup(v4.get(), "UDP - ")->startPos, 20u);
  auto v6 = DecodeAs(manager.get(), VEL_LT_IPV6, IPv6Packet(kIpProtocolUdp, UdpDatagram(1, 2, {})));
  EXPECT_EQ(GroupNames(v6.get()), (std::vector<std::string>{"Packet Info", "IPv6 - Internet Protocol (v6)",
                                                            "UDP - User Datagram Protocol"}));
  TruncationSweep(manager.get(), kUdpPacket, VEL_LT_IPV4);

  // Nothing to decode: an unknown IP version, a link type the engine does not know.
  for (auto [linkType, frame] : {std::pair<uint16_t, Bytes>{VEL_LT_RAW_IP, Hex("50000020")}, {99, kUdpPacket}}) {
    auto info = DecodeAs(manager.get(), linkType, frame);
    EXPECT_EQ(GroupNames(info.get()), (std::vector<std::string>{"Packet Info"})) << linkType;
  }
}

TEST(DecoderManager, LinkRootsStayOutOfTheModuleListButFollowTheGraph) {
  auto manager = MakeManager();
  for (const auto& module : GraphModules(manager.get())) {
    uint32_t type = 0;
    module->get_ProtocolType(&type);
    EXPECT_TRUE(type < kLinuxCookedType || type > kLoopbackType) << type;
  }
  Bytes cooked = LinuxCookedFrame(kEtherTypeIPv4, kUdpPacket);
  EXPECT_EQ(GroupNames(DecodeAs(manager.get(), VEL_LT_LINUX_SLL, cooked).get()).size(), 4u);

  // A removed module is offered nothing more (the sanitizer build catches a dangling edge).
  ComPtr<IVELDcoder> ipv4;
  manager->LookforModule(Bstr(u"{4A513EC6-FBD3-455D-B8C5-D212A8DD7D08}"), &ipv4);
  ASSERT_TRUE(ipv4);
  manager->RemoveModule(ipv4.get());
  ipv4 = {};
  EXPECT_EQ(GroupNames(DecodeAs(manager.get(), VEL_LT_LINUX_SLL, cooked).get()),
            (std::vector<std::string>{"Packet Info", "SLL - Linux Cooked Capture"}));

  // A module that joins later is connected to the roots.
  auto replacement = CTestModule::Make(1, {kLinuxCookedType});
  manager->AddModule(replacement.get());
  DecodeAs(manager.get(), VEL_LT_LINUX_SLL, cooked);
  EXPECT_EQ(replacement->decodeCalls, 1);

  // After DestroyGraph the roots still show their own header, as the Ethernet root does.
  manager->DestroyGraph();
  EXPECT_EQ(GroupNames(DecodeAs(manager.get(), VEL_LT_NULL, LoopbackFrame(2, kUdpPacket, false)).get()),
            (std::vector<std::string>{"Packet Info", "Loopback - BSD Loopback"}));
}

}  // namespace
}  // namespace vel::test
