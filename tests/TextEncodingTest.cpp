#include "export/XmlText.h"
#include "model/JsonText.h"
#include "model/Utf8.h"

#include <gtest/gtest.h>

#include <string>

// Names come from models and paks in any bytes; every writer reads them as
// UTF-8 the same strict way.
TEST(Utf8, OnlyWholeWellFormedSequencesAreCharacters) {
    struct Case {
        std::string bytes;
        uint32_t code;
        size_t length;
    };
    const Case cases[] = {
        {"a", 'a', 1},
        {"\xC3\xA9", 0xE9, 2},             // é
        {"\xE2\x82\xAC", 0x20AC, 3},       // €
        {"\xF0\x9F\x8E\xA8", 0x1F3A8, 4},  // a palette
        {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4}, // the last code point
        {"\xC0\xAF", 0, 0},                // '/' overlong: it must never pass as '/'
        {"\xE0\x80\xAF", 0, 0},            // the same in three bytes
        {"\xED\xA0\x80", 0, 0},            // a surrogate
        {"\xF4\x90\x80\x80", 0, 0},        // past U+10FFFF
        {"\xE2\x82", 0, 0},                // cut short
        {"\x80", 0, 0},                    // a stray continuation byte
        {"\xE9 b", 0, 0},                  // Latin-1 é
        {"\xF5\x80\x80\x80", 0, 0},        // no such lead byte
    };
    for (const Case& c : cases) {
        const Utf8Char ch = Utf8At(c.bytes, 0);
        EXPECT_EQ(ch.length, c.length) << c.bytes;
        if (c.length > 0) {
            EXPECT_EQ(ch.code, c.code) << c.bytes;
        }
    }
    EXPECT_EQ(Utf8At("ab", 2).length, 0u); // past the end
}

// An SVG's or an ORA's layer name: a byte that is not UTF-8 (an old mod's
// Latin-1 name) becomes one U+FFFD and costs nothing after it.
TEST(XmlAttributeText, ABrokenByteIsReplacedAloneAndMarkupEscaped) {
    EXPECT_EQ(XmlAttributeText("caf\xE9 bras"), "caf\xEF\xBF\xBD bras");
    EXPECT_EQ(XmlAttributeText("\xE2"
                               "A<b"),
              "\xEF\xBF\xBD"
              "A&lt;b");
    EXPECT_EQ(XmlAttributeText("a&\"b\"\t>"), "a&amp;&quot;b&quot;&#9;&gt;");
    EXPECT_EQ(XmlAttributeText(std::string("x\x01y\0z", 5)), "x\xEF\xBF\xBDy\xEF\xBF\xBDz");
    EXPECT_EQ(XmlAttributeText("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(XmlAttributeText("\xEF\xBF\xBE"), "\xEF\xBF\xBD"); // U+FFFE, one character
    EXPECT_EQ(XmlAttributeText("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
}

TEST(JsonString, BytesThatAreNotUtf8AreEscapedOneByOne) {
    EXPECT_EQ(JsonString("caf\xE9 bras"), "\"caf\\u00E9 bras\"");
    EXPECT_EQ(JsonString("\xC0\xAF/\xC3\xA9"), "\"\\u00C0\\u00AF/\xC3\xA9\"");
}
