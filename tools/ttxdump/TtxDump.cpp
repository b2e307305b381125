#include "tools/ttxdump/TtxDump.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <clocale>
#include <langinfo.h>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <ostream>
#include <vector>

#include "acquisition/Acquisition.h"
#include "acquisition/PageAssembler.h"
#include "acquisition/Pages.h"
#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/vbi/VbiBackend.h"
#include "platform/Registry.h"
#include "platform/Version.h"
#include "rendering/FontTable.h"
#include "rendering/PagePicture.h"
#include "rendering/PageTextFile.h"
#include "tools/ttxdump/SrtOutput.h"
#include "tools/ttxdump/StreamInput.h"
#include "tools/ttxdump/T42Output.h"

namespace orv {

namespace {

constexpr const char* kUsage =
    "usage: ttxdump [options] FILE | - | --demo SECONDS [--pages DIR] | --live SECONDS\n"
    "  FILE             a recording: raw 42-byte teletext packets (.t42) or an MPEG\n"
    "                   transport stream (.ts, .m2ts); - reads standard input\n"
    "  --demo SECONDS   that many seconds of the built-in demo broadcast\n"
    "  --pages DIR      with --demo: play the .tti page files of DIR instead\n"
    "  --live SECONDS   that many seconds from the configured capture source\n"
    "  --list           print the keys of all stored pages (\"100/0000\"); subtitle\n"
    "                   and newsflash pages are marked after a tab\n"
    "  --search TEXT    print every hit: key, row and column where it starts (from 0)\n"
    "  --page NNN       print only the sub-pages of page NNN\n"
    "  --bmp DIR        write the pages as pictures DIR/100-0000.BMP ... instead\n"
    "  --t42 OUT        write the teletext packets read to OUT as a .t42 recording\n"
    "  --srt PAGE|auto  write the subtitles of page PAGE as SubRip, in UTF-8; auto:\n"
    "                   the first subtitle page (those the teletext descriptor lists\n"
    "                   first, else the first page sent with the subtitle flag);\n"
    "                   from a recording or --demo (try --demo 20 --srt 888)\n"
    "  --rate N         the clock of a .t42 recording for --srt: N packets a second\n"
    "                   (default 800: 16 teletext lines in each of 50 fields a\n"
    "                   second, what PAL and DVB inserters send; transport streams\n"
    "                   carry their own clock)\n"
    "  --list-services  print the services of a transport stream and every entry\n"
    "                   of their teletext descriptors (language, type, page)\n"
    "  --service ID|NAME  decode the teletext of that service (default: the first\n"
    "                   service that has teletext)\n"
    "  --pid PID        decode the teletext of that PID\n"
    "  --links          print the fastext links of each page: PAGE<TAB>red green\n"
    "                   yellow cyan index (- for none)\n"
    "  --level 1|1.5    decode as a level-1 or a level-1.5 decoder (default 1.5:\n"
    "                   the characters of packets 26 and 28 and of M/29)\n"
    "  --encoding utf-8 write text as UTF-8 (the default when the locale's character\n"
    "                   set is UTF-8; otherwise each page in its Windows code page)\n"
    "  --help           print this text\n"
    "  --version        print the program's version\n"
    "A transport stream whose tables name no teletext stream is searched for one.\n"
    "Without --list, --search, --page or --t42 every stored decimal page is printed\n"
    "as a text block, as the viewer's \"save all pages as text\" writes it.\n"
    "Exit status: 0 done, 1 nothing found, 2 bad arguments or unreadable input.\n";

constexpr int kExitOk = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitError = 2;
// Packets a second of a .t42 recording: 16 lines in each of 50 fields.
constexpr double kDefaultRate = 800;

struct Options {
    std::string File;
    std::optional<double> DemoSeconds;
    std::optional<double> LiveSeconds;
    std::string PagesFolder;
    bool List = false;
    std::optional<std::string> Search;
    std::optional<std::uint16_t> Page;
    std::string BmpFolder;
    std::string T42File;
    bool ListServices = false;
    TsChoice Choice;
    bool Links = false;
    bool Level15 = true;
    bool Utf8 = false;
    bool Srt = false;
    std::optional<std::uint16_t> SrtPage;  // none: auto
    double Rate = kDefaultRate;
};

// What the display dispatcher does with the records, done at once: pages go to
// the database, a source reset clears it, and so does a change of station. A
// recording is taken to be one station until it names another, so the first
// name clears nothing.
class DatabaseSink : public DisplaySink {
public:
    explicit DatabaseSink(PageDatabase& db) : db_(db) {}

