// HTTP: a segment that begins a request or a response shows its start line
// (the group's summary) and then one item per header line, named by the
// header; the body after the empty line is not shown. Any other segment, a
// piece of a body for instance, is one block of data. Nothing is handed on.
#include "decoders/application/text_lines.h"
#include "engine/class_table.h"

namespace vel {

namespace {

// Labels. Responses are shown under the request label too.
constexpr uint32_t kHttpRequest = 650, kHttpData = 651;

// Request methods, matched in any letter case as a prefix of the segment, in
// the order they are tried within each first letter.
constexpr std::string_view kMethods[] = {
    "BCOPY", "BMOVE", "BDELETE", "BPROPFIND", "BPROPPATCH", "COPY", "CONNECT", "DELETE", "GET", "HEAD", "LOCK",
    "MOVE", "MKCOL", "NOTIFY", "OPTIONS", "POST", "POLL", "PUT", "PROPFIND", "PROPPATCH", "SEARCH", "SUBSCRIBE",
    "TRACE", "UNLOCK", "UNSUBSCRIBE",
};
// Extension methods ("M-SEARCH") are known by the method after this prefix.
constexpr std::string_view kExtensionPrefix = "M-";
constexpr std::string_view kStatusLineStart = "HTTP";

constexpr std::string_view kLineEnd = "\r\n";
// A header's value starts this far after its colon, whatever lies between.
constexpr size_t kValueAfterColon = 2;

constexpr uint32_t kHTTP = 3, kTCP = 2;
constexpr CLSID kClsid = MakeGuid("{5DA2A0C5-F62E-4799-B1DA-BA22725D968B}");

bool BeginsRequest(ByteView segment) {
  ByteView method = StartsWithName(segment, kExtensionPrefix, LetterCase::kExact)
                        ? segment.Clamp(static_cast<uint32_t>(kExtensionPrefix.size()))
                        : segment;
  return StartsWithAnyName(method, kMethods, LetterCase::kIgnored);
}

bool BeginsResponse(ByteView segment) { return StartsWithName(segment, kStatusLineStart, LetterCase::kIgnored); }

// A header value as text, every "&" shown as a blank.
void AppendHeaderValue(TextBuffer& out, std::string_view value) {
  for (size_t ampersand; (ampersand = value.find('&')) != std::string_view::npos;) {
    AppendPacketChars(out, value.substr(0, ampersand));
    out.append(u' ');
    value.remove_prefix(ampersand + 1);
  }
  AppendPacketChars(out, value);
}

}  // namespace

class CHTTPDecoder : public CVELBaseModuleCLSIDImplT<CHTTPDecoder, kHTTP, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kTCP}); }

  void DecodeLayer() override {
    ByteView segment = AtCursor();
    if (BeginsRequest(segment) || BeginsResponse(segment))
      ShowHeaderBlock();
    else
      AddRemainingItem(Group(), Res(kHttpData));
    SetGroupLength();
  }

 private:
  // Complete lines only: a line not ended by CR LF within the captured data
  // is not shown, nor is anything after the empty line or after a line that
  // is no header.
  void ShowHeaderBlock() {
    std::string_view line;
    if (!NextLine(&line)) return;
    ShowStartLine(line);
    while (NextLine(&line) && !line.empty() && ShowHeaderLine(line)) {
    }
  }

  // The line at the cursor without its CR LF; false when it has none.
  bool NextLine(std::string_view* line) const {
    std::string_view rest = CharsOf(AtCursor());
    size_t end = rest.find(kLineEnd);
    if (end == std::string_view::npos) return false;
    *line = rest.substr(0, end);
    return true;
  }

  static uint32_t ItemLength(std::string_view line) { return static_cast<uint32_t>(line.size() + kLineEnd.size()); }

  void ShowStartLine(std::string_view line) {
    TextBuffer value;
    AppendPacketChars(value, line);
    AddTextItem(Group(), ItemLength(line), Res(kHttpRequest), value);
    SetSummary(Group(), value);
  }

  // The name runs to the first colon after the line's first character; a
  // line without one is no header and ends the walk.
  bool ShowHeaderLine(std::string_view line) {
    size_t colon = line.find(':', 1);
    if (colon == std::string_view::npos) return false;
    TextBuffer name, value;
    AppendPacketChars(name, line.substr(0, colon));
    if (colon + kValueAfterColon < line.size()) AppendHeaderValue(value, line.substr(colon + kValueAfterColon));
    AddTextItem(Group(), ItemLength(line), name, value);
    return true;
  }
};

VEL_REGISTER_MODULE(CHTTPDecoder, 20, u"HTTP Decoder", u"HTTP Decoder Module");

}  // namespace vel
