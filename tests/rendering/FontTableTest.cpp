// The teletext font file: our .FON writer and reader, the faces the generator makes from the
// glyph drawings, FreeType's reading of the very same file as an outside check, the font table,
// and hostile files (run under the sanitizers).
#include "rendering/FontTable.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_WINFONTS_H

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <tuple>

#include "tools/fontgen/GlyphSource.h"
#include "tools/fontgen/TeletextFaces.h"

namespace orv {
namespace {

using fontgen::Drawing;
using fontgen::GlyphSource;
enum FaceIndex { kChar = 0, kDoubleChar, kGraf, kDoubleGraf, kRus, kDoubleRus };

const std::vector<std::string>& FaceNames() {
    static const std::vector<std::string> names = fontgen::TeletextFaceNames();
    return names;
}
int FaceCount() { return static_cast<int>(FaceNames().size()); }

std::vector<std::uint8_t> FontFileBytes() {
    const auto bytes = TeletextFontResource();
    return {bytes.begin(), bytes.end()};
}

std::vector<BitmapFace> TeletextFaces() {
    std::string error;
    auto faces = ReadFonFile(TeletextFontResource(), &error);
    EXPECT_TRUE(faces) << error;
    return faces ? std::move(*faces) : std::vector<BitmapFace>{};
}

bool Blank(std::span<const std::uint16_t> rows) {
    return std::all_of(rows.begin(), rows.end(), [](std::uint16_t row) { return row == 0; });
}

std::vector<std::uint16_t> Rows(std::span<const std::uint16_t> rows) { return {rows.begin(), rows.end()}; }
std::vector<std::uint16_t> Rows(const Drawing& drawing) { return {drawing.begin(), drawing.end()}; }

std::string Hex(int code) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", code);
    return text;
}

class TempDir {
public:
    TempDir()
        : path_(std::filesystem::temp_directory_path() /
                ("orvtt-font-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++))) {
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string Write(const std::string& name, std::span<const std::uint8_t> bytes) const {
        const auto file = path_ / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }
    std::string Write(const std::string& name, std::string_view text) const {
        return Write(name, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

// ---- FreeType, an outside reader of the same bytes -------------------------------------------

class FreeType {
public:
    FreeType() { EXPECT_EQ(FT_Init_FreeType(&library_), 0); }
    ~FreeType() { FT_Done_FreeType(library_); }
    FreeType(const FreeType&) = delete;
    FreeType& operator=(const FreeType&) = delete;

    using Face = std::unique_ptr<FT_FaceRec_, decltype(&FT_Done_Face)>;
    Face Open(std::span<const std::uint8_t> file, FT_Long index) const {
        FT_Face face = nullptr;
        if (FT_New_Memory_Face(library_, file.data(), static_cast<FT_Long>(file.size()), index, &face) != 0)
            face = nullptr;
        return Face(face, &FT_Done_Face);
    }

private:
    FT_Library library_ = nullptr;
};

// FreeType's drawing of a glyph in our row form (bit 15 leftmost); empty when it cannot load it.
std::vector<std::uint16_t> FreeTypeGlyph(FT_Face face, std::uint8_t code) {
    if (FT_Select_Size(face, 0) != 0 || face->num_charmaps != 1 || FT_Set_Charmap(face, face->charmaps[0]) != 0 ||
        FT_Load_Char(face, code, FT_LOAD_DEFAULT) != 0)
        return {};
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO || bitmap.width > 16) return {};
    std::vector<std::uint16_t> rows(bitmap.rows);
    for (unsigned y = 0; y < bitmap.rows; ++y)
        for (unsigned x = 0; x < bitmap.width; ++x)
            if (bitmap.buffer[static_cast<int>(y) * bitmap.pitch + static_cast<int>(x / 8)] & (0x80 >> (x % 8)))
                rows[y] = static_cast<std::uint16_t>(rows[y] | (0x8000u >> x));
    return rows;
}

TEST(FontFreeType, FindsTheTeletextFacesInOrder) {
    FreeType freeType;
    const auto file = TeletextFontResource();
    const auto all = freeType.Open(file, -1);
    ASSERT_TRUE(all);
    ASSERT_EQ(FaceCount(), 24);
    EXPECT_EQ(all->num_faces, FaceCount());
    for (int i = 0; i < FaceCount(); ++i) {
        SCOPED_TRACE(FaceNames()[static_cast<std::size_t>(i)]);
        const auto face = freeType.Open(file, i);
        ASSERT_TRUE(face);
        EXPECT_EQ(std::string(face->family_name), FaceNames()[static_cast<std::size_t>(i)]);
        ASSERT_EQ(face->num_fixed_sizes, 1);
        EXPECT_EQ(face->available_sizes[0].width, 12);
        EXPECT_EQ(face->available_sizes[0].height, i % 2 ? 30 : 15);
        EXPECT_TRUE(FT_IS_FIXED_WIDTH(face.get()));
    }
}

TEST(FontFreeType, ReadsTheHeaderValues) {
    FreeType freeType;
    for (int i = 0; i < FaceCount(); ++i) {
        SCOPED_TRACE(FaceNames()[static_cast<std::size_t>(i)]);
        const auto face = freeType.Open(TeletextFontResource(), i);
        ASSERT_TRUE(face);
        FT_WinFNT_HeaderRec h{};
        ASSERT_EQ(FT_Get_WinFNT_Header(face.get(), &h), 0);
        EXPECT_EQ(h.version, i == kGraf || i == kDoubleGraf ? 0x200 : 0x300);
        EXPECT_EQ(h.file_type & 1, 0);  // raster
        EXPECT_EQ(h.nominal_point_size, 8);
        EXPECT_EQ(h.vertical_resolution, 96);
        EXPECT_EQ(h.horizontal_resolution, 96);
        EXPECT_EQ(h.ascent, 8);
        EXPECT_EQ(h.internal_leading, 3);
        EXPECT_EQ(h.external_leading, 0);
        EXPECT_EQ(h.italic, 0);
        EXPECT_EQ(h.underline, 0);
        EXPECT_EQ(h.strike_out, 0);
        EXPECT_EQ(h.weight, 400);
        EXPECT_EQ(h.charset, FT_WinFNT_ID_SYMBOL);
        EXPECT_EQ(h.pixel_width, 12);
        EXPECT_EQ(h.pixel_height, i % 2 ? 30 : 15);
        EXPECT_EQ(h.pitch_and_family, 0);
        EXPECT_EQ(h.avg_width, 12);
        EXPECT_EQ(h.max_width, 12);
        EXPECT_EQ(h.first_char, 0);
        EXPECT_EQ(h.last_char, 255);
        EXPECT_EQ(h.default_char, 33);
        EXPECT_EQ(h.break_char, 0);
    }
}

TEST(FontFreeType, DrawsEveryGlyphAsWeReadIt) {
    FreeType freeType;
    const std::vector<BitmapFace> faces = TeletextFaces();
    ASSERT_EQ(faces.size(), FaceNames().size());
    for (int i = 0; i < FaceCount(); ++i) {
        const auto face = freeType.Open(TeletextFontResource(), i);
        ASSERT_TRUE(face);
        for (int code = 0; code < 256; ++code) {
            const auto c = static_cast<std::uint8_t>(code);
            ASSERT_EQ(FreeTypeGlyph(face.get(), c), Rows(faces[static_cast<std::size_t>(i)].Glyph(c)))
                << FaceNames()[static_cast<std::size_t>(i)] << " " << Hex(code);
        }
    }
    // And not only blank cells agree: the solid mosaic fills its cell in FreeType's eyes too.
    const auto graf = freeType.Open(TeletextFontResource(), kGraf);
    ASSERT_TRUE(graf);
    EXPECT_EQ(FreeTypeGlyph(graf.get(), 0x7F), std::vector<std::uint16_t>(15, 0xFFF0));
}

// ---- Writing and reading .FON files ------------------------------------------------------------

BitmapFace RandomFace(std::mt19937& random, std::string name, int width, int height, int version) {
    BitmapFace face;
    face.Name = std::move(name);
    face.Width = width;
    face.Height = height;
    face.Points = static_cast<int>(random() % 72) + 1;
    face.Ascent = static_cast<int>(random() % static_cast<unsigned>(height + 1));
    face.InternalLeading = static_cast<int>(random() % 5);
    face.Weight = 100 * static_cast<int>(random() % 9 + 1);
    face.CharSet = static_cast<int>(random() % 256);
    face.DefaultChar = static_cast<int>(random() % 256);
    face.Version = version;
    face.Bits.resize(256 * static_cast<std::size_t>(height));
    const auto mask = static_cast<std::uint16_t>(0xFFFF0000u >> width);
    for (auto& row : face.Bits) row = static_cast<std::uint16_t>(random() & mask);
    return face;
}

void ExpectSameFace(const BitmapFace& read, const BitmapFace& written, int version) {
    SCOPED_TRACE(written.Name);
    EXPECT_EQ(read.Name, written.Name);
    EXPECT_EQ(read.Width, written.Width);
    EXPECT_EQ(read.Height, written.Height);
    EXPECT_EQ(read.Points, written.Points);
    EXPECT_EQ(read.Ascent, written.Ascent);
    EXPECT_EQ(read.InternalLeading, written.InternalLeading);
    EXPECT_EQ(read.Weight, written.Weight);
    EXPECT_EQ(read.CharSet, written.CharSet);
    EXPECT_EQ(read.DefaultChar, written.DefaultChar);
    EXPECT_EQ(read.Version, version);
    EXPECT_EQ(read.Bits, written.Bits);
}

TEST(FontFile, WriteThenReadKeepsEveryFaceOfBothVersions) {
    std::mt19937 random(7);
    struct Shape {
        int Width, Height, Version;
    };
    const Shape shapes[] = {{1, 1, 0x200},  {3, 5, 0x300},   {7, 9, 0x200},   {9, 13, 0x300}, {12, 15, 0x200},
                            {12, 30, 0x300}, {15, 11, 0x200}, {16, 16, 0x300}, {13, 31, 0x200}, {11, 7, 0x300}};
    std::vector<BitmapFace> faces;
    for (const Shape& s : shapes)
        faces.push_back(RandomFace(random, "Face" + std::to_string(faces.size()), s.Width, s.Height, s.Version));
    const std::vector<std::uint8_t> file = WriteFonFile(faces, "FONTRES 100,96,96 : round trip");
    std::string error;
    const auto read = ReadFonFile(file, &error);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(read->size(), faces.size());
    for (std::size_t i = 0; i < faces.size(); ++i) ExpectSameFace((*read)[i], faces[i], faces[i].Version);

    FreeType freeType;
    const auto all = freeType.Open(file, -1);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->num_faces, static_cast<FT_Long>(faces.size()));
}

TEST(FontFile, AFaceTooBigForVersion2IsWrittenAs3) {
    std::mt19937 random(8);
    const std::vector<BitmapFace> faces = {RandomFace(random, "TALL", 16, 200, 0x200)};
    const auto read = ReadFonFile(WriteFonFile(faces, "tall"));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 1u);
    ExpectSameFace(read->front(), faces.front(), 0x300);
}

TEST(FontFile, KeepsNoPixelsRightOfTheWidth) {
    BitmapFace face;
    face.Name = "NARROW";
    face.Width = 5;
    face.Height = 3;
    face.Bits.assign(256 * 3, 0xFFFF);
    const auto read = ReadFonFile(WriteFonFile(std::span(&face, 1), "narrow"));
    ASSERT_TRUE(read);
    const BitmapFace& back = read->front();
    EXPECT_EQ(back.Glyph('A')[0], 0xF800);
    EXPECT_TRUE(back.Pixel('A', 4, 2));
    EXPECT_FALSE(back.Pixel('A', 5, 2));
    EXPECT_FALSE(back.Pixel('A', -1, 0));
    EXPECT_FALSE(back.Pixel('A', 0, 3));
}

TEST(FontFile, ReadingRejectsWhatIsNoFontFile) {
    const auto rejected = [](std::span<const std::uint8_t> bytes) {
        std::string error;
        const bool read = ReadFonFile(bytes, &error).has_value();
        return !read && !error.empty();
    };
    EXPECT_TRUE(rejected({}));
    const std::uint8_t mz[] = {'M', 'Z'};
    EXPECT_TRUE(rejected(mz));
    std::vector<std::uint8_t> file = FontFileBytes();
    EXPECT_TRUE(rejected(std::span(file).first(file.size() / 2)));
    EXPECT_TRUE(rejected(WriteFonFile({}, "no fonts at all")));
    file[0x80] = 'P';  // a PE module is no font file of ours
    EXPECT_TRUE(rejected(file));
}

// ---- The generated teletext faces --------------------------------------------------------------

// Whether the mosaic rule lights (x, y) for the code's sixel bits, worked out from the pixel.
bool MosaicLit(int code, int x, int y, bool separated) {
    int band = y / 5;
    if (separated && (y == 4 || y == 10)) return false;  // the gaps under the top and middle blocks
    int side = x / 6;
    if (separated && x % 6 < 2) return false;             // the gaps left of each block
    const int bit = band == 2 && side == 1 ? 0x40 : 1 << (2 * band + side);
    return (code & bit) != 0;
}

bool IsMosaic(int code) {
    const int low = code & 0x7F;
    return (low >= 0x20 && low < 0x40) || low >= 0x60;
}

TEST(FontTeletextFaces, MosaicCellsFollowTheBitRule) {
    const std::vector<BitmapFace> faces = TeletextFaces();
    ASSERT_EQ(faces.size(), FaceNames().size());
    const BitmapFace& graf = faces[kGraf];
    for (int code = 0; code < 256; ++code) {
        const auto c = static_cast<std::uint8_t>(code);
        if ((code & 0x7F) < 0x20) {
            EXPECT_TRUE(Blank(graf.Glyph(c))) << Hex(code);
        }
        if (!IsMosaic(code)) continue;
        for (int y = 0; y < 15; ++y)
            for (int x = 0; x < 12; ++x)
                ASSERT_EQ(graf.Pixel(c, x, y), MosaicLit(code, x, y, code >= 0x80))
                    << Hex(code) << " x " << x << " y " << y;
    }
    EXPECT_TRUE(Blank(graf.Glyph(0x20)));
    EXPECT_EQ(Rows(graf.Glyph(0x7F)), std::vector<std::uint16_t>(15, 0xFFF0));
    int separatedInk = 0;
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 12; ++x) separatedInk += graf.Pixel(0xFF, x, y);
    EXPECT_EQ(separatedInk, 2 * 4 * (4 + 5 + 4));
}

TEST(FontTeletextFaces, BlastThroughCapitalsAreTheLatinDrawings) {
    const std::vector<BitmapFace> faces = TeletextFaces();
    ASSERT_EQ(faces.size(), FaceNames().size());
    const BitmapFace& graf = faces[kGraf];
    const BitmapFace& latin = faces[kChar];
    const auto glyph = [](const BitmapFace& f, int code) { return Rows(f.Glyph(static_cast<std::uint8_t>(code))); };
    for (int code = 0x40; code <= 0x5A; ++code) EXPECT_EQ(glyph(graf, code), glyph(latin, code)) << Hex(code);
    const std::pair<int, int> tail[] = {{0x5B, 0x83}, {0x5C, 0x84}, {0x5D, 0x85}, {0x5E, 0x5E}, {0x5F, 0x60}};
    for (const auto& [code, from] : tail) EXPECT_EQ(glyph(graf, code), glyph(latin, from)) << Hex(code);
    for (int code = 0xC0; code <= 0xDF; ++code) EXPECT_EQ(glyph(graf, code), glyph(graf, code - 0x80)) << Hex(code);
}

TEST(FontTeletextFaces, DoubleFacesRepeatEveryRowOfTheirSingleFaces) {
    const std::vector<BitmapFace> faces = TeletextFaces();
    ASSERT_EQ(faces.size(), FaceNames().size());
    for (std::size_t single = 0; single < faces.size(); single += 2) {
        const BitmapFace& one = faces[single];
        const BitmapFace& two = faces[single + 1];
        SCOPED_TRACE(two.Name);
        EXPECT_EQ(two.Name, "D" + one.Name);
        ASSERT_EQ(two.Height, 30);
        EXPECT_EQ(two.Version, one.Version);
        for (int code = 0; code < 256; ++code) {
            const auto c = static_cast<std::uint8_t>(code);
            for (std::size_t y = 0; y < 15; ++y) {
                ASSERT_EQ(two.Glyph(c)[2 * y], one.Glyph(c)[y]) << Hex(code);
                ASSERT_EQ(two.Glyph(c)[2 * y + 1], one.Glyph(c)[y]) << Hex(code);
            }
        }
    }
}

TEST(FontTeletextFaces, HeaderValues) {
    const std::vector<BitmapFace> faces = TeletextFaces();
    ASSERT_EQ(faces.size(), FaceNames().size());
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const BitmapFace& f = faces[i];
        SCOPED_TRACE(FaceNames()[i]);
        EXPECT_EQ(f.Name, FaceNames()[i]);
        EXPECT_EQ(f.Width, 12);
        EXPECT_EQ(f.Height, i % 2 ? 30 : 15);
        EXPECT_EQ(f.Points, 8);
        EXPECT_EQ(f.Ascent, 8);
        EXPECT_EQ(f.InternalLeading, 3);
        EXPECT_EQ(f.Weight, 400);
        EXPECT_EQ(f.CharSet, 2);
        EXPECT_EQ(f.DefaultChar, 33);
        EXPECT_EQ(f.Version, i == kGraf || i == kDoubleGraf ? 0x200 : 0x300);
    }
}

// What a character cell must hold according to the drawings: none for a blank cell.
using Expected = std::optional<Drawing>;

Expected Drawn(const GlyphSource& source, int code) {
    const auto found = source.Glyphs.find(static_cast<std::uint8_t>(code));
    return found == source.Glyphs.end() ? Expected{} : Expected{found->second};
}

Expected ExpectedLatin(const GlyphSource& latin, int code) { return code > 0x20 ? Drawn(latin, code) : Expected{}; }

Expected ExpectedCyrillic(const GlyphSource& cyrillic, const GlyphSource& latin, int code) {
    if (code <= 0x20) return {};
    const int row = code & 0xF0, position = code & 0x0F;
    if ((row == 0x80 || row >= 0xC0) && position <= 0xC) return Drawn(latin, code);
    if (const auto copy = cyrillic.Copies.find(static_cast<std::uint8_t>(code)); copy != cyrillic.Copies.end())
        return Drawn(latin, copy->second.Cell);
    return Drawn(cyrillic, code);
}

std::optional<GlyphSource> Drawings(const std::string& name) {
    std::string error;
    auto source = fontgen::ReadGlyphSource(std::string(ORVTT_FONT_DIR) + "/" + name, &error);
    EXPECT_TRUE(source) << error;
    return source;
}

// Drawn cells hold their drawings and are not blank (missing drawings stay blank until they come).
void ExpectCells(const BitmapFace& face, const std::function<Expected(int)>& expected, const GlyphSource& where) {
    for (int code = 0; code < 256; ++code) {
        const auto c = static_cast<std::uint8_t>(code);
        const Expected drawing = expected(code);
        if (!drawing) {
            EXPECT_TRUE(Blank(face.Glyph(c))) << face.Name << " " << Hex(code) << " should be blank";
            continue;
        }
        EXPECT_EQ(Rows(face.Glyph(c)), Rows(*drawing)) << face.Name << " " << Hex(code);
        EXPECT_FALSE(Blank(face.Glyph(c)))
            << face.Name << " " << Hex(code) << " is drawn blank (" << where.Where(c) << ")";
    }
}

TEST(FontTeletextFaces, CharacterCellsHoldTheirDrawingsAndNothingElse) {
    const auto latin = Drawings("latin.txt");
    const auto cyrillic = Drawings("cyrillic.txt");
    ASSERT_TRUE(latin && cyrillic) << "both glyph files must be there";
    const std::vector<BitmapFace> faces = TeletextFaces();
    ASSERT_EQ(faces.size(), FaceNames().size());
    ExpectCells(faces[kChar], [&](int code) { return ExpectedLatin(*latin, code); }, *latin);
    ExpectCells(faces[kRus], [&](int code) { return ExpectedCyrillic(*cyrillic, *latin, code); }, *cyrillic);
}

const BitmapFace& Face(const std::vector<BitmapFace>& faces, std::string_view name) {
    static const BitmapFace none;
    const auto found = std::find_if(faces.begin(), faces.end(), [&](const BitmapFace& f) { return f.Name == name; });
    EXPECT_NE(found, faces.end()) << name;
    return found == faces.end() ? none : *found;
}

std::vector<std::uint16_t> Glyph(const BitmapFace& face, int code) {
    return face.Bits.empty() ? std::vector<std::uint16_t>{} : Rows(face.Glyph(static_cast<std::uint8_t>(code)));
}

std::uint64_t Fnv1a(const std::vector<std::uint16_t>& rows) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const std::uint16_t row : rows)
        for (const int byte : {row >> 8, row & 0xFF})
            hash = (hash ^ static_cast<std::uint64_t>(byte)) * 1099511628211ull;
    return hash;
}