    void PostPage(PagePtr page) override {
        subtitles_.PageSeen(*page);
        if (const auto& enhancements = page.get_deleter().Enhancements; enhancements && enhancements->X27_0)
            if (const auto links = enhancements->Links(); links && links->Any())
                links_[page->PageNo] = *links;  // the copy received last counts
        db_.StorePage(std::move(page));
    }
    void PostStationName(std::unique_ptr<tStationName> name) override {
        const std::string text(StationNameText(*name));
        if (!station_.empty() && text != station_) Clear();
        station_ = text;
    }
    void PostReset(std::unique_ptr<tResetNotice>) override { Clear(); }
    void Clear() {
        db_.ClearPageDatabase();
        links_.clear();
        subtitles_.ClearSeen();
    }
    SubtitlePages& Subtitles() { return subtitles_; }
    const SubtitlePages& Subtitles() const { return subtitles_; }

    // The fastext links of every page number that carried some.
    const std::map<std::uint16_t, FlofLinks>& Links() const { return links_; }

private:
    PageDatabase& db_;
    SubtitlePages subtitles_;
    std::string station_;
    std::map<std::uint16_t, FlofLinks> links_;
};

std::optional<std::uint16_t> ParsePageNumber(std::string_view text) {
    unsigned value = 0;
    if (text.size() != 3) return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + 3, value, 16);
    if (ec != std::errc{} || end != text.data() + 3 || value < 0x100 || value > 0x8FF) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

// Decimal or 0x hexadecimal, up to limit.
std::optional<unsigned> ParseNumber(std::string_view text, unsigned limit) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value > limit) return std::nullopt;
    return value;
}

std::optional<double> ParseSeconds(std::string_view text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || !(value > 0) || value > 7 * 24 * 3600.0)
        return std::nullopt;
    return value;
}

