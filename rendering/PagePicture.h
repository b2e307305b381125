// The picture of a page that is saved and printed: the size of the page box
// (490 x 388), filled black, the whole page drawn in the colours of the plain
// teletext view (never on the key colour of the mix mode).
#pragma once

#include "acquisition/UTeletextTypes.h"
#include "rendering/Canvas.h"
#include "rendering/VTX_Graphics_Display.h"

namespace orv {

inline constexpr int kPagePictureWidth = 490;
inline constexpr int kPagePictureHeight = 388;

// With enhancements the page is drawn at Level 1.5, without at level 1.
Canvas DrawPagePicture(GraphicsRenderer& renderer, const FontTable& fonts, const tPageImage& page,
                       const PageEnhancements* enhancements = nullptr);

// Saves the page picture as a BMP file; false when that failed.
bool SavePageImage(GraphicsRenderer& renderer, const FontTable& fonts, const std::string& fileName,
                   const tPageImage& page, const PageEnhancements* enhancements = nullptr);

}  // namespace orv
