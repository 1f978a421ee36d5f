#include <gtest/gtest.h>

#include <thread>

#include "vel/fields.h"
#include "vel/text.h"

namespace vel {
namespace {

TEST(Format, PrintfConversionsOnTypedArguments) {
  TextBuffer b;
  EXPECT_EQ(Format(b, u"%u (0x%04X)", 2048u, 2048u), u"2048 (0x0800)");
  EXPECT_EQ(Format(b, u"%u (0x%02X)", uint8_t{255}, uint8_t{255}), u"255 (0xFF)");
  EXPECT_EQ(Format(b, u"Len=%4d,Id=%5d", 60, 1), u"Len=  60,Id=    1");
  EXPECT_EQ(Format(b, u"%-6s|%6s|%.2s", u"ab", u"cd", u"xyz"), u"ab    |    cd|xy");
  EXPECT_EQ(Format(b, u"%d %d %x %%", -5, 0xFFFFFFFFu, 255), u"-5 -1 ff %");
  EXPECT_EQ(Format(b, u"%-*s!", 4, u"a"), u"a   !");
  EXPECT_EQ(Format(b, u"%lu %I64u", 7u, uint64_t{1} << 40), u"7 1099511627776");
  EXPECT_EQ(Format(b, u"%s and %u", u"only"), u"only and 0");
}

// The commonest directives take a short path; its edges must print as printf does.
TEST(Format, ShortPathsAgreeWithTheGeneralOne) {
  TextBuffer b;
  EXPECT_EQ(Format(b, u"%04X|%08x|%02u|%03d", 0xABu, -1, 7u, 42), u"00AB|ffffffff|07|042");
  EXPECT_EQ(Format(b, u"%05d|%010u|%0X|%d", -42, 5u, 0u, int64_t{-1}), u"-0042|0000000005|0|-1");
  EXPECT_EQ(Format(b, u"%5d|%3x|%2u|%1d|%4d|%12u", 7, 255u, 123u, 5, -3, 9u), u"    7| ff|123|5|  -3|           9");
  EXPECT_EQ(Format(b, u"[%s][%s]", 7, u""), u"[][]");
  EXPECT_EQ(Format(b, u"%u", 4294967295u), u"4294967295");
  EXPECT_EQ(Format(b, u"%x %u", uint64_t{1} << 36, uint8_t{200}), u"1000000000 200");
}

TEST(Format, LongTextsMoveToTheHeap) {
  TextBuffer b;
  std::u16string longText(500, u'x');
  EXPECT_EQ(Format(b, u"[%s]", longText).size(), 502u);
  b.append(u"!");
  EXPECT_EQ(b.view().back(), u'!');
}

TEST(StringTable, LanguagesPerThread) {
  SetThreadUILanguage(kLanguageEnglish);
  EXPECT_EQ(ResText(185), u"Who has %s? Tell %s");
  EXPECT_EQ(ResText(100), u"VDDecoderManager");
  std::u16string chinese;
  std::thread([&] {
    SetThreadUILanguage(2052);  // any Chinese locale id
    chinese = ResText(1988);
    EXPECT_EQ(ResText(100), u"VDDecoderManager");  // shared with English
  }).join();
  EXPECT_EQ(chinese, u"用户优先权[Priority]");
  EXPECT_EQ(ResText(1988), u"Priority");
}

TEST(StringTable, MissingTextsAndFormatting) {
  std::u16string text = u"kept";
  EXPECT_FALSE(LoadResTextInto(text, kNoText));
  EXPECT_EQ(text, u"kept");
  EXPECT_TRUE(LoadResTextInto(text, 1963));
  EXPECT_EQ(LoadResText(99), u"");
  TextBuffer b;
  EXPECT_EQ(FormatResText(b, 1963, 4, 5, 60, 1, 64, 17), u"Ver=4,Hdr=5,Len=  60,Id=    1,TTL=64,Proto=17");
  EXPECT_THROW(FormatResText(b, 1992), ComError);
}

TEST(StringTable, ValueNameTables) {
  constexpr NameIdPair table[] = {{1, 120}, {2, 121}, {0, 0}};
  EXPECT_EQ(LookupNameId(table, 2), 121u);
  EXPECT_EQ(LookupNameId(table, 3), kNoText);
  EXPECT_EQ(LookupNameIdOrZero(table, 3), 0u);
  EXPECT_EQ(NameOf(table, 3), u"");
  EXPECT_EQ(NameOf(table, 1), u"Do not fragment");
}

TEST(CodePage, InvalidBytesBecomeReplacementCharacters) {
  TextBuffer b;
  const uint8_t utf8[] = {'A', 0xE4, 0xB8, 0xAD, 0xFF, 0xC3, 'B', 0xF0, 0x9F, 0x98, 0x80};
  AppendPacketText(b, utf8, sizeof utf8);
  EXPECT_EQ(b.view(), u"A中\uFFFD\uFFFDB😀");
  ASSERT_TRUE(SetThreadCodePage(kCodePageWindows1252));
  b.clear();
  const uint8_t western[] = {'a', 0x80, 0xE9, 0x81};
  AppendPacketText(b, western, sizeof western);
  EXPECT_EQ(b.view(), u"a€é\uFFFD");
  EXPECT_FALSE(SetThreadCodePage(12345));
  EXPECT_EQ(GetThreadCodePage(), kCodePageWindows1252);
  SetThreadCodePage(kCodePageUtf8);
}

TEST(Utf8, WellFormedTextConvertsBothWays) {
  std::u16string text = u"A\u00E9\u4E2D\U0001F600";
  std::string utf8 = "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
  EXPECT_EQ(Utf16ToUtf8(text), utf8);
  EXPECT_EQ(Utf8ToUtf16(utf8), text);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\0')), std::string(1, '\0'));
}

TEST(Utf8, LoneSurrogatesBecomeReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800}), replacement);                 // high at the end
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00, u'x'}), replacement + "x");     // low alone
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, u'x'}), replacement + "x");     // high before a non-surrogate
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00, 0xD800}), replacement + replacement);  // reversed pair
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, 0xD800, 0xDC00}), replacement + "\xF0\x90\x80\x80");
}

