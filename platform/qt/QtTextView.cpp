#include "platform/qt/QtTextView.h"

#include <QScrollBar>
#include <QStringList>
#include <QTextDocument>

#include <QColor>
#include <QPalette>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <array>

namespace orv {

namespace {

// The upper halves, 0x80-0xFF, of the two code pages. The bytes a code page
// leaves unassigned stand for the C1 control of the same value.
using UpperHalf = std::array<char16_t, 128>;

constexpr UpperHalf kWindows1252 = [] {
    UpperHalf table{};
    constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
    };
    for (int i = 0; i < 128; ++i) table[static_cast<std::size_t>(i)] = i < 32 ? high[i] : static_cast<char16_t>(0x80 + i);
    return table;
}();

constexpr UpperHalf kWindows1250 = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 98-9F
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // A0-A7
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // A8-AF
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0-B7
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // B8-BF
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // C0-C7
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // C8-CF
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // D0-D7
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // D8-DF
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // E0-E7
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // E8-EF
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // F0-F7
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // F8-FF
};

const UpperHalf& UpperHalfOf(CodePage codePage) {
    return codePage == CodePage::Windows1250 ? kWindows1250 : kWindows1252;
}

QChar FromAnsi(char c, const UpperHalf& upper) {
    const auto b = static_cast<unsigned char>(c);
    return QChar(b < 0x80 ? static_cast<char16_t>(b) : upper[b - 0x80]);
}

char ToAnsi(QChar c, const UpperHalf& upper) {
    const char16_t u = c.unicode();
    if (u < 0x80) return static_cast<char>(u);
    const auto it = std::find(upper.begin(), upper.end(), u);
    return it == upper.end() ? '?' : static_cast<char>(0x80 + (it - upper.begin()));
}

// One line's text: a CR or LF inside it would open a block, so it shows as a space.
QString LineToQString(std::string_view bytes, CodePage codePage) {
    QString text = AnsiToQString(bytes, codePage);
    for (QChar& c : text)
        if (c == u'\r' || c == u'\n') c = u' ';
    return text;
}

QColor ToQColor(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

std::uint32_t ToColourValue(const QColor& colour) {
    return static_cast<std::uint32_t>(colour.red()) | static_cast<std::uint32_t>(colour.green()) << 8 |
           static_cast<std::uint32_t>(colour.blue()) << 16;
}

QTextCharFormat ColourFormat(std::uint32_t colour) {
    QTextCharFormat format;
    format.setForeground(ToQColor(colour));
    return format;
}

// The text of a block without its separator (QTextBlock::length counts it).
int BlockTextLength(const QTextBlock& block) { return block.length() - 1; }

}  // namespace

QString AnsiToQString(std::string_view bytes, CodePage codePage) {
    const UpperHalf& upper = UpperHalfOf(codePage);
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) text.append(FromAnsi(c, upper));
    return text;
}

std::string QStringToAnsi(const QString& text, CodePage codePage) {
    const UpperHalf& upper = UpperHalfOf(codePage);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) bytes.push_back(ToAnsi(c, upper));
    return bytes;
}

std::string QtTextView::Text() const {
    std::string text;
    for (QTextBlock block = edit_->document()->begin(); block.isValid(); block = block.next()) {
        text += QStringToAnsi(block.text(), codePage_);
        if (block.next().isValid()) text += "\r\n";
    }
    return text;
}

void QtTextView::SetText(std::string_view text) {
    QString unicode;
    unicode.reserve(static_cast<qsizetype>(text.size()));
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", begin);
        unicode += LineToQString(text.substr(begin, end == std::string_view::npos ? end : end - begin), codePage_);
        if (end == std::string_view::npos) break;
        unicode += u'\n';
        begin = end + 2;
    }
    QTextDocument* doc = edit_->document();
    doc->setPlainText(unicode);
    // Nothing of the old colours may carry over into the new text.
    QTextCursor all(doc);
    all.select(QTextCursor::Document);
    all.setCharFormat(QTextCharFormat());
    edit_->setTextCursor(QTextCursor(doc));
}

int QtTextView::LineCount() const {
    const QTextDocument* doc = edit_->document();
    return doc->blockCount() - (BlockTextLength(doc->lastBlock()) == 0 ? 1 : 0);
}

std::string QtTextView::Line(int index) const {
    if (index < 0 || index >= LineCount()) return {};
    return QStringToAnsi(edit_->document()->findBlockByNumber(index).text(), codePage_);
}

bool QtTextView::ReplaceLine(int index, std::string_view text) {
    if (index < 0 || index >= LineCount()) return false;
    QTextCursor cursor(edit_->document()->findBlockByNumber(index));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(LineToQString(text, codePage_), ColourFormat(insertColour_));
    return true;
}

