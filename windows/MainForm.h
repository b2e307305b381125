// TMainForm: the program's main window and the owner of its run. Creating it
// installs the teletext font, restores the settings, starts acquisition and
// registers for page notifications; destroying it undoes all of that in
// reverse and writes the settings back. On top of the page-window core it
// has the station and channel labels, the page history, the text search,
// the TV display modes and the program-wide pause.
#pragma once

#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "favorites/PageInfo.h"
#include "tv/TunerChannels.h"
#include "windows/MainSettings.h"
#include "windows/PageForm.h"

class QFrame;
class QLineEdit;

namespace orv {

class Registry;
class CaptionWindow;
class DeviceIo;
class SearchPanel;
class TTVDetect;
class TVDriver;
class UiThread;
class VideoWindow;
class WindowProbe;

inline constexpr int kMainWidth = 632;
inline constexpr int kMainHeight = 467;
inline constexpr char kApplicationTitle[] = "ORV Teletext";
inline constexpr int kTVPanelWidth = 200;
inline constexpr int kTVStateRetryInterval = 100;  // milliseconds

// What the main window works with, handed in by the program (or a test).
struct MainFormServices {
    Registry& registry;
    DeviceIo& devices;
    UiThread& ui;
    WindowProbe& probe;               // the TV player's windows
    PageWindowServices page;          // the page windows' services
    std::string programPath;          // for the help file and the language module
    std::uint16_t userLanguage;       // GetUserDefaultLangID
    std::string versionString;        // VersionString, may be empty
    std::string fontFileName;         // where the font resource is written
};

class TMainForm : public TPageForm {
    Q_OBJECT
public:
    explicit TMainForm(MainFormServices services);
    ~TMainForm() override;

    // False when start-up decided that the program cannot run (the window has
    // closed itself then); StartFailure says why: which sources were tried and
    // what went wrong with each.
    bool Started() const { return started_; }
    const std::string& StartFailure() const { return startFailure_; }

    // Commands, named as the handlers of the components they belong to.
    void bPage100Click();
    void bPagePrevClick();
    void bPageNextClick();
    void bPauseClick() override;
    bool SetPause(bool on) override;
    void CloseDropDowns() override;
    void mTV_VTXClick();
    void mTV_TextClick();
    void ApplyDisplayMode() override;
    void RestartTV();
    void ReleaseTV();
    void GoToPageInfo(const tPageInfo& entry);
    void PushHistory();
    void bMinimizeClick() override;
    void bSearchClick();
    void bStartSearchClick();

    // The tuner and the video source (MainTV.cpp).
    void SelectSource(std::int32_t source);
    void ShowChannelControls(bool visible);
    void TuneCurrentChannel();
    void bChannelUpClick();
    void bChannelDownClick();
    void sChannelNameClick();
    void cChannelNamesChange();
    void cChannelNamesExit();
    void bSourceClick();
    void pm_CompositeClick() { SelectSource(0); }
    void pm_CableClick() { SelectSource(1); }
    void pm_SVideoClick() { SelectSource(2); }
    void LearnChannelNameOnPage();
    void LearnChannelNameOnStation();

    // The favorites (MainFavorites.cpp).
    void LoadFavorites();
    void SaveFavorites();
    void BuildFavoritesMenu();
    void FavoriteItemClick(QObject* sender);
    void bFavoriteClick();
    void mNewFavoriteClick() { AddFavorite(); }
    void mEditFavoritesClick();
    void AddFavorite();
    const std::vector<tPageInfo>& Favorites() const { return favorites_; }

    // The caption window (MainCaptions.cpp): "Subtitles" lists the subtitle
    // and newsflash pages found and the page on view; choosing one shows its
    // boxed text in the caption window.
    void FillSubtitlesMenu();
    void OpenCaption(std::uint16_t pageNo);
    CaptionWindow* Caption() { return caption_.get(); }

