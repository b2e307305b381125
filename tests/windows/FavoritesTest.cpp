// The favorites: the edit dialog on its own, and adding, jumping to, editing
// and reloading favorites through the main window's menu and dialogs.
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "favorites/FavoritesStore.h"
#include "windows/AddFavoriteDialog.h"
#include "windows/EditFavoritesDialog.h"
#include "windows/ViewerFixture.h"

namespace orv {
namespace {

using test::OnModal;
using test::Viewer;
using test::WaitFor;

void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

void ClickLine(QListWidget* list, int line) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(line)).center());
}

std::vector<std::string> Lines(const QListWidget* list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
    return lines;
}

const std::vector<tPageInfo> kThree = {{"Tuner news", 1, 4, 0x101, 0, false, "Demo One"},
                                       {"Sat news", 0, 0, 0x202, 2, true, "Sat"},
                                       {"Sport", 2, 0, 0x303, 0, false, "S-Video"}};

TEST(Favorites, TheEditorWorksOnACopyUntilOk) {
    test::ScriptedDialogs dialogs;
    std::vector<tPageInfo> favorites = kThree;
    {
        TFFavorite editor(nullptr, favorites, dialogs);
        editor.show();
        EXPECT_EQ(Lines(editor.lFavorite), (std::vector<std::string>{"Tuner news", "Sat news", "Sport"}));
        EXPECT_FALSE(editor.bDelete->isEnabled());
        EXPECT_FALSE(editor.bApply->isEnabled());
        EXPECT_TRUE(editor.cbNotifyChannel->isHidden());
        editor.activateWindow();
        editor.lFavorite->setFocus();  // the focus alone chooses no line
        EXPECT_FALSE(editor.bDelete->isEnabled());

        ClickLine(editor.lFavorite, 1);
        EXPECT_EQ(editor.eFavorite->text(), "Sat news");
        EXPECT_EQ(editor.sChannel->text(), "Sat");
        EXPECT_EQ(editor.sPage->text(), "202");
        EXPECT_TRUE(editor.cbNotifyChannel->isChecked());
        EXPECT_FALSE(editor.cbNotifyChannel->isHidden());
        EXPECT_TRUE(editor.bDelete->isEnabled());
        EXPECT_FALSE(editor.bApply->isEnabled());  // filling is no edit

        editor.eFavorite->selectAll();
        QTest::keyClick(editor.eFavorite, Qt::Key_Delete);
        EXPECT_TRUE(editor.bApply->isEnabled());
        Click(editor.bApply);
        ASSERT_EQ(dialogs.Shown.size(), 1u);
        EXPECT_EQ(dialogs.Shown[0].Text, "Wrong favorite name");
        EXPECT_TRUE(editor.bApply->isEnabled());
        EXPECT_EQ(editor.WorkList()[1].Name, "Sat news");

        QTest::keyClicks(editor.eFavorite, "Satellite");
        Click(editor.cbNotifyChannel);
        Click(editor.bApply);
        EXPECT_EQ(editor.WorkList()[1].Name, "Satellite");
        EXPECT_FALSE(editor.WorkList()[1].NotifyChannel);
        EXPECT_EQ(editor.lFavorite->item(1)->text(), "Satellite");
        EXPECT_FALSE(editor.bApply->isEnabled());

        ClickLine(editor.lFavorite, 0);  // the tuner's: no flag to set
        EXPECT_TRUE(editor.cbNotifyChannel->isHidden());
        Click(editor.bDelete);
        EXPECT_EQ(editor.eFavorite->text(), "");
        EXPECT_EQ(editor.sPage->text(), "");
        EXPECT_FALSE(editor.bDelete->isEnabled());
        EXPECT_FALSE(editor.bApply->isEnabled());
        EXPECT_EQ(Lines(editor.lFavorite), (std::vector<std::string>{"Satellite", "Sport"}));
        ClickLine(editor.lFavorite, 1);  // the lines still name their records
        EXPECT_EQ(editor.sPage->text(), "303");

        editor.close();  // the close box: all of it thrown away
    }
    EXPECT_EQ(favorites, kThree);

    TFFavorite editor(nullptr, favorites, dialogs);
    editor.show();
    for (int i = 0; i < 3; ++i) {
        ClickLine(editor.lFavorite, 0);
        Click(editor.bDelete);
    }
    Click(editor.bDelete);  // nothing selected: only the buttons
    Click(editor.bClose);
    EXPECT_TRUE(favorites.empty());
}

