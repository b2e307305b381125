// The text view over a read-only QTextEdit. QTextDocument keeps one block per
// line with a single separator character between blocks, while the view's
// positions count a line break as CR LF, two characters; every position is
// converted on the way in and out. Text crosses as UTF-16.
//
// Lines: one per block, except that a final empty block (the document after
// a text ending in CR LF, or an empty document) is no line, as a rich-edit
// control counts them. So "" has 0 lines, "a" and "a\r\nb\r\n" 1 and 2, and
// "\r\n" one empty line.
#pragma once

#include <QFont>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/TextView.h"

class QTextEdit;

namespace orv {

// The font at the largest pixel size up to its own at which that many lines
// of that many characters fit the edit without scrolling, measured with the
// face the system really resolves (a "Courier New" may come out as any
// monospace face, with lines of its own height).
QFont FontForLines(const QTextEdit& edit, QFont font, int lines, int columns);

class QtTextView : public TextView {
public:
    // edit is not owned (its parent window owns it) and must outlive the view.
    explicit QtTextView(QTextEdit* edit) : edit_(edit) {}

    std::u16string Text() const override;
    // A lone CR or LF, which is no line break, is shown as a space.
    void SetText(std::u16string_view text) override;

    int LineCount() const override;
    std::u16string Line(int index) const override;
    bool ReplaceLine(int index, std::u16string_view text) override;
    void AddLine(std::u16string_view text) override;

    // A position on the LF of a line break counts as its CR.
    void Select(int start, int length) override;
    int SelectionStart() const override;
    int SelectionLength() const override;
    void SetSelectionColour(std::uint32_t colour) override;
    void SetInsertColour(std::uint32_t colour) override;
    // Characters without a colour of their own report the edit's text colour.
    std::uint32_t ColourAt(int position) const override;

    void BeginUpdate() override;
    void EndUpdate() override;

private:
    int ViewLength() const;
    int ToDocument(int position) const;
    int ToView(int documentPosition) const;

    QTextEdit* edit_;
    std::uint32_t insertColour_ = 0;
    int updateDepth_ = 0;
    int scrolledTo_ = 0;
};

}  // namespace orv
