// The files a page window saves: the save dialog's settings for each save
// command, the current page as text or picture, and every stored page into
// one text file or one picture per page and sub-page. No toolkit here.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "acquisition/Pages.h"
#include "platform/SaveDialog.h"
#include "rendering/FontTable.h"
#include "rendering/VTX_Graphics_Display.h"

namespace orv {

// Default extension, filter, title, initial name and options of the dialog
// for one of the four save commands. The initial name is "Page123.TXT" for the
// current page and "*.TXT" for all pages (".BMP" for pictures).
SaveDialogSettings SaveDialogFor(bool allPages, bool asImage, std::uint16_t currentPage);

// The chosen name split before the last "." of its file part: base and
// extension with its dot ("C:/TT/tele.BMP" -> "C:/TT/tele", ".BMP").
std::pair<std::string, std::string> SplitAtExtension(const std::string& fileName);

// Every stored page whose number is decimal, in key order, with the page
// database locked for the whole walk: as pictures base + "100-0000" +
// extension, one per page and sub-page; as text one block per page, titled
// "100-0000", appended to the chosen file. Stops at the first save that
// fails, and returns false then.
// With level15 the pages are saved as drawn with their enhancements.
bool SaveAllPages(const PageDatabase& pages, GraphicsRenderer& renderer, const FontTable& fonts,
                  const std::string& chosenName, bool asImage, bool level15 = true);

// The text an extra window saves: the file made anew, holding only the page
// text (25 lines with CR LF). False when it could not be written.
bool ReplacePageText(const std::string& fileName, const tPageImage& page,
                     const PageEnhancements* enhancements = nullptr);

}  // namespace orv
