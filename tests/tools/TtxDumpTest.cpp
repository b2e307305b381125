#include "tools/ttxdump/TtxDump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "TsWriter.h"
#include "acquisition/TransportStream.h"
#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/broadcast/PacketEncoder.h"
#include "rendering/BmpFile.h"

namespace orv {
namespace {

struct DumpResult {
    int status;
    std::string out, err;
};

DumpResult Dump(std::vector<std::string> args, const std::string& input = {}) {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = RunTtxDump(args, in, out, err);
    return {status, out.str(), err.str()};
}

std::string FileText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::string Recording(const std::vector<tVTXPacket>& packets) {
    std::string bytes;
    for (const auto& p : packets) bytes.append(reinterpret_cast<const char*>(p.Bytes.data()), p.Bytes.size());
    return bytes;
}

// Pages 100 (two sub-pages), 1A0 and 101, each closed by the header after it.
std::string SmallRecording() {
    HeaderControl c;
    std::vector<tVTXPacket> packets;
    const auto page = [&](std::uint16_t pageNo, int sub, std::string_view text) {
        c.SubCode = sub;
        packets.push_back(EncodeHeader(pageNo, c, "HDR"));
        packets.push_back(EncodeRow(pageNo >> 8, 1, text));
    };
    page(0x100, 0, "Index page");
    page(0x100, 1, "Second sub-page of 100");
    page(0x1A0, 0, "Hex page with Index");
    page(0x101, 0, "News INDEX");
    packets.push_back(EncodeHeader(0x102, c, ""));
    return Recording(packets);
}

TEST(TtxDump, WritesSaveAllBlocksOfDecimalPagesInKeyOrder) {
    const DumpResult run = Dump({"-"}, SmallRecording());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::size_t block = 10 + 42 + 1050 + 2 + 42 + 2;
    ASSERT_EQ(run.out.size(), 3 * block);
    EXPECT_EQ(run.out.substr(0, 10), "100-0000\r\n");
    EXPECT_EQ(run.out.substr(block, 10), "100-0001\r\n");
    EXPECT_EQ(run.out.substr(2 * block, 10), "101-0000\r\n");
    EXPECT_EQ(run.out.substr(10 + 42 + 42, 10), "Index page");
}

TEST(TtxDump, ListSearchAndSinglePage) {
    const std::string recording = SmallRecording();
    DumpResult run = Dump({"--list", "-"}, recording);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "100/0000\n100/0001\n101/0000\n1A0/0000\n");

    run = Dump({"-", "--search", "index"}, recording);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "100/0000 1 0\n101/0000 1 5\n");  // columns from 0; hex pages are not searched
    EXPECT_EQ(Dump({"-", "--search", "nowhere"}, recording).status, 1);

    run = Dump({"--page", "1a0", "-"}, recording);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, 10), "1A0-0000\r\n");
    run = Dump({"--page", "555", "-"}, recording);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ttxdump: page 555 was not received\n");
}

TEST(TtxDump, TheEndOfARecordingCompletesItsLastPagesAndNothingIsStatusOne) {
    HeaderControl c;
    // One page of magazine 1 and one of 2, no header after either.
    const std::string recording = Recording({EncodeHeader(0x100, c, "HDR"), EncodeRow(1, 1, "Only page"),
                                             EncodeHeader(0x200, c, "HDR"), EncodeRow(2, 3, "Other")});
    const DumpResult run = Dump({"--list", "-"}, recording);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "100/0000\n200/0000\n");
    const DumpResult none = Dump({"-"}, Recording({EncodeHeader(0x100, c, "HDR")}));
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "ttxdump: no page was received\n");
}

TEST(TtxDump, TrailingBytesAreReportedAndWholePacketsDecoded) {
    const auto path = (std::filesystem::temp_directory_path() / "orvtt_trailing.t42").string();
    {
        std::ofstream file(path, std::ios::binary);
        file << SmallRecording() << "12345";
    }
    const DumpResult run = Dump({path});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "ttxdump: warning: 5 trailing bytes ignored (the length is not a multiple of 42)\n");
    EXPECT_EQ(run.out.substr(0, 8), "100-0000");
    std::filesystem::remove(path);
}

