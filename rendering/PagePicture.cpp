#include "rendering/PagePicture.h"

#include "rendering/BmpFile.h"

namespace orv {

Canvas DrawPagePicture(GraphicsRenderer& renderer, const FontTable& fonts, const tPageImage& page,
                       const PageEnhancements* enhancements) {
    Canvas canvas(kPagePictureWidth, kPagePictureHeight, fonts);
    canvas.FillRect({0, 0, kPagePictureWidth, kPagePictureHeight}, kTeletextColours[0]);
    renderer.DrawPage(canvas, page, enhancements, false, false);
    return canvas;
}

bool SavePageImage(GraphicsRenderer& renderer, const FontTable& fonts, const std::string& fileName,
                   const tPageImage& page, const PageEnhancements* enhancements) {
    return SaveBmp8(DrawPagePicture(renderer, fonts, page, enhancements), fileName);
}

}  // namespace orv