TEST(Utf8, MalformedUtf8BecomesReplacementCharacters) {
  const std::u16string r(1, 0xFFFD);
  EXPECT_EQ(Utf8ToUtf16("\xFF"), r);
  EXPECT_EQ(Utf8ToUtf16("\xC3"), r);                    // sequence cut short
  EXPECT_EQ(Utf8ToUtf16("\xC3x"), r + u"x");            // continuation missing
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), r + r);            // overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), r + r + r);    // an encoded surrogate
  EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), r + r + r + r);  // beyond U+10FFFF
}

TEST(FieldText, BitPictures) {
  EXPECT_EQ(std::u16string_view(BitsText16(0x4000, 0x4000)), u".1.. .... .... ....");
  EXPECT_EQ(std::u16string_view(BitsText8(0x05, 0x07)), u".... .101");
  EXPECT_EQ(std::u16string_view(BitsText8(0x45, 0xF0)), u"0100 ....");
  EXPECT_EQ(std::u16string_view(BitsText32(0x80000001, 0x80000001)).size(), 39u);
}

TEST(FieldText, Addresses) {
  char16_t text[kIPv6TextSize];
  const uint8_t a[] = {192, 168, 0, 1}, b[] = {10, 0, 0, 255};
  EXPECT_EQ(std::u16string_view(IPv4Text(a, text)), u"192.168.0.1");
  EXPECT_EQ(std::u16string_view(IPv4Text(b, text)), u"10.0.0.255");
  char16_t mac[kMacTextSize] = {};
  const uint8_t m[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  EXPECT_EQ(std::u16string_view(MacText(m, mac), 17), u"00:1A:2B:3C:4D:5E");
  const uint8_t zero[16] = {};
  EXPECT_EQ(std::u16string_view(IPv6Text(zero, text)), u"::");
  const uint8_t linkLocal[16] = {0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0x02, 0xAA, 0, 0xFF, 0xFE, 0x9A, 0x4C, 0xA2};
  EXPECT_EQ(std::u16string_view(IPv6Text(linkLocal, text)), u"FE80::2AA:FF:FE9A:4CA2");
  const uint8_t firstRun[16] = {0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1};
  EXPECT_EQ(std::u16string_view(IPv6Text(firstRun, text)), u"2001:DB8:0:1::1");
  const uint8_t trailing[16] = {0xFF, 0x02, 0, 1};
  EXPECT_EQ(std::u16string_view(IPv6Text(trailing, text)), u"FF02:1::");
  EXPECT_EQ(ReadUInt24BE(m + 3), 0x3C4D5Eu);
}

TEST(Checksum, InternetAndTransportChecksums) {
  // IPv4 header with a correct checksum (0xB1E6), carrying UDP 1234 -> 53 with payload "hi".
  uint8_t datagram[] = {0x45, 0x00, 0x00, 0x1E, 0x00, 0x01, 0x00, 0x00, 0x40, 0x11, 0x00, 0x00, 0xC0, 0xA8, 0x00,
                        0x01, 0xC0, 0xA8, 0x00, 0x02, 0x04, 0xD2, 0x00, 0x35, 0x00, 0x0A, 0x00, 0x00, 'h', 'i'};
  uint32_t headerSum = InternetChecksum(datagram, 20);
  datagram[10] = static_cast<uint8_t>(ExpectedChecksum(nullptr, 0, datagram, 20, 10) >> 8);
  datagram[11] = static_cast<uint8_t>(ExpectedChecksum(nullptr, 0, datagram, 20, 10));
  EXPECT_NE(headerSum, 0u);
  EXPECT_EQ(InternetChecksum(datagram, 20), 0u);
  EXPECT_EQ(ReadUInt16BE(datagram + 10), ExpectedChecksum(nullptr, 0, datagram, 20, 10));

  uint8_t pseudo[kPseudoHeaderIPv4Size];
  PseudoHeaderIPv4(datagram, 17, 10, pseudo);
  uint32_t expected = ExpectedChecksum(pseudo, sizeof pseudo, datagram + 20, 10, 6);
  EXPECT_NE(TransportChecksumIPv4(datagram), 0u);
  datagram[26] = static_cast<uint8_t>(expected >> 8);
  datagram[27] = static_cast<uint8_t>(expected);
  EXPECT_EQ(TransportChecksumIPv4(datagram), 0u);
  EXPECT_EQ(TransportChecksumIPv4(nullptr), 0u);
}

}  // namespace
}  // namespace vel