TEST(TtxDump, BadArgumentsAndMissingFilesFailWithStatusTwo) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--bogus"}, {"--demo"}, {"--demo", "-3"}, {"--demo", "1", "x.t42"},
          {"--page", "99", "-"}, {"--page", "900", "-"}, {"--search"}, {"a.t42", "b.t42"}, {"--pages", "/tmp", "-"}}) {
        const DumpResult run = Dump(args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]);
        // One line that says what is wrong, then the hint.
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
        EXPECT_EQ(run.err.rfind("ttxdump: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("\nTry 'ttxdump --help' for more information.\n"), std::string::npos) << run.err;
    }
    EXPECT_EQ(Dump({"--bogus"}).err, "ttxdump: unknown option --bogus\nTry 'ttxdump --help' for more information.\n");

    // --help prints the usage the README shows, line for line.
    const DumpResult help = Dump({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: ttxdump", 0), 0u);
    std::ifstream readmeFile(std::string(ORVTT_TESTS_DIR) + "/../README.md");
    const std::string readme((std::istreambuf_iterator<char>(readmeFile)), {});
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_NE(readme.find("    " + line + "\n"), std::string::npos) << line;
    const DumpResult missing = Dump({"/nonexistent/recording.t42"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "ttxdump: cannot open /nonexistent/recording.t42: No such file or directory\n");
    EXPECT_EQ(Dump({"/tmp"}).status, 2);
}

// --t42 never harms what it does not write: the output is opened only once the
// input is open, the input itself is refused as output, and a regular file
// is replaced only by a whole new recording. A FIFO is written as it comes.
TEST(TtxDump, T42OutputLeavesTheInputAndOldFilesWhole) {
    const auto dir = std::filesystem::temp_directory_path() / ("ttxdump-t42-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string recording = SmallRecording();
    const std::string in = (dir / "in.t42").string(), keep = (dir / "keep.t42").string(),
                      link = (dir / "link.t42").string(), fifo = (dir / "fifo").string();
    std::ofstream(in, std::ios::binary) << recording;
    std::filesystem::create_symlink("in.t42", link);
    struct Case {
        std::vector<std::string> Args;
        int Status;
        std::string Keep;  // what keep.t42 holds afterwards
    };
    for (const Case& c : std::vector<Case>{{{"--t42", in, in}, 2, "old"},
                                           {{"--t42", link, in}, 2, "old"},
                                           {{"--t42", in, link}, 2, "old"},
                                           {{"--t42", keep, "/nonexistent.ts"}, 2, "old"},
                                           {{"--t42", keep, dir.string()}, 2, "old"},
                                           {{"--t42", keep, in}, 0, recording}}) {
        std::ofstream(keep, std::ios::binary | std::ios::trunc) << "old";
        const DumpResult run = Dump(c.Args);
        EXPECT_EQ(run.status, c.Status) << c.Args[1] << " " << c.Args[2] << run.err;
        EXPECT_EQ(FileText(in), recording) << c.Args[1] << " " << c.Args[2];
        EXPECT_EQ(FileText(keep), c.Keep) << c.Args[1] << " " << c.Args[2];
        EXPECT_TRUE(std::filesystem::is_symlink(link));
    }
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string piped;
    std::thread reader([&] { piped = FileText(fifo); });
    EXPECT_EQ(Dump({"--t42", fifo, in}).status, 0);
    reader.join();
    EXPECT_EQ(piped, recording);
    EXPECT_EQ(std::filesystem::status(fifo).type(), std::filesystem::file_type::fifo);
    // Nothing else was left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 4);
    std::filesystem::remove_all(dir);
}

// --list-services names a service whose SDT came first, and says when the
// list was cut.
TEST(TtxDump, ServiceListsNameEarlyServicesAndSayWhatWasLeftOut) {
    const auto dir = std::filesystem::temp_directory_path() / ("ttxdump-services-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    test::TsWriter ts;
    ts.Section(kSdtPid, test::TsWriter::Sdt(1, {{20, "DR Ultra"}}));
    for (int section = 0; section < 33; ++section) {
        std::vector<std::pair<std::uint16_t, std::uint16_t>> programs;
        for (int i = 0; i < 250 && section * 250 + i < 8100; ++i)
            programs.emplace_back(static_cast<std::uint16_t>(20 + section * 250 + i), 0x1000);
        ts.Section(kPatPid, test::TsWriter::Pat(1, 0, programs, static_cast<std::uint8_t>(section), 32));
    }
    const std::string file = (dir / "many.ts").string();
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(ts.Bytes.data()),
                                                static_cast<std::streamsize>(ts.Bytes.size()));
    const DumpResult run = Dump({"--list-services", file});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "20\t\"DR Ultra\"\tno teletext");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1024);
    EXPECT_EQ(run.err, "ttxdump: warning: " + file + " lists 8100 services; only the first 1024 are read\n");
    std::filesystem::remove_all(dir);
}

// A recording that sends more sub-pages than the store keeps: what was
// dropped is counted with the damage.
TEST(TtxDump, SubPagesBeyondTheStoresLimitsAreCountedAsDamage) {
    HeaderControl c;
    std::vector<tVTXPacket> packets;
    for (int sub = 0; sub <= 300; ++sub) {
        c.SubCode = (sub & 0x7F) | (sub >> 7) << 8;  // the bits a header carries
        packets.push_back(EncodeHeader(0x100, c, "HDR"));
        packets.push_back(EncodeRow(1, 1, "flood"));
    }
    const DumpResult run = Dump({"--list", "-"}, Recording(packets));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 256);
    EXPECT_EQ(run.err, "ttxdump: warning: standard input is damaged: 45 sub-pages dropped (more than 256 of a page "
                       "or 100000 in all)\n");
}

TEST(TtxDump, DemoBroadcastAndTheRealExecutable) {
    const DumpResult run = Dump({"--demo", "20", "--list"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("100/0000\n"), std::string::npos);
    EXPECT_NE(run.out.find("1A0/0000\n"), std::string::npos);
    EXPECT_NE(run.out.find("150/0003\n"), std::string::npos);

    const DumpResult folder = Dump({"--demo", "2", "--pages", "/nonexistent-folder"});
    EXPECT_EQ(folder.status, 2);

    // The installed program: exit status and a one-line message.
    const std::string command = std::string(ORVTT_TTXDUMP) + " /nonexistent/x.t42 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
    const int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(std::string(line), "ttxdump: cannot open /nonexistent/x.t42: No such file or directory\n");

    pipe = popen((std::string(ORVTT_TTXDUMP) + " --version").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
    pclose(pipe);
    EXPECT_EQ(std::string(line), std::string("ttxdump ") + ORVTT_VERSION_TEXT + "\n");
}

TEST(TtxDump, PicturesOfEveryDecimalPage) {
    const auto folder = std::filesystem::temp_directory_path() / "orvtt_bmp_test";
    std::filesystem::remove_all(folder);
    const DumpResult run = Dump({"-", "--bmp", folder.string()}, SmallRecording());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"100-0000.BMP", "100-0001.BMP", "101-0000.BMP"}));
    std::ifstream file(folder / "100-0000.BMP", std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    DecodedBmp picture;
    ASSERT_TRUE(DecodeBmp8(bytes, picture));
    EXPECT_EQ(picture.Width, 490);
    EXPECT_EQ(picture.Height, 388);

    // A link planted at a picture's name is replaced, not written through.
    const auto victim = folder.parent_path() / ("orvtt_bmp_victim_" + std::to_string(getpid()));
    std::ofstream(victim) << "precious";
    std::filesystem::remove(folder / "101-0000.BMP");
    std::filesystem::create_symlink(victim, folder / "101-0000.BMP");
    EXPECT_EQ(Dump({"-", "--bmp", folder.string()}, SmallRecording()).status, 0);
    EXPECT_EQ(FileText(victim), "precious");
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(folder / "101-0000.BMP")));
    std::filesystem::remove(victim);
    std::filesystem::remove_all(folder);

    EXPECT_EQ(Dump({"-", "--bmp", "/proc/no-such-place"}, SmallRecording()).status, 2);
}

