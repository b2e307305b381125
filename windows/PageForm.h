// The page-window core that the main window and the extra page windows share:
// the page view with its graphics and text areas, the number pad and page
// entry, the page list, the display-mode and save menus, save, print and
// copy, clicks on page numbers and web addresses, the headline drag and "New
// window". What differs between the two windows (whose pause a command sets,
// what "save" writes, which keys reach the window, what minimise and close
// do) is decided by the virtual functions below.
#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/Acquisition.h"
#include "platform/Dialogs.h"
#include "platform/HelpViewer.h"
#include "platform/Hourglass.h"
#include "platform/LanguageModule.h"
#include "platform/Launcher.h"
#include "platform/SaveDialog.h"
#include "platform/qt/PrintDialog.h"
#include "rendering/FontTable.h"
#include "windows/PageView.h"

class QComboBox;
class QImage;
class QKeyEvent;
class QString;
class QLabel;
class QMenu;
class QAction;
class QTextEdit;
class QPrinter;

namespace orv {

class ImageButton;
class PageBox;
class QtTextView;
class TFMultiPage;

inline constexpr std::uint32_t kKhaki = 10138303;  // 0x9AB2BF, a Windows colour value
// The "Level" setting: level 1, level 1.5 (the default); 25 is kept for level 2.5.
inline constexpr int kLevel1 = 10;
inline constexpr int kLevel15 = 15;
inline constexpr int kPageAreaWidth = 490;
inline constexpr int kPageAreaHeight = 388;

// The services the page commands work with, handed in by the program (or a test).
struct PageWindowServices {
    PageWindowTable& windows;
    Dialogs& dialogs;
    HelpViewer& help;
    SaveDialog& saveDialog;
    PrintDialog& printDialog;
    BusyCursor& cursor;
    Launcher& launcher;
};

// What the page windows of one program share. The main window makes it at
// start-up; every extra window keeps a reference.
struct PageWindowShared {
    explicit PageWindowShared(const PageWindowServices& s);
    ~PageWindowShared();
    PageWindowShared(const PageWindowShared&) = delete;
    PageWindowShared& operator=(const PageWindowShared&) = delete;

    PageWindowServices services;
    std::string versionString;
    std::string helpFileName;        // empty when no help file was found
    Acquisition* pipeline = nullptr;  // once the main window has created it
    LanguageModule language;         // the texts in use; empty when none
    int level = 15;                  // "Level": 10 for level 1, 15 for level 1.5
    std::function<void()> levelChanged;  // redraws every page window
    FontTable fonts;
    GraphicsRenderer renderer;       // one cell state for the whole program
    // The open extra windows; the main window closes them before the pipeline stops.
    std::vector<std::unique_ptr<TFMultiPage>> extraWindows;
};

// The sizes and names in which the two windows' designs differ.
struct PageFormLayout {
    int Width;
    int Height;
    int BottomBarHeight;
    const char* TopBarName;     // "Panel1" in the main window, "Panel2" in an extra one
    const char* BottomBarName;
    const char* PageNumberHint;
};

// The hourglass and a pause that a command holds for its duration; both are
// given back however the command ends.
class CommandPause {
public:
    CommandPause(class TPageForm& form, bool hourglass);
    ~CommandPause();
    CommandPause(const CommandPause&) = delete;
    CommandPause& operator=(const CommandPause&) = delete;

private:
    class TPageForm& form_;
    bool previous_;
    bool hourglass_;
};

class TPageForm : public QWidget, public PageWindow, protected PageViewSurface {
    Q_OBJECT
public:
    TPageForm(std::shared_ptr<PageWindowShared> shared, const PageFormLayout& layout);
    ~TPageForm() override;

    // Page notification from the display dispatcher.
    void OnVtxPage(std::uint16_t pageNo, const PageRef& page) override;

    // Page choice.
    void EnterDigit(char digit);
    void sSearchStrClick();
    void cPageListChange(int index);
    virtual void CloseDropDowns();

