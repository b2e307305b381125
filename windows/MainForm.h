// TMainForm: the program's main window and the owner of its run. Creating it
// installs the teletext font, restores the settings, starts acquisition and
// registers for page notifications; destroying it undoes all of that in
// reverse and writes the settings back. Borderless and skinned: a top bar
// with the tool buttons, the page area (graphics or text), the number pad and
// a bottom bar with station, page number and history buttons.
#pragma once

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/Acquisition.h"
#include "favorites/PageInfo.h"
#include "platform/Dialogs.h"
#include "platform/HelpViewer.h"
#include "platform/LanguageModule.h"
#include "rendering/FontTable.h"
#include "windows/MainSettings.h"
#include "windows/PageView.h"

class QAction;
class QActionGroup;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QTextEdit;

namespace orv {

class ImageButton;
class PageBox;
class QtTextView;
class Registry;
class DeviceIo;
class UiThread;

inline constexpr int kMainWidth = 632;
inline constexpr int kMainHeight = 467;
inline constexpr std::uint32_t kKhaki = 10138303;  // 0x9AB2BF, a Windows colour value
inline constexpr char kApplicationTitle[] = "ORV Teletext";

// What the main window works with, handed in by the program (or a test).
struct MainFormServices {
    Registry& registry;
    DeviceIo& devices;
    UiThread& ui;
    PageWindowTable& windows;
    Dialogs& dialogs;
    HelpViewer& help;
    std::string programPath;          // for the help file and the language module
    std::uint16_t userLanguage;       // GetUserDefaultLangID
    std::string versionString;        // VersionString, may be empty
    std::string fontFileName;         // where the font resource is written
};

class TMainForm : public QWidget, public PageWindow, private PageViewSurface {
    Q_OBJECT
public:
    explicit TMainForm(MainFormServices services);
    ~TMainForm() override;

    // False when start-up decided that the program cannot run (the window has
    // closed itself then).
    bool Started() const { return started_; }

    // Page notification from the display dispatcher.
    void OnVtxPage(std::uint16_t pageNo, const PageRef& page) override;

    // Commands, named as the handlers of the components they belong to.
    void EnterDigit(char digit);
    void bPage100Click();
    void bPagePrevClick();
    void bPageNextClick();
    void bPauseClick();
    bool SetPause(bool on);
    void sSearchStrClick();
    void cPageListChange(int index);
    void CloseDropDowns();
    void mVTXClick();
    void mTextClick();
    void mTV_VTXClick();
    void mTV_TextClick();
    void ApplyDisplayMode();
    void RestartTV();
    void GoToPageInfo(const tPageInfo& entry);
    void PushHistory();
    void bLogoClick();
    void bHelpClick();
    void bMinimizeClick();

signals:
    // The window was closed: the program ends.
    void FormClosed();

public:
    // The detection thread's flag; consumed at the next idle moment.
    void RaiseTVStateChanged();

    // State, for the about box and for tests.
    PageView& View() { return view_; }
    const std::vector<tPageInfo>& History() const { return history_; }
    int HistoryIndex() const { return historyIndex_; }
    bool Paused() const { return paused_; }
    std::uint8_t DisplayMode() const { return view_.DisplayMode; }
    const MainSettings& Settings() const { return settings_; }
    int NationalFont() const { return settings_.NationalFont; }
    bool UseCaptureDll() const;
    int PageCount() const;
    Acquisition* Pipeline() { return acquisition_.get(); }
    const std::string& HelpFileName() const { return helpFileName_; }
    const std::string& FontFileName() const { return services_.fontFileName; }
    const std::string& VersionString() const { return services_.versionString; }
    WindowHandle Handle() const { return handle_; }
    const Canvas& PageCanvasForTest() const { return *canvas_; }
    QImage PageImage() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // PageViewSurface
    Canvas& PageCanvas() override { return *canvas_; }
    void PageCanvasChanged() override;
    TextPageView& TextPage() override { return *textPage_; }
    void SetPageNumberCaption(const std::string& caption) override;

