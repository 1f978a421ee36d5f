// What the text-based application decoders share: recognising a command or
// method name at the start of a segment, packet text as characters, and the
// walk of the line-oriented protocols (FTP, SMTP, POP3), which show each
// segment as one client command, one server reply or a little raw data.
#pragma once

#include <algorithm>
#include <span>
#include <string_view>

#include "vel/module_base.h"

namespace vel {

enum class LetterCase { kExact, kIgnored };

// The captured bytes as characters, for searching.
inline std::string_view CharsOf(ByteView bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Appends packet characters as text in the thread's code page.
inline void AppendPacketChars(TextBuffer& out, std::string_view chars) {
  AppendPacketText(out, reinterpret_cast<const uint8_t*>(chars.data()), chars.size());
}

// True when the text begins with name; with LetterCase::kIgnored the text's
// letters count as upper case, so name must be written in upper case. No
// blank or line end is required after the name.
bool StartsWithName(ByteView text, std::string_view name, LetterCase letterCase);
// True when the text begins with one of the names.
bool StartsWithAnyName(ByteView text, std::span<const std::string_view> names, LetterCase letterCase);

// Three decimal digits and a blank: the last (or only) line of a numbered reply.
bool IsNumberedReply(ByteView segment);
// A plus sign: a positive reply.
bool IsPositiveReply(ByteView segment);

// How a line-oriented protocol tells its segments apart.
struct LineProtocol {
  std::span<const std::string_view> commands;
  LetterCase commandCase;
  // A segment that is no command and shorter than this is shown as raw data,
  // whatever it holds.
  uint32_t shortDataBelow;
  uint32_t shortDataLabel;
  bool (*isReply)(ByteView segment);
};

namespace text_lines {
// Labels and summary prefixes of the line-oriented protocols.
constexpr uint32_t kRequestCommand = 640, kResponse = 641, kClientPrefix = 642, kServerPrefix = 643;
constexpr uint32_t kTCP = 2;
}  // namespace text_lines

// A decoder of a line-oriented protocol over TCP: class T with its protocol
// type, class id and the rules that tell its segments apart.
template <class T, uint32_t kType, const CLSID& kClsid, const LineProtocol& kProtocol>
class CLineProtocolDecoderT : public CVELBaseModuleCLSIDImplT<T, kType, kClsid> {
 protected:
  using Base = CVELBaseModuleCLSIDImplT<T, kType, kClsid>;
  using Base::AddRemainingItem, Base::AddTextItem, Base::AtCursor, Base::Group, Base::SetGroupLength,
      Base::SetSummary;

  bool CanAccept(IVELDcoder* input) override { return Base::InputTypeIn(input, {text_lines::kTCP}); }

  // The segment at the cursor is a command, short data, a reply, or (message
  // content, a continuation line) nothing: then the group stays empty.
  void DecodeLayer() override {
    using namespace text_lines;
    ByteView segment = AtCursor();
    if (StartsWithAnyName(segment, kProtocol.commands, kProtocol.commandCase))
      ShowAsOneLine(kRequestCommand, kClientPrefix);
    else if (segment.size() < kProtocol.shortDataBelow)
      AddRemainingItem(Group(), Res(kProtocol.shortDataLabel));
    else if (kProtocol.isReply(segment))
      ShowAsOneLine(kResponse, kServerPrefix);
    SetGroupLength();
  }

 private:
  // One item for the whole segment, however many lines it holds; its text
  // leaves out the last two bytes, the line end of a segment that ends a line.
  void ShowAsOneLine(uint32_t label, uint32_t summaryPrefix) {
    constexpr uint32_t kLineEndSize = 2;
    ByteView segment = AtCursor();
    uint32_t textLength = segment.size() - std::min(segment.size(), kLineEndSize);
    TextBuffer value;
    AppendPacketChars(value, CharsOf(segment).substr(0, textLength));
    AddTextItem(Group(), segment.size(), Res(label), value);
    TextBuffer summary;
    summary.append(Res(summaryPrefix));
    summary.append(value.view());
    SetSummary(Group(), summary);
  }
};

}  // namespace vel
