// The NetBIOS name reader, seen through the names of session requests, whose
// compression pointers count from the session header.
#include "test_support.h"

namespace vel::test {
namespace {

constexpr uint32_t kCalled = kTcpPayload + 4;

Bytes SessionRequest(const Bytes& called, const Bytes& calling) {
  Bytes names = Concat({called, calling});
  return TcpFrame(1025, 139, Concat({Hex("81 00"), Bytes{0, static_cast<uint8_t>(names.size())}, names}));
}

// The name's bytes, its scope labels after it.
Bytes WithScope(Bytes name, const Bytes& scope) {
  name.pop_back();
  return Concat({name, scope});
}

const Node* Called(IVELPacketsDecodingInfo* info) { return ItemAt(info, {"NBSS - ", "Called Name"}); }
const Node* Calling(IVELPacketsDecodingInfo* info) { return ItemAt(info, {"NBSS - ", "Calling Name"}); }

const Bytes kCompressed = SessionRequest(NetBIOSName("FILESERVER", 0x20), Hex("c004"));
// The called name points at itself, the calling name forward.
const Bytes kNotBackwards = SessionRequest(Hex("c004"), Hex("c008 0000"));
const Bytes kScoped = SessionRequest(
    WithScope(NetBIOSName("\x01\x02__MSBROWSE__\x02", 0x01), Concat({Hex("07"), Ascii("NETBIOS"), Hex("03"),
                                                                     Ascii("COM"), Hex("00")})),
    NetBIOSName("", 0xBF));
const Bytes kPlain = SessionRequest(NetBIOSName("*SMBSERVER", 0x20), NetBIOSName("CLIENT", 0x00));

using NetBIOSNames = DecoderTest;

TEST_F(NetBIOSNames, CompressionPointerRepeatsTheEarlierName) {
  auto info = SweepAndDecode(kCompressed);
  ExpectItem(Called(info.get()), kCalled, 34, "FILESERVER     <20>", "Server service");
  ExpectItem(Calling(info.get()), kCalled + 34, 2, "FILESERVER     <20>", "Compressed Name");
  EXPECT_EQ(FindGroup(info.get(), "NBSS - ")->length, 40u);
}

TEST_F(NetBIOSNames, PointersThatDoNotPointBackAreNotFollowed) {
  auto info = SweepAndDecode(kNotBackwards);
  ExpectItem(Called(info.get()), kCalled, 2, "", "Compression pointer not followed");
  ExpectItem(Calling(info.get()), kCalled + 2, 2, "", "Compression pointer not followed");
}

TEST_F(NetBIOSNames, ScopeLabelsAreDecodedInPairsAfterTheSuffix) {
  auto info = SweepAndDecode(kScoped);
  // Control bytes show as '.'; every scope byte is shown like a suffix, and
  // the last one the table describes (0x31) gives the comment. The lone last
  // letter of an odd label has no pair.
  ExpectItem(Called(info.get()), kCalled, 46, "..__MSBROWSE__.<01>.<D4><31><8E>.<2E>", "Modem sharing client service");
  ExpectItem(Calling(info.get()), kCalled + 46, 34, "               <BF>", "Network Monitor Analyzer");
}

TEST_F(NetBIOSNames, NameCutByTheCaptureIsShownAsFarAsItGoes) {
  auto info = Decode(m_.get(), kPlain, kCalled + 20);
  const Node* nbss = FindGroup(info.get(), "NBSS - ");
  EXPECT_EQ(ChildNames(nbss), (Names{"Type", "Flags", "Length", "Called Name", "Truncated"}));
  ExpectItem(Called(info.get()), kCalled, 20, "*SMBSERVE");
  ExpectItem(FindItem(nbss, "Truncated"), kCalled, 20, "",
             "Frame ends here: 20 of the 34 bytes this field needs were captured");
  EXPECT_EQ(nbss->length, 24u);

  // Only the zero byte is missing.
  auto noEnd = Decode(m_.get(), kPlain, kCalled + 34 + 33);
  ExpectItem(Calling(noEnd.get()), kCalled + 34, 33, "CLIENT         <00>", "Workstation/Redirector");
  EXPECT_EQ(CommentOf(FindItem(FindGroup(noEnd.get(), "NBSS - "), "Truncated")),
            "Frame ends here: 33 of the 34 bytes this field needs were captured");

  // Half a pointer.
  auto halfPointer = Decode(m_.get(), kCompressed, kCalled + 35);
  ExpectItem(Calling(halfPointer.get()), kCalled + 34, 1, "");
  EXPECT_EQ(CommentOf(FindItem(FindGroup(halfPointer.get(), "NBSS - "), "Truncated")),
            "Frame ends here: 1 of the 2 bytes this field needs were captured");
}

}  // namespace
}  // namespace vel::test