// Empty string on success, else the message.
std::string ParseArgs(std::span<const std::string> args, Options& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (arg == "--list") {
            options.List = true;
        } else if (arg == "--demo") {
            const std::string* v = value();
            if (!v || !(options.DemoSeconds = ParseSeconds(*v))) return "--demo needs a number of seconds";
        } else if (arg == "--live") {
            const std::string* v = value();
            if (!v || !(options.LiveSeconds = ParseSeconds(*v))) return "--live needs a number of seconds";
        } else if (arg == "--pages") {
            const std::string* v = value();
            if (!v) return "--pages needs a folder";
            options.PagesFolder = *v;
        } else if (arg == "--search") {
            const std::string* v = value();
            if (!v || v->empty()) return "--search needs a text";
            options.Search = *v;
        } else if (arg == "--bmp") {
            const std::string* v = value();
            if (!v || v->empty()) return "--bmp needs a folder";
            options.BmpFolder = *v;
        } else if (arg == "--t42") {
            const std::string* v = value();
            if (!v || v->empty()) return "--t42 needs a file name";
            options.T42File = *v;
        } else if (arg == "--srt") {
            const std::string* v = value();
            if (!v || (*v != "auto" && !(options.SrtPage = ParsePageNumber(*v))))
                return "--srt needs a page number 100 to 8FF or auto";
            options.Srt = true;
        } else if (arg == "--rate") {
            const std::string* v = value();
            double rate = 0;
            const auto [end, ec] = v ? std::from_chars(v->data(), v->data() + v->size(), rate)
                                     : std::from_chars_result{nullptr, std::errc::invalid_argument};
            if (!v || ec != std::errc{} || end != v->data() + v->size() || !(rate >= 1) || rate > 100000)
                return "--rate needs a number of packets a second, 1 to 100000";
            options.Rate = rate;
        } else if (arg == "--list-services") {
            options.ListServices = true;
        } else if (arg == "--service") {
            const std::string* v = value();
            if (!v || v->empty()) return "--service needs a service id or name";
            if (const auto id = ParseNumber(*v, 0xFFFF))
                options.Choice.ServiceId = static_cast<std::uint16_t>(*id);
            else
                options.Choice.ServiceName = *v;
        } else if (arg == "--pid") {
            const std::string* v = value();
            const auto pid = v ? ParseNumber(*v, 0x1FFE) : std::nullopt;
            if (!pid) return "--pid needs a PID 0 to 8190";
            options.Choice.Pid = static_cast<std::uint16_t>(*pid);
        } else if (arg == "--links") {
            options.Links = true;
        } else if (arg == "--level") {
            const std::string* v = value();
            if (!v || (*v != "1" && *v != "1.5")) return "--level needs 1 or 1.5";
            options.Level15 = *v == "1.5";
        } else if (arg == "--encoding") {
            const std::string* v = value();
            if (!v || (*v != "utf-8" && *v != "UTF-8")) return "--encoding takes utf-8";
            options.Utf8 = true;
        } else if (arg == "--page") {
            const std::string* v = value();
            if (!v || !(options.Page = ParsePageNumber(*v))) return "--page needs a page number 100 to 8FF";
        } else if (arg == "-" || (!arg.empty() && arg[0] != '-')) {
            if (!options.File.empty()) return "only one input file";
            options.File = arg;
        } else {
            return "unknown option " + arg;
        }
    }
    const int inputs = !options.File.empty() + options.DemoSeconds.has_value() + options.LiveSeconds.has_value();
    if (inputs > 1) return "one input only: a file, --demo or --live";
    if (inputs == 0) return "no input";
    if (!options.PagesFolder.empty() && !options.DemoSeconds) return "--pages goes with --demo";
    const bool streamOptions = options.ListServices || options.Choice.ServiceId || !options.Choice.ServiceName.empty() ||
                               options.Choice.Pid;
    if (streamOptions && options.File.empty()) return "--list-services, --service and --pid go with a recording";
    if (!options.T42File.empty() && options.File.empty()) return "--t42 goes with a recording";
    if ((options.Choice.ServiceId || !options.Choice.ServiceName.empty()) && options.Choice.Pid)
        return "--service or --pid, not both";
    if (options.Srt && options.File.empty() && !options.DemoSeconds) return "--srt goes with a recording or --demo";
    if (options.Srt && (options.List || options.Search || options.Page || !options.BmpFolder.empty() ||
                        !options.T42File.empty() || options.Links || options.ListServices))
        return "--srt writes the subtitles alone: not with --list, --search, --page, --bmp, --t42, --links or "
               "--list-services";
    return {};
}

// The input named on the command line: a file, or standard input for "-".
std::unique_ptr<ByteSource> OpenInput(const std::string& name, std::istream& in, std::ostream& err) {
    if (name == "-") return StreamBytes(in, &in == &std::cin ? STDIN_FILENO : -1);
    std::string error;
    auto input = FileBytes(name, error);
    if (!input) err << "ttxdump: cannot " << (error == "it is a folder" ? "read " : "open ") << name << ": " << error << '\n';
    return input;
}

std::string InputName(const std::string& name) { return name == "-" ? "standard input" : name; }

// A recording from a file or standard input, through the handlers.
int ReadRecording(const Options& options, ByteSource& bytes, const PacketHandlers& handlers, const PageDatabase& db,
                  std::ostream& err) {
    InputOptions input;
    input.DroppedPages = [&db] { return db.DroppedCount(); };
    input.Name = InputName(options.File);
    input.Choice = options.Choice;
    input.WantsTransportStream = options.Choice.ServiceId || !options.Choice.ServiceName.empty() || options.Choice.Pid;
    input.PacketsPerSecond = options.Rate;
    if (DecodeInput(bytes, input, handlers, err)) return kExitOk;
    err << "ttxdump: cannot read " << input.Name << '\n';
    return kExitError;
}

