// The text view over a real QTextEdit: positions with CR LF counted as two,
// Unicode text, colours, line access and a page rendered into it.
#include "platform/qt/QtTextView.h"

#include <QFontInfo>
#include <QPalette>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "rendering/TextEncoding.h"
#include "rendering/TextPageView.h"
#include "rendering/VTX_TEXT_DISPLAY.h"

namespace orv {
namespace {

// The view with UTF-8 in and out, as the tests write their texts.
class Utf8View {
public:
    explicit Utf8View(QTextEdit* edit) : view_(edit) {}
    QtTextView& Inner() { return view_; }
    std::string Text() const { return Utf16ToUtf8(view_.Text()); }
    void SetText(const std::string& text) { view_.SetText(Utf8ToUtf16(text)); }
    std::string Line(int index) const { return Utf16ToUtf8(view_.Line(index)); }
    bool ReplaceLine(int index, const std::string& text) { return view_.ReplaceLine(index, Utf8ToUtf16(text)); }
    void AddLine(const std::string& text) { view_.AddLine(Utf8ToUtf16(text)); }
    int LineCount() const { return view_.LineCount(); }
    void Select(int start, int length) { view_.Select(start, length); }
    int SelectionStart() const { return view_.SelectionStart(); }
    int SelectionLength() const { return view_.SelectionLength(); }
    void SetSelectionColour(std::uint32_t colour) { view_.SetSelectionColour(colour); }
    void SetInsertColour(std::uint32_t colour) { view_.SetInsertColour(colour); }
    std::uint32_t ColourAt(int position) const { return view_.ColourAt(position); }
    void BeginUpdate() { view_.BeginUpdate(); }
    void EndUpdate() { view_.EndUpdate(); }

private:
    QtTextView view_;
};

constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kBlack = 0x000000;

class QtTextViewTest : public testing::Test {
protected:
    QtTextViewTest() {
        edit.setReadOnly(true);
        QPalette palette = edit.palette();
        palette.setColor(QPalette::Text, Qt::black);
        edit.setPalette(palette);
    }

    // The foreground of the document character at a document position.
    QColor DocumentColour(int documentPosition) {
        QTextCursor cursor(edit.document());
        cursor.setPosition(documentPosition);
        cursor.setPosition(documentPosition + 1, QTextCursor::KeepAnchor);
        return cursor.charFormat().foreground().color();
    }