    // Display modes: Teletext view and Text view are in both windows.
    void mVTXClick();
    void mTextClick();
    virtual void ApplyDisplayMode() = 0;

    // The pause: the program's capture in the main window, the window's own
    // freeze in an extra one. Returns the state before.
    virtual bool SetPause(bool on) = 0;
    virtual void bPauseClick() = 0;
    bool Paused() const { return paused_; }

    // Save, print, copy.
    void bSaveClick();
    void SavePages(bool allPages, bool asImage);
    void bPrintClick();
    void bCopyClick();

    // Clicks on the page: a page number goes there, a web address opens.
    void VTXBoxClick(QPoint at);
    // The caret is at the clicked position (view positions, CR LF as two).
    void p_TextMouseDown(int caret);
    void OpenWebAddress(const std::string& address);
    // The page's fastext link (FlofLinks::Red ... Index), taken like a typed
    // number; false when the page has no such link.
    bool FollowLink(int link);
    // A click on a coloured field of row 24 of a page with fastext links.
    bool FollowRow24Link(QPoint at);
    // Page Up / Page Down: the next or previous stored sub-page, held.
    void StepSubPage(int direction);

    // The level the pages are drawn at: 10 (level 1) or 15 (level 1.5; 25 is
    // taken as 1.5 until level 2.5 is drawn). The menu item of every window
    // shows it; a change redraws them all.
    void mLevelClick();
    void ApplyLevel();

    // The canvas's face, height and colours back to those of a page.
    void ResetCanvasTools();

    void bNewWindowClick();
    void bLogoClick();
    void bHelpClick();
    virtual void bMinimizeClick() = 0;

    PageView& View() { return view_; }
    std::uint8_t DisplayMode() const { return view_.DisplayMode; }
    WindowHandle Handle() const { return handle_; }
    const Canvas& PageCanvasForTest() const { return *canvas_; }
    QImage PageImage() const;
    PageWindowShared& Shared() { return *shared_; }
    const std::shared_ptr<PageWindowShared>& SharedHandle() const { return shared_; }
    int PageCount() const;
    bool UseCaptureDll() const;
    // The page picture of the snapshot, as it is printed and copied.
    QImage SnapshotPicture() const;
    // The number of the page last drawn in full: what save and print write.
    std::uint16_t SnapshotPageNo() const { return view_.PageSnapshot.PageNo; }

protected:
    // Hooks of the commands.
    virtual void PageEntered() {}  // three digits typed, before the jump
    // Saves the current page as text; the main window appends a titled block.
    virtual bool SaveCurrentText(const std::string& fileName, const tPageImage& page,
                                 const PageEnhancements* enhancements) = 0;
    virtual bool TextClicksIgnored() const = 0;
    virtual bool CanCopyPicture() const { return true; }
    // Draws the page again after a repaint the window system asked for.
    virtual void RedrawPage() = 0;
    // The placement of a window opened from this one (none: its designed place).
    virtual bool PlacesNewWindowBesideItself() const { return false; }

    // Builds the shared components; the window adds its own afterwards.
    void BuildComponents();
    ImageButton* AddButton(QWidget* parent, const char* name, int face, QRect geometry, const char* hint);
    QLabel* AddFrameImage(QWidget* parent, const char* name, int part, QRect geometry);
    // "Save current page" / "Save all pages" with "...as text" and "...as image".
    QMenu* AddSaveMenu(const char* caption, const QString& name, bool allPages, QAction*& asText, QAction*& asImage);
    // Checks the mode's menu item and applies the mode.
    void SelectMode(QAction* item, std::uint8_t mode);
    // Shows the page area of a graphics or a text mode.
    void ShowPageArea(bool text, int textWidth, std::uint32_t teletextBackground);
    void UpdatePauseButton();
    // Registers with the dispatcher's window list; FormDestroy undoes it.
    void RegisterForPages();
    void UnregisterFromPages();
    // Digits from the keyboard and the keypad; true when the key was one.
    bool HandleDigitKey(const QKeyEvent& event);
    // The colour keys (F5-F8 and the remote's red, green, yellow and blue),
    // the index key (F9) and Page Up / Page Down; true when the key was one.
    bool HandleNavigationKey(const QKeyEvent& event);
    void sHeadlineMouse(QEvent* event);
    bool eventFilter(QObject* watched, QEvent* event) override;

