#include "platform/text.h"

#include <gtest/gtest.h>

// Every encoded length at its boundaries, byte for byte and back: Polish and Russian texts reach
// the console and the window through these conversions.
TEST(Text, Utf8ByteForByteAtEveryLengthBoundary)
{
    const struct {
        std::wstring wide;
        std::string utf8;
    } cases[] = {
        {L"\u007F", "\x7F"},
        {L"\u0080", "\xC2\x80"},
        {L"\u0142", "\xC5\x82"},         // ł
        {L"\u0414", "\xD0\x94"},         // Д
        {L"\u07FF", "\xDF\xBF"},
        {L"\u0800", "\xE0\xA0\x80"},
        {L"\u20AC", "\xE2\x82\xAC"},     // €
        {L"\U0001F600", "\xF0\x9F\x98\x80"},
        {L"A\u0105\u0416", "A\xC4\x85\xD0\x96"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(unicode2utf8(c.wide), c.utf8) << c.utf8;
        EXPECT_EQ(utf82unicode(c.utf8), c.wide) << c.utf8;
    }
}

TEST(Text, BytesThatAreNotUtf8ReadAsLatin1)
{
    EXPECT_EQ(utf82unicode("a\xB3z"), L"a\u00B3z");  // a stray continuation byte
    EXPECT_EQ(utf82unicode("\xC5"), L"\u00C5");       // a sequence cut at the end
    EXPECT_EQ(utf82unicode("\xC5x"), L"\u00C5x");     // a lead byte without its continuation
}
