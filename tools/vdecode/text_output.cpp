#include "tools/vdecode/text_output.h"

#include <cstdio>

#include "tools/vdecode/decoding_tree.h"
#include "tools/vdecode/utf8.h"

namespace vdecode {

using namespace vel;

namespace {

constexpr std::string_view kSelectedMargin = "* ";
constexpr std::string_view kPlainMargin = "  ";

void AppendEscape(std::string& out, char32_t cp) {
  switch (cp) {
    case U'\r': out += "\\r"; return;
    case U'\n': out += "\\n"; return;
    case U'\t': out += "\\t"; return;
    default: break;
  }
  char escape[8];
  std::snprintf(escape, sizeof escape, cp < 0x80 ? "\\x%02X" : "\\u%04X", static_cast<unsigned>(cp));
  out += escape;
}

bool IsControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

void AppendLocation(std::string& out, IVELPacketsDecodingItem* item) {
  using I = IVELPacketsDecodingItem;
  AppendTerminalText(out, ReadText(item, &I::get_Name).view(), "", false);
  out += ": ";
  AppendTerminalText(out, ReadText(item, &I::get_Value).view(), "", false);
  out += " [" + std::to_string(ReadNumber(item, &I::get_StartPos)) + "/" +
         std::to_string(ReadNumber(item, &I::get_Length)) + "]";
}

ItemPtr SelectedItem(IVELPacketsDecodingInfo* info) {
  ItemPtr selected;
  info->DecodingItemSelected(&selected);
  return selected;
}

struct MarkedRendering {
  std::string& out;
  std::string_view newline;
  IVELPacketsDecodingItem* selected;
  int32_t nameWidth;
  int32_t valueWidth = 0;

  // One line per item, children one blank further in, as the engine renders a tree.
  void Render(IVELPacketsDecodingItem* item, const std::string& indent) {
    Bstr line;
    item->GetText(nameWidth, valueWidth, &line);
    out += SameObject(item, selected) ? kSelectedMargin : kPlainMargin;
    out += indent;
    AppendTerminalText(out, line.view(), newline, true);
    for (const ItemPtr& child : Children(item)) Render(child.get(), indent + ' ');
  }
};

}  // namespace

void AppendTerminalText(std::string& out, std::u16string_view text, std::string_view newline, bool renderedLines) {
  for (size_t i = 0; i < text.size();) {
    if (renderedLines && text.substr(i, 2) == u"\r\n") {
      out += newline;
      i += 2;
      continue;
    }
    char32_t cp = NextCodePoint(text, i);
    if (IsControl(cp))
      AppendEscape(out, cp);
    else
      AppendCodePoint(out, cp);
  }
}

void AppendVerbose(std::string& out, IVELPacketsDecodingInfo* info, std::string_view newline) {
  Bstr text;
  info->GetText(&text);
  AppendTerminalText(out, text.view(), newline, true);
}

void AppendVerboseMarked(std::string& out, IVELPacketsDecodingInfo* info, std::string_view newline) {
  ItemPtr selected = SelectedItem(info);
  MarkedRendering rendering{out, newline, selected.get(),
                            static_cast<int32_t>(ReadNumber(info, &IVELPacketsDecodingInfo::get_MaxItemLen))};
  for (const ItemPtr& group : Groups(info)) {
    rendering.valueWidth = static_cast<int32_t>(ReadNumber(group.get(), &IVELPacketsDecodingItem::get_MaxValueLen));
    rendering.Render(group.get(), "");
  }
}

void AppendOffsetLine(std::string& out, IVELPacketsDecodingInfo* info, uint32_t offset, std::string_view newline) {
  ItemPtr item;
  if (info->LooupDecodingItemEx(offset, &item) == S_OK && item)
    AppendLocation(out, item.get());
  else
    out += "(no item covers frame byte " + std::to_string(offset) + ")";
  out += newline;
}

void AppendSelectedLine(std::string& out, IVELPacketsDecodingInfo* info, std::string_view newline) {
  ItemPtr selected = SelectedItem(info);
  if (!selected) return;
  out += kSelectedMargin;
  AppendLocation(out, selected.get());
  out += newline;
}

}  // namespace vdecode