    void BuildComponents();
    void BuildTopBar();
    void BuildBottomBar();
    void BuildDisplayPanel();
    void BuildNumberPad(QWidget* parent);
    void BuildMenus();
    ImageButton* AddButton(QWidget* parent, const char* name, int face, QRect geometry, const char* hint);
    QLabel* AddFrameImage(QWidget* parent, const char* name, int part, QRect geometry);

    void FormCreate();
    void FormDestroy();
    void ApplyLanguageModule();
    void InstallFont();
    void RemoveFont();
    bool StartAcquisition();
    void CheckTVState();
    void UpdatePauseButton();
    void FormKeyUp(QKeyEvent* event);
    void sHeadlineMouse(QEvent* event);
    void SetLabelCaption(QLabel* label, const QString& caption);

    MainFormServices services_;
    MainSettings settings_;
    FontTable fonts_;
    GraphicsRenderer renderer_;
    std::unique_ptr<Canvas> canvas_;
    std::unique_ptr<QtTextView> textView_;
    std::unique_ptr<TextPageView> textPage_;
    PageView view_;
    std::unique_ptr<Acquisition> acquisition_;
    LanguageModule languageModule_;
    std::string helpFileName_;

    bool started_ = false;
    bool firstStart_ = true;
    bool destroyed_ = false;
    bool paused_ = false;
    bool favoriteJump_ = false;
    std::int32_t videoSource_ = -1;
    std::vector<tPageInfo> history_;
    int historyIndex_ = -1;
    bool dragging_ = false;
    QPoint dragOrigin_;
    WindowHandle handle_ = kNoWindow;
    std::atomic<bool> tvStateChanged_{false};

public:
    // Components, by their names in the window's design.
    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QWidget* Panel3 = nullptr;
    ImageButton* bLogo = nullptr;
    QLabel* sHeadline = nullptr;
    QLabel* sVersion = nullptr;
    ImageButton* bSave = nullptr;
    ImageButton* bPrint = nullptr;
    ImageButton* bCopy = nullptr;
    ImageButton* bDisplayMode = nullptr;
    ImageButton* bSource = nullptr;
    ImageButton* bSearch = nullptr;
    QFrame* pSearch = nullptr;
    ImageButton* bHelp = nullptr;
    ImageButton* bMinimize = nullptr;
    ImageButton* bClose = nullptr;
    QLabel* sStationName = nullptr;
    QLabel* sChannelName = nullptr;
    QComboBox* cChannelNames = nullptr;
    QLabel* sSearchStr = nullptr;
    QComboBox* cPageList = nullptr;
    ImageButton* bPagePrev = nullptr;
    ImageButton* bPageNext = nullptr;
    ImageButton* bChannelUp = nullptr;
    ImageButton* bChannelDown = nullptr;
    QWidget* p_Teletext = nullptr;
    PageBox* VTXBox = nullptr;
    QTextEdit* p_Text = nullptr;
    QFrame* pTVPanel = nullptr;
    std::vector<ImageButton*> DigitButtons;  // by tag: b0, Image9 .. Image17
    ImageButton* bPause = nullptr;
    ImageButton* bNewWindow = nullptr;
    ImageButton* bFavorite = nullptr;
    QLabel* img_KPause = nullptr;
    QLabel* img_KPlay = nullptr;
    std::vector<QLabel*> FrameImages;  // Image1 .. Image8
    QMenu* pm_VTX_Mode = nullptr;
    QAction* mVTX = nullptr;
    QAction* mTV_VTX = nullptr;
    QAction* mText = nullptr;
    QAction* mTV_Text = nullptr;
    QMenu* m_Save = nullptr;
    QMenu* m_Source = nullptr;
    QMenu* pmFavoriten = nullptr;
};

}  // namespace orv
