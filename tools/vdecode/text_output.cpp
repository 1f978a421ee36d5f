#include "tools/vdecode/text_output.h"

#include <cstdio>

#include "tools/vdecode/decoding_tree.h"
#include "tools/vdecode/utf8.h"

namespace vdecode {

using namespace vel;

namespace {

constexpr std::string_view kSelectedMargin = "* ";
constexpr std::string_view kPlainMargin = "  ";

void AppendEscape(BlockWriter& out, char32_t cp) {
  switch (cp) {
    case U'\r': out += "\\r"; return;
    case U'\n': out += "\\n"; return;
    case U'\t': out += "\\t"; return;
    default: break;
  }
  char escape[8];
  int length = std::snprintf(escape, sizeof escape, cp < 0x80 ? "\\x%02X" : "\\u%04X", static_cast<unsigned>(cp));
  out += std::string_view(escape, static_cast<size_t>(length));
}

bool IsControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

constexpr AsciiRange kPrintableAscii{0x20, 0x7E, 0, 0};

bool IsPrintableAscii(char16_t c) { return kPrintableAscii.Holds(c); }

void AppendLocation(std::string& out, const DecodingItem& item) {
  AppendTerminalText(out, item.Name(), "", false);
  out += ": ";
  AppendTerminalText(out, item.Value(), "", false);
  out += " [" + std::to_string(item.startPos) + "/" + std::to_string(item.length) + "]";
}

// The buffer the engine renders a packet into, kept for the next packet.
TextBuffer& RenderBuffer() {
  thread_local TextBuffer buffer;
  buffer.clear();
  return buffer;
}

struct MarkedRendering {
  std::string& out;
  std::string_view newline;
  const DecodingItem* selected;
  uint32_t nameWidth;
  uint32_t valueWidth = 0;

  // One line per item, children one blank further in, as the engine renders a tree.
  void Render(const DecodingItem& item, const std::string& indent) {
    TextBuffer& line = RenderBuffer();
    item.Render(line, 0, nameWidth, valueWidth, false);
    out += &item == selected ? kSelectedMargin : kPlainMargin;
    out += indent;
    AppendTerminalText(out, line.view(), newline, true);
    for (const DecodingItem* child : item.Children()) Render(*child, indent + ' ');
  }
};

// Widths as the item's GetText takes them: a 32-bit signed number, 0 standing for 20.
uint32_t RenderWidth(uint32_t width) { return EffectiveWidth(static_cast<int32_t>(width)); }

}  // namespace

void AppendTerminalText(std::string& text8, std::u16string_view text, std::string_view newline, bool renderedLines) {
  BlockWriter out(text8);
  const size_t size = text.size();
  for (size_t i = 0; i < size;) {
    // Printable ASCII, nearly all of what the engine writes, is copied in runs.
    if (IsPrintableAscii(text[i])) {
      AppendAsciiRun(out, text, i, kPrintableAscii);
      continue;
    }
    if (renderedLines && text.substr(i, 2) == u"\r\n") {
      out += newline;
      i += 2;
      continue;
    }
    char32_t cp = NextCodePoint(text, i);
    if (IsControl(cp))
      AppendEscape(out, cp);
    else
      AppendUtf8CodePoint(out, cp);
  }
}

void AppendVerbose(std::string& out, IVELPacketsDecodingInfo* info, std::string_view newline) {
  TextBuffer& text = RenderBuffer();
  InfoOf(info).RenderText(text);
  AppendTerminalText(out, text.view(), newline, true);
}

void AppendVerboseMarked(std::string& out, IVELPacketsDecodingInfo* decoding, std::string_view newline) {
  const DecodingInfo& info = InfoOf(decoding);
  MarkedRendering rendering{out, newline, info.SelectedItem(), RenderWidth(info.MaxItemLen())};
  for (const DecodingItem* group : info.Groups()) {
    rendering.valueWidth = RenderWidth(group->maxValueLen);
    rendering.Render(*group, "");
  }
}

void AppendOffsetLine(std::string& out, IVELPacketsDecodingInfo* info, uint32_t offset, std::string_view newline) {
  if (const DecodingItem* item = InfoOf(info).ItemAtOffset(offset))
    AppendLocation(out, *item);
  else
    out += "(no item covers frame byte " + std::to_string(offset) + ")";
  out += newline;
}

void AppendSelectedLine(std::string& out, IVELPacketsDecodingInfo* info, std::string_view newline) {
  const DecodingItem* selected = InfoOf(info).SelectedItem();
  if (!selected) return;
  out += kSelectedMargin;
  AppendLocation(out, *selected);
  out += newline;
}

}  // namespace vdecode
