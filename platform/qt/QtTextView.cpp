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

QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

std::u16string FromQString(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

// One line's text: a CR or LF inside it would open a block, so it shows as a space.
QString LineToQString(std::u16string_view line) {
    QString text = ToQString(line);
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

std::u16string QtTextView::Text() const {
    std::u16string text;
    for (QTextBlock block = edit_->document()->begin(); block.isValid(); block = block.next()) {
        text += FromQString(block.text());
        if (block.next().isValid()) text += u"\r\n";
    }
    return text;
}

void QtTextView::SetText(std::u16string_view text) {
    QString unicode;
    unicode.reserve(static_cast<qsizetype>(text.size()));
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = text.find(u"\r\n", begin);
        unicode += LineToQString(text.substr(begin, end == std::u16string_view::npos ? end : end - begin));
        if (end == std::u16string_view::npos) break;
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

std::u16string QtTextView::Line(int index) const {
    if (index < 0 || index >= LineCount()) return {};
    return FromQString(edit_->document()->findBlockByNumber(index).text());
}

bool QtTextView::ReplaceLine(int index, std::u16string_view text) {
    if (index < 0 || index >= LineCount()) return false;
    QTextCursor cursor(edit_->document()->findBlockByNumber(index));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(LineToQString(text), ColourFormat(insertColour_));
    return true;
}

void QtTextView::AddLine(std::u16string_view text) {
    QTextDocument* doc = edit_->document();
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    const QTextCharFormat format = ColourFormat(insertColour_);
    // A final empty block is the place of the next line; else open one.
    if (BlockTextLength(doc->lastBlock()) > 0) cursor.insertBlock(QTextBlockFormat(), format);
    cursor.insertText(LineToQString(text), format);
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