    // PageViewSurface
    Canvas& PageCanvas() override { return *canvas_; }
    void PageCanvasChanged() override;
    void PageHeaderChanged() override;
    TextPageView& TextPage() override { return *textPage_; }
    void SetPageNumberCaption(const std::string& caption) override;

    std::shared_ptr<PageWindowShared> shared_;
    PageFormLayout layout_;
    std::unique_ptr<Canvas> canvas_;
    std::unique_ptr<QtTextView> textView_;
    std::unique_ptr<TextPageView> textPage_;
    PageView view_;
    bool paused_ = false;
    bool dragging_ = false;
    QPoint dragOrigin_;
    WindowHandle handle_ = kNoWindow;

private:
    void BuildTopBar();
    void BuildBottomBar();
    void BuildDisplayPanel();
    void BuildNumberPad();
    void BuildMenus();
    void PrintPicture(QPrinter& printer, const QImage& picture);

public:
    // Components, by their names in the windows' designs.
    QWidget* TopBar = nullptr;     // Panel1 (main) / Panel2 (extra)
    QWidget* BottomBar = nullptr;  // Panel2 (main) / Panel1 (extra)
    QWidget* Panel3 = nullptr;
    ImageButton* bLogo = nullptr;
    QLabel* sHeadline = nullptr;
    QLabel* sVersion = nullptr;
    ImageButton* bSave = nullptr;
    ImageButton* bPrint = nullptr;
    ImageButton* bCopy = nullptr;
    ImageButton* bDisplayMode = nullptr;
    ImageButton* bHelp = nullptr;
    ImageButton* bMinimize = nullptr;
    ImageButton* bClose = nullptr;
    QLabel* sSearchStr = nullptr;
    QComboBox* cPageList = nullptr;
    QWidget* p_Teletext = nullptr;
    PageBox* VTXBox = nullptr;
    QTextEdit* p_Text = nullptr;
    std::vector<ImageButton*> DigitButtons;  // by tag: b0, Image9 .. Image17
    ImageButton* bPause = nullptr;
    ImageButton* bNewWindow = nullptr;
    QLabel* img_KPause = nullptr;
    QLabel* img_KPlay = nullptr;
    std::vector<QLabel*> FrameImages;  // the frame pictures, Image1 .. Image8
    QLabel* Image8 = nullptr;          // below the number pad: a click there closes the page list
    QMenu* pm_VTX_Mode = nullptr;
    QAction* mVTX = nullptr;
    QAction* mText = nullptr;
    QAction* mLevelSeparator = nullptr;
    QAction* mLevel = nullptr;  // "Level 1.5 characters"
    QMenu* m_Save = nullptr;
    QMenu* m_SaveSingle = nullptr;  // "Save current page"
    QAction* m_SaveSingleText = nullptr;
    QAction* m_SaveSinglePicture = nullptr;
};

// Names from the broadcast, the TV player and the registry are Latin-1 bytes.
QString FromLatin1(const std::string& text);
std::string ToLatin1(const QString& text);

// A Windows colour value (0x00BBGGRR) as Qt takes it.
QColor FromColorRef(std::uint32_t colour);
// Fills the widget's background with the colour.
void SetBackground(QWidget* widget, QColor colour);
// A bold Arial label in khaki, as the bars carry them.
QLabel* KhakiLabel(QWidget* parent, const char* name, const QString& caption, int pixels, QRect geometry);

// Multiplies and divides with rounding, as the printer scaling does it.
int MulDiv(int number, int numerator, int denominator);

}  // namespace orv
