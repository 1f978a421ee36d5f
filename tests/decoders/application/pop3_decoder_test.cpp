#include "test_support.h"

namespace vel::test {
namespace {

const Node* Pop3(IVELPacketsDecodingInfo* info) { return FindGroup(info, "POP3 - Post Office Protocol"); }

const Bytes kGreeting = TcpFromServer(110, "+OK POP3 server ready\r\n");
const Bytes kError = TcpFromServer(110, "-ERR no such message\r\n");
const Bytes kNumbered = TcpFromServer(110, "250 OK\r\n");
const Bytes kListing = TcpFromServer(110, "1 120\r\n2 200\r\n.\r\n");
const Bytes kUser = TcpToServer(110, "user bob\r\n");
const Bytes kTop = TcpToServer(110, "TOP 1 10\r\n");
const Bytes kBareOk = TcpFromServer(110, "+OK");
const Bytes kFourBytes = TcpToServer(110, "abc\n");

using POP3Decoder = DecoderTest;

TEST_F(POP3Decoder, PositiveReplyIsAResponse) {
  auto info = SweepAndDecode(kGreeting);
  ExpectFields(Pop3(info.get()), {{"Response", kTcpPayload, 23, "+OK POP3 server ready"}});
  EXPECT_EQ(SummaryOf(Pop3(info.get())), "S: +OK POP3 server ready");
  EXPECT_EQ(Pop3(info.get())->length, 23u);
}

TEST_F(POP3Decoder, CommandsInAnyLetterCase) {
  auto user = SweepAndDecode(kUser);
  ExpectFields(Pop3(user.get()), {{"Request command", kTcpPayload, 10, "user bob"}});
  EXPECT_EQ(SummaryOf(Pop3(user.get())), "C: user bob");
  auto top = SweepAndDecode(kTop);
  EXPECT_EQ(SummaryOf(Pop3(top.get())), "C: TOP 1 10");
}

TEST_F(POP3Decoder, NegativeRepliesNumberedRepliesAndListingsLeaveTheGroupEmpty) {
  // Four bytes are already past the short-data limit.
  for (const Bytes* frame : {&kError, &kNumbered, &kListing, &kFourBytes})
    ExpectEmptyGroup(Pop3(SweepAndDecode(*frame).get()));
}

TEST_F(POP3Decoder, ThreeBytesAreDataBeforeTheyAreTestedAsAReply) {
  auto info = SweepAndDecode(kBareOk);
  ExpectFields(Pop3(info.get()), {{"POP3 Data", kTcpPayload, 3, "", "3 (0x3) Bytes Remaining"}});
  EXPECT_EQ(SummaryOf(Pop3(info.get())), "");
}

}  // namespace
}  // namespace vel::test