// The glyphs of the first six faces as they were before the faces for the extended character sets
// came: pages drawn with them must look as they always have.
TEST(FontTeletextFaces, TheFirstSixFacesKeepEveryGlyphBit) {
    const std::pair<std::string_view, std::uint64_t> kept[] = {
        {"TTXCHAR", 0x9dc16a3e69d46cfe}, {"DTTXCHAR", 0x78517dbb94a3f7ed}, {"TTXGRAF", 0x0d2699361efad095},
        {"DTTXGRAF", 0x3fe14ba432cabfb5}, {"RUSCHAR", 0x51256ba88dabb546}, {"DRUSCHAR", 0x805700cacec8e82d}};
    const std::vector<BitmapFace> faces = TeletextFaces();
    ASSERT_GE(faces.size(), std::size(kept));
    for (std::size_t i = 0; i < std::size(kept); ++i) {
        EXPECT_EQ(faces[i].Name, kept[i].first);
        EXPECT_EQ(Fnv1a(faces[i].Bits), kept[i].second) << kept[i].first;
    }
}

// The cells with ink in each face added for the extended character sets; all others stay blank.
TEST(FontTeletextFaces, ExtendedFacesDrawTheirCellsAndLeaveTheRestBlank) {
    const std::pair<std::string_view, std::vector<std::pair<int, int>>> layouts[] = {
        {"TTXG2", {{0x21, 0x3F}, {0x41, 0x58}, {0x5C, 0x64}, {0x66, 0x7F}}},
        {"TTXMARKS", {{0x41, 0x4F}, {0x61, 0x6F}}},
        {"CYRG2", {{0x21, 0x23}, {0x25, 0x27}, {0x29, 0x3F}, {0x41, 0x7F}}},
        {"GRKG2", {{0x21, 0x3F}, {0x41, 0x7F}}},
        {"GRKCHAR", {{0x21, 0x7F}}},
        {"CYRCHAR1", {{0x21, 0x7F}}},
        {"CYRCHAR3", {{0x21, 0x7F}}},
        {"TTXLATX", {{0x80, 0x8C}, {0x90, 0x9C}, {0xA0, 0xAC}, {0xB0, 0xBC}, {0xC0, 0xCC}}},
        {"HEBCHAR", {{0x21, 0x7F}}},
    };
    const std::vector<BitmapFace> faces = TeletextFaces();
    for (const auto& [name, ranges] : layouts) {
        const BitmapFace& face = Face(faces, name);
        for (int code = 0; code < 256; ++code) {
            const bool drawn = std::any_of(ranges.begin(), ranges.end(),
                                           [&](const auto& r) { return code >= r.first && code <= r.second; });
            EXPECT_EQ(!Blank(Glyph(face, code)), drawn) << name << " " << Hex(code);
        }
    }
}

