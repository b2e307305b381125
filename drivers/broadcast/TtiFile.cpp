#include "drivers/broadcast/TtiFile.h"

#include <charconv>
#include <sstream>

#include "platform/InputFile.h"

namespace orv {

namespace {

bool ParseHex(std::string_view text, unsigned& value) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return ec == std::errc{} && end == text.data() + text.size();
}

bool ParseDecimal(std::string_view text, int& value) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    return ec == std::errc{} && end == text.data() + text.size();
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ')) s.remove_suffix(1);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return s;
}

// Row text to cell codes: escape pairs and high control bytes become control codes.
tPageRow DecodeRowText(std::string_view text, bool& truncated) {
    tPageRow row;
    row.fill(0x20);
    std::size_t cell = 0;
    truncated = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto b = static_cast<std::uint8_t>(text[i]);
        if (b == 0x1B && i + 1 < text.size()) {
            b = static_cast<std::uint8_t>((static_cast<std::uint8_t>(text[++i]) - 0x40) & 0x7F);
        } else if (b >= 0x80 && b <= 0x9F) {
            b = static_cast<std::uint8_t>(b - 0x80);
        } else {
            b &= 0x7F;
        }
        if (cell == row.size()) {
            truncated = true;
            break;
        }
        row[cell++] = b;
    }
    return row;
}

class Parser {
public:
    TtiParseResult Run(std::string_view text) {
        int lineNo = 0;
        while (!text.empty()) {
            const auto eol = text.find('\n');
            std::string_view line = text.substr(0, eol);
            text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
            ++lineNo;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            Line(line, lineNo);
        }
        if (havePage_) result_.Pages.push_back(current_);
        if (result_.Pages.empty() && result_.Error.empty()) result_.Error = "no page (PN line) in the file";
        return std::move(result_);
    }

private:
    void Warn(int lineNo, const std::string& what) {
        result_.Warnings.push_back("line " + std::to_string(lineNo) + ": " + what);
    }

    void Line(std::string_view line, int lineNo) {
        if (line.size() < 3 || line[2] != ',') {
            if (!Trim(line).empty()) Warn(lineNo, "not a command line, skipped");
            return;
        }
        const std::string_view command = line.substr(0, 2);
        const std::string_view args = line.substr(3);
        if (skipping_ && command != "PN") return;  // belongs to a page we could not number
        if (command == "PN") PageNumber(Trim(args), lineNo);
        else if (command == "SC") SubCode(Trim(args), lineNo);
        else if (command == "PS") Status(Trim(args), lineNo);
        else if (command == "CT") Cycle(Trim(args), lineNo);
        else if (command == "DE") current_.Description = std::string(Trim(args));
        else if (command == "OL") OutputLine(args, lineNo);
        else if (command == "FL") FastextLinks(Trim(args), lineNo);
        // RE, PF, RD, SP, ... carry nothing a level-1.5 page shows.
    }

    void PageNumber(std::string_view args, int lineNo) {
        unsigned magazine = 0, page = 0;
        int sub = 0;
        if (args.size() < 3 || !ParseHex(args.substr(0, 1), magazine) || magazine < 1 || magazine > 8 ||
            !ParseHex(args.substr(1, 2), page) || (args.size() > 3 && !ParseDecimal(args.substr(3), sub))) {
            Warn(lineNo, "bad page number, page skipped");
            skipping_ = true;
            return;
        }
        if (havePage_) {
            result_.Pages.push_back(current_);
            // A carousel's further sub-pages start from the previous one's settings.
            TtiPage next;
            next.Status = current_.Status;
            next.CycleTime = current_.CycleTime;
            next.CycleTimed = current_.CycleTimed;
            next.Description = current_.Description;
            current_ = next;
        }
        havePage_ = true;
        skipping_ = false;
        current_.PageNo = static_cast<std::uint16_t>((magazine << 8) | page);
        current_.SubPage = sub;
    }

    void SubCode(std::string_view args, int lineNo) {
        unsigned value = 0;
        if (!ParseHex(args, value) || value > 0xFFFF) return Warn(lineNo, "bad sub-code, ignored");
        current_.SubCode = static_cast<std::int32_t>(value & 0x3F7F);
    }

    void Status(std::string_view args, int lineNo) {
        unsigned value = 0;
        if (!ParseHex(args, value) || value > 0xFFFF) return Warn(lineNo, "bad page status, ignored");
        current_.Status = static_cast<std::uint16_t>(value);
    }