// A French page whose X/26 puts the grave on its E, with fastext links.
std::string FrenchRecording() {
    HeaderControl c;
    c.NationalOption = 4;
    EnhancementPacket grave;
    grave.Triplets[0] = {41, 0x04, 0, true};   // row 1
    grave.Triplets[1] = {3, 0x11, 'E', true};  // E with a grave
    FlofLinks links;
    links.Links[FlofLinks::Red] = {0x101, kAnySubCode, true};
    links.Links[FlofLinks::Index] = {0x100, kAnySubCode, true};
    const tPageRow row = [] {
        tPageRow r;
        r.fill(' ');
        const std::string_view text = "COLERE {";  // { is a-circumflex on a French page
        std::copy(text.begin(), text.end(), r.begin());
        return r;
    }();
    EncodablePage page;
    page.Control = c;
    page.HeaderText = "HDR";
    page.Rows = std::span(&row, 1);
    page.Links = &links;
    page.Enhancements = std::span(&grave, 1);
    auto packets = EncodePage(page);
    packets.push_back(EncodeHeader(0x101, c, ""));
    return Recording(packets);
}

TEST(TtxDump, LevelEncodingAndLinks) {
    const auto row1 = [](const DumpResult& run) { return run.out.substr(run.out.find("\r\n", 60) + 2, 8); };
    EXPECT_EQ(row1(Dump({"-"}, FrenchRecording())), "COL\xC8RE \xE2");
    EXPECT_EQ(row1(Dump({"-", "--level", "1"}, FrenchRecording())), "COLERE \xE2");
    const DumpResult utf8 = Dump({"-", "--encoding", "utf-8"}, FrenchRecording());
    EXPECT_EQ(utf8.out.substr(utf8.out.find("\r\n", 60) + 2, 10), "COL\u00C8RE \u00E2");

    EXPECT_EQ(Dump({"-", "--search", "col\u00E8re"}, FrenchRecording()).out, "100/0000 1 0\n");
    EXPECT_EQ(Dump({"-", "--search", "col\u00E8re", "--level", "1"}, FrenchRecording()).status, 1);
    EXPECT_EQ(Dump({"-", "--links"}, FrenchRecording()).out, "100\t101 - - - 100\n");
    EXPECT_EQ(Dump({"-", "--links"}, SmallRecording()).status, 1);
    EXPECT_EQ(Dump({"-", "--level", "2"}, FrenchRecording()).status, 2);
    EXPECT_EQ(Dump({"-", "--encoding", "latin1"}, FrenchRecording()).status, 2);
}