// Cells that show the same character as a cell of another face hold the same drawing.
struct SameAs {
    std::string_view Face;
    int Code;
    std::string_view Other;
    int OtherCode;
    int Count = 1;
};

TEST(FontTeletextFaces, SharedCharactersAreTheSameDrawings) {
    std::vector<SameAs> shared = {
        {"RUSCHAR", 0x80, "TTXCHAR", 0x80, 13},   {"RUSCHAR", 0xC0, "TTXCHAR", 0xC0, 13},
        {"RUSCHAR", 0xD0, "TTXCHAR", 0xD0, 13},   {"RUSCHAR", 0xE0, "TTXCHAR", 0xE0, 13},
        {"TTXG2", 0x7F, "TTXCHAR", 0x7F},
        {"CYRG2", 0x21, "TTXG2", 0x21, 3},        {"CYRG2", 0x25, "TTXG2", 0x25, 3},
        {"CYRG2", 0x29, "TTXG2", 0x29, 0x17},     {"CYRG2", 0x41, "TTXG2", 0x41, 0x18},
        {"CYRG2", 0x5C, "TTXG2", 0x5C, 4},        {"CYRG2", 0x59, "TTXG2", 0x68},
        {"CYRG2", 0x5A, "TTXG2", 0x78},           {"CYRG2", 0x5B, "TTXG2", 0x7B},
        {"GRKG2", 0x23, "TTXG2", 0x23},           {"GRKG2", 0x27, "TTXG2", 0x27},
        {"GRKG2", 0x29, "TTXG2", 0x29, 2},        {"GRKG2", 0x2C, "TTXG2", 0x2C, 8},
        {"GRKG2", 0x38, "TTXG2", 0x38, 3},        {"GRKG2", 0x3C, "TTXG2", 0x3C, 3},
        {"GRKG2", 0x41, "TTXG2", 0x41, 15},       {"GRKG2", 0x51, "TTXG2", 0x51, 8},
        {"GRKG2", 0x5C, "TTXG2", 0x5C, 4},        {"GRKG2", 0x7F, "TTXG2", 0x7F},
        {"GRKG2", 0x28, "TTXCHAR", ':'},          {"GRKG2", 0x50, "TTXCHAR", '?'},
        {"GRKCHAR", 0x21, "TTXCHAR", 0x21, 2},    {"GRKCHAR", 0x23, "TTXCHAR", 0x5F},
        {"GRKCHAR", 0x24, "TTXCHAR", 0x24, 24},   {"GRKCHAR", 0x3D, "TTXCHAR", 0x3D},
        {"GRKCHAR", 0x3F, "TTXCHAR", 0x3F},       {"GRKCHAR", 0x3C, "TTXG2", 0x2B},
        {"GRKCHAR", 0x3E, "TTXG2", 0x3B},         {"GRKCHAR", 0x59, "TTXG2", 0x60},
        {"GRKCHAR", 0x7F, "TTXCHAR", 0x7F},
        {"CYRCHAR1", 0x21, "TTXCHAR", 0x21, 2},   {"CYRCHAR1", 0x23, "TTXCHAR", 0x5F},
        {"CYRCHAR1", 0x24, "TTXCHAR", 0x24, 28},  {"CYRCHAR1", 0x7F, "TTXCHAR", 0x7F},
        {"CYRCHAR3", 0x21, "RUSCHAR", 0x21, 5},   {"CYRCHAR3", 0x27, "RUSCHAR", 0x27, 0x32},
        {"CYRCHAR3", 0x5A, "RUSCHAR", 0x5A, 2},   {"CYRCHAR3", 0x5D, "RUSCHAR", 0x5D, 2},
        {"CYRCHAR3", 0x60, "RUSCHAR", 0x60, 0x19}, {"CYRCHAR3", 0x7A, "RUSCHAR", 0x7A, 2},
        {"CYRCHAR3", 0x7D, "RUSCHAR", 0x7D, 3},   {"CYRCHAR3", 0x59, "TTXCHAR", 'I'},
        {"CYRCHAR3", 0x79, "TTXCHAR", 'i'},
        {"TTXLATX", 0xB0, "RUSCHAR", 0x90, 13},   {"TTXLATX", 0xC0, "RUSCHAR", 0xA0, 13},
        {"HEBCHAR", 0x21, "TTXCHAR", 0x21, 0x3A}, {"HEBCHAR", 0x5B, "TTXG2", 0x2C},
        {"HEBCHAR", 0x5C, "TTXCHAR", 0x5C},       {"HEBCHAR", 0x5D, "TTXG2", 0x2E},
        {"HEBCHAR", 0x5E, "TTXG2", 0x2D},         {"HEBCHAR", 0x5F, "TTXCHAR", 0x5F},
        {"HEBCHAR", 0x7C, "TTXCHAR", 0x7C, 4},
    };
    // Serbian Cyrillic letters that Russian has, capitals and (0x20 on) small letters; Je is the Latin J.
    const SameAs serbian[] = {{"CYRCHAR1", 0x40, "RUSCHAR", 0x5E},    {"CYRCHAR1", 0x41, "RUSCHAR", 0x41, 9},
                              {"CYRCHAR1", 0x4A, "TTXCHAR", 'J'},     {"CYRCHAR1", 0x4B, "RUSCHAR", 0x4B, 6},
                              {"CYRCHAR1", 0x52, "RUSCHAR", 0x52, 4}, {"CYRCHAR1", 0x56, "RUSCHAR", 0x57},
                              {"CYRCHAR1", 0x5A, "RUSCHAR", 0x5A},    {"CYRCHAR1", 0x5C, "RUSCHAR", 0x56},
                              {"CYRCHAR1", 0x5E, "RUSCHAR", 0x5B}};
    for (SameAs same : serbian) {
        shared.push_back(same);
        same.Code += 0x20;
        same.OtherCode += 0x20;
        shared.push_back(same);
    }
    // Latin letters in the Cyrillic and Greek supplementary sets, and Greek capitals shaped like Latin ones.
    const std::tuple<std::string_view, int, std::string_view> latinLetters[] = {
        {"CYRG2", 0x60, "DEFGIJKLNQRSUVWZ"}, {"CYRG2", 0x70, "defgijklnqrsuvwz"},
        {"GRKG2", 0x21, "ab"}, {"GRKG2", 0x24, "ehi"}, {"GRKG2", 0x2B, "k"}, {"GRKG2", 0x34, "xmnp"},
        {"GRKG2", 0x3B, "t"}, {"GRKG2", 0x3F, "x"}, {"GRKG2", 0x60, "CDFGJLQRSUVWYZ"},
        {"GRKG2", 0x70, "cdfgjlqrsuvwyz"},
        {"GRKCHAR", 0x41, "AB"}, {"GRKCHAR", 0x45, "EZH"}, {"GRKCHAR", 0x49, "IK"}, {"GRKCHAR", 0x4C, "MN"},
        {"GRKCHAR", 0x4F, "O"}, {"GRKCHAR", 0x51, "P"}, {"GRKCHAR", 0x54, "TY"}, {"GRKCHAR", 0x57, "X"},
    };
    for (const auto& [face, code, letters] : latinLetters)
        for (std::size_t i = 0; i < letters.size(); ++i)
            shared.push_back({face, code + static_cast<int>(i), "TTXCHAR", letters[i]});

    const std::vector<BitmapFace> faces = TeletextFaces();
    for (const SameAs& s : shared)
        for (int i = 0; i < s.Count; ++i) {
            const auto glyph = Glyph(Face(faces, s.Face), s.Code + i);
            EXPECT_FALSE(Blank(glyph)) << s.Face << " " << Hex(s.Code + i);
            EXPECT_EQ(glyph, Glyph(Face(faces, s.Other), s.OtherCode + i))
                << s.Face << " " << Hex(s.Code + i) << " is not " << s.Other << " " << Hex(s.OtherCode + i);
        }
}

