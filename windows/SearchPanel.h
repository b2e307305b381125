// The main window's text search: the panel pSearch in the top bar ("Search
// for:", the field eSearch and bStartSearch) that bSearch shows and hides.
// Enter searches, Escape hides the panel; each hit is shown framed on the
// graphics page or selected in the text view, and F3 goes on after the
// panel closed. While the panel is open capture is paused, so successive
// hits refer to an unchanging set of pages.
#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;
class QKeyEvent;

namespace orv {

class ImageButton;
class TMainForm;

inline constexpr char kTextNotFound[] = "Text not found";

class SearchPanel : public QFrame {
    Q_OBJECT
public:
    SearchPanel(TMainForm& form, QWidget* parent);

    void bSearchClick();
    void bStartSearchClick();
    void eSearchKeyDown(const QKeyEvent& event);
    void eSearchKeyUp(const QKeyEvent& event);

    QLabel* sSearchFor = nullptr;
    QLineEdit* eSearch = nullptr;
    ImageButton* bStartSearch = nullptr;

private:
    void ResetCanvasTools();

    TMainForm& form_;
    int pressedKey_ = 0;  // the key last pressed in eSearch and not yet released
};

}  // namespace orv