TEST(TtxDump, TransportStreamsGiveTheSamePagesAsTheirPackets) {
    const auto dir = std::filesystem::temp_directory_path() / ("ttxdump-ts-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    DemoBroadcast broadcast(BuiltInDemoPages());
    std::vector<tVTXPacket> packets(16 * 1500);
    broadcast.Fill(packets);
    const auto m2tsBytes = test::TeletextMultiplex(packets, 192);
    const std::string t42 = (dir / "rec.t42").string(), m2ts = (dir / "rec.m2ts").string();
    std::ofstream(t42, std::ios::binary) << Recording(packets);
    std::ofstream(m2ts, std::ios::binary).write(reinterpret_cast<const char*>(m2tsBytes.data()),
                                                static_cast<std::streamsize>(m2tsBytes.size()));

    const DumpResult fromPackets = Dump({"--list", t42});
    ASSERT_EQ(fromPackets.status, 0);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--list", m2ts}, {"--list", "--service", "8", m2ts}, {"--list", "--service", "Das Erste", m2ts},
             {"--list", "--pid", "0x324", m2ts}}) {
        const DumpResult run = Dump(args);
        EXPECT_EQ(run.status, 0) << args[1] << run.err;
        EXPECT_EQ(run.out, fromPackets.out) << args[2];
        EXPECT_EQ(run.err, "");
    }
    const std::string extracted = (dir / "out.t42").string();
    EXPECT_EQ(Dump({"--t42", extracted, m2ts}).status, 0);
    std::ifstream back(extracted, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}), Recording(packets));

    const DumpResult services = Dump({"--list-services", m2ts});
    EXPECT_EQ(services.out, "7\t\"Video\"\tno teletext\n8\t\"Das Erste\"\tteletext pid 804 (deu, initial page 100)\n");
    EXPECT_EQ(Dump({"--list", "--service", "7", m2ts}).status, 1);
    // Not a transport stream: a warning, then read as packets; nothing to list.
    const std::string fake = (dir / "fake.ts").string();
    std::ofstream(fake, std::ios::binary) << Recording(packets);
    const DumpResult asPackets = Dump({"--list", fake});
    EXPECT_EQ(asPackets.out, fromPackets.out);
    EXPECT_NE(asPackets.err.find("is not an MPEG transport stream"), std::string::npos);
    EXPECT_EQ(Dump({"--list-services", fake}).status, 1);
    EXPECT_EQ(Dump({"--list-services", (dir / "missing.ts").string()}).status, 2);
    EXPECT_EQ(Dump({"--pid", "9000", m2ts}).status, 2);
    std::filesystem::remove_all(dir);
}

