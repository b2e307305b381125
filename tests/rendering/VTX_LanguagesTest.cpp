#include "rendering/VTX_Languages.h"

#include <gtest/gtest.h>

#include <string>

namespace orv {
namespace {

TEST(NationalGlyph, MapsNationalPositionsToTheOptionRow) {
    EXPECT_EQ(NationalGlyph(0, 0x23), 0x23);
    EXPECT_EQ(NationalGlyph(1, 0x40), 0x82);  // German section sign
    EXPECT_EQ(NationalGlyph(7, 0x7E), 0xEC);  // Polish z acute
    EXPECT_EQ(NationalGlyph(4, 0x41), 0x41);
    EXPECT_EQ(NationalGlyph(1, 0x23), 0x80);
    for (std::uint8_t option = 1; option < 8; ++option)
        for (int p = 0; p < 13; ++p)
            EXPECT_EQ(NationalGlyph(option, static_cast<std::uint8_t>(NationalPositions[p])),
                      0x80 + 16 * (option - 1) + p);
    // Everything outside the thirteen positions passes unchanged for every option.
    for (std::uint8_t option = 0; option < 8; ++option)
        for (int ch = 0; ch < 256; ++ch)
            if (NationalPositions.find(static_cast<char>(ch)) == std::string_view::npos) {
                EXPECT_EQ(NationalGlyph(option, static_cast<std::uint8_t>(ch)), ch);
                EXPECT_EQ(NationalTextChar(option, static_cast<std::uint8_t>(ch)), ch);
            }
}

// The text form shows each option's own letters, as the Latin face draws
// them; German and Czech pages keep the bytes they always had.
TEST(NationalTextChar, EachOptionShowsItsOwnLetters) {
    const char16_t* rows[8] = {
        u"\u00A3$@[\u00BD]^#\u2014\u00BC\u2016\u00BE\u00F7",  // English
        u"#$\u00A7\u00C4\u00D6\u00DC^_\u00B0\u00E4\u00F6\u00FC\u00DF",  // German
        u"#\u00A4\u00C9\u00C4\u00D6\u00C5\u00DC_\u00E9\u00E4\u00F6\u00E5\u00FC",  // Swedish/Finnish/Hungarian
        u"\u00A3$\u00E9\u00B0\u00E7]^#\u00F9\u00E0\u00F2\u00E8\u00EC",  // Italian
        u"\u00E9\u00EF\u00E0\u00EB\u00EA\u00F9\u00EE#\u00E8\u00E2\u00F4\u00FB\u00E7",  // French
        u"\u00E7$\u00A1\u00E1\u00E9\u00ED\u00F3\u00FA\u00BF\u00FC\u00F1\u00E8\u00E0",  // Portuguese/Spanish
        u"#\u016F\u010D\u0165\u017E\u00FD\u00ED\u0159\u00E9\u00E1\u011B\u00FA\u0161",  // Czech/Slovak
        u"#\u0144\u0105\u01B5\u015A\u0141\u0107\u00F3\u0119\u017C\u015B\u0142\u017A",  // Polish
    };
    for (std::uint8_t option = 0; option < 8; ++option)
        for (int p = 0; p < 13; ++p)
            EXPECT_EQ(NationalTextChar(option, static_cast<std::uint8_t>(NationalPositions[p])), rows[option][p])
                << int(option) << " " << p;

    // In its code page German text is what the design's German table gave, Czech the Czech table.
    const std::string positions(NationalPositions);
    std::u16string german, czech, french;
    for (const char c : positions) {
        german.push_back(NationalTextChar(1, static_cast<std::uint8_t>(c)));
        czech.push_back(NationalTextChar(6, static_cast<std::uint8_t>(c)));
        french.push_back(NationalTextChar(4, static_cast<std::uint8_t>(c)));
    }
    EXPECT_EQ(EncodeCodePage(german, TextCodePage(1)), "#$\xA7\xC4\xD6\xDC^_\xB0\xE4\xF6\xFC\xDF");
    EXPECT_EQ(EncodeCodePage(czech, TextCodePage(6)), "#\xF9\xE8\x9D\x9E\xFD\xED\xF8\xE9\xE1\xEC\xFA\x9A");
    EXPECT_EQ(EncodeCodePage(french, TextCodePage(4)), "\xE9\xEF\xE0\xEB\xEA\xF9\xEE#\xE8\xE2\xF4\xFB\xE7");
    // A letter its code page lacks becomes the plain letter: Polish in -1250, the Z with stroke as Z dot.
    EXPECT_EQ(TextCodePage(7), CodePage::Windows1250);
    EXPECT_EQ(EncodeCodePage(u"\u01B5\u2016\u0111\u65E5", CodePage::Windows1250), "\xAF|\xF0?");
    EXPECT_EQ(EncodeCodePage(u"\u2016\u0111\u0142\u0151", CodePage::Windows1252), "|dlo");
}

TEST(FontFaces, OnlyNationalFontOneSwitchesToCyrillic) {
    FontFaces faces;
    faces.SelectFontSet(2);
    EXPECT_EQ(faces.CharFace, "TTXCHAR");
    faces.SelectFontSet(1);
    EXPECT_EQ(faces.CharFace, "RUSCHAR");
    EXPECT_EQ(faces.DoubleCharFace, "DRUSCHAR");
    EXPECT_EQ(faces.GrafFace, "TTXGRAF");
    EXPECT_EQ(faces.DoubleGrafFace, "DTTXGRAF");
    faces.SelectFontSet(0);  // no way back within a run
    EXPECT_EQ(faces.CharFace, "RUSCHAR");
}

}  // namespace
}  // namespace orv