// The first and last row with ink.
std::pair<int, int> InkRows(const std::vector<std::uint16_t>& rows) {
    int first = -1, last = -1;
    for (int y = 0; y < static_cast<int>(rows.size()); ++y)
        if (rows[static_cast<std::size_t>(y)]) {
            if (first < 0) first = y;
            last = y;
        }
    return {first, last};
}

// The overlays leave the letter's own rows alone: the marks above small letters where the national
// rows put their accents (rows 1-3, over the x-height), those above capitals over the capital
// height, the marks below under the baseline. The spacing marks of the supplementary set are the
// marks for small letters.
TEST(FontTeletextFaces, DiacriticalMarksSitAboveOrBelowTheLetters) {
    const std::vector<BitmapFace> faces = TeletextFaces();
    const BitmapFace& marks = Face(faces, "TTXMARKS");
    const auto within = [](const std::vector<std::uint16_t>& glyph, int top, int bottom) {
        const auto [first, last] = InkRows(glyph);
        return first >= top && last <= bottom;
    };
    for (int mark = 1; mark <= 15; ++mark) {
        const bool below = mark == 0x9 || mark == 0xB || mark == 0xC || mark == 0xE;
        SCOPED_TRACE(Hex(0x40 + mark));
        EXPECT_TRUE(below ? within(Glyph(marks, 0x40 + mark), 12, 14) : within(Glyph(marks, 0x40 + mark), 1, 3));
        EXPECT_TRUE(below ? within(Glyph(marks, 0x60 + mark), 12, 14) : within(Glyph(marks, 0x60 + mark), 0, 1));
        EXPECT_EQ(Glyph(Face(faces, "TTXG2"), 0x40 + mark), Glyph(marks, 0x40 + mark));
    }
}

