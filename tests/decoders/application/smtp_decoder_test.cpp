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

TEST(SMTPDecoder, CommandsInAnyLetterCase) {
  auto m = MakeManager();
  auto ehlo = Decode(m.get(), kEhlo);
  ExpectFields(Smtp(ehlo.get()), {{"Request command", kTcpPayload, 21, "ehlo client.example"}});
  EXPECT_EQ(SummaryOf(Smtp(ehlo.get())), "C: ehlo client.example");
  EXPECT_EQ(Smtp(ehlo.get())->length, 21u);

  auto mail = Decode(m.get(), kMailFrom);
  EXPECT_EQ(SummaryOf(Smtp(mail.get())), "C: MAIL FROM:<a@b.example>");
}

TEST(SMTPDecoder, NumberedReplyIsAResponseAndOtherTextLeavesTheGroupEmpty) {
  auto m = MakeManager();
  auto ok = Decode(m.get(), kOk);
  ExpectFields(Smtp(ok.get()), {{"Response", kTcpPayload, 8, "250 OK"}});
  EXPECT_EQ(SummaryOf(Smtp(ok.get())), "S: 250 OK");

  for (const Bytes* frame : {&kExtensionLine, &kContent}) {
    auto info = Decode(m.get(), *frame);
    ExpectEmptyGroup(Smtp(info.get()));
  }
}

TEST(SMTPDecoder, ShortSegmentsCarryThePop3DataLabel) {
  auto m = MakeManager();
  auto lineEnd = Decode(m.get(), kLineEnd);
  ExpectFields(Smtp(lineEnd.get()), {{"POP3 Data", kTcpPayload, 2, "", "2 (0x2) Bytes Remaining"}});
  // Four bytes are data before they are tested as a reply.
  auto shortReply = Decode(m.get(), kShortReply);
  ExpectFields(Smtp(shortReply.get()), {{"POP3 Data", kTcpPayload, 4, "", "4 (0x4) Bytes Remaining"}});
  EXPECT_EQ(SummaryOf(Smtp(shortReply.get())), "");
}

TEST(SMTPDecoder, EveryCaptureLengthOfEveryFrame) {
  auto m = MakeManager();
  for (const Bytes* frame : {&kEhlo, &kMailFrom, &kOk, &kExtensionLine, &kContent, &kLineEnd, &kShortReply})
    TruncationSweep(m.get(), *frame);
}

}  // namespace
}  // namespace vel::test
