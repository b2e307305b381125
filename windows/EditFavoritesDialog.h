// TFFavorite: "Edit favorites". Renames, re-flags and deletes favorites on a
// working copy of the main window's list; "Ok" puts the copy in place of the
// list, the close box throws it away. Line i of the list box is WorkList[i].
#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "favorites/PageInfo.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace orv {

class Dialogs;

class TFFavorite : public QDialog {
    Q_OBJECT
public:
    // favorites: the main window's list, replaced on "Ok".
    TFFavorite(QWidget* owner, std::vector<tPageInfo>& favorites, Dialogs& dialogs);

    void lFavoriteClick();
    void eFavoriteChange();
    void cbNotifyChannelClick();
    void bApplyClick();
    void bDeleteClick();
    void bCloseClick();

    const std::vector<tPageInfo>& WorkList() const { return workList_; }

    QListWidget* lFavorite = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* eFavorite = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* sChannel = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* sPage = nullptr;
    QCheckBox* cbNotifyChannel = nullptr;
    QLabel* sNotifyChannel = nullptr;
    QPushButton* bDelete = nullptr;
    QPushButton* bApply = nullptr;
    QPushButton* bClose = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    // The line selected, when it names a record of the working copy.
    std::optional<std::size_t> SelectedRecord() const;
    void ShowNotifyFlag(bool visible);

    std::vector<tPageInfo>& favorites_;
    Dialogs& dialogs_;
    std::vector<tPageInfo> workList_;
};

}  // namespace orv