// A small letter with a mark laid over it is the letter the national rows draw with that accent,
// so that accented letters look alike whichever way a page sends them.
TEST(FontTeletextFaces, MarkedSmallLettersAreTheAccentedLettersOfTheNationalRows) {
    struct Marked {
        std::string_view BaseFace;
        int Base, Mark;
        std::string_view Face;
        int Code;
    };
    const Marked marked[] = {
        {"TTXCHAR", 'a', 0x41, "TTXCHAR", 0xA9}, {"TTXCHAR", 'e', 0x42, "TTXCHAR", 0xC4},
        {"TTXCHAR", 'o', 0x43, "TTXCHAR", 0xBA}, {"TTXCHAR", 'n', 0x44, "TTXCHAR", 0xCA},
        {"TTXCHAR", 'u', 0x48, "TTXCHAR", 0x8B}, {"TTXCHAR", 'a', 0x4A, "TTXCHAR", 0x9B},
        {"TTXCHAR", 'u', 0x4A, "TTXCHAR", 0xD1}, {"TTXCHAR", 'c', 0x4B, "TTXCHAR", 0xBC},
        {"TTXCHAR", 'c', 0x4F, "TTXCHAR", 0xD2}, {"TTXCHAR", 'z', 0x47, "TTXCHAR", 0xE9},
        {"TTXCHAR", 'a', 0x4E, "TTXCHAR", 0xE2}, {"TTXCHAR", 'y', 0x42, "TTXCHAR", 0xD5},
        {"TTXCHAR", 'e', 0x47, "RUSCHAR", 0xA3}, {"TTXCHAR", 'o', 0x44, "RUSCHAR", 0x91},
        {"TTXG2", 0x75, 0x42, "TTXCHAR", 0xC5},  // the dotless i takes the marks above
    };
    const std::vector<BitmapFace> faces = TeletextFaces();
    for (const Marked& m : marked) {
        std::vector<std::uint16_t> glyph = Glyph(Face(faces, m.BaseFace), m.Base);
        const std::vector<std::uint16_t> mark = Glyph(Face(faces, "TTXMARKS"), m.Mark);
        ASSERT_EQ(glyph.size(), mark.size());
        for (std::size_t y = 0; y < glyph.size(); ++y) glyph[y] = static_cast<std::uint16_t>(glyph[y] | mark[y]);
        EXPECT_EQ(glyph, Glyph(Face(faces, m.Face), m.Code)) << Hex(m.Base) << " with " << Hex(m.Mark);
    }
}