// clock, when given, hears the time of each field before its packets: the
// quiet close of subtitle pages needs it.
int PlayDemo(const Options& options, PageAssembler& assembler, std::ostream& err,
             const std::function<void(std::int64_t us)>& clock = {}) {
    std::vector<TtiPage> pages;
    if (options.PagesFolder.empty()) {
        pages = BuiltInDemoPages();
    } else {
        std::vector<std::string> messages;
        pages = LoadTtiFolder(options.PagesFolder, messages);
        for (const auto& message : messages) err << "ttxdump: " << message << '\n';
        if (pages.empty()) {
            err << "ttxdump: no page files in " << options.PagesFolder << '\n';
            return kExitError;
        }
    }
    DemoBroadcast broadcast(std::move(pages));
    constexpr std::uint64_t kDemoRate = 1600;  // packets a second
    const auto total = static_cast<std::uint64_t>(*options.DemoSeconds * kDemoRate);
    // One capture read's worth, or with a clock one field's (a 50th of a second).
    std::vector<tVTXPacket> batch(clock ? kDemoRate / 50 : 500);
    for (std::uint64_t done = 0; done < total; done += batch.size()) {
        batch.resize(static_cast<std::size_t>(std::min<std::uint64_t>(batch.size(), total - done)));
        broadcast.Fill(batch);
        if (clock) clock(static_cast<std::int64_t>(done * 1'000'000 / kDemoRate));
        assembler.ProcessPackets(batch);
    }
    return kExitOk;
}

// The whole threaded pipeline from the configured source, as the viewer runs it.
int RunLive(const Options& options, PageDatabase& db, std::ostream& err) {
    Registry registry(Registry::DefaultPath());
    DeviceTable devices;
    RegisterVbiDevice(devices, registry);
    EventLoopUiThread ui;
    PageWindowTable windows;
    Acquisition acquisition(registry, devices, ui, windows);
    const bool started = acquisition.StartAcquisition();
    if (auto damage = registry.TakeDamageReport()) err << "ttxdump: " << *damage << '\n';
    if (!started) {
        err << "ttxdump: no capture source could be started (capture library " << kCaptureDllName
            << ", VBI device)\n";
        return kExitError;
    }
    ui.ServeFor(std::chrono::milliseconds(static_cast<std::int64_t>(*options.LiveSeconds * 1000)));
    acquisition.Stop();
    for (const auto& entry : acquisition.Pages().Snapshot()) db.StorePage(CopyOfPage(entry.Page));
    return kExitOk;
}

// The pages as the save-all-as-images command writes them, one file per sub-page.
int WritePictures(const std::vector<PageDatabase::Entry>& entries, const std::string& folder, bool level15,
                  std::ostream& err) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    FontTable fonts;
    fonts.AddFontMemory(TeletextFontResource(), "TTX_FONT");
    GraphicsRenderer renderer;
    for (const auto& entry : entries) {
        const std::string path = (std::filesystem::path(folder) / (SavedPageName(entry.Key) + ".BMP")).string();
        if (!SavePageImage(renderer, fonts, path, *entry.Page, level15 ? EnhancementsOf(entry.Page) : nullptr)) {
            err << "ttxdump: cannot write " << path << '\n';
            return kExitError;
        }
    }
    return kExitOk;
}

