// The read-only rich-text control of the text view. Text goes in and out as
// UTF-16 with CR LF line breaks, one unit per page cell, and every position
// counts a line break as two characters, so that the cell in row r, column k
// of a page is at 42 r + k whatever the control does inside.
#pragma once

#include <string>
#include <string_view>

#include <cstdint>

namespace orv {

class TextView {
public:
    virtual ~TextView() = default;

    // The whole text, lines joined by CR LF.
    virtual std::u16string Text() const = 0;
    // Replaces everything; colours go back to the normal text colour.
    virtual void SetText(std::u16string_view text) = 0;

    // Lines as the control keeps them (a final CR LF does not open a line).
    virtual int LineCount() const = 0;
    virtual std::u16string Line(int index) const = 0;
    // Replaces the text of one line (without its line break); false when
    // there is no such line.
    virtual bool ReplaceLine(int index, std::u16string_view text) = 0;
    // Adds a line at the end.
    virtual void AddLine(std::u16string_view text) = 0;

    // Selection by position (CR LF counted as two); out-of-range parts are cut off.
    virtual void Select(int start, int length) = 0;
    virtual int SelectionStart() const = 0;
    virtual int SelectionLength() const = 0;
    // Colour of the selected characters (Windows colour value, 0x00BBGGRR).
    virtual void SetSelectionColour(std::uint32_t colour) = 0;
    // Colour of text typed or added from now on.
    virtual void SetInsertColour(std::uint32_t colour) = 0;
    // The colour of the character at a position (for checks and copying).
    virtual std::uint32_t ColourAt(int position) const = 0;

    // Updates suspended between these calls repaint once, at the end. They nest.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
};

// Suspends a view's updates for a scope (also when it is left by an exception).
class TextViewUpdateGuard {
public:
    explicit TextViewUpdateGuard(TextView& view) : view_(view) { view_.BeginUpdate(); }
    ~TextViewUpdateGuard() { view_.EndUpdate(); }
    TextViewUpdateGuard(const TextViewUpdateGuard&) = delete;
    TextViewUpdateGuard& operator=(const TextViewUpdateGuard&) = delete;

private:
    TextView& view_;
};

}  // namespace orv