// ---- The glyph drawings and the generator --------------------------------------------------------

std::string GlyphText(std::string_view cell, const std::vector<std::string>& rows) {
    std::string text = "glyph " + std::string(cell) + "\n";
    for (const auto& row : rows) text += row + "\n";
    return text;
}

// A drawing with ink in the corners of its top row.
std::vector<std::string> Picture() {
    std::vector<std::string> rows(15, "............");
    rows[0] = "#..........#";
    return rows;
}

TEST(FontGlyphSource, ReadsGlyphsCopiesRunsCommentsAndWindowsLineEnds) {
    std::string text = "# drawings\r\n\r\n" + GlyphText("4a", Picture()) + "copy 7E latin 5F\r\n  # more\n" +
                       "copy 21-23 latin-g2 F0\n";
    text.replace(text.find("#..........#\n"), 13, "#..........#  \r\n");
    std::string error;
    const auto source = fontgen::ParseGlyphSource(text, "x.txt", &error);
    ASSERT_TRUE(source) << error;
    ASSERT_EQ(source->Glyphs.count(0x4A), 1u);
    EXPECT_EQ(source->Glyphs.at(0x4A)[0], 0x8010);
    EXPECT_EQ(source->Glyphs.at(0x4A)[14], 0);
    EXPECT_EQ(source->Copies.at(0x7E), (fontgen::CopyOf{"latin", 0x5F}));
    EXPECT_EQ(source->Copies.at(0x21), (fontgen::CopyOf{"latin-g2", 0xF0}));
    EXPECT_EQ(source->Copies.at(0x23), (fontgen::CopyOf{"latin-g2", 0xF2}));
    EXPECT_EQ(source->Copies.size(), 4u);
    EXPECT_EQ(source->Where(0x4A), "x.txt:3: ");
    EXPECT_EQ(source->Where(0x7E), "x.txt:19: ");
    EXPECT_EQ(source->Where(0x22), "x.txt:21: ");
}

TEST(FontGlyphSource, ReportsMalformedLinesWithFileAndLine) {
    const std::vector<std::string> shortRow = [] { auto r = Picture(); r[4] = "..........."; return r; }();
    const std::vector<std::string> badInk = [] { auto r = Picture(); r[2] = "....o......."; return r; }();
    const std::vector<std::string> longRow = [] { auto r = Picture(); r[14] = "............#"; return r; }();
    const std::pair<std::string, std::string> cases[] = {
        {"\nglif 41\n", "x.txt:2:"},
        {"glyph 4G\n", "x.txt:1:"},
        {"glyph 141\n", "x.txt:1:"},
        {"# a\n" + GlyphText("41", shortRow), "x.txt:7:"},
        {GlyphText("41", badInk), "x.txt:4:"},
        {GlyphText("41", longRow), "x.txt:16:"},
        {"glyph 41\n#...........\n", "x.txt:2:"},
        {GlyphText("41", Picture()) + "\ncopy 41 latin 42\n", "x.txt:18:"},
        {"copy 40-42 latin 60\ncopy 42 latin 62\n", "x.txt:2:"},
        {"copy 41 Latin 42\n", "x.txt:1:"},
        {"copy 41 latin.txt 42\n", "x.txt:1:"},
        {"copy 41 latin\n", "x.txt:1:"},
        {"copy 45-41 latin 42\n", "x.txt:1:"},
        {"copy 41-4F latin F5\n", "x.txt:1:"},
        {"copy 41- latin 42\n", "x.txt:1:"},
    };
    for (const auto& [text, where] : cases) {
        std::string error;
        EXPECT_FALSE(fontgen::ParseGlyphSource(text, "x.txt", &error)) << text;
        EXPECT_EQ(error.rfind(where, 0), 0u) << error;
    }
}

// Every drawing file, empty but for the given texts.
fontgen::Drawings DrawingsWith(const std::vector<std::pair<std::string, std::string>>& texts) {
    fontgen::Drawings drawings;
    for (const auto& file : fontgen::kDrawingFiles)
        drawings[std::string(file.Name)].FileName = std::string(file.Name) + ".txt";
    for (const auto& [name, text] : texts) {
        std::string error;
        auto source = fontgen::ParseGlyphSource(text, name + ".txt", &error);
        EXPECT_TRUE(source) << error;
        if (source) drawings[name] = std::move(*source);
    }
    return drawings;
}

