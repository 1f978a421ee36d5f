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

TEST(HTTPDecoder, RequestShowsStartLineAndHeadersUpToTheEmptyLine) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kRequest);
  const Node* http = Http(info.get());
  ExpectFields(http, {{"HTTP Request", kTcpPayload, 26, "GET /index.html HTTP/1.1"},
                      {"Host", kTcpPayload + 26, 9, "a"},
                      {"Cookie", kTcpPayload + 35, 17, "x=1 y=2"}});
  EXPECT_EQ(SummaryOf(http), "GET /index.html HTTP/1.1");
  EXPECT_EQ(http->startPos, kTcpPayload);
  EXPECT_EQ(http->length, 52u);
  EXPECT_EQ(GroupNames(info.get()).back(), "HTTP - Hyper Text Transfer Protocol");
}

TEST(HTTPDecoder, ResponseUsesTheRequestLabelAndValuesStartTwoAfterTheColon) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kResponse);
  const Node* http = Http(info.get());
  ExpectFields(http, {{"HTTP Request", kTcpPayload, 17, "HTTP/1.1 200 OK"},
                      {"Content-Type", kTcpPayload + 17, 24, "ext/html"},
                      {"X-Empty", kTcpPayload + 41, 10, ""},
                      {"X-Blank", kTcpPayload + 51, 11, ""},
                      {"Location", kTcpPayload + 62, 21, "/?a=1 b=2"}});
  EXPECT_EQ(SummaryOf(http), "HTTP/1.1 200 OK");

  // "&" stays in the start line; methods match in any letter case.
  auto lower = Decode(m.get(), kLowerCaseRequest);
  ExpectFields(Http(lower.get()), {{"HTTP Request", kTcpPayload, 24, "get /?a=1&b=2 HTTP/1.0"}});
  EXPECT_EQ(SummaryOf(Http(lower.get())), "get /?a=1&b=2 HTTP/1.0");
}

TEST(HTTPDecoder, HeaderWalkEndsAtALineThatIsNoHeaderOrIsNotEnded) {
  auto m = MakeManager();
  auto broken = Decode(m.get(), kNotAHeader);
  EXPECT_EQ(ChildNames(Http(broken.get())), (std::vector<std::string>{"HTTP Request", "Host"}));
  EXPECT_EQ(Http(broken.get())->length, 27u);

  auto colonFirst = Decode(m.get(), kColonFirst);
  EXPECT_EQ(ChildNames(Http(colonFirst.get())), (std::vector<std::string>{"HTTP Request"}));

  auto cut = Decode(m.get(), kUnterminated);
  ExpectFields(Http(cut.get()), {{"HTTP Request", kTcpPayload, 24, "HTTP/1.0 404 Not Found"},
                                 {"Server", kTcpPayload + 24, 11, "x"}});

  auto noStartLine = Decode(m.get(), kStartLineCut);
  ExpectEmptyGroup(Http(noStartLine.get()));
}

TEST(HTTPDecoder, OtherSegmentsAreOneDataBlock) {
  auto m = MakeManager();
  auto body = Decode(m.get(), kBody);
  ExpectFields(Http(body.get()), {{"HTTP Data", kTcpPayload, 33, "", "33 (0x21) Bytes Remaining"}});
  EXPECT_EQ(SummaryOf(Http(body.get())), "");
  EXPECT_EQ(Http(body.get())->length, 33u);

  // Too short for any method, an unknown extension method, a method cut short.
  for (std::string_view payload : {"GE", "M-FOO * HTTP/1.1\r\n", "HTT"}) {
    auto info = Decode(m.get(), TcpToServer(80, payload));
    EXPECT_EQ(ChildNames(Http(info.get())), (std::vector<std::string>{"HTTP Data"})) << payload;
  }
}

TEST(HTTPDecoder, MethodsAreKnownByTheirPrefix) {
  auto m = MakeManager();
  for (std::string_view line : {"M-SEARCH * HTTP/1.1", "GETX", "unsubscribe /x HTTP/1.1", "http/1.0 200 OK"}) {
    auto info = Decode(m.get(), TcpToServer(80, std::string(line) + "\r\n"));
    EXPECT_EQ(SummaryOf(Http(info.get())), line);
  }
}

TEST(HTTPDecoder, EveryCaptureLengthOfEveryFrame) {
  auto m = MakeManager();
  for (const Bytes* frame : {&kRequest, &kResponse, &kLowerCaseRequest, &kNotAHeader, &kColonFirst, &kUnterminated,
                             &kStartLineCut, &kBody})
    TruncationSweep(m.get(), *frame);
}

TEST(HTTPDecoder, RealCaptures) {
  auto m = MakeManager();
  std::vector<Bytes> browsing = ReadPcapFrames("tcpdump/print-flags.pcap");
  auto request = Decode(m.get(), browsing[3]);
  const Node* http = Http(request.get());
  EXPECT_EQ(SummaryOf(http), "GET / HTTP/1.1");
  EXPECT_EQ(ChildNames(http), (std::vector<std::string>{"HTTP Request", "Host", "User-Agent", "Accept",
                                                        "Accept-Encoding", "Accept-Language", "Connection"}));
  EXPECT_EQ(ValueOf(FindItem(http, "Connection")), "Keep-Alive");
  EXPECT_EQ(http->length, 200u);  // all but the empty line

  auto response = Decode(m.get(), browsing[5]);
  EXPECT_EQ(SummaryOf(Http(response.get())), "HTTP/1.1 200 OK");
  EXPECT_EQ(ValueOf(FindItem(Http(response.get()), "Content-Type")), "text/html; charset=iso-8859-1");

  // Behind a VLAN tag; one header has no blank after its colon.
  auto tagged = Decode(m.get(), ReadPcapFrames("tcpdump/ipv4_tcp_http_xml.pcap")[0]);
  EXPECT_EQ(ValueOf(FindItem(Http(tagged.get()), "Cache-Control")), "o-cache");
  EXPECT_EQ(ValueOf(FindItem(Http(tagged.get()), "Content-Length")), "351");

  for (const char* name : {"tcpdump/print-flags.pcap", "tcpdump/accecn_handshake.pcap",
                           "tcpdump/ipv4_tcp_http_xml.pcap", "tcpdump/tcp_rst_data-trunc.pcap"})
    SweepCapture(m.get(), name);
}

}  // namespace
}  // namespace vel::test