void QtTextView::AddLine(std::string_view text) {
    QTextDocument* doc = edit_->document();
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    const QTextCharFormat format = ColourFormat(insertColour_);
    // A final empty block is the place of the next line; else open one.
    if (BlockTextLength(doc->lastBlock()) > 0) cursor.insertBlock(QTextBlockFormat(), format);
    cursor.insertText(LineToQString(text, codePage_), format);
    cursor.insertBlock(QTextBlockFormat(), format);
}

int QtTextView::ViewLength() const {
    int length = 0;
    for (QTextBlock block = edit_->document()->begin(); block.isValid(); block = block.next())
        length += BlockTextLength(block) + (block.next().isValid() ? 2 : 0);
    return length;
}

int QtTextView::ToDocument(int position) const {
    int lineStart = 0;
    QTextBlock block = edit_->document()->begin();
    for (; block.isValid(); block = block.next()) {
        const int length = BlockTextLength(block);
        // Up to the CR, the offset in the line is the offset in the block; the
        // LF has no character of its own and counts as the separator.
        if (position <= lineStart + length + 1)
            return block.position() + std::clamp(position - lineStart, 0, length);
        lineStart += length + 2;
    }
    const QTextBlock last = edit_->document()->lastBlock();
    return last.position() + BlockTextLength(last);
}

int QtTextView::ToView(int documentPosition) const {
    int lineStart = 0;
    for (QTextBlock block = edit_->document()->begin(); block.isValid(); block = block.next()) {
        const int length = BlockTextLength(block);
        if (documentPosition <= block.position() + length)
            return lineStart + std::max(documentPosition - block.position(), 0);
        lineStart += length + 2;
    }
    return ViewLength();
}

void QtTextView::Select(int start, int length) {
    // The range is cut to the text; a range wholly outside it selects nothing.
    const long long size = ViewLength();
    const long long first = std::clamp(static_cast<long long>(start), 0LL, size);
    const long long last = std::clamp(static_cast<long long>(start) + length, first, size);
    QTextCursor cursor(edit_->document());
    cursor.setPosition(ToDocument(static_cast<int>(first)));
    cursor.setPosition(ToDocument(static_cast<int>(last)), QTextCursor::KeepAnchor);
    edit_->setTextCursor(cursor);
}

int QtTextView::SelectionStart() const { return ToView(edit_->textCursor().selectionStart()); }

int QtTextView::SelectionLength() const {
    const QTextCursor cursor = edit_->textCursor();
    return ToView(cursor.selectionEnd()) - ToView(cursor.selectionStart());
}

void QtTextView::SetSelectionColour(std::uint32_t colour) {
    QTextCursor cursor = edit_->textCursor();
    if (cursor.hasSelection()) cursor.mergeCharFormat(ColourFormat(colour));
}

void QtTextView::SetInsertColour(std::uint32_t colour) {
    insertColour_ = colour;
    // With a selection the edit would colour it instead.
    if (edit_->textCursor().hasSelection()) return;
    QTextCharFormat format = edit_->currentCharFormat();
    format.setForeground(ToQColor(colour));
    edit_->setCurrentCharFormat(format);
}

std::uint32_t QtTextView::ColourAt(int position) const {
    const QTextDocument* doc = edit_->document();
    const int at = ToDocument(position);
    const QTextBlock block = doc->findBlock(at);
    QTextCharFormat format;
    if (at - block.position() < BlockTextLength(block)) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().contains(at)) format = it.fragment().charFormat();
    } else if (block.next().isValid()) {
        // A block's own character format is that of the separator before it.
        format = block.next().charFormat();
    }
    const QBrush brush = format.foreground();
    return ToColourValue(brush.style() == Qt::NoBrush ? edit_->palette().color(QPalette::Text) : brush.color());
}

void QtTextView::BeginUpdate() {
    if (updateDepth_++ > 0) return;
    edit_->setUpdatesEnabled(false);
    scrolledTo_ = edit_->verticalScrollBar()->value();
}

// Marking links moves the selection through the text, and the edit scrolls
// to follow it; the view is left where it was before the update.
void QtTextView::EndUpdate() {
    if (updateDepth_ == 0 || --updateDepth_ > 0) return;
    edit_->verticalScrollBar()->setValue(scrolledTo_);
    edit_->setUpdatesEnabled(true);
    edit_->viewport()->update();
}

QFont FontForLines(const QTextEdit& edit, QFont font, int lines, int columns) {
    const QSize room = edit.contentsRect().size();
    const QString line(columns, QLatin1Char('W'));
    QStringList sample;
    for (int i = 0; i < lines; ++i) sample << line;
    QTextDocument document;
    document.setDocumentMargin(edit.document()->documentMargin());
    // Every line ends in a line break, so the document has one empty block more.
    document.setPlainText(sample.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    for (int pixels = font.pixelSize(); pixels > 6; --pixels) {
        font.setPixelSize(pixels);
        document.setDefaultFont(font);
        const QSizeF needed = document.size();
        if (needed.height() <= room.height() && needed.width() <= room.width()) break;
    }
    return font;
}

}  // namespace orv
