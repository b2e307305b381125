// TFMultiPage: an extra page window. It starts frozen on a copy of the page
// shown in the window that opened it, and can then follow live pages, go to
// other pages, save (the current page only), print and copy on its own. Its
// pause is its own: capture and the other windows go on meanwhile. No
// search, history, favorites, station or TV controls.
#pragma once

#include "windows/PageForm.h"

namespace orv {

inline constexpr int kMultiPageWidth = 631;
inline constexpr int kMultiPageHeight = 463;
inline constexpr QPoint kMultiPageDesignedPosition{258, 168};

class TFMultiPage : public TPageForm {
    Q_OBJECT
public:
    explicit TFMultiPage(std::shared_ptr<PageWindowShared> shared);
    ~TFMultiPage() override;

    // Called by the opener before the window is shown.
    void InitFromWindow(std::uint8_t displayMode, const tPageImage& page,
                        std::shared_ptr<const PageEnhancements> enhancements, std::uint32_t subPage,
                        std::uint16_t pageNo);

    void OnVtxPage(std::uint16_t pageNo, const PageRef& page) override;
    void ApplyDisplayMode() override;
    bool SetPause(bool on) override;
    void bPauseClick() override;
    void bMinimizeClick() override;

    // "Station:Page 123".
    QString Caption() const;

protected:
    bool SaveCurrentText(const std::string& fileName, const tPageImage& page,
                         const PageEnhancements* enhancements) override;
    bool TextClicksIgnored() const override;
    bool CanCopyPicture() const override { return view_.ShownPage != nullptr; }
    void RedrawPage() override;
    bool PlacesNewWindowBesideItself() const override { return true; }
    void PageDrawnInFull(std::uint16_t number) override;
    void PageNumberTaken(std::uint16_t number) override;

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void SetCaption();
    // The frozen copy drawn again in full.
    void DrawSnapshot();

    bool pageHandedOver_ = false;
};

}  // namespace orv
