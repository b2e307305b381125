// The main window's favorites: the popup menu of the favorites button, the
// jump to a favorite, and the two dialogs that add and edit them. The list is
// kept in the registry and rewritten as a whole after every change.
#include <QAction>
#include <QCheckBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include "favorites/FavoritesStore.h"
#include "windows/AddFavoriteDialog.h"
#include "windows/EditFavoritesDialog.h"
#include "windows/ImageButton.h"
#include "windows/MainForm.h"

namespace orv {

void TMainForm::BuildFavoritesComponents() {
    pmFavoriten = new QMenu(this);
    pmFavoriten->setObjectName("pmFavoriten");
    mNewFavorite = pmFavoriten->addAction("Add current page as favorite");
    mNewFavorite->setObjectName("mNewFavorite");
    mEditFavorites = pmFavoriten->addAction("Edit favorites");
    mEditFavorites->setObjectName("mEditFavorites");
    N1 = pmFavoriten->addSeparator();
    N1->setObjectName("N1");
    pmFavoriteBase = pmFavoriten->addMenu("Select favorite");
    pmFavoriteBase->setObjectName("pmFavoriteBase");
    connect(pmFavoriten, &QMenu::aboutToShow, this, [this] { BuildFavoritesMenu(); });
    connect(mNewFavorite, &QAction::triggered, this, [this] { Reported([this] { mNewFavoriteClick(); }); });
    connect(mEditFavorites, &QAction::triggered, this, [this] { Reported([this] { mEditFavoritesClick(); }); });
}

void TMainForm::LoadFavorites() { favorites_ = orv::LoadFavorites(services_.registry); }

// A save that cannot be written leaves the registry as it was; the list in
// memory stays as it is and goes on being used.
void TMainForm::SaveFavorites() { orv::SaveFavorites(services_.registry, favorites_); }

void TMainForm::bFavoriteClick() {
    CloseDropDowns();
    pmFavoriten->popup(QCursor::pos());
}

void TMainForm::BuildFavoritesMenu() {
    pmFavoriteBase->clear();  // deletes the items it made
    for (std::size_t i = 0; i < favorites_.size(); ++i) {
        // Text as it is: an "&" in a name is no shortcut.
        QAction* item = pmFavoriteBase->addAction(QString::fromStdString(favorites_[i].Name).replace('&', "&&"));
        item->setData(static_cast<int>(i));
        connect(item, &QAction::triggered, this, [this, item] { Reported([this, item] { FavoriteItemClick(item); }); });
    }
}

void TMainForm::FavoriteItemClick(QObject* sender) {
    const auto* item = qobject_cast<QAction*>(sender);
    if (!item) return;
    bool isNumber = false;
    const int tag = item->data().toInt(&isNumber);
    if (!isNumber || tag < 0 || static_cast<std::size_t>(tag) >= favorites_.size()) return;
    const tPageInfo entry = favorites_[static_cast<std::size_t>(tag)];  // the jump may run a message loop
    GoToPageInfo(entry);
}

void TMainForm::AddFavorite() {
    if (view_.CurrentPage < 0x100 || view_.CurrentPage > 0x899) return;
    TFAddFavorite dialog(this);
    dialog.sPageNr->setText(QString::fromStdString(PageNumberText(view_.CurrentPage)));
    const bool tuner = videoSource_ == 1;
    if (tuner) {
        dialog.sChannel->setText(sChannelName->text());
        dialog.cbNotifyChannel->hide();
        dialog.cbNotifyChannel->setChecked(false);
    } else {
        dialog.sLChannel->hide();
        dialog.sChannel->hide();
        dialog.cbNotifyChannel->show();
        dialog.cbNotifyChannel->setChecked(true);
    }
    if (dialog.exec() != QDialog::Accepted) return;
    tPageInfo entry;
    entry.Name = dialog.eFavorite->text().toStdString();  // UTF-8: whatever was typed
    entry.Source = videoSource_;
    entry.Channel = tuner_.CurrentChannel;
    entry.Page = view_.CurrentPage;
    entry.SubPageNr = static_cast<std::int32_t>(view_.CurrentSubPage);
    entry.NotifyChannel = dialog.cbNotifyChannel->isChecked();
    entry.ChannelName = (tuner ? sChannelName->text() : sStationName->text().trimmed()).toStdString();
    favorites_.push_back(std::move(entry));
    SaveFavorites();
}

void TMainForm::mEditFavoritesClick() {
    {
        TFFavorite dialog(this, favorites_, services_.page.dialogs);
        dialog.exec();
    }
    SaveFavorites();  // also after the close box: the list is written back unchanged
}

}  // namespace orv
