// A text view held in memory: the text with its CR LF line breaks, one colour
// per character, the selection, the insertion colour and a count of repaints,
// so that tests can see exactly what a renderer did to the view.
#pragma once

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/TextView.h"
#include "rendering/TextEncoding.h"

namespace orv::test {

class MemoryTextView : public TextView {
public:
    static constexpr std::uint32_t kNormalColour = 0x000000;

    std::u16string Text() const override { return text; }

    void SetText(std::u16string_view t) override {
        if (failSetText) throw std::runtime_error("SetText refused");
        text.assign(t);
        colours.assign(text.size(), kNormalColour);
        ClampSelection();
        Changed();
    }

    // Lines end at CR LF; an empty text has none and a final CR LF opens none.
    int LineCount() const override {
        CheckLines();
        return static_cast<int>(LineStarts().size());
    }

    std::u16string Line(int index) const override {
        CheckLines();
        const auto starts = LineStarts();
        if (index < 0 || index >= static_cast<int>(starts.size())) return {};
        const std::size_t begin = starts[static_cast<std::size_t>(index)];
        return text.substr(begin, LineEnd(begin) - begin);
    }

    bool ReplaceLine(int index, std::u16string_view t) override {
        CheckLines();
        const auto starts = LineStarts();
        if (index < 0 || index >= static_cast<int>(starts.size())) return false;
        const std::size_t begin = starts[static_cast<std::size_t>(index)];
        const std::size_t end = LineEnd(begin);
        text.replace(begin, end - begin, t);
        colours.erase(colours.begin() + static_cast<std::ptrdiff_t>(begin),
                      colours.begin() + static_cast<std::ptrdiff_t>(end));
        colours.insert(colours.begin() + static_cast<std::ptrdiff_t>(begin), t.size(), insertColour);
        ClampSelection();
        Changed();
        return true;
    }

    void AddLine(std::u16string_view t) override {
        CheckLines();
        if (!text.empty() && !text.ends_with(u"\r\n")) Append(u"\r\n");
        Append(t);
        Append(u"\r\n");
        Changed();
    }

    void Select(int start, int length) override {
        const long long size = static_cast<long long>(text.size());
        const long long end = std::clamp(static_cast<long long>(start) + length, 0LL, size);
        selStart = static_cast<int>(std::clamp(static_cast<long long>(start), 0LL, size));
        selLength = static_cast<int>(std::max(end - selStart, 0LL));
        Changed();
    }
    int SelectionStart() const override { return selStart; }
    int SelectionLength() const override { return selLength; }

    void SetSelectionColour(std::uint32_t colour) override {
        std::fill_n(colours.begin() + selStart, selLength, colour);
        if (selLength > 0) Changed();
    }
    void SetInsertColour(std::uint32_t colour) override { insertColour = colour; }

    std::uint32_t ColourAt(int position) const override {
        return position >= 0 && position < static_cast<int>(colours.size())
                   ? colours[static_cast<std::size_t>(position)]
                   : kNormalColour;
    }

    void BeginUpdate() override { ++updateDepth; }
    void EndUpdate() override {
        if (updateDepth > 0 && --updateDepth == 0) ++repaints;
    }

    // The text as UTF-8, the characters of a range, and which of them have a colour.
    std::string Utf8() const { return Utf16ToUtf8(text); }
    std::string LineUtf8(int index) const { return Utf16ToUtf8(Line(index)); }
    std::string Range(int start, int length) const {
        return Utf16ToUtf8(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length)));
    }
    std::vector<int> PositionsColoured(std::uint32_t colour) const {
        std::vector<int> positions;
        for (std::size_t i = 0; i < colours.size(); ++i)
            if (colours[i] == colour) positions.push_back(static_cast<int>(i));
        return positions;
    }

    std::u16string text;
    std::vector<std::uint32_t> colours;
    int selStart = 0;
    int selLength = 0;
    std::uint32_t insertColour = kNormalColour;
    int updateDepth = 0;
    // Outermost EndUpdate calls plus visible changes made outside updates.
    int repaints = 0;
    // Failures on demand: line access (LineCount, Line, ReplaceLine, AddLine)
    // and SetText throw std::runtime_error.
    bool failLines = false;
    bool failSetText = false;

private:
    void CheckLines() const {
        if (failLines) throw std::runtime_error("line access refused");
    }
    void Changed() {
        if (updateDepth == 0) ++repaints;
    }
    void Append(std::u16string_view t) {
        text.append(t);
        colours.insert(colours.end(), t.size(), insertColour);
    }
    void ClampSelection() {
        const int size = static_cast<int>(text.size());
        selStart = std::min(selStart, size);
        selLength = std::min(selLength, size - selStart);
    }
    std::size_t LineEnd(std::size_t begin) const {
        const std::size_t end = text.find(u"\r\n", begin);
        return end == std::u16string::npos ? text.size() : end;
    }
    std::vector<std::size_t> LineStarts() const {
        std::vector<std::size_t> starts;
        std::size_t begin = 0;
        while (begin < text.size()) {
            starts.push_back(begin);
            const std::size_t end = LineEnd(begin);
            begin = end == text.size() ? end : end + 2;
        }
        return starts;
    }
};

}  // namespace orv::test
