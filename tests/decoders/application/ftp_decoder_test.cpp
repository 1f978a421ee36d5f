#include "test_support.h"

namespace vel::test {
namespace {


const Node* Ftp(IVELPacketsDecodingInfo* info) { return FindGroup(info, "FTP_CTRL - File Transfer Protocol"); }

const Bytes kUser = TcpToServer(21, "USER anonymous\r\n");
const Bytes kGreeting = TcpFromServer(21, "220 Service ready\r\n");
const Bytes kTwoReplies = TcpFromServer(21, "150 Opening\r\n226 Done\r\n");
const Bytes kContinuation = TcpFromServer(21, "230-Welcome\r\n230 Done\r\n");
const Bytes kLowerCase = TcpToServer(21, "user anonymous\r\n");
const Bytes kShort = TcpToServer(21, "ab\n");
const Bytes kShortReply = TcpFromServer(21, "220 ");
const Bytes kBareCommand = TcpToServer(21, "NOOP");

TEST(FTPDecoder, CommandIsOneItemWithTheClientPrefix) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kUser);
  const Node* ftp = Ftp(info.get());
  ExpectFields(ftp, {{"Request command", kTcpPayload, 16, "USER anonymous"}});
  EXPECT_EQ(SummaryOf(ftp), "C: USER anonymous");
  EXPECT_EQ(ftp->length, 16u);

  // Without a line end the value still drops the last two bytes.
  auto bare = Decode(m.get(), kBareCommand);
  ExpectFields(Ftp(bare.get()), {{"Request command", kTcpPayload, 4, "NO"}});
  EXPECT_EQ(SummaryOf(Ftp(bare.get())), "C: NO");
}

TEST(FTPDecoder, ReplyIsOneItemHoweverManyLinesItHolds) {
  auto m = MakeManager();
  auto greeting = Decode(m.get(), kGreeting);
  ExpectFields(Ftp(greeting.get()), {{"Response", kTcpPayload, 19, "220 Service ready"}});
  EXPECT_EQ(SummaryOf(Ftp(greeting.get())), "S: 220 Service ready");

  auto two = Decode(m.get(), kTwoReplies);
  ExpectFields(Ftp(two.get()), {{"Response", kTcpPayload, 23, "150 Opening\r\n226 Done"}});
  EXPECT_EQ(SummaryOf(Ftp(two.get())), "S: 150 Opening\r\n226 Done");
}

TEST(FTPDecoder, ContinuationLinesAndLowerCaseCommandsLeaveTheGroupEmpty) {
  auto m = MakeManager();
  for (const Bytes* frame : {&kContinuation, &kLowerCase}) {
    auto info = Decode(m.get(), *frame);
    ExpectEmptyGroup(Ftp(info.get()));
  }
}

TEST(FTPDecoder, ShortSegmentsAreDataEvenWhenTheyLookLikeAReply) {
  auto m = MakeManager();
  auto shortData = Decode(m.get(), kShort);
  ExpectFields(Ftp(shortData.get()), {{"FTP Data", kTcpPayload, 3, "", "3 (0x3) Bytes Remaining"}});
  EXPECT_EQ(SummaryOf(Ftp(shortData.get())), "");
  auto shortReply = Decode(m.get(), kShortReply);
  ExpectFields(Ftp(shortReply.get()), {{"FTP Data", kTcpPayload, 4, "", "4 (0x4) Bytes Remaining"}});
}

TEST(FTPDecoder, EveryCaptureLengthOfEveryFrame) {
  auto m = MakeManager();
  for (const Bytes* frame : {&kUser, &kGreeting, &kTwoReplies, &kContinuation, &kLowerCase, &kShort, &kShortReply,
                             &kBareCommand})
    TruncationSweep(m.get(), *frame);
}

}  // namespace
}  // namespace vel::test
