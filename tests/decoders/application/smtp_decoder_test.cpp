#include "test_support.h"

namespace vel::test {
namespace {

const Node* Smtp(IVELPacketsDecodingInfo* info) { return FindGroup(info, "SMTP - Simple Mail Transfer Protocol"); }

const Bytes kEhlo = TcpToServer(25, "ehlo client.example\r\n");
const Bytes kMailFrom = TcpToServer(25, "MAIL FROM:<a@b.example>\r\n");
const Bytes kOk = TcpFromServer(25, "250 OK\r\n");
const Bytes kExtensionLine = TcpFromServer(25, "250-SIZE 1000\r\n250 HELP\r\n");
const Bytes kContent = TcpToServer(25, "Subject: hi\r\n\r\nHello\r\n");
const Bytes kLineEnd = TcpToServer(25, "\r\n");
const Bytes kShortReply = TcpFromServer(25, "250 ");

using SMTPDecoder = DecoderTest;

TEST_F(SMTPDecoder, CommandsInAnyLetterCase) {
  auto ehlo = SweepAndDecode(kEhlo);
  ExpectFields(Smtp(ehlo.get()), {{"Request command", kTcpPayload, 21, "ehlo client.example"}});
  EXPECT_EQ(SummaryOf(Smtp(ehlo.get())), "C: ehlo client.example");
  EXPECT_EQ(Smtp(ehlo.get())->length, 21u);

  auto mail = SweepAndDecode(kMailFrom);
  EXPECT_EQ(SummaryOf(Smtp(mail.get())), "C: MAIL FROM:<a@b.example>");
}

TEST_F(SMTPDecoder, NumberedReplyIsAResponseAndOtherTextLeavesTheGroupEmpty) {
  auto ok = SweepAndDecode(kOk);
  ExpectFields(Smtp(ok.get()), {{"Response", kTcpPayload, 8, "250 OK"}});
  EXPECT_EQ(SummaryOf(Smtp(ok.get())), "S: 250 OK");

  for (const Bytes* frame : {&kExtensionLine, &kContent}) ExpectEmptyGroup(Smtp(SweepAndDecode(*frame).get()));
}

TEST_F(SMTPDecoder, ShortSegmentsCarryThePop3DataLabel) {
  auto lineEnd = SweepAndDecode(kLineEnd);
  ExpectFields(Smtp(lineEnd.get()), {{"POP3 Data", kTcpPayload, 2, "", "2 (0x2) Bytes Remaining"}});
  // Four bytes are data before they are tested as a reply.
  auto shortReply = SweepAndDecode(kShortReply);
  ExpectFields(Smtp(shortReply.get()), {{"POP3 Data", kTcpPayload, 4, "", "4 (0x4) Bytes Remaining"}});
  EXPECT_EQ(SummaryOf(Smtp(shortReply.get())), "");
}

}  // namespace
}  // namespace vel::test
