#include "test_module.h"
#include "test_support.h"

namespace vel::test {
namespace {

TEST(ModuleGraph, ConnectionsFollowTheAcceptLists) {
  auto ip = CTestModule::Make(1, {48});
  auto udp = CTestModule::Make(20, {1, 52});
  EXPECT_EQ(S_FALSE, ip->IsConnectedWith(nullptr));
  EXPECT_EQ(S_FALSE, ip->IsConnectedWith(udp.get()));
  EXPECT_EQ(S_OK, ip->ConnectModule(udp.get()));
  EXPECT_EQ(S_OK, ip->IsConnectedWith(udp.get()));
  EXPECT_EQ(S_FALSE, udp->ConnectModule(ip.get()));
  EXPECT_TRUE(udp->Outputs().empty());
  EXPECT_EQ(S_FALSE, ip->ConnectModule(nullptr));
  EXPECT_EQ(S_OK, udp->AcceptModule(ip.get()));
  EXPECT_EQ(S_FALSE, udp->AcceptModule(nullptr));
}

TEST(ModuleGraph, DoubleConnectionsAndRemovalOfTheFirst) {
  auto ip = CTestModule::Make(1, {});
  auto udp = CTestModule::Make(20, {1});
  auto tcp = CTestModule::Make(2, {1});
  ip->ConnectModule(udp.get());
  ip->ConnectModule(tcp.get());
  ip->ConnectModule(udp.get());
  ASSERT_EQ(ip->Outputs().size(), 3u);
  ip->OnManagerNotify(VGME_GME_REMOVE_MODULE, reinterpret_cast<int64_t>(static_cast<IVELDcoder*>(udp.get())), 0);
  EXPECT_EQ(ip->Outputs(), (std::vector<IVELDcoder*>{tcp.get(), udp.get()}));
  EXPECT_EQ(S_FALSE, ip->OnManagerNotify(VGME_GME_DESTROY, 0, 0));
  EXPECT_TRUE(ip->Outputs().empty());
  EXPECT_EQ(S_FALSE, ip->OnManagerNotify(VGME_GME_JOINGRAPH, 0, 0));
}

// A manager holding only the root and the given modules.
ComPtr<IOrvDecoderManager> ManagerWith(std::initializer_list<IVELDcoder*> modules) {
  auto manager = MakeManager(false);
  manager->Initialize();
  for (IVELDcoder* m : modules) manager->AddModule(m);
  return manager;
}

const Bytes kIpFrame = Hex("000000000002 000000000001 0800 4500001c000100004011f97c7f0000017f000001 04d20035000800 00");

TEST(ModuleGraph, DisabledModuleDeclinesAndTheNextOutputIsTried) {
  auto first = CTestModule::Make(1, {48});
  auto second = CTestModule::Make(1, {48});
  auto manager = ManagerWith({first.get(), second.get()});
  first->put_Enable(0);
  auto info = Decode(manager.get(), kIpFrame);
  EXPECT_EQ(first->decodeCalls, 0);
  EXPECT_EQ(second->decodeCalls, 1);
  EXPECT_EQ(GroupNames(info.get()).size(), 3u);
}

TEST(ModuleGraph, ModulesKnowTheirManager) {
  auto module = CTestModule::Make(1, {48});
  bool verify = false;
  module->body = [&](CTestModule& m) { verify = m.Manager() != nullptr; };
  auto manager = ManagerWith({module.get()});
  Decode(manager.get(), kIpFrame);
  EXPECT_TRUE(verify);
}

TEST(ModuleGraph, LayerConsumingTheCaptureOffersNothing) {
  auto ip = CTestModule::Make(1, {48});
  auto udp = CTestModule::Make(20, {1});
  ip->consume = static_cast<uint32_t>(kIpFrame.size() - 14);
  auto manager = ManagerWith({ip.get(), udp.get()});
  auto info = Decode(manager.get(), kIpFrame);
  EXPECT_EQ(udp->decodeCalls, 0);
  EXPECT_EQ(FindGroup(info.get(), "IP - ")->length, kIpFrame.size() - 14);
}

TEST(ModuleGraph, TheNextProtocolComesFromTheLayerListUpToGroupNine) {
  Bytes frame(64, 0);
  CapturedPacket captured{1, 0, 64, 64, sizeof(CapturedPacket)};
  ParsedPacket parsed{};
  parsed.pCapturedPacket = &captured;
  parsed.pFrameData = frame.data();
  for (uint32_t i = 0; i < kMaxLayers; ++i) parsed.nLayers[i] = 700 + i;
  parsed.nLayerCount = kMaxLayers;
  auto module = CTestModule::Make(5, {});
  uint32_t next = 1;
  module->body = [&](CTestModule& m) { next = m.NextProtocol(); };
  for (uint32_t existing : {2u, 8u, 9u}) {
    ComPtr<IVELPacketsDecodingInfo> info;
    CreateInstance(CLSID_CVELPacketsDecodingInfo, &info);
    for (uint32_t i = 0; i < existing; ++i) Impl(info.get())->AddGroup(u"g");
    ASSERT_EQ(S_OK, module->Decode(5, reinterpret_cast<uint8_t*>(&parsed), frame.data(), info.get()));
    EXPECT_EQ(next, existing + 1 <= 9 ? 700 + existing : 0) << "group " << existing + 1;
  }
}

TEST(ModuleGraph, NoGroupMeansTheModuleDeclines) {
  auto module = CTestModule::Make(5, {});
  Bytes frame(16, 0);
  CapturedPacket captured{1, 0, 16, 16, sizeof(CapturedPacket)};
  ParsedPacket parsed{&captured, frame.data()};
  ComPtr<IVELPacketsDecodingInfo> info;
  CreateInstance(CLSID_CVELPacketsDecodingInfo, &info);
  EXPECT_EQ(S_FALSE, module->Decode(6, reinterpret_cast<uint8_t*>(&parsed), frame.data(), info.get()));
  EXPECT_TRUE(Impl(info.get())->Groups().empty());
  EXPECT_EQ(module->decodeCalls, 0);
}

TEST(ModuleGraph, ReadPastTheCaptureEndsTheLayerWithATruncatedItem) {
  auto ip = CTestModule::Make(1, {48});
  ip->body = [](CTestModule& m) {
    m.AddWordItem(m.Group(), u"First");
    m.AddDWordItem(m.Group(), u"Beyond");
  };
  auto manager = ManagerWith({ip.get()});
  auto info = Decode(manager.get(), kIpFrame, 17);
  const auto* group = FindGroup(info.get(), "IP - ");
  EXPECT_EQ(ChildNames(group), (std::vector<std::string>{"First", "Truncated"}));
  const auto* marker = FindItem(group, "Truncated");
  EXPECT_EQ(marker->startPos, 16u);
  EXPECT_EQ(marker->length, 1u);
  EXPECT_EQ(CommentOf(marker), "Frame ends here: 1 of the 4 bytes this field needs were captured");
  EXPECT_EQ(group->length, 3u);
}

}  // namespace
}  // namespace vel::test
