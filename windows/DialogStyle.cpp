#include "windows/DialogStyle.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include "windows/PageForm.h"

namespace orv {

namespace {

void BlackWithDialogText(QWidget* widget) {
    QPalette p = widget->palette();
    p.setColor(QPalette::Base, Qt::black);
    p.setColor(QPalette::Text, FromColorRef(kDialogColour));
    widget->setPalette(p);
}

}  // namespace

void PaintDialog(QWidget& dialog) { SetBackground(&dialog, FromColorRef(kDialogColour)); }

QLabel* DialogLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);  // channel names come from the broadcast and the registry
    label->setGeometry(geometry);
    return label;
}

QLabel* SunkenText(QWidget* parent, const char* name, QRect geometry) {
    QLabel* text = DialogLabel(parent, name, QString(), geometry);
    text->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    text->setMargin(2);
    return text;
}

QLineEdit* BlackEdit(QWidget* parent, const char* name, QRect geometry) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    BlackWithDialogText(edit);
    return edit;
}

QListWidget* BlackList(QWidget* parent, const char* name) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    BlackWithDialogText(list);
    return list;
}

QPushButton* PushButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

}  // namespace orv
