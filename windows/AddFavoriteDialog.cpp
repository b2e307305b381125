#include "windows/AddFavoriteDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "windows/DialogStyle.h"

namespace orv {

TFAddFavorite::TFAddFavorite(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
    setObjectName("FAddFavorite");
    setWindowTitle("Add favorite");
    setFixedSize(400, 131);
    PaintDialog(*this);

    Label2 = DialogLabel(this, "Label2", "Current page", {8, 10, 92, 21});
    sPageNr = SunkenText(this, "sPageNr", {104, 10, 56, 21});
    sLChannel = DialogLabel(this, "sLChannel", "Current channel", {176, 10, 92, 21});
    sChannel = SunkenText(this, "sChannel", {272, 10, 120, 21});
    Label1 = DialogLabel(this, "Label1", "Favorite name", {8, 40, 92, 21});
    eFavorite = BlackEdit(this, "eFavorite", {104, 40, 288, 21});
    cbNotifyChannel = new QCheckBox("Notify for changing channel on composite ( Sat-Receiver )", this);
    cbNotifyChannel->setObjectName("cbNotifyChannel");
    cbNotifyChannel->setLayoutDirection(Qt::RightToLeft);  // the caption on the left of the box
    cbNotifyChannel->setGeometry(8, 68, 384, 21);
    bOk = PushButton(this, "bOk", "Ok", {236, 98, 75, 25});
    bOk->setDefault(true);
    bCancel = PushButton(this, "bCancel", "Cancel", {317, 98, 75, 25});
    connect(bOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFAddFavorite::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(*this);
    eFavorite->setFocus();
}

}  // namespace orv
