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

using FTPDecoder = DecoderTest;

TEST_F(FTPDecoder, CommandIsOneItemWithTheClientPrefix) {
  auto info = SweepAndDecode(kUser);
  const Node* ftp = Ftp(info.get());
  ExpectFields(ftp, {{"Request command", kTcpPayload, 16, "USER anonymous"}});
  EXPECT_EQ(SummaryOf(ftp), "C: USER anonymous");
  EXPECT_EQ(ftp->length, 16u);

  // Without a line end the value still drops the last two bytes.
  auto bare = SweepAndDecode(kBareCommand);
  ExpectFields(Ftp(bare.get()), {{"Request command", kTcpPayload, 4, "NO"}});
  EXPECT_EQ(SummaryOf(Ftp(bare.get())), "C: NO");
}

TEST_F(FTPDecoder, ReplyIsOneItemHoweverManyLinesItHolds) {
  auto greeting = SweepAndDecode(kGreeting);
  ExpectFields(Ftp(greeting.get()), {{"Response", kTcpPayload, 19, "220 Service ready"}});
  EXPECT_EQ(SummaryOf(Ftp(greeting.get())), "S: 220 Service ready");

  auto two = SweepAndDecode(kTwoReplies);
  ExpectFields(Ftp(two.get()), {{"Response", kTcpPayload, 23, "150 Opening\r\n226 Done"}});
  EXPECT_EQ(SummaryOf(Ftp(two.get())), "S: 150 Opening\r\n226 Done");
}

TEST_F(FTPDecoder, ContinuationLinesAndLowerCaseCommandsLeaveTheGroupEmpty) {
  for (const Bytes* frame : {&kContinuation, &kLowerCase}) ExpectEmptyGroup(Ftp(SweepAndDecode(*frame).get()));
}

TEST_F(FTPDecoder, ShortSegmentsAreDataEvenWhenTheyLookLikeAReply) {
  auto shortData = SweepAndDecode(kShort);
  ExpectFields(Ftp(shortData.get()), {{"FTP Data", kTcpPayload, 3, "", "3 (0x3) Bytes Remaining"}});
  EXPECT_EQ(SummaryOf(Ftp(shortData.get())), "");
  auto shortReply = SweepAndDecode(kShortReply);
  ExpectFields(Ftp(shortReply.get()), {{"FTP Data", kTcpPayload, 4, "", "4 (0x4) Bytes Remaining"}});
}

}  // namespace
}  // namespace vel::test
