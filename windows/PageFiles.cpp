#include "windows/PageFiles.h"

#include "rendering/PagePicture.h"
#include "rendering/PageTextFile.h"
#include "rendering/TextEncoding.h"
#include "rendering/VTX_TEXT_DISPLAY.h"
#include "windows/PageView.h"

namespace orv {

SaveDialogSettings SaveDialogFor(bool allPages, bool asImage, std::uint16_t currentPage) {
    SaveDialogSettings settings;
    const std::string extension = asImage ? "BMP" : "TXT";
    settings.DefaultExt = extension;
    settings.Filter = asImage ? "Images (*.BMP)|*.BMP" : "Textfiles (*.TXT)|*.TXT";
    settings.Title = asImage ? "Save page as image" : "Save page as text";
    settings.FileName = (allPages ? "*" : "Page" + PageNumberText(currentPage)) + "." + extension;
    settings.Options = kOverwritePrompt | kHideReadOnly | kNoChangeDir | kPathMustExist | kNoReadOnlyReturn |
                       kEnableSizing;
    return settings;
}

std::pair<std::string, std::string> SplitAtExtension(const std::string& fileName) {
    // A dot in a folder name ("my.pages/tele") is no extension.
    const auto slash = fileName.find_last_of('/');
    const auto dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {fileName, ""};
    return {fileName.substr(0, dot), fileName.substr(dot)};
}

bool SaveAllPages(const PageDatabase& pages, GraphicsRenderer& renderer, const FontTable& fonts,
                  const std::string& chosenName, bool asImage, bool level15) {
    const auto [base, extension] = SplitAtExtension(chosenName);
    bool saved = true;
    pages.ForEachEntry([&](const PageDatabase::Entry& entry) {
        if (!IsDecimalPageKey(entry.Key) || !entry.Page) return true;
        const std::string name = SavedPageName(entry.Key);
        const PageEnhancements* enhancements = level15 ? EnhancementsOf(entry.Page) : nullptr;
        saved = asImage ? SavePageImage(renderer, fonts, base + name + extension, *entry.Page, enhancements)
                        : SavePageText(base + extension, *entry.Page, name, enhancements);
        return saved;
    });
    return saved;
}

bool ReplacePageText(const std::string& fileName, const tPageImage& page, const PageEnhancements* enhancements) {
    return WriteTextFile(fileName,
                         EncodeCodePage(PageText(page, enhancements), PageTextCodePage(page, enhancements)), false);
}

}  // namespace orv
