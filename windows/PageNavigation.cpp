// The page windows' ways to other pages that the broadcaster sends: the
// fastext links of a page (the colour keys, the index key and the coloured
// fields of row 24), the sub-pages of a page (Page Up and Page Down), and the
// level at which pages are drawn.
#include <QAction>
#include <QKeyEvent>

#include "windows/PageForm.h"
#include "windows/PageLinks.h"

namespace orv {

bool TPageForm::HandleNavigationKey(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_F5:
    case Qt::Key_Red: FollowLink(FlofLinks::Red); return true;
    case Qt::Key_F6:
    case Qt::Key_Green: FollowLink(FlofLinks::Green); return true;
    case Qt::Key_F7:
    case Qt::Key_Yellow: FollowLink(FlofLinks::Yellow); return true;
    case Qt::Key_F8:
    case Qt::Key_Blue: FollowLink(FlofLinks::Cyan); return true;  // the fourth link, shown in cyan
    case Qt::Key_F9: FollowLink(FlofLinks::Index); return true;
    case Qt::Key_PageUp: StepSubPage(-1); return true;
    case Qt::Key_PageDown: StepSubPage(1); return true;
    default: return false;
    }
}

bool TPageForm::FollowLink(int link) {
    const std::optional<FlofLinks> links = view_.Links();
    if (!links || link < 0 || link >= static_cast<int>(links->Links.size())) return false;
    const PageLink& target = links->Links[static_cast<std::size_t>(link)];
    if (!target.Valid || target.Page < kFirstPage || target.Page > kLastPage) return false;
    CloseDropDowns();
    // As a typed number: the history takes the page left, then the jump.
    view_.PageEntry = PageNumberText(target.Page);
    PageEntered();
    view_.GoToEnteredPage(target.SubCode == kAnySubCode ? 0 : target.SubCode);
    return true;
}

bool TPageForm::FollowRow24Link(QPoint at) {
    if (!view_.Links() || !view_.GraphicsMode()) return false;
    const int link = FastextLinkAt(view_.PageSnapshot, at.x(), at.y());
    return link >= 0 && FollowLink(link);
}

void TPageForm::StepSubPage(int direction) {
    CloseDropDowns();
    view_.StepSubPage(direction);
}

void TPageForm::mLevelClick() {
    shared_->level = mLevel->isChecked() ? kLevel15 : kLevel1;
    if (shared_->levelChanged)
        shared_->levelChanged();
    else
        ApplyLevel();
}

void TPageForm::ApplyLevel() {
    view_.Level15 = shared_->level != kLevel1;
    mLevel->setChecked(view_.Level15);
    RedrawPage();
}

}  // namespace orv
