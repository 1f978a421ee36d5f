#include "engine/class_table.h"
#include "test_module.h"
#include "test_support.h"

namespace vel::test {
namespace {

constexpr CLSID kCifsClsid = MakeGuid("{84D22236-7E4E-4EE9-8F67-7EC8E0C89C10}");

ComPtr<IVELDcoder> MakeCifs() {
  const ClassEntry* entry = FindClass(kCifsClsid);
  EXPECT_NE(entry, nullptr);
  IVELDcoder* created = nullptr;
  if (entry) entry->create(IVELDcoder::kIID, reinterpret_cast<void**>(&created));
  return ComPtr<IVELDcoder>::Adopt(created);
}

TEST(CIFSDecoder, IsACreatableClassOutsideTheModuleList) {
  const ClassEntry* entry = FindClass(kCifsClsid);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->moduleName, nullptr);
  EXPECT_EQ(ProgIdOf(*entry), "CCIFSDecoder.CCIFSDecoder.1.0");
  EXPECT_EQ(VersionIndependentProgIdOf(*entry), "CCIFSDecoder.CCIFSDecoder");

  auto cifs = MakeCifs();
  ASSERT_TRUE(cifs);
  uint32_t type = 0;
  cifs->get_ProtocolType(&type);
  EXPECT_EQ(type, 47u);
  // TCP is its only input.
  EXPECT_EQ(CTestModule::Make(2, {})->ConnectModule(cifs.get()), S_OK);
  EXPECT_EQ(CTestModule::Make(46, {})->ConnectModule(cifs.get()), S_FALSE);
}

TEST(CIFSDecoder, DeclinesEveryPacketEvenOfferedAsItsOwnType) {
  auto cifs = MakeCifs();
  ASSERT_TRUE(cifs);
  Bytes frame = TcpFrame(1025, 139, Hex("00000004 ff534d42"));
  CapturedPacket captured{1, 0, static_cast<uint32_t>(frame.size()), static_cast<uint32_t>(frame.size()),
                          sizeof(CapturedPacket)};
  ParsedPacket parsed{&captured, frame.data()};
  ComPtr<IVELPacketsDecodingInfo> info;
  CreateInstance(CLSID_CVELPacketsDecodingInfo, &info);
  EXPECT_EQ(cifs->Decode(47, reinterpret_cast<uint8_t*>(&parsed), frame.data() + kTcpPayload, info.get()), S_FALSE);
  EXPECT_TRUE(Impl(info.get())->Groups().empty());
}

}  // namespace
}  // namespace vel::test