TEST(FontGlyphSource, FaultsInTheDrawingsNameTheirFileAndLine) {
    const std::string latin = GlyphText("41", Picture()) + GlyphText("EC", Picture());
    std::vector<std::string> dot(15, "............");
    dot[5] = "....##......";
    const fontgen::Drawings good = DrawingsWith({{"latin", latin},
                                                 {"cyrillic", GlyphText("BC", dot) + "copy 41 latin EC\n"},
                                                 {"latin-g2", "copy 41 cyrillic 41\ncopy 42 cyrillic BC\n"},
                                                 {"marks", "copy 61-62 latin-g2 41\n"},
                                                 {"latin-national", "copy C0 latin 41\n"}});
    EXPECT_FALSE(fontgen::CheckDrawings(good));
    ASSERT_TRUE(fontgen::Resolve(good, "marks", 0x61) && fontgen::Resolve(good, "marks", 0x62));
    EXPECT_EQ(fontgen::Resolve(good, "marks", 0x61)->front(), 0x8010);
    EXPECT_EQ(fontgen::Resolve(good, "marks", 0x62)->at(5), 0x0C00);
    EXPECT_FALSE(fontgen::Resolve(good, "marks", 0x63));

    const std::vector<std::string> blank(15, "............");
    const std::pair<std::vector<std::pair<std::string, std::string>>, std::string> faults[] = {
        {{{"latin", latin + GlyphText("8D", Picture())}}, "latin.txt:33: "},
        {{{"latin", GlyphText("1F", Picture())}}, "latin.txt:1: "},
        {{{"cyrillic", GlyphText("20", Picture())}}, "cyrillic.txt:1: "},
        {{{"greek", "\n" + GlyphText("41", blank)}}, "greek.txt:2: "},
        {{{"marks", GlyphText("50", Picture())}}, "marks.txt:1: "},
        {{{"latin-national", GlyphText("D0", Picture())}}, "latin-national.txt:1: "},
        {{{"latin", latin}, {"hebrew", "copy 41 runic 41\n"}}, "hebrew.txt:1: "},
        {{{"latin", latin}, {"greek", "copy 41 latin 8F\n"}}, "greek.txt:1: "},
        {{{"latin", latin}, {"greek", "\ncopy 41 latin 43\n"}}, "greek.txt:2: "},
        {{{"greek", "copy 41 greek-g2 41\n"}, {"greek-g2", "copy 41 greek 41\n"}}, "greek.txt:1: "},
        {{{"greek", "copy 41 greek 41\n"}}, "greek.txt:1: "},
    };
    for (const auto& [texts, where] : faults) {
        const auto fault = fontgen::CheckDrawings(DrawingsWith(texts));
        ASSERT_TRUE(fault) << where;
        EXPECT_EQ(fault->rfind(where, 0), 0u) << *fault;
    }
    fontgen::Drawings missing = good;
    missing.erase("hebrew");
    EXPECT_EQ(fontgen::CheckDrawings(missing).value_or("").rfind("hebrew.txt", 0), 0u);
    EXPECT_FALSE(fontgen::CheckDrawings(DrawingsWith({{"latin", GlyphText("20", blank)}})));
}

struct FontgenRun {
    int Status;
    std::string Output;
};

FontgenRun Fontgen(const std::string& arguments) {
    const std::string command = std::string(ORVTT_FONTGEN) + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {-1, {}};
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(FontGenerator, MakesTheFontFileOrFailsWithOneLine) {
    TempDir dir;
    const std::string out = (dir.Path() / "ORVTTX.FON").string();
    dir.Write("latin.txt", GlyphText("41", Picture()));

    const FontgenRun missing = Fontgen(dir.Path().string() + " " + out);
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Output.find("cyrillic.txt"), std::string::npos) << missing.Output;
    EXPECT_EQ(std::count(missing.Output.begin(), missing.Output.end(), '\n'), 1) << missing.Output;
    EXPECT_FALSE(std::filesystem::exists(out));

    for (const auto& file : fontgen::kDrawingFiles)
        if (file.Name != "latin") dir.Write(std::string(file.Name) + ".txt", "");
    dir.Write("cyrillic.txt", "copy 41 latin 41\nnonsense\n");
    const FontgenRun malformed = Fontgen(dir.Path().string() + " " + out);
    EXPECT_EQ(malformed.Status, 1);
    EXPECT_NE(malformed.Output.find("cyrillic.txt:2:"), std::string::npos) << malformed.Output;
    EXPECT_EQ(std::count(malformed.Output.begin(), malformed.Output.end(), '\n'), 1) << malformed.Output;

    dir.Write("cyrillic.txt", "copy 41 latin 41\n");
    dir.Write("greek.txt", "copy 41 cyrillic 41\n");
    const FontgenRun made = Fontgen(dir.Path().string() + " " + out);
    ASSERT_EQ(made.Status, 0) << made.Output;
    FontTable fonts;
    EXPECT_EQ(fonts.AddFontResource(out), FaceCount());
    ASSERT_TRUE(fonts.Find("RUSCHAR") && fonts.Find("DGRKCHAR"));
    EXPECT_EQ(Rows(fonts.Find("RUSCHAR")->Glyph(0x41)), Rows(fonts.Find("TTXCHAR")->Glyph(0x41)));
    EXPECT_FALSE(Blank(fonts.Find("DTTXGRAF")->Glyph(0x41)));
    EXPECT_FALSE(Blank(fonts.Find("DGRKCHAR")->Glyph(0x41)));
    EXPECT_TRUE(Blank(fonts.Find("TTXCHAR")->Glyph(0x42)));

    const std::string sheet = (dir.Path() / "sheet.pgm").string();
    ASSERT_EQ(Fontgen("--sheet " + dir.Path().string() + " GRKCHAR " + sheet).Status, 0);
    std::ifstream picture(sheet, std::ios::binary);
    std::string header(15, '\0');
    picture.read(header.data(), 15);
    EXPECT_EQ(header, "P5\n785 977\n255\n");  // 16 cells of 12 x 15 pixels, 4 x 4 each, and grid lines
    EXPECT_EQ(Fontgen("--sheet " + dir.Path().string() + " NOFACE " + sheet).Status, 1);

    EXPECT_EQ(Fontgen("").Status, 1);
}

// ---- The font table --------------------------------------------------------------------------------

TEST(FontTable, AddsFacesFromFilesAndFindsThemWithoutRegardToCase) {
    TempDir dir;
    FontTable fonts;
    EXPECT_EQ(fonts.AddFontResource((dir.Path() / "missing.fon").string()), 0);
    EXPECT_EQ(fonts.AddFontResource(dir.Path().string()), 0);
    EXPECT_EQ(fonts.AddFontResource(dir.Write("garbage.fon", "MZ this is not a font file at all")), 0);
    EXPECT_FALSE(fonts.Find("TTXCHAR"));

    const std::string path = dir.Write("ORVTTX.FON", TeletextFontResource());
    EXPECT_EQ(fonts.AddFontResource(path), FaceCount());
    for (const auto& name : FaceNames()) ASSERT_TRUE(fonts.Find(name)) << name;
    ASSERT_TRUE(fonts.Find("dttxGraf"));
    EXPECT_EQ(fonts.Find("dttxGraf")->Name, "DTTXGRAF");
    EXPECT_EQ(fonts.Find("dttxGraf")->Height, 30);
    EXPECT_FALSE(fonts.Find("TTXCHA"));
    EXPECT_FALSE(fonts.Find("TTXCHARS"));

    EXPECT_FALSE(fonts.RemoveFontResource(path + "x"));
    EXPECT_TRUE(fonts.RemoveFontResource(path));
    EXPECT_FALSE(fonts.Find("TTXCHAR"));
    EXPECT_FALSE(fonts.RemoveFontResource(path));
}

