#include "rendering/VTX_Languages.h"

#include <gtest/gtest.h>

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

TEST(NationalTextChar, GermanForAllOptionsButCzech) {
    EXPECT_EQ(NationalTextChar(0, 0x5B), 0x5B);
    EXPECT_EQ(NationalTextChar(1, 0x5B), 0xC4);
    EXPECT_EQ(NationalTextChar(4, 0x5B), 0xC4);  // a French page shows German letters
    EXPECT_EQ(NationalTextChar(6, 0x7E), 0x9A);
    EXPECT_EQ(NationalTextChar(6, 0x24), 0xF9);
    EXPECT_EQ(NationalTextChar(7, 0x7E), 0xDF);
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