    void Cycle(std::string_view args, int lineNo) {
        const auto comma = args.find(',');
        int seconds = 0;
        if (!ParseDecimal(Trim(args.substr(0, comma)), seconds) || seconds < 1)
            return Warn(lineNo, "bad cycle time, ignored");
        current_.CycleTime = seconds;
        current_.CycleTimed = comma == std::string_view::npos || Trim(args.substr(comma + 1)) != "C";
    }

    void OutputLine(std::string_view args, int lineNo) {
        const auto comma = args.find(',');
        int row = -1;
        if (comma == std::string_view::npos || !ParseDecimal(args.substr(0, comma), row) || row < 0)
            return Warn(lineNo, "bad row number, line skipped");
        if (row == 26 || row == 28) return EnhancementLine(row, args.substr(comma + 1), lineNo);
        if (row == 0 || row >= kTtiRows) return;  // header template, links in row 27, row 29
        bool truncated = false;
        current_.Rows[static_cast<std::size_t>(row)] = DecodeRowText(args.substr(comma + 1), truncated);
        if (truncated) Warn(lineNo, "row longer than 40 cells, cut");
    }

    // A designation code, then 13 triplets of three characters, each
    // character six bits of the triplet from the lowest up, plus 0x40.
    void EnhancementLine(int row, std::string_view text, int lineNo) {
        bool truncated = false;
        const tPageRow cells = DecodeRowText(text, truncated);
        EnhancementPacket packet;
        packet.Packet = row;
        packet.Designation = static_cast<std::uint8_t>((cells[0] - 0x40) & 0x0F);
        for (int t = 0; t < kTripletsPerPacket; ++t) {
            std::uint32_t bits = 0;
            for (int k = 0; k < 3; ++k)
                bits |= static_cast<std::uint32_t>((cells[static_cast<std::size_t>(1 + 3 * t + k)] - 0x40) & 0x3F) << (6 * k);
            packet.Triplets[static_cast<std::size_t>(t)] = {static_cast<std::uint8_t>(bits & 0x3F),
                                                            static_cast<std::uint8_t>((bits >> 6) & 0x1F),
                                                            static_cast<std::uint8_t>(bits >> 11), true};
        }
        if (truncated) Warn(lineNo, "enhancement row longer than 40 cells, cut");
        if (current_.Enhancements.size() >= 32) return Warn(lineNo, "more enhancement rows than a page has, skipped");
        current_.Enhancements.push_back(packet);
    }

    // FL,red,green,yellow,cyan,fifth,index: page numbers; xFF is no link.
    void FastextLinks(std::string_view args, int lineNo) {
        FlofLinks links;
        for (int i = 0; i < 6; ++i) {
            const auto comma = args.find(',');
            unsigned page = 0;
            if (!ParseHex(Trim(args.substr(0, comma)), page) || page > 0x8FF)
                return Warn(lineNo, "bad fastext link, links ignored");
            if ((page & 0xFF) != 0xFF) {
                if (page < 0x100) page += 0x800;  // magazine 0 is magazine 8
                links.Links[static_cast<std::size_t>(i)] = {static_cast<std::uint16_t>(page), kAnySubCode, true};
            }
            args = comma == std::string_view::npos ? std::string_view{} : args.substr(comma + 1);
        }
        current_.Links = links;
    }

    TtiParseResult result_;
    TtiPage current_;
    bool havePage_ = false;
    bool skipping_ = false;
};

}  // namespace

TtiParseResult ParseTti(std::string_view text) { return Parser().Run(text); }

TtiParseResult LoadTtiFile(const std::string& path) {
    std::string content, error;
    if (!ReadInputFile(path, kMaxTtiFileBytes, content, error)) {
        TtiParseResult result;
        result.Error = error;
        return result;
    }
    return ParseTti(content);
}

HeaderControl ControlFromStatus(const TtiPage& page) {
    const unsigned ps = page.Status;
    HeaderControl c;
    c.SubCode = page.SubCode;
    c.Newsflash = ps & 0x0001;
    c.Subtitle = ps & 0x0002;
    c.SuppressHeader = ps & 0x0004;
    c.UpdateIndicator = ps & 0x0008;
    c.InterruptedSequence = ps & 0x0010;
    c.InhibitDisplay = ps & 0x0020;
    c.MagazineSerial = ps & 0x0040;
    c.NationalOption = page.NationalOption();
    c.ErasePage = ps & 0x4000;
    return c;
}

}  // namespace orv
