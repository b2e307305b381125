// The text view over a read-only QTextEdit. QTextDocument keeps one block per
// line with a single separator character between blocks, while the view's
// positions count a line break as CR LF, two characters; every position is
// converted on the way in and out. Text crosses as Windows-1252 bytes.
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

// Windows code page bytes to Unicode; the bytes a code page leaves free map
// to the C1 controls of the same value, as Windows does.
QString AnsiToQString(std::string_view bytes, CodePage codePage = CodePage::Windows1252);
// Unicode to code page bytes; characters the code page lacks become '?'.
std::string QStringToAnsi(const QString& text, CodePage codePage = CodePage::Windows1252);

class QtTextView : public TextView {
public:
    // edit is not owned (its parent window owns it) and must outlive the view.
    explicit QtTextView(QTextEdit* edit) : edit_(edit) {}

    std::string Text() const override;
    // A lone CR or LF, which is no line break, is shown as a space.
    void SetText(std::string_view text) override;

    int LineCount() const override;
    std::string Line(int index) const override;
    bool ReplaceLine(int index, std::string_view text) override;
    void AddLine(std::string_view text) override;

    // A position on the LF of a line break counts as its CR.
    void Select(int start, int length) override;
    int SelectionStart() const override;
    int SelectionLength() const override;
    void SetSelectionColour(std::uint32_t colour) override;
    void SetInsertColour(std::uint32_t colour) override;
    // Characters without a colour of their own report the edit's text colour.
    std::uint32_t ColourAt(int position) const override;

    void SetCodePage(CodePage codePage) override { codePage_ = codePage; }
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
    CodePage codePage_ = CodePage::Windows1252;
};

}  // namespace orv
