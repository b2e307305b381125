// TFAddFavorite: "Add favorite", the small box that names the page on view
// before it is added to the favorites. It has no behaviour of its own: the
// main window fills it, shows it modally and reads it back.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orv {

class TFAddFavorite : public QDialog {
    Q_OBJECT
public:
    explicit TFAddFavorite(QWidget* owner);

    QLabel* Label2 = nullptr;
    QLabel* sPageNr = nullptr;
    QLabel* sLChannel = nullptr;
    QLabel* sChannel = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* eFavorite = nullptr;
    QCheckBox* cbNotifyChannel = nullptr;
    QPushButton* bOk = nullptr;
    QPushButton* bCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace orv
