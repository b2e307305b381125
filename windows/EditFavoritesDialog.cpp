#include "windows/EditFavoritesDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <memory>

#include "platform/Dialogs.h"
#include "windows/DialogStyle.h"
#include "windows/PageForm.h"
#include "windows/PageView.h"

namespace orv {

namespace {

// The window is sizeable; the list takes what the fields on the right leave.
constexpr int kFieldsWidth = 212;

}  // namespace

TFFavorite::TFFavorite(QWidget* owner, std::vector<tPageInfo>& favorites, Dialogs& dialogs)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      favorites_(favorites),
      dialogs_(dialogs) {
    setObjectName("FFavorite");
    setWindowTitle("Edit favorites");
    setSizeGripEnabled(true);
    setMinimumSize(kFieldsWidth + 80, 200);
    PaintDialog(*this);

    lFavorite = BlackList(this, "lFavorite");
    Label1 = DialogLabel(this, "Label1", "Favorite name", {});
    eFavorite = BlackEdit(this, "eFavorite", {});
    Label2 = DialogLabel(this, "Label2", "Channel", {});
    sChannel = SunkenText(this, "sChannel", {});
    Label3 = DialogLabel(this, "Label3", "Page", {});
    sPage = SunkenText(this, "sPage", {});
    cbNotifyChannel = new QCheckBox(this);
    cbNotifyChannel->setObjectName("cbNotifyChannel");
    cbNotifyChannel->hide();
    sNotifyChannel = DialogLabel(this, "sNotifyChannel", "Notify for changing channel on composite ( Sat-Receiver )", {});
    sNotifyChannel->setWordWrap(true);
    sNotifyChannel->hide();
    bDelete = PushButton(this, "bDelete", "Delete", {});
    bDelete->setEnabled(false);
    bApply = PushButton(this, "bApply", "Apply", {});
    bApply->setEnabled(false);
    bClose = PushButton(this, "bClose", "Ok", {});
    bClose->setDefault(true);
    // Outer size 413 x 255 with the frame of the systems the dialog was drawn on.
    resize(405, 228);

    connect(lFavorite, &QListWidget::itemClicked, this, [this] { lFavoriteClick(); });
    // A line chosen by the keys counts as a click; the focus alone chooses none.
    connect(lFavorite, &QListWidget::itemSelectionChanged, this, [this] { lFavoriteClick(); });
    connect(eFavorite, &QLineEdit::textChanged, this, [this] { eFavoriteChange(); });
    connect(cbNotifyChannel, &QCheckBox::clicked, this, [this] { cbNotifyChannelClick(); });
    connect(bApply, &QPushButton::clicked, this, [this] { bApplyClick(); });
    connect(bDelete, &QPushButton::clicked, this, [this] { bDeleteClick(); });
    connect(bClose, &QPushButton::clicked, this, [this] { bCloseClick(); });
    FormCreate();
}

void TFFavorite::FormCreate() {
    workList_ = favorites_;
    for (const tPageInfo& entry : workList_) lFavorite->addItem(QString::fromStdString(entry.Name));
}

void TFFavorite::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int w = width();
    const int h = height();
    const int x = w - kFieldsWidth + 8;
    const int fields = kFieldsWidth - 16;
    lFavorite->setGeometry(0, 0, w - kFieldsWidth, h);
    Label1->setGeometry(x, 6, fields, 16);
    eFavorite->setGeometry(x, 24, fields, 21);
    Label2->setGeometry(x, 54, 136, 16);
    sChannel->setGeometry(x, 72, 136, 21);
    Label3->setGeometry(x + 142, 54, fields - 142, 16);
    sPage->setGeometry(x + 142, 72, fields - 142, 21);
    cbNotifyChannel->setGeometry(x, 106, 16, 16);
    sNotifyChannel->setGeometry(x + 22, 102, fields - 22, 44);
    const int buttonWidth = (fields - 12) / 3;
    bDelete->setGeometry(x, h - 33, buttonWidth, 25);
    bApply->setGeometry(x + buttonWidth + 6, h - 33, buttonWidth, 25);
    bClose->setGeometry(x + 2 * (buttonWidth + 6), h - 33, buttonWidth, 25);
}

void TFFavorite::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(*this);
}

std::optional<std::size_t> TFFavorite::SelectedRecord() const {
    const auto selected = lFavorite->selectedItems();
    const int row = selected.isEmpty() ? -1 : lFavorite->row(selected.front());
    if (row < 0 || static_cast<std::size_t>(row) >= workList_.size()) return std::nullopt;
    return static_cast<std::size_t>(row);
}

void TFFavorite::ShowNotifyFlag(bool visible) {
    cbNotifyChannel->setVisible(visible);
    sNotifyChannel->setVisible(visible);
}

void TFFavorite::lFavoriteClick() {
    const auto i = SelectedRecord();
    if (!i) return;
    const tPageInfo& entry = workList_[*i];
    eFavorite->setText(QString::fromStdString(entry.Name));
    sChannel->setText(QString::fromStdString(entry.ChannelName));
    sPage->setText(QString::fromStdString(PageNumberText(static_cast<unsigned>(entry.Page))));
    cbNotifyChannel->setChecked(entry.NotifyChannel);
    // The flag only matters for sources other than the tuner.
    ShowNotifyFlag(entry.Source != 1);
    bDelete->setEnabled(true);
    bApply->setEnabled(false);  // filling the fields is no edit
}

void TFFavorite::eFavoriteChange() { bApply->setEnabled(true); }

void TFFavorite::cbNotifyChannelClick() { bApply->setEnabled(true); }

void TFFavorite::bApplyClick() {
    if (eFavorite->text().isEmpty()) {
        dialogs_.MessageBox(DialogKind::Plain, "Wrong favorite name", {DialogButton::OK});
        eFavorite->setFocus();
        return;
    }
    if (const auto i = SelectedRecord()) {
        tPageInfo& entry = workList_[*i];
        entry.Name = eFavorite->text().toStdString();
        entry.NotifyChannel = cbNotifyChannel->isChecked();
        lFavorite->item(static_cast<int>(*i))->setText(QString::fromStdString(entry.Name));
    }
    bApply->setEnabled(false);
}

void TFFavorite::bDeleteClick() {
    if (const auto i = SelectedRecord()) {
        eFavorite->clear();
        sChannel->clear();
        sPage->clear();
        cbNotifyChannel->setChecked(false);
        ShowNotifyFlag(false);
        workList_.erase(workList_.begin() + static_cast<std::ptrdiff_t>(*i));
        // Taking the line away selects another one, which must not fill the fields.
        const QSignalBlocker quiet(lFavorite);
        std::unique_ptr<QListWidgetItem>(lFavorite->takeItem(static_cast<int>(*i)));
        lFavorite->clearSelection();
    }
    bDelete->setEnabled(false);
    bApply->setEnabled(false);
}

void TFFavorite::bCloseClick() {
    favorites_ = workList_;
    workList_.clear();
    accept();
}

}  // namespace orv