TEST(FontTable, ALaterFaceShadowsAnEarlierOneUntilItIsRemoved) {
    FontTable fonts;
    ASSERT_EQ(fonts.AddFontMemory(TeletextFontResource(), "teletext"), FaceCount());
    const BitmapFace* graf = fonts.Find("TTXGRAF");
    ASSERT_TRUE(graf);

    std::mt19937 random(9);
    const std::vector<BitmapFace> other = {RandomFace(random, "ttxchar", 8, 7, 0x300)};
    ASSERT_EQ(fonts.AddFontMemory(WriteFonFile(other, "other"), "other"), 1);
    ASSERT_TRUE(fonts.Find("TTXCHAR"));
    EXPECT_EQ(fonts.Find("TTXCHAR")->Height, 7);
    EXPECT_EQ(fonts.Find("TTXGRAF"), graf);  // faces found before stay where they are
    EXPECT_EQ(graf->Name, "TTXGRAF");

    EXPECT_TRUE(fonts.RemoveFontResource("other"));
    ASSERT_TRUE(fonts.Find("TTXCHAR"));
    EXPECT_EQ(fonts.Find("TTXCHAR")->Height, 15);
    EXPECT_TRUE(fonts.RemoveFontResource("teletext"));
    EXPECT_FALSE(fonts.Find("TTXCHAR"));
}

// ---- Hostile files -------------------------------------------------------------------------------

std::size_t U16At(const std::vector<std::uint8_t>& file, std::size_t at) {
    return static_cast<std::size_t>(file[at] | file[at + 1] << 8);
}

// Where the resources of one of our files start (the directory first, then the fonts).
std::vector<std::size_t> ResourceStarts(const std::vector<std::uint8_t>& file) {
    const std::size_t table = 0x80 + U16At(file, 0x80 + 0x24);
    const std::size_t shift = U16At(file, table);
    std::vector<std::size_t> starts;
    for (std::size_t at = table + 2; U16At(file, at) != 0; at += 8 + 12 * U16At(file, at + 2))
        for (std::size_t i = 0; i < U16At(file, at + 2); ++i) starts.push_back(U16At(file, at + 8 + 12 * i) << shift);
    return starts;
}

// A file to damage, with where its fonts start.
struct Target {
    std::vector<std::uint8_t> File;
    std::vector<std::size_t> Fonts;
};

Target MakeTarget(std::vector<std::uint8_t> file) {
    std::vector<std::size_t> starts = ResourceStarts(file);
    starts.erase(starts.begin());
    return {std::move(file), std::move(starts)};
}

// The fields a hostile font would lie in: size, pixel height, first and last character, face
// name offset, and (from 200 on) places in the character table.
constexpr std::size_t kFntFields[] = {2, 88, 95, 96, 105, 200, 240, 400, 1000, 1680};

void Poke(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes && at + static_cast<std::size_t>(i) < file.size(); ++i)
        file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

void Mutate(std::vector<std::uint8_t>& file, std::mt19937& random, const std::vector<std::size_t>& fonts) {
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const std::uint32_t values[] = {0, 1, 2, 0x7F, 0x80, 0xFF, 0x100, 0xFFFF, 0x10000, 0xFFFFFFFF,
                                    static_cast<std::uint32_t>(file.size()), static_cast<std::uint32_t>(random())};
    switch (random() % 4) {
    case 0:  // cut short
        file.resize(pick(file.size()));
        break;
    case 1:  // the module's tables
        for (int i = 0, n = 1 + static_cast<int>(pick(6)); i < n; ++i)
            file[pick(0x140)] = static_cast<std::uint8_t>(random());
        break;
    case 2:  // fields of a font's header or character table, often a little off their values
        for (int i = 0, n = 1 + static_cast<int>(pick(3)); i < n; ++i) {
            const std::size_t at = fonts[pick(fonts.size())] + kFntFields[pick(std::size(kFntFields))] + pick(4);
            const std::uint32_t nearby = file[std::min(at, file.size() - 1)] + static_cast<std::uint32_t>(pick(64));
            const std::uint32_t value = random() % 2 ? values[pick(std::size(values))] : nearby;
            Poke(file, at, value, 1 + static_cast<int>(pick(4)));
        }
        break;
    default:  // anywhere, and sometimes cut as well
        for (int i = 0, n = 1 + static_cast<int>(pick(20)); i < n; ++i)
            file[pick(file.size())] = static_cast<std::uint8_t>(random());
        if (random() % 2) file.resize(pick(file.size()));
    }
}

void ExpectConsistent(const std::vector<BitmapFace>& faces) {
    ASSERT_FALSE(faces.empty());
    for (const BitmapFace& face : faces) {
        ASSERT_GE(face.Width, 1);
        ASSERT_LE(face.Width, 16);
        ASSERT_GE(face.Height, 1);
        ASSERT_EQ(face.Bits.size(), 256u * static_cast<std::size_t>(face.Height));
        const auto beyond = static_cast<std::uint16_t>(0xFFFFu >> face.Width);
        for (int code = 0; code < 256; ++code) {
            const auto rows = face.Glyph(static_cast<std::uint8_t>(code));
            ASSERT_EQ(rows.size(), static_cast<std::size_t>(face.Height));
            for (const std::uint16_t row : rows) ASSERT_EQ(row & beyond, 0);
        }
    }
}

TEST(FontHostile, DamagedFilesFailCleanlyOrGiveConsistentFaces) {
    const std::vector<BitmapFace> faces = TeletextFaces();
    ASSERT_EQ(faces.size(), FaceNames().size());
    // The whole file, and files of one font of each version: there a font ends where the file does,
    // so that AddressSanitizer sees a read past any of its parts.
    const Target targets[] = {MakeTarget(FontFileBytes()), MakeTarget(WriteFonFile(std::span(&faces[kChar], 1), "one")),
                              MakeTarget(WriteFonFile(std::span(&faces[kGraf], 1), "one"))};
    ASSERT_EQ(targets[0].Fonts.size(), FaceNames().size());
    std::mt19937 random(1234);
    int read = 0;
    for (int round = 0; round < 2000; ++round) {
        const Target& target = targets[static_cast<std::size_t>(round) % std::size(targets)];
        std::vector<std::uint8_t> file = target.File;
        Mutate(file, random, target.Fonts);
        // An exact-size copy: a vector may hold more than its size, where a read would go unseen.
        const auto exact = std::make_unique<std::uint8_t[]>(file.size());
        std::copy(file.begin(), file.end(), exact.get());
        std::string error;
        const auto result = ReadFonFile(std::span<const std::uint8_t>(exact.get(), file.size()), &error);
        if (!result) {
            ASSERT_FALSE(error.empty()) << round;
            continue;
        }
        ++read;
        ExpectConsistent(*result);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(read, 0);  // some damage is harmless, and then the faces must still be right in shape
}

}  // namespace
}  // namespace orv