    QTextEdit edit;
    Utf8View view{&edit};
};

std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

TEST_F(QtTextViewTest, PositionsCountEachLineBreakAsTwoCharacters) {
    std::string line2(40, 'c');
    line2.replace(5, 3, "XYZ");
    const std::string text = Lines({std::string(40, 'a'), std::string(40, 'b'), line2});
    view.SetText(text);
    EXPECT_EQ(view.Text(), text);
    EXPECT_EQ(edit.document()->blockCount(), 4);

    view.Select(42 * 2 + 5, 3);
    EXPECT_EQ(edit.textCursor().selectedText(), "XYZ");
    EXPECT_EQ(edit.textCursor().selectionStart(), 41 * 2 + 5);
    EXPECT_EQ(view.SelectionStart(), 89);
    EXPECT_EQ(view.SelectionLength(), 3);

    // Across a line break: two cells, CR LF, two cells.
    view.Select(42 + 38, 6);
    EXPECT_EQ(edit.textCursor().selectedText(), QString::fromUtf16(u"bb\u2029cc"));
    EXPECT_EQ(view.SelectionStart(), 80);
    EXPECT_EQ(view.SelectionLength(), 6);

    // Out-of-range parts are cut off.
    view.Select(1000, 5);
    EXPECT_EQ(view.SelectionStart(), 126);
    EXPECT_EQ(view.SelectionLength(), 0);
    view.Select(-5, 10);
    EXPECT_EQ(view.SelectionStart(), 0);
    EXPECT_EQ(view.SelectionLength(), 5);
    view.Select(120, 100);
    EXPECT_EQ(view.SelectionLength(), 6);
}

TEST_F(QtTextViewTest, TextCrossesAsUnicode) {
    const std::u16string text = u"\u00E4\u00DF\u20AC\u0161 \u0416\u03A9\u266A x";
    view.Inner().SetText(text);
    EXPECT_EQ(edit.document()->firstBlock().text(), QString::fromUtf16(text.c_str()));
    EXPECT_EQ(view.Inner().Text(), text);
    EXPECT_EQ(view.Inner().Line(0), text);

    // A lone CR or LF is no line break and shows as a space.
    view.SetText("a\rb\nc\r\nd");
    EXPECT_EQ(view.LineCount(), 2);
    EXPECT_EQ(view.Text(), "a b c\r\nd");
}

TEST_F(QtTextViewTest, SelectionColoursTheSelectedCharactersOnly) {
    view.SetText(Lines({std::string(40, 'a'), std::string(40, 'b')}));
    view.Select(42 + 3, 4);
    view.SetSelectionColour(kRed);
    for (int p = 45; p < 49; ++p) EXPECT_EQ(view.ColourAt(p), kRed) << p;
    EXPECT_EQ(view.ColourAt(44), kBlack);
    EXPECT_EQ(view.ColourAt(49), kBlack);
    EXPECT_EQ(DocumentColour(41 + 3), QColor(255, 0, 0));  // 0x00BBGGRR

    view.Select(10, 1);
    view.SetSelectionColour(0xFF8000);
    EXPECT_EQ(DocumentColour(10), QColor(0, 0x80, 0xFF));
    EXPECT_EQ(view.ColourAt(10), 0xFF8000u);

    // Over a line break the break itself is coloured too.
    view.Select(38, 6);
    view.SetSelectionColour(kRed);
    for (int p = 38; p < 44; ++p) EXPECT_EQ(view.ColourAt(p), kRed) << p;
    EXPECT_EQ(view.ColourAt(37), kBlack);

    // Collapsed, a colour goes to later insertions, not to the text.
    view.Select(20, 0);
    view.SetInsertColour(kRed);
    EXPECT_EQ(view.ColourAt(19), kBlack);
    EXPECT_EQ(view.ColourAt(20), kBlack);
    view.AddLine("new");
    EXPECT_EQ(view.ColourAt(84), kRed);

    // New text starts over in the normal colour.
    view.SetText(Lines({std::string(40, 'a'), std::string(40, 'b')}));
    for (int p = 0; p < 84; ++p) ASSERT_EQ(view.ColourAt(p), kBlack) << p;
}

TEST_F(QtTextViewTest, ReplacingALineKeepsTheOtherLinesAndTheirColours) {
    view.SetText("first\r\nsecond 300\r\nthird\r\n");
    view.Select(7 + 7, 3);
    view.SetSelectionColour(kRed);
    view.Select(19, 5);
    view.SetSelectionColour(0xFF0000);
    view.Select(0, 0);
    view.SetInsertColour(kBlack);

    EXPECT_TRUE(view.ReplaceLine(0, "Search page 123...1A4"));
    EXPECT_EQ(view.Text(), "Search page 123...1A4\r\nsecond 300\r\nthird\r\n");
    EXPECT_EQ(view.LineCount(), 3);
    EXPECT_EQ(view.Line(0), "Search page 123...1A4");
    EXPECT_EQ(view.Line(1), "second 300");
    EXPECT_EQ(view.Line(2), "third");
    for (int p = 0; p < 21; ++p) EXPECT_EQ(view.ColourAt(p), kBlack) << p;
    for (int p = 23; p < 30; ++p) EXPECT_EQ(view.ColourAt(p), kBlack) << p;
    for (int p = 30; p < 33; ++p) EXPECT_EQ(view.ColourAt(p), kRed) << p;
    for (int p = 35; p < 40; ++p) EXPECT_EQ(view.ColourAt(p), 0xFF0000u) << p;

    EXPECT_TRUE(view.ReplaceLine(2, "3rd"));
    EXPECT_EQ(view.Text(), "Search page 123...1A4\r\nsecond 300\r\n3rd\r\n");
    EXPECT_FALSE(view.ReplaceLine(3, "no such line"));
    EXPECT_FALSE(view.ReplaceLine(-1, "no such line"));
    EXPECT_EQ(view.Line(3), "");
    EXPECT_EQ(view.LineCount(), 3);
}

TEST_F(QtTextViewTest, LinesAreCountedAsARichEditCountsThem) {
    const std::pair<const char*, int> cases[] = {
        {"", 0}, {"a", 1}, {"a\r\nb", 2}, {"a\r\nb\r\n", 2}, {"\r\n", 1}, {"\r\n\r\n", 2}, {"a\r\n\r\nb", 3}};
    for (const auto& [text, lines] : cases) {
        view.SetText(text);
        EXPECT_EQ(view.LineCount(), lines) << text;
        EXPECT_EQ(view.Text(), text);
    }

    view.SetText("");
    view.AddLine("x");
    EXPECT_EQ(view.Text(), "x\r\n");
    EXPECT_EQ(view.LineCount(), 1);
    view.AddLine("y");
    EXPECT_EQ(view.Text(), "x\r\ny\r\n");

    view.SetText("a\r\nb");
    view.AddLine("c");
    EXPECT_EQ(view.Text(), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(view.LineCount(), 3);
    EXPECT_EQ(view.Line(2), "c");
}

TEST_F(QtTextViewTest, UpdatesResumeAtTheOutermostEnd) {
    view.BeginUpdate();
    view.BeginUpdate();
    EXPECT_FALSE(edit.updatesEnabled());
    view.EndUpdate();
    EXPECT_FALSE(edit.updatesEnabled());
    view.EndUpdate();
    EXPECT_TRUE(edit.updatesEnabled());
    view.EndUpdate();  // unbalanced: no harm
    EXPECT_TRUE(edit.updatesEnabled());
    view.BeginUpdate();
    EXPECT_FALSE(edit.updatesEnabled());
    view.EndUpdate();
}

TEST_F(QtTextViewTest, PageRenderedIntoTheEditMarksLinksAtTheirCells) {
    auto page = test::MakePage(0x100, 0,
                               {{3, "     123 and 1234"},
                                {5, "Info                         www.abcdefg"},
                                {6, "hij rest"}});
    TextPageView text(&view.Inner());
    text.RenderPageText(*page, false);

    EXPECT_EQ(view.Inner().Text(), PageText(*page));
    EXPECT_EQ(view.LineCount(), 25);
    EXPECT_TRUE(edit.updatesEnabled());
    for (int k = 5; k < 8; ++k) EXPECT_EQ(view.ColourAt(42 * 3 + k), kRed) << k;
    EXPECT_EQ(view.ColourAt(42 * 3 + 4), kBlack);
    EXPECT_EQ(view.ColourAt(42 * 3 + 8), kBlack);
    EXPECT_EQ(view.ColourAt(42 * 3 + 13), kBlack);
    EXPECT_EQ(DocumentColour(41 * 3 + 5), QColor(255, 0, 0));
    // The address ends with its line; the next line starts plain.
    for (int p = 42 * 5 + 29; p < 42 * 5 + 40; ++p) EXPECT_EQ(view.ColourAt(p), kRed) << p;
    for (int p = 42 * 5 + 40; p < 42 * 6 + 3; ++p) EXPECT_EQ(view.ColourAt(p), kBlack) << p;
    EXPECT_EQ(DocumentColour(41 * 5 + 39), QColor(255, 0, 0));
    EXPECT_EQ(DocumentColour(41 * 6), QColor(Qt::black));

    text.SelectTextHit(3, 4, 3);
    EXPECT_EQ(edit.textCursor().selectedText(), "123");

    text.TextWaitingLine(0x100, "200");
    EXPECT_EQ(edit.document()->firstBlock().text(), "Search page 100...200");
    EXPECT_EQ(view.LineCount(), 25);
    EXPECT_EQ(view.ColourAt(42 * 3 - 19 + 5), kRed);  // line 0 is 21 characters now
}

// The page area of the text view is 490 x 388. Whatever monospace face the
// system resolves, all 25 lines lie inside it, the header line first.
TEST(QtTextViewFit, TwentyFiveLinesFitWhateverMonospaceFaceIsInstalled) {
    std::vector<QString> installed;
    for (const char* family : {"DejaVu Sans Mono", "Nimbus Mono PS", "Liberation Mono"})
        if (QFontInfo(QFont(family)).family().startsWith(family)) installed.push_back(family);  // "Nimbus Mono PS [urw]"
    ASSERT_GE(installed.size(), 2u) << "the test command installs these monospace faces";
    std::string page;
    for (int row = 0; row < kTextRows; ++row) page += std::string(40, static_cast<char>('A' + row)) + "\r\n";
    for (const QString& family : installed) {
        QTextEdit edit;
        edit.setFrameShape(QFrame::NoFrame);
        edit.setLineWrapMode(QTextEdit::NoWrap);
        edit.resize(490, 388);
        QFont font(family);
        font.setPixelSize(12);
        edit.setFont(FontForLines(edit, font, kTextRows, kTextColumns));
        QtTextView view(&edit);
        view.SetText(Utf8ToUtf16(page));
        edit.show();
        QTextCursor last(edit.document());
        last.movePosition(QTextCursor::End);
        const QRect viewport = edit.viewport()->rect();
        EXPECT_TRUE(viewport.contains(edit.cursorRect(QTextCursor(edit.document())))) << family.toStdString();
        EXPECT_TRUE(viewport.contains(edit.cursorRect(last))) << family.toStdString();
        EXPECT_EQ(edit.verticalScrollBar()->maximum(), 0) << family.toStdString();
    }
}

// Marking a link far down moves the selection there; the view stays where it was.
TEST(QtTextViewFit, MarkingLinksDoesNotScrollTheView) {
    QTextEdit edit;
    edit.resize(300, 80);  // room for a few lines only
    edit.show();
    QtTextView view(&edit);
    TextPageView text(&view);
    text.RenderPageText(*test::MakePage(0x100, 0, {{24, "see 123 or www.example.org"}}), false);
    EXPECT_EQ(view.ColourAt(24 * 42 + 4), kRed);
    EXPECT_EQ(edit.verticalScrollBar()->value(), 0);
}

// A Czech page (national option 6) shows its letters; a German one beside it
// its own.
TEST_F(QtTextViewTest, CzechAndSlovakPagesShowTheirLetters) {
    TextPageView text(&view.Inner());
    // Positions of the national subset: @ [ \ ] { | } ~ (c-caron, t-caron, z-caron, y-acute, a-acute, e-caron, u-acute, s-caron).
    const auto czech = test::MakePage(0x100, 0, {{1, "@[\\]{|}~ r`"}}, 6);
    text.RenderPageText(*czech, false);
    EXPECT_EQ(edit.document()->findBlockByNumber(1).text().left(11),
              QString::fromUtf16(u"\u010D\u0165\u017E\u00FD\u00E1\u011B\u00FA\u0161 r\u00E9"));
    EXPECT_EQ(view.Inner().Line(1), PageText(*czech).substr(42, 40));  // the same letters come back

    const auto german = test::MakePage(0x101, 0, {{1, "[\\]{|}~"}}, 1);
    text.RenderPageText(*german, false);
    EXPECT_EQ(edit.document()->findBlockByNumber(1).text().left(7),
              QString::fromUtf16(u"\u00C4\u00D6\u00DC\u00E4\u00F6\u00FC\u00DF"));
}

}  // namespace
}  // namespace orv
