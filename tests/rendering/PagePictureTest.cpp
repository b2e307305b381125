// Page pictures with the real teletext font: BMP files any viewer reads, and
// a few demo pages compared pixel for pixel with pictures kept under tests/
// (looked at by a person before they were committed). Set ORVTT_UPDATE_GOLDEN=1
// to write them anew after a deliberate change of the font or the renderer.
#include "rendering/PagePicture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/broadcast/PacketEncoder.h"
#include "rendering/BmpFile.h"
#include "rendering/FontTable.h"
#include "tools/fontgen/TeletextFaces.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

const fs::path kGolden = fs::path(ORVTT_TESTS_DIR) / "rendering" / "golden";

// A demo page as a receiver would hold it, with a fixed header line.
tPageImage DemoPage(std::uint16_t pageNo, std::int32_t subCode = 0) {
    tPageImage image;
    for (const TtiPage& page : BuiltInDemoPages()) {
        if (page.PageNo != pageNo || page.SubCode != subCode) continue;
        image.RecType = kRecPage;
        image.PageNo = page.PageNo;
        image.SubCode = page.SubCode;
        image.NationalOption = page.NationalOption();
        for (int r = 1; r < kTtiRows; ++r) image.Rows[static_cast<std::size_t>(r)] = page.Rows[static_cast<std::size_t>(r)];
        for (int r = kTtiRows; r < kRowCount; ++r) image.Rows[static_cast<std::size_t>(r)].fill(0x20);
        char header[48];
        std::snprintf(header, sizeof header, "\x07\x07\x07\x07\x07\x07\x07\x07%.03X ORV-DEMO Tue 08 Dec\x03" "12:34:56",
                      static_cast<unsigned>(pageNo));
        std::copy_n(header, 40, image.Rows[0].begin());
        image.LastRow = 24;
    }
    return image;
}

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class PagePicture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(fonts.AddFontMemory(TeletextFontResource(), "TTX_FONT"),
                  static_cast<int>(fontgen::TeletextFaceNames().size()));
    }
    FontTable fonts;
    GraphicsRenderer renderer;
};

TEST_F(PagePicture, BmpFilesAreEightBitBottomUpAndReadBack) {
    const tPageImage page = DemoPage(0x100);
    const Canvas picture = DrawPagePicture(renderer, fonts, page);
    const std::vector<std::uint8_t> bmp = EncodeBmp8(picture);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[28], 8);  // bits per pixel
    std::int32_t height = 0, width = 0;
    std::memcpy(&width, &bmp[18], 4);
    std::memcpy(&height, &bmp[22], 4);
    EXPECT_EQ(width, 490);
    EXPECT_EQ(height, 388);  // positive: bottom-up rows
    DecodedBmp decoded;
    ASSERT_TRUE(DecodeBmp8(bmp, decoded));
    EXPECT_TRUE(std::equal(decoded.Pixels.begin(), decoded.Pixels.end(), picture.Pixels().begin()));
    // Black margins right of and below the page.
    EXPECT_EQ(picture.ColourAt(485, 10), 0x000000u);
    EXPECT_EQ(picture.ColourAt(10, 380), 0x000000u);

    const fs::path file = fs::temp_directory_path() / "orvtt_page.bmp";
    EXPECT_TRUE(SavePageImage(renderer, fonts, file.string(), page));
    EXPECT_EQ(ReadFile(file), bmp);
    fs::remove(file);
    EXPECT_FALSE(SavePageImage(renderer, fonts, "/nonexistent-folder/x.bmp", page));
}

TEST_F(PagePicture, DemoPagesMatchTheirGoldenPictures) {
    const bool update = std::getenv("ORVTT_UPDATE_GOLDEN") != nullptr;
    for (const auto& [pageNo, name] : std::vector<std::pair<std::uint16_t, std::string>>{
             {0x100, "P100.BMP"}, {0x101, "P101.BMP"}, {0x190, "P190.BMP"}, {0x400, "P400.BMP"}, {0x470, "P470.BMP"}}) {
        const Canvas picture = DrawPagePicture(renderer, fonts, DemoPage(pageNo));
        const std::vector<std::uint8_t> bmp = EncodeBmp8(picture);
        if (update) {
            fs::create_directories(kGolden);
            std::ofstream(kGolden / name, std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()),
                                                                  static_cast<std::streamsize>(bmp.size()));
            continue;
        }
        DecodedBmp golden;
        ASSERT_TRUE(DecodeBmp8(ReadFile(kGolden / name), golden)) << name;
        ASSERT_EQ(golden.Width, picture.Width());
        ASSERT_EQ(golden.Height, picture.Height());
        std::size_t differing = 0;
        for (std::size_t i = 0; i < golden.Pixels.size(); ++i) differing += golden.Pixels[i] != picture.Pixels()[i];
        EXPECT_EQ(differing, 0u) << name;
    }
}

}  // namespace
}  // namespace orv