using test::TsEs;
using test::TsWriter;

// Subtitle pages 888 (ita) and 889 (eng, for the hard of hearing) as the
// descriptor lists them, each PES a second or so after the last, starting a
// second before the 33-bit wrap-around of the clock.
std::vector<std::uint8_t> SubtitleStream() {
    TsWriter ts;
    constexpr std::int64_t kBase = (std::int64_t{1} << 33) - 90000;
    constexpr std::int64_t kMask = (std::int64_t{1} << 33) - 1;
    ts.Section(kPatPid, TsWriter::Pat(1, 0, {{8, 0x101}}));
    ts.Section(0x101, TsWriter::Pmt(8, 0, 0x1E0,
                                    {TsEs{.Pid = 804, .MoreEntries = {{"ita", 2, 0x888}, {"eng", 5, 0x889}}}}));
    ts.Section(kSdtPid, TsWriter::Sdt(1, {{8, "Rai 1"}}));
    HeaderControl subtitle;
    subtitle.Subtitle = true;
    HeaderControl erase = subtitle;
    erase.ErasePage = true;
    const auto caption = [](int row, const std::string& text) {
        return EncodeRow(8, row, "\x0b\x0b" + text + "\x0a\x0a");
    };
    const auto pes = [&](int tenths, std::vector<tVTXPacket> packets, bool pts = true) {
        const std::int64_t at = kBase + tenths * 9000;
        ts.Packet(0x1E0, false, {}, (at - 9000) & kMask);  // the PCR a tenth before
        ts.Teletext(804, packets, pts ? std::optional<std::int64_t>(at & kMask) : std::nullopt);
    };
    pes(0, {EncodeHeader(0x100, {}, "Rai"), EncodeRow(1, 1, "Indice"), EncodeHeader(0x888, subtitle, ""),
            caption(22, "Buongiorno")});
    pes(20, {EncodeHeader(0x888, erase, "")});  // erased: the cue ends
    pes(30, {EncodeHeader(0x888, erase, ""), caption(20, "Prima riga"), caption(22, "seconda"),
             EncodeHeader(0x889, subtitle, ""), caption(22, "(music)")});
    pes(40, {EncodeHeader(0x888, subtitle, ""), caption(20, "Prima riga"), caption(22, "seconda")});  // again
    pes(50, {EncodeHeader(0x888, subtitle, ""), caption(22, "Dopo")});  // replaced without an erase
    pes(60, {EncodeHeader(0x888, erase, "")}, false);  // no PTS: 5 s and the PCR's second since
    pes(80, {EncodeHeader(0x100, {}, "Rai"), EncodeRow(1, 1, "Indice")});
    return ts.Bytes;
}

