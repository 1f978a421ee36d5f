#include "test_support.h"

namespace vel::test {
namespace {

const Node* Http(IVELPacketsDecodingInfo* info) { return FindGroup(info, "HTTP - Hyper Text Transfer Protocol"); }

const Bytes kRequest = TcpToServer(80, "GET /index.html HTTP/1.1\r\nHost: a\r\nCookie: x=1&y=2\r\n\r\nbody");
const Bytes kResponse = TcpFromServer(
    80, "HTTP/1.1 200 OK\r\nContent-Type:text/html\r\nX-Empty:\r\nX-Blank: \r\nLocation: /?a=1&b=2\r\n\r\n");
const Bytes kLowerCaseRequest = TcpToServer(80, "get /?a=1&b=2 HTTP/1.0\r\n\r\n");
const Bytes kNotAHeader = TcpToServer(80, "POST /f HTTP/1.1\r\nHost: a\r\nbroken line\r\nAfter: b\r\n\r\n");
const Bytes kColonFirst = TcpToServer(80, "PUT /f HTTP/1.1\r\n:odd x\r\nAfter: b\r\n\r\n");
const Bytes kUnterminated = TcpFromServer(80, "HTTP/1.0 404 Not Found\r\nServer: x\r\nContent-Len");
const Bytes kStartLineCut = TcpToServer(80, "GET / HTTP/1.1");
const Bytes kBody = TcpFromServer(80, "<html><body>a & b</body></html>\r\n");

using HTTPDecoder = DecoderTest;

TEST_F(HTTPDecoder, RequestShowsStartLineAndHeadersUpToTheEmptyLine) {
  auto info = SweepAndDecode(kRequest);
  const Node* http = Http(info.get());
  ExpectFields(http, {{"HTTP Request", kTcpPayload, 26, "GET /index.html HTTP/1.1"},
                      {"Host", kTcpPayload + 26, 9, "a"},
                      {"Cookie", kTcpPayload + 35, 17, "x=1 y=2"}});
  EXPECT_EQ(SummaryOf(http), "GET /index.html HTTP/1.1");
  ExpectItem(http, kTcpPayload, 52, "");
  EXPECT_EQ(GroupNames(info.get()).back(), "HTTP - Hyper Text Transfer Protocol");
}

TEST_F(HTTPDecoder, ResponseUsesTheRequestLabelAndValuesStartTwoAfterTheColon) {
  auto info = SweepAndDecode(kResponse);
  const Node* http = Http(info.get());
  ExpectFields(http, {{"HTTP Request", kTcpPayload, 17, "HTTP/1.1 200 OK"},
                      {"Content-Type", kTcpPayload + 17, 24, "ext/html"},
                      {"X-Empty", kTcpPayload + 41, 10, ""},
                      {"X-Blank", kTcpPayload + 51, 11, ""},
                      {"Location", kTcpPayload + 62, 21, "/?a=1 b=2"}});
  EXPECT_EQ(SummaryOf(http), "HTTP/1.1 200 OK");

  // "&" stays in the start line; methods match in any letter case.
  auto lower = SweepAndDecode(kLowerCaseRequest);
  ExpectFields(Http(lower.get()), {{"HTTP Request", kTcpPayload, 24, "get /?a=1&b=2 HTTP/1.0"}});
  EXPECT_EQ(SummaryOf(Http(lower.get())), "get /?a=1&b=2 HTTP/1.0");
}

TEST_F(HTTPDecoder, HeaderWalkEndsAtALineThatIsNoHeaderOrIsNotEnded) {
  auto broken = SweepAndDecode(kNotAHeader);
  EXPECT_EQ(ChildNames(Http(broken.get())), (Names{"HTTP Request", "Host"}));
  EXPECT_EQ(Http(broken.get())->length, 27u);

  auto colonFirst = SweepAndDecode(kColonFirst);
  EXPECT_EQ(ChildNames(Http(colonFirst.get())), (Names{"HTTP Request"}));

  auto cut = SweepAndDecode(kUnterminated);
  ExpectFields(Http(cut.get()),
               {{"HTTP Request", kTcpPayload, 24, "HTTP/1.0 404 Not Found"}, {"Server", kTcpPayload + 24, 11, "x"}});

  auto noStartLine = SweepAndDecode(kStartLineCut);
  ExpectEmptyGroup(Http(noStartLine.get()));
}

TEST_F(HTTPDecoder, OtherSegmentsAreOneDataBlock) {
  auto body = SweepAndDecode(kBody);
  ExpectFields(Http(body.get()), {{"HTTP Data", kTcpPayload, 33, "", "33 (0x21) Bytes Remaining"}});
  EXPECT_EQ(SummaryOf(Http(body.get())), "");
  EXPECT_EQ(Http(body.get())->length, 33u);

  // Too short for any method, an unknown extension method, a method cut short.
  for (std::string_view payload : {"GE", "M-FOO * HTTP/1.1\r\n", "HTT"}) {
    auto info = DecodeFrame(TcpToServer(80, payload));
    EXPECT_EQ(ChildNames(Http(info.get())), (Names{"HTTP Data"})) << payload;
  }
}

TEST_F(HTTPDecoder, MethodsAreKnownByTheirPrefix) {
  for (std::string_view line : {"M-SEARCH * HTTP/1.1", "GETX", "unsubscribe /x HTTP/1.1", "http/1.0 200 OK"}) {
    auto info = DecodeFrame(TcpToServer(80, std::string(line) + "\r\n"));
    EXPECT_EQ(SummaryOf(Http(info.get())), line);
  }
}

TEST_F(HTTPDecoder, RealCaptures) {
  std::vector<Bytes> browsing = ReadPcapFrames("tcpdump/print-flags.pcap");
  auto request = DecodeFrame(browsing[3]);
  const Node* http = Http(request.get());
  EXPECT_EQ(SummaryOf(http), "GET / HTTP/1.1");
  EXPECT_EQ(ChildNames(http), (Names{"HTTP Request", "Host", "User-Agent", "Accept", "Accept-Encoding",
                                     "Accept-Language", "Connection"}));
  EXPECT_EQ(ValueOf(FindItem(http, "Connection")), "Keep-Alive");
  EXPECT_EQ(http->length, 200u);  // all but the empty line

  auto response = DecodeFrame(browsing[5]);
  EXPECT_EQ(SummaryOf(Http(response.get())), "HTTP/1.1 200 OK");
  EXPECT_EQ(ValueOf(FindItem(Http(response.get()), "Content-Type")), "text/html; charset=iso-8859-1");

  // Behind a VLAN tag; one header has no blank after its colon.
  auto tagged = DecodeFrame(ReadPcapFrames("tcpdump/ipv4_tcp_http_xml.pcap")[0]);
  EXPECT_EQ(ValueOf(FindItem(Http(tagged.get()), "Cache-Control")), "o-cache");
  EXPECT_EQ(ValueOf(FindItem(Http(tagged.get()), "Content-Length")), "351");

  for (const char* name : {"tcpdump/print-flags.pcap", "tcpdump/accecn_handshake.pcap",
                           "tcpdump/ipv4_tcp_http_xml.pcap", "tcpdump/tcp_rst_data-trunc.pcap"})
    SweepCapture(m_.get(), name);
}

}  // namespace
}  // namespace vel::test
