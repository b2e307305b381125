// The look the favorites dialogs share: the window colour of the skin, black
// edit fields and lists with text in that colour, sunken fields for values
// that are shown but not edited, and placement in the middle of the screen.
#pragma once

#include <QRect>
#include <cstdint>
#include <QString>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace orv {

inline constexpr std::uint32_t kDialogColour = 10138303;  // the skin's khaki grey

void PaintDialog(QWidget& dialog);
QLabel* DialogLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry);
QLabel* SunkenText(QWidget* parent, const char* name, QRect geometry);
QLineEdit* BlackEdit(QWidget* parent, const char* name, QRect geometry);
QListWidget* BlackList(QWidget* parent, const char* name);
QPushButton* PushButton(QWidget* parent, const char* name, const QString& caption, QRect geometry);
void CentreOnScreen(QWidget& window);

}  // namespace orv
