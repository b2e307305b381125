#include "windows/SearchPanel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <utility>

#include "platform/qt/QtTextView.h"
#include "windows/ImageButton.h"
#include "windows/MainForm.h"

namespace orv {

namespace {


}  // namespace

SearchPanel::SearchPanel(TMainForm& form, QWidget* parent) : QFrame(parent), form_(form) {
    setObjectName("pSearch");
    setGeometry(190, 3, 176, 27);  // between the headline and the tool buttons
    SetBackground(this, FromColorRef(kKhaki));

    sSearchFor = new QLabel("Search for:", this);
    sSearchFor->setObjectName("sSearchFor");
    sSearchFor->setTextFormat(Qt::PlainText);
    sSearchFor->setGeometry(4, 0, 60, 27);
    QFont font("Arial");
    font.setPixelSize(12);
    sSearchFor->setFont(font);

    eSearch = new QLineEdit(this);
    eSearch->setObjectName("eSearch");
    eSearch->setGeometry(64, 3, 84, 21);
    QPalette field = eSearch->palette();
    field.setColor(QPalette::Base, Qt::black);
    field.setColor(QPalette::Text, FromColorRef(kKhaki));
    eSearch->setPalette(field);

    bStartSearch = new ImageButton("bStartSearch", skin::Face::StartSearch, {24, 23}, "Start searching", this);
    bStartSearch->move(150, 2);
    connect(bStartSearch, &QAbstractButton::clicked, this, [this] { bStartSearchClick(); });
    hide();
}

void SearchPanel::bSearchClick() {
    form_.CloseDropDowns();
    setVisible(isHidden());
    const bool visible = !isHidden();
    // The pause is on while the panel is open and off after, whatever it was.
    form_.SetPause(visible);
    if (visible) {
        form_.View().SearchActive = false;
        raise();
        eSearch->setFocus(Qt::OtherFocusReason);
    } else {
        // A hit still current stays marked, and F3 goes on from it.
        form_.ResetCanvasTools();
        form_.View().RefreshPage(nullptr, 0);
    }
}

void SearchPanel::bStartSearchClick() {
    PageView& view = form_.View();
    const std::string text = eSearch->text().toStdString();
    const bool continuing = view.SearchActive && view.IsCurrentSearch(text);
    bool hit = false;
    {
        HourglassGuard hourglass(form_.Shared().services.cursor);
        hit = view.FindNextHit(text);
    }
    if (!hit) {
        // Ends the round: the next search starts again from the first page.
        form_.Shared().services.dialogs.MessageBox(DialogKind::Plain, kTextNotFound, {DialogButton::OK});
        if (continuing) form_.ResetCanvasTools();
        return;
    }
    view.GoToSearchHit();
}

void SearchPanel::eSearchKeyDown(const QKeyEvent& event) { pressedKey_ = event.key(); }

void SearchPanel::eSearchKeyUp(const QKeyEvent& event) {
    // Only a key that was pressed in the field: the Enter that closes "Text
    // not found" is pressed in the box and released here, and must not start
    // the next round.
    if (std::exchange(pressedKey_, 0) != event.key()) return;
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter)
        bStartSearchClick();
    else if (event.key() == Qt::Key_Escape && isVisible())
        bSearchClick();
}

}  // namespace orv