void WriteBlocks(const std::vector<PageDatabase::Entry>& entries, const Options& options, std::ostream& out) {
    for (const auto& entry : entries) {
        const PageEnhancements* enhancements = options.Level15 ? EnhancementsOf(entry.Page) : nullptr;
        const std::string title = SavedPageName(entry.Key);
        const std::string block = options.Utf8 ? PageTextBlockUtf8(title, *entry.Page, enhancements)
                                               : PageTextBlock(title, *entry.Page, enhancements);
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

// PAGE<TAB>red green yellow cyan index, "-" for none.
int WriteLinks(const std::map<std::uint16_t, FlofLinks>& links, std::ostream& out) {
    const auto page = [](const PageLink& link) { return link.Valid ? PageKey(link.Page, 0).substr(0, 3) : "-"; };
    for (const auto& [pageNo, flof] : links) {
        const auto& l = flof.Links;
        out << PageKey(pageNo, 0).substr(0, 3) << '\t' << page(l[FlofLinks::Red]) << ' ' << page(l[FlofLinks::Green])
            << ' ' << page(l[FlofLinks::Yellow]) << ' ' << page(l[FlofLinks::Cyan]) << ' '
            << page(l[FlofLinks::Index]) << '\n';
    }
    return links.empty() ? kExitNotFound : kExitOk;
}

// How --list marks a subtitle or newsflash page: "subtitles ita".
std::string SubtitleKind(const SubtitlePage& page) {
    std::string kind = page.Newsflash                               ? "newsflash"
                       : page.Type == kDescriptorHardOfHearing ? "subtitles (hard of hearing)"
                                                               : "subtitles";
    if (!page.Language.empty()) kind += ' ' + page.Language;
    return kind;
}

// The assembly's pages for the SubRip writer, with the time of their header.
class SubtitleSink : public DisplaySink {
public:
    explicit SubtitleSink(SubtitleTrack& track) : track_(track) {}
    const PageAssembler* Assembler = nullptr;

    void PostPage(PagePtr page) override { track_.Page(page, Assembler->PostedHeaderTime().count()); }
    void PostStationName(std::unique_ptr<tStationName>) override {}
    void PostReset(std::unique_ptr<tResetNotice>) override {}

private:
    SubtitleTrack& track_;
};

// 90 kHz stream times as microseconds from the first, across the 33-bit
// wrap-around; a small step back stays a step back.
class StreamClock {
public:
    std::int64_t Us(std::int64_t time) {
        if (time >= 0) {
            if (last_ >= 0) {
                std::int64_t step = (time - last_) & kMask;
                if (step > kMask / 2) step -= kMask + 1;
                ticks_ += step;
            }
            last_ = time;
        }
        return ticks_ * 100 / 9;
    }

private:
    static constexpr std::int64_t kMask = (std::int64_t{1} << 33) - 1;
    std::int64_t last_ = -1;
    std::int64_t ticks_ = 0;
};

// --srt: the recording through the assembly, the cues of the page to standard output.
int WriteSubtitles(const Options& options, std::istream& in, std::ostream& out, std::ostream& err) {
    SubtitleTrack track(options.SrtPage, options.Level15);
    SubtitleSink sink(track);
    PageAssembler assembler(sink);
    sink.Assembler = &assembler;
    StreamClock clock;
    std::int64_t nowUs = 0;
    PacketHandlers handlers{
        [&](std::span<const tVTXPacket> packets) { assembler.ProcessPackets(packets); },
        [&] {
            assembler.CloseAllPages();
            track.Clear(nowUs);
        },
        [&] { assembler.CloseAllPages(); }};
    handlers.Time = [&](std::int64_t time) {
        nowUs = clock.Us(time);
        assembler.Tick(PageAssembler::Time(nowUs));
    };
    handlers.PesEnd = [&] { assembler.CloseTimedPages(); };
    handlers.Descriptor = [&](const std::vector<TeletextDescriptorEntry>& entries) { track.SetDescriptor(entries); };
    if (options.DemoSeconds) {
        if (const int status = PlayDemo(options, assembler, err, [&](std::int64_t us) {
                nowUs = us;
                assembler.Tick(PageAssembler::Time(us));
            });
            status != kExitOk)
            return status;
    } else {
        const auto bytes = OpenInput(options.File, in, err);
        if (!bytes) return kExitError;
        PageDatabase unused;
        if (const int status = ReadRecording(options, *bytes, handlers, unused, err); status != kExitOk)
            return status;
    }
    track.Clear(nowUs);  // the last cue ends with the recording
    const std::optional<std::uint16_t> page = track.Chosen();
    if (!page) {
        err << "ttxdump: no subtitle page in " << (options.DemoSeconds ? "the demo" : InputName(options.File)) << '\n';
        return kExitNotFound;
    }
    const std::vector<SrtCue>& cues = track.Cues(*page);
    WriteSrt(cues, out);
    if (cues.empty()) {
        err << "ttxdump: no subtitles on page " << std::hex << std::uppercase << *page << std::dec << '\n';
        return kExitNotFound;
    }
    return kExitOk;
}

int Report(const Options& options, const PageDatabase& db, const DatabaseSink& sink, std::ostream& out,
           std::ostream& err) {
    if (db.PageCount() == 0) {
        err << "ttxdump: no page was received\n";
        return kExitNotFound;
    }
    if (options.Links) return WriteLinks(sink.Links(), out);
    if (options.List) {
        const std::vector<SubtitlePage> subtitles = sink.Subtitles().List();
        for (const auto& entry : db.Snapshot()) {
            out << entry.Key;
            const auto marked = std::find_if(subtitles.begin(), subtitles.end(),
                                             [&](const SubtitlePage& p) { return p.Page == entry.Page->PageNo; });
            if (marked != subtitles.end()) out << '\t' << SubtitleKind(*marked);
            out << '\n';
        }
        return kExitOk;
    }
    if (options.Search) {
        tVTXSearchRec rec;
        rec.Enhanced = options.Level15;
        bool found = db.SearchFirst(*options.Search, rec);
        const bool any = found;
        for (; found; found = db.SearchNext(rec))
            // The search reports the column before the hit, as the text view selects.
            out << PageKey(static_cast<std::uint16_t>(rec.FoundPage), rec.FoundSubCode) << ' ' << rec.FoundRow
                << ' ' << rec.FoundColumn + 1 << '\n';
        return any ? kExitOk : kExitNotFound;
    }
    std::vector<PageDatabase::Entry> entries = db.Snapshot();
    if (options.Page) {
        const std::string prefix = PageKey(*options.Page, 0).substr(0, 4);  // "1A0/"
        std::erase_if(entries, [&](const auto& e) { return e.Key.compare(0, prefix.size(), prefix) != 0; });
        if (entries.empty()) {
            err << "ttxdump: page " << prefix.substr(0, 3) << " was not received\n";
            return kExitNotFound;
        }
    } else {
        std::erase_if(entries, [](const auto& e) { return !IsDecimalPageKey(e.Key); });
    }
    if (!options.BmpFolder.empty()) return WritePictures(entries, options.BmpFolder, options.Level15, err);
    WriteBlocks(entries, options, out);
    return kExitOk;
}

}  // namespace

bool LocaleIsUtf8() {
    // Only the character classification is taken from the environment; the
    // tool's own output formats (numbers, keys) stay those of the C locale.
    const char* previous = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_CTYPE, "")) return false;
    const std::string codeset = nl_langinfo(CODESET);
    std::setlocale(LC_CTYPE, saved.c_str());
    return codeset == "UTF-8" || codeset == "utf8";
}

