#include "drivers/broadcast/TtiFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/replay/PacketSource.h"

namespace orv {
namespace {

TEST(TtiFile, ReadsPagesSubPagesAndEscapedControlCodes) {
    const std::string text =
        "DE,A carousel\r\n"
        "CT,12,T\r\n"
        "PN,15001\r\n"
        "SC,0001\r\n"
        "PS,8080\r\n"
        "OL,1,\x1b" "A\x1b]\x1bGTitle, with a comma\r\n"
        "OL,26,@jD@D@KoD@S`GV`KpD@Q`GqD@L`GV`KWcOXCH[`G\r\n"
        "OL,0,XXXXXXXXheader template\r\n"
        "FL,101,102,103,104,8ff,100\r\n"
        "PN,15002\r\n"
        "SC,0002\r\n"
        "OL,2,\x91\x7f\x7f\r\n"
        "OL,24,0123456789012345678901234567890123456789TOO LONG\r\n";
    const TtiParseResult result = ParseTti(text);
    ASSERT_TRUE(result.Ok()) << result.Error;
    ASSERT_EQ(result.Pages.size(), 2u);

    const TtiPage& first = result.Pages[0];
    EXPECT_EQ(first.PageNo, 0x150);
    EXPECT_EQ(first.SubPage, 1);
    EXPECT_EQ(first.SubCode, 1);
    EXPECT_EQ(first.NationalOption(), 1);
    EXPECT_EQ(first.CycleTime, 12);
    EXPECT_TRUE(first.CycleTimed);
    EXPECT_EQ(first.Description, "A carousel");
    EXPECT_EQ(first.Rows[1][0], 0x01);
    EXPECT_EQ(first.Rows[1][1], 0x1D);
    EXPECT_EQ(first.Rows[1][2], 0x07);
    EXPECT_EQ(std::string(first.Rows[1].begin() + 3, first.Rows[1].begin() + 22), "Title, with a comma");
    EXPECT_EQ(first.Rows[1][39], 0x20);
    EXPECT_EQ(first.Rows[0][0], 0x20);  // the header template is not taken

    const TtiPage& second = result.Pages[1];
    EXPECT_EQ(second.SubCode, 2);
    EXPECT_EQ(second.Status, 0x8080);  // carried over from the previous sub-page
    EXPECT_EQ(second.Rows[2][0], 0x11);  // 0x80-0x9F bytes are control codes too
    EXPECT_EQ(second.Rows[2][1], 0x7F);
    EXPECT_EQ(second.Rows[1][0], 0x20);
    EXPECT_EQ(std::string(second.Rows[24].begin(), second.Rows[24].end()),
              "0123456789012345678901234567890123456789");
    ASSERT_EQ(result.Warnings.size(), 1u);  // the long row
}

TEST(TtiFile, BadInputIsReportedNotFatal) {
    EXPECT_FALSE(ParseTti("").Ok());
    EXPECT_FALSE(ParseTti("OL,1,no page number\n").Ok());
    EXPECT_FALSE(ParseTti("\x00\xff garbage\n\n\n").Ok());

    const TtiParseResult result = ParseTti(
        "PN,9ZZ00\nOL,1,belongs to the bad page\nSC,0005\n"
        "PN,1A000\nSC,zz\nPS,\nCT,x,T\nOL,x,bad row\nOL,3,kept\nOL,1");
    ASSERT_TRUE(result.Ok());
    ASSERT_EQ(result.Pages.size(), 1u);
    EXPECT_EQ(result.Pages[0].PageNo, 0x1A0);
    EXPECT_EQ(result.Pages[0].SubCode, 0);
    EXPECT_EQ(result.Pages[0].Rows[3][0], 'k');
    EXPECT_EQ(result.Pages[0].Rows[1][0], 0x20);
    EXPECT_GE(result.Warnings.size(), 5u);

    EXPECT_FALSE(LoadTtiFile("/nonexistent/file.tti").Ok());
}

TEST(TtiFile, ReadsPageFilesWrittenByOthers) {
    const std::filesystem::path samples = std::filesystem::path(ORVTT_SAMPLES_DIR) / "tti";
    if (!std::filesystem::exists(samples)) GTEST_SKIP() << "no sample files here";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(samples)) {
        if (entry.path().extension() != ".tti") continue;
        ++files;
        const TtiParseResult result = LoadTtiFile(entry.path().string());
        ASSERT_TRUE(result.Ok()) << entry.path() << ": " << result.Error;
        EXPECT_TRUE(result.Warnings.empty()) << entry.path() << ": " << result.Warnings.front();
        for (const TtiPage& page : result.Pages) {
            EXPECT_GE(page.PageNo, 0x100);
            EXPECT_LE(page.PageNo, 0x8FF);
            for (const auto& row : page.Rows)
                for (const std::uint8_t code : row) EXPECT_LT(code, 0x80);
        }
    }
    EXPECT_GT(files, 0);

    // One level-1 row checked cell by cell: row 2 of Rio.tti.
    const TtiParseResult rio = LoadTtiFile((samples / "Rio.tti").string());
    ASSERT_EQ(rio.Pages.size(), 1u);
    EXPECT_EQ(rio.Pages[0].PageNo, 0x151);
    const auto& row = rio.Pages[0].Rows[2];
    EXPECT_EQ(row[0], 0x01);
    EXPECT_EQ(row[1], 0x1D);
    EXPECT_EQ(row[2], 0x07);
    EXPECT_EQ(row[3], 0x0E);
    EXPECT_EQ(std::string(row.begin() + 4, row.begin() + 20), "D U R A N   D U ");
}

// What is not a regular page file of sane size is refused with a line each,
// without waiting: a FIFO (no writer will come) and a link to /dev/zero.
// The same for a recording named as a replay source.
TEST(TtiFile, FolderEntriesThatAreNotPageFilesAreRefusedWithoutWaiting) {
    const auto folder = std::filesystem::temp_directory_path() / ("orvtt-tti-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "100.tti") << "PN,10000\r\nOL,1,Hello\r\n";
    ASSERT_EQ(::mkfifo((folder / "fifo.tti").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", folder / "zero.tti");
    std::vector<std::string> messages;
    const auto pages = LoadTtiFolder(folder.string(), messages);
    EXPECT_EQ(pages.size(), 1u);
    ASSERT_EQ(messages.size(), 2u);
    for (const auto& message : messages) EXPECT_NE(message.find("is not a regular file"), std::string::npos) << message;

    std::string error;
    EXPECT_FALSE(OpenPacketSource((folder / "fifo.tti").string(), 1600, error));
    EXPECT_NE(error.find("is not a regular file"), std::string::npos);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace orv
