#include <gtest/gtest.h>

#include <string>

#include "tools/vdecode/utf8.h"

namespace vdecode {
namespace {

// The units of a run of the given length: plain letters and digits.
std::u16string Plain(size_t length) {
  std::u16string text;
  for (size_t k = 0; k < length; ++k) text += static_cast<char16_t>(k % 2 ? u'a' + k % 26 : u'0' + k % 10);
  return text;
}

// A run takes every unit before the first one its range refuses, wherever that
// unit falls among the sixteen- and eight-unit steps and the single units.
TEST(AsciiRun, StopsAtTheFirstRefusedUnitWhereverItFalls) {
  constexpr AsciiRange kJson{0x20, 0x7F, u'"', u'\\'};
  constexpr AsciiRange kTerminal{0x20, 0x7E, 0, 0};
  for (AsciiRange range : {kJson, kTerminal}) {
    for (char16_t refused : {char16_t{0x1F}, char16_t{0x100}, char16_t{0xFFFF}, range.high == 0x7E ? u'\x7F' : u'"'}) {
      for (size_t length : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 24u, 33u}) {
        for (size_t stop = 0; stop <= length; ++stop) {
          std::u16string text = Plain(length);
          if (stop < length) text[stop] = refused;
          std::string out;
          size_t i = 0;
          {
            BlockWriter writer(out);
            AppendAsciiRun(writer, text, i, range);
          }
          ASSERT_EQ(i, stop) << "length " << length << ", refused unit at " << stop;
          ASSERT_EQ(out, std::string(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(stop)));
        }
      }
    }
  }
}

TEST(AsciiRun, LongRunsCrossTheWritersPieces) {
  const std::u16string text = Plain(5000);
  std::string out;
  size_t i = 0;
  {
    BlockWriter writer(out);
    AppendAsciiRun(writer, text, i, AsciiRange{0x20, 0x7E, 0, 0});
  }
  EXPECT_EQ(i, text.size());
  EXPECT_EQ(out, std::string(text.begin(), text.end()));
}

}  // namespace
}  // namespace vdecode