// A name comes back as it was typed, whatever its letters: in the menu, in
// the editor and after a restart. In the file a Latin-1 name is Latin-1 text
// as before; another is no text any Latin-1 reader could misread.
TEST(Favorites, NamesComeBackAsTypedWhateverTheirLetters) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    for (const char* name : {"Новости €", "Café"}) {
        OnModal<TFAddFavorite>([&](TFAddFavorite& box) {
            QInputMethodEvent typed;  // as an input method hands over what was typed
            typed.setCommitString(QString::fromUtf8(name));
            QCoreApplication::sendEvent(box.eFavorite, &typed);
            Click(box.bOk);
        });
        form.mNewFavorite->trigger();
    }
    viewer.Stop();
    viewer.Start(0x0409);
    TMainForm& again = *viewer.Form;
    ASSERT_EQ(again.Favorites().size(), 2u);
    EXPECT_EQ(again.Favorites()[0].Name, "Новости €");
    again.pmFavoriten->popup({0, 0});
    EXPECT_EQ(again.pmFavoriteBase->actions().at(0)->text(), QString::fromUtf8("Новости €"));
    again.pmFavoriten->hide();
    OnModal<TFFavorite>([](TFFavorite& editor) {
        EXPECT_EQ(Lines(editor.lFavorite), (std::vector<std::string>{"Новости €", "Café"}));
        Click(editor.bClose);
    });
    again.mEditFavorites->trigger();
    EXPECT_EQ(again.Favorites()[1].Name, "Café");

    std::ifstream in(viewer.Reg().Path(), std::ios::binary);
    const std::string file(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(file.find("\"Name\"=\"Caf\xE9\"\n"), std::string::npos) << file;
    EXPECT_NE(file.find("\"Name\"=hex(1):1d,04,3e,04,32,04,3e,04,41,04,42,04,38,04,20,00,ac,20,00,00\n"),
              std::string::npos) << file;
}

TEST(Favorites, AddJumpEditAndFindThemAgainAfterARestart) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    const std::string station = form.sStationName->text().trimmed().toStdString();

    // Not on the tuner: no channel shown, the reminder offered.
    bool channelShown = true;
    OnModal<TFAddFavorite>([&](TFAddFavorite& box) {
        channelShown = !box.sChannel->isHidden();
        EXPECT_EQ(box.sPageNr->text(), "100");
        EXPECT_TRUE(box.cbNotifyChannel->isChecked());
        QTest::keyClicks(box.eFavorite, "Front & news");
        Click(box.bOk);
    });
    form.mNewFavorite->trigger();
    EXPECT_FALSE(channelShown);
    OnModal<TFAddFavorite>([](TFAddFavorite& box) { Click(box.bCancel); });
    form.mNewFavorite->trigger();
    OnModal<TFAddFavorite>([](TFAddFavorite& box) {
        Click(box.cbNotifyChannel);
        Click(box.bOk);  // no name: stored as it is
    });
    form.GoToPageInfo({"", -1, 0, 0x101, 0, false, ""});
    form.mNewFavorite->trigger();
    ASSERT_EQ(form.Favorites().size(), 2u);
    EXPECT_EQ(form.Favorites()[0], (tPageInfo{"Front & news", -1, 0, 0x100, 0, true, station}));
    EXPECT_EQ(form.Favorites()[1].Page, 0x101);
    EXPECT_FALSE(form.Favorites()[1].NotifyChannel);
    EXPECT_EQ(LoadFavorites(viewer.Reg()), form.Favorites());

    // The menu lists them by name; each item jumps to its own record.
    form.pmFavoriten->popup({0, 0});
    const auto items = form.pmFavoriteBase->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "Front && news");
    form.pmFavoriten->hide();
    items[0]->trigger();
    ASSERT_EQ(viewer.Dialogs.Shown.size(), 1u);
    EXPECT_EQ(viewer.Dialogs.Shown[0].Text, "Please change your video source to channel:" + station);
    EXPECT_EQ(form.View().CurrentPage, 0x100);
    items[1]->trigger();
    EXPECT_EQ(viewer.Dialogs.Shown.size(), 1u);  // no reminder asked for
    EXPECT_EQ(form.View().CurrentPage, 0x101);
    form.GoToPageInfo({"On the tuner", 1, 3, 0x102, 0, false, "Demo Three"});  // no tuner here: the page only
    EXPECT_EQ(form.View().CurrentPage, 0x102);
    EXPECT_EQ(form.VideoSource(), -1);
    EXPECT_EQ(viewer.Dialogs.Shown.size(), 1u);

    OnModal<TFFavorite>([](TFFavorite& editor) {
        ClickLine(editor.lFavorite, 0);
        Click(editor.bDelete);
        Click(editor.bClose);
    });
    form.mEditFavorites->trigger();
    ASSERT_EQ(form.Favorites().size(), 1u);
    EXPECT_EQ(viewer.Reg().SubKeyNames(kFavoritesKey), std::vector<std::string>{"0"});

    const auto kept = form.Favorites();
    viewer.Stop();
    viewer.Start(0x0409);
    EXPECT_EQ(viewer.Form->Favorites(), kept);
}

}  // namespace
}  // namespace orv
