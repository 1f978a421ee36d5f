// The conversions between the engine's UTF-16 texts and UTF-8 output: always
// well-formed, whatever a packet put into a text.
#include <gtest/gtest.h>

#include "tools/vdecode/utf8.h"

namespace vdecode {
namespace {

TEST(Utf8, WellFormedTextConvertsBothWays) {
  std::u16string text = u"A\u00E9\u4E2D\U0001F600";
  std::string utf8 = "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
  EXPECT_EQ(ToUtf8(text), utf8);
  EXPECT_EQ(ToUtf16(utf8), text);
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\0')), std::string(1, '\0'));
}

TEST(Utf8, LoneSurrogatesBecomeReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(ToUtf8(std::u16string{0xD800}), replacement);                 // high at the end
  EXPECT_EQ(ToUtf8(std::u16string{0xDC00, u'x'}), replacement + "x");     // low alone
  EXPECT_EQ(ToUtf8(std::u16string{0xD800, u'x'}), replacement + "x");     // high before a non-surrogate
  EXPECT_EQ(ToUtf8(std::u16string{0xDC00, 0xD800}), replacement + replacement);  // reversed pair
  EXPECT_EQ(ToUtf8(std::u16string{0xD800, 0xD800, 0xDC00}), replacement + "\xF0\x90\x80\x80");
}

TEST(Utf8, MalformedUtf8BecomesReplacementCharacters) {
  const std::u16string r(1, 0xFFFD);
  EXPECT_EQ(ToUtf16("\xFF"), r);
  EXPECT_EQ(ToUtf16("\xC3"), r);                    // sequence cut short
  EXPECT_EQ(ToUtf16("\xC3x"), r + u"x");            // continuation missing
  EXPECT_EQ(ToUtf16("\xC0\xAF"), r + r);            // overlong
  EXPECT_EQ(ToUtf16("\xED\xA0\x80"), r + r + r);    // an encoded surrogate
  EXPECT_EQ(ToUtf16("\xF4\x90\x80\x80"), r + r + r + r);  // beyond U+10FFFF
}

}  // namespace
}  // namespace vdecode