TEST(TtxDump, SubtitlesAsSubRipWithTheStreamsTimes) {
    const auto bytes = SubtitleStream();
    const std::string stream(bytes.begin(), bytes.end());
    const DumpResult automatic = Dump({"--srt", "auto", "-"}, stream);
    EXPECT_EQ(automatic.status, 0) << automatic.err;
    EXPECT_EQ(automatic.out,
              "1\n00:00:00,000 --> 00:00:02,000\nBuongiorno\n\n"
              "2\n00:00:03,000 --> 00:00:05,000\nPrima riga\nseconda\n\n"
              "3\n00:00:05,000 --> 00:00:06,000\nDopo\n\n");
    EXPECT_EQ(automatic.err, "");
    // The second page's cue lasts to the last time stamp of the file.
    EXPECT_EQ(Dump({"--srt", "889", "-"}, stream).out, "1\n00:00:03,000 --> 00:00:08,000\n(music)\n\n");
    EXPECT_EQ(Dump({"--srt", "100", "-"}, stream).status, 1);  // no boxed text

    EXPECT_EQ(Dump({"--list", "-"}, stream).out,
              "100/0000\n888/0000\tsubtitles ita\n889/0000\tsubtitles (hard of hearing) eng\n");
    EXPECT_EQ(Dump({"--list-services", "-"}, stream).out,
              "8\t\"Rai 1\"\tteletext pid 804 (deu, initial page 100; ita, subtitles 888; eng, subtitles for the "
              "hard of hearing 889)\n");

    // A .t42 recording has the clock of --rate: a subtitle there ends when the
    // page is sent again erased, 2 s (1600 packets at 800 a second) later.
    HeaderControl subtitle;
    subtitle.Subtitle = true;
    subtitle.ErasePage = true;
    std::vector<tVTXPacket> packets{EncodeHeader(0x888, subtitle, ""), EncodeRow(8, 22, "\x0b\x0bHello\x0a\x0a"),
                                    EncodeHeader(0x100, {}, "")};
    while (packets.size() < 1600) packets.push_back(EncodeRow(1, 1, "filler"));
    packets.push_back(EncodeHeader(0x888, subtitle, ""));
    while (packets.size() < 2000) packets.push_back(EncodeRow(1, 1, "filler"));
    EXPECT_EQ(Dump({"--srt", "auto", "-"}, Recording(packets)).out, "1\n00:00:00,000 --> 00:00:02,000\nHello\n\n");
    EXPECT_EQ(Dump({"--srt", "auto", "--rate", "1600", "-"}, Recording(packets)).out,
              "1\n00:00:00,000 --> 00:00:01,000\nHello\n\n");
    EXPECT_EQ(Dump({"--srt", "auto", "-"}, SmallRecording()).status, 1);
    // The demo broadcast on its own clock: page 888 changes every three seconds.
    const std::string demo =
        "1\n00:00:00,000 --> 00:00:03,000\nWelcome to the ORV demo broadcast.\nThese subtitles are on page 888.\n\n2\n";
    EXPECT_EQ(Dump({"--demo", "4", "--srt", "888"}).out.substr(0, demo.size()), demo);
    EXPECT_EQ(Dump({"--srt", "99", "-"}).status, 2);
    EXPECT_EQ(Dump({"--srt", "auto", "--list", "-"}).status, 2);
    EXPECT_EQ(Dump({"--rate", "0", "-"}).status, 2);
}

// Teletext that no table names: a stream without any, and one whose PMT is
// damaged. The PES packets of the PIDs no table names are looked into.
TEST(TtxDump, TeletextIsFoundWithoutTablesByItsPesPackets) {
    const auto packets = test::DemoLines(16 * 200);
    TsWriter bare, damaged;
    for (std::size_t i = 0; i < packets.size(); i += 16) {
        if (i % 256 == 0) {
            damaged.Section(kPatPid, TsWriter::Pat(1, 0, {{8, 0x101}}));
            auto pmt = TsWriter::Pmt(8, 0, 0x1FFF, {TsEs{.Pid = 0x13F0}});
            pmt[pmt.size() - 1] ^= 0x01;  // its CRC
            damaged.Section(0x101, pmt);
        }
        for (TsWriter* ts : {&bare, &damaged}) {
            ts->Filler(0x1E0, 3);
            ts->Teletext(0x13F0, std::span(packets).subspan(i, 16), static_cast<std::int64_t>(i) * 90000 / 1600);
        }
    }
    for (const TsWriter* ts : {&bare, &damaged}) {
        const DumpResult run = Dump({"--list", "-"}, std::string(ts->Bytes.begin(), ts->Bytes.end()));
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_FALSE(run.out.empty());
        const std::string warning = "ttxdump: warning: no table of standard input lists a teletext stream; found on "
                                    "PID 5104 by probing\n";
        EXPECT_NE(run.err.find(warning), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(warning), run.err.rfind(warning));
    }
    EXPECT_EQ(Dump({"--list-services", "-"}, std::string(bare.Bytes.begin(), bare.Bytes.end())).out,
              "-\t\"\"\tteletext pid 5104 (?, teletext)\n");
}

}  // namespace
}  // namespace orv
