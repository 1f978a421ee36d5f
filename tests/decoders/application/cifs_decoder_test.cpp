#include "test_support.h"

namespace vel::test {
namespace {

constexpr CLSID kCifsClsid = MakeGuid("{84D22236-7E4E-4EE9-8F67-7EC8E0C89C10}");

TEST(CIFSDecoder, DeclinesEveryPacketEvenOfferedAsItsOwnType) {
  ComPtr<IVELDcoder> cifs;
  ASSERT_EQ(S_OK, CreateInstance(kCifsClsid, &cifs));
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