    // The video window: created over the page, started and stopped by
    // messages, told of every move of this window.
    bool CreateVideoWindow(QWidget* parent);
    void PlaceVideoWindow(const QRect& area);
    std::intptr_t ForwardToVideoWindow(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    bool ActivateVideoWindow();
    void DeactivateVideoWindow();

signals:
    // The window was closed: the program ends.
    void FormClosed();

public:
    // The detection thread's flag; consumed at the next idle moment.
    void RaiseTVStateChanged();

    // State, for the about box and for tests.
    const std::vector<tPageInfo>& History() const { return history_; }
    int HistoryIndex() const { return historyIndex_; }
    const MainSettings& Settings() const { return settings_; }
    int NationalFont() const { return settings_.NationalFont; }
    Acquisition* Pipeline() { return acquisition_.get(); }
    const std::string& HelpFileName() const { return shared_->helpFileName; }
    const std::string& FontFileName() const { return services_.fontFileName; }
    const std::string& VersionString() const { return services_.versionString; }
    TunerChannels& Tuner() { return tuner_; }
    std::int32_t VideoSource() const { return videoSource_; }
    VideoWindow* Video() { return videoWindow_.get(); }
    TVDriver& Driver() { return *tvDriver_; }
    bool TVStateChanged() const { return tvStateChanged_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void PageDrawnInFull(std::uint16_t number) override;

    void PageEntered() override { PushHistory(); }
    bool SaveCurrentText(const std::string& fileName, const tPageImage& page,
                         const PageEnhancements* enhancements) override;
    bool TextClicksIgnored() const override;
    void RedrawPage() override { view_.RefreshPage(nullptr, 0); }

private:
    void BuildMainComponents();
    void FormCreate();
    void FormDestroy();
    void ApplyLanguageModule();
    void InstallFont();
    void RemoveFont();
    bool StartAcquisition();
    // No source can be started: the reasons, one line for each source tried.
    std::string NoSourceText(const std::string& vbiReason) const;
    void CheckTVState();
    static bool InNestedEventLoop();
    void FormKeyUp(QKeyEvent* event);
    bool StartTVLink();
    void StartCaptureOrAsk();
    void BuildTVComponents();
    void ShowLearnedName(const LearnedName& learned);
    void BuildFavoritesComponents();
    void BuildCaptionComponents();
    void CaptionStationChanged();
    // A command whose error reaches the program's general error report.
    void Reported(const std::function<void()>& command);

    MainFormServices services_;
    MainSettings settings_;
    std::unique_ptr<Acquisition> acquisition_;

    bool started_ = false;
    std::string startFailure_;
    std::string tvLinkFailure_;  // why StartTVLink gave up
    bool firstStart_ = true;
    bool fontFileWritten_ = false;
    bool destroyed_ = false;
    bool favoriteJump_ = false;
    std::int32_t videoSource_ = -1;
    std::vector<tPageInfo> favorites_;
    std::vector<tPageInfo> history_;
    int historyIndex_ = -1;
    std::atomic<bool> tvStateChanged_{false};
    bool restarting_ = false;  // RestartTV is running
    QTimer tvStateRetry_;      // looks at the flag again after a nested loop or a restart
    std::unique_ptr<TVDriver> tvDriver_;
    TunerChannels tuner_;
    bool noChannelNames_ = false;
    std::unique_ptr<VideoWindow> videoWindow_;
    std::unique_ptr<TTVDetect> detect_;
    std::unique_ptr<CaptionWindow> caption_;

public:
    // Components of the main window only, by their names in its design.
    ImageButton* bSource = nullptr;
    ImageButton* bSearch = nullptr;
    SearchPanel* pSearch = nullptr;
    QLineEdit* eSearch = nullptr;
    ImageButton* bStartSearch = nullptr;
    QLabel* sStationName = nullptr;
    QLabel* sChannelName = nullptr;
    QComboBox* cChannelNames = nullptr;
    ImageButton* bPagePrev = nullptr;
    ImageButton* bPageNext = nullptr;
    ImageButton* bChannelUp = nullptr;
    ImageButton* bChannelDown = nullptr;
    QFrame* pTVPanel = nullptr;
    ImageButton* bFavorite = nullptr;
    QAction* mTV_VTX = nullptr;
    QAction* mTV_Text = nullptr;
    QMenu* m_SaveAll = nullptr;  // "Save all pages"
    QAction* m_SaveAllText = nullptr;
    QAction* m_SaveAllPicture = nullptr;
    QMenu* m_Source = nullptr;
    QAction* pm_Composite = nullptr;
    QAction* pm_Cable = nullptr;
    QAction* pm_SVideo = nullptr;
    QMenu* pmFavoriten = nullptr;
    QAction* mNewFavorite = nullptr;
    QAction* mEditFavorites = nullptr;
    QAction* N1 = nullptr;
    QMenu* pmFavoriteBase = nullptr;  // "Select favorite", one item per favorite
    QMenu* mSubtitles = nullptr;      // "Subtitles", in the display-mode menu
    QAction* mCaptionPageOnView = nullptr;  // "Page on view"
};

}  // namespace orv