int RunTtxDump(std::span<const std::string> args, std::istream& in, std::ostream& out, std::ostream& err,
               bool utf8Locale) {
    if (args.size() == 1 && args[0] == "--version") {
        out << "ttxdump " << ReadVersionInfo(ProgramFileName()) << '\n';
        return kExitOk;
    }
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        out << kUsage;
        return kExitOk;
    }
    Options options;
    options.Utf8 = utf8Locale;
    if (const std::string problem = ParseArgs(args, options); !problem.empty()) {
        err << "ttxdump: " << problem << "\nTry 'ttxdump --help' for more information.\n";
        return kExitError;
    }

    if (options.Srt) return WriteSubtitles(options, in, out, err);
    PageDatabase db;
    DatabaseSink sink(db);
    PageAssembler assembler(sink);
    std::uint64_t written = 0;
    if (options.ListServices) {
        const auto bytes = OpenInput(options.File, in, err);
        return bytes ? ListServices(*bytes, InputName(options.File), out, err) : kExitError;
    }

    if (options.LiveSeconds) {
        if (const int status = RunLive(options, db, err); status != kExitOk) return status;
    } else if (options.DemoSeconds) {
        if (const int status = PlayDemo(options, assembler, err); status != kExitOk) return status;
    } else {
        const auto bytes = OpenInput(options.File, in, err);
        if (!bytes) return kExitError;
        T42Output t42;
        if (!options.T42File.empty() && !t42.Open(options.T42File, bytes->Identity(), err)) return kExitError;
        PacketHandlers handlers{
            [&](std::span<const tVTXPacket> packets) {
                assembler.ProcessPackets(packets);
                if (t42.IsOpen()) t42.Write(packets);
                written += packets.size();
            },
            [&] {
                // Another service: its pages replace the first one's, as in the viewer.
                assembler.CloseAllPages();
                sink.Clear();
            },
            [&] { assembler.CloseAllPages(); }};
        handlers.Descriptor = [&](const std::vector<TeletextDescriptorEntry>& entries) {
            sink.Subtitles().SetDescriptor(entries);
        };
        if (const int status = ReadRecording(options, *bytes, handlers, db, err); status != kExitOk) return status;
        assembler.CloseAllPages();
        if (t42.IsOpen()) {
            if (!t42.Finish(err)) return kExitError;
            const bool report =
                options.List || options.Search || options.Page || !options.BmpFolder.empty() || options.Links;
            if (!report) return written ? kExitOk : kExitNotFound;
        }
    }
    return Report(options, db, sink, out, err);
}

}  // namespace orv
