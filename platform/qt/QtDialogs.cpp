#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <map>

namespace orv {

QString DialogCaption(DialogKind kind, const std::string& applicationTitle) {
    switch (kind) {
    case DialogKind::Confirmation: return QString::fromUtf8(kConfirmationCaption);
    case DialogKind::Information: return QString::fromUtf8(kInformationCaption);
    case DialogKind::Plain: break;
    }
    return QString::fromStdString(applicationTitle);
}

namespace {

QString ButtonText(DialogButton button) {
    switch (button) {
    case DialogButton::Retry: return QString::fromUtf8(kRetryButtonText);
    case DialogButton::Cancel: return QString::fromUtf8(kCancelButtonText);
    case DialogButton::OK: break;
    }
    return QString::fromUtf8(kOkButtonText);
}

QMessageBox::ButtonRole Role(DialogButton button) {
    return button == DialogButton::Cancel ? QMessageBox::RejectRole : QMessageBox::AcceptRole;
}

QMessageBox::Icon IconOf(DialogKind kind) {
    switch (kind) {
    case DialogKind::Confirmation: return QMessageBox::Question;
    case DialogKind::Information: return QMessageBox::Information;
    case DialogKind::Plain: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

DialogButton QtDialogs::MessageBox(DialogKind kind, const std::string& text,
                                   const std::vector<DialogButton>& buttons) {
    QMessageBox box(IconOf(kind), DialogCaption(kind, title_), QString::fromStdString(text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    // The texts carry station and channel names: shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    std::map<QAbstractButton*, DialogButton> answers;
    const std::vector<DialogButton> shown = buttons.empty() ? std::vector{DialogButton::OK} : buttons;
    for (DialogButton b : shown) {
        QPushButton* pushButton = box.addButton(ButtonText(b), Role(b));
        answers[pushButton] = b;
        if (b == DialogButton::Cancel) box.setEscapeButton(pushButton);
    }
    for (auto& [pushButton, b] : answers)
        if (b == shown.front()) box.setDefaultButton(qobject_cast<QPushButton*>(pushButton));
    box.exec();  // a nested event loop: worker steps for the UI thread are served meanwhile
    const auto it = answers.find(box.clickedButton());
    if (it != answers.end()) return it->second;
    for (DialogButton b : shown)
        if (b == DialogButton::Cancel) return b;
    return DialogButton::OK;
}

}  // namespace orv
