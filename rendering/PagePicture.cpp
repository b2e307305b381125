#include "rendering/PagePicture.h"

#include "rendering/BmpFile.h"

namespace orv {

Canvas DrawPagePicture(GraphicsRenderer& renderer, const FontTable& fonts, const tPageImage& page) {
    Canvas canvas(kPagePictureWidth, kPagePictureHeight, fonts);
    canvas.FillRect({0, 0, kPagePictureWidth, kPagePictureHeight}, kTeletextColours[0]);
    renderer.DrawPage(canvas, page, false, false);
    return canvas;
}

bool SavePageImage(GraphicsRenderer& renderer, const FontTable& fonts, const std::string& fileName,
                   const tPageImage& page) {
    return SaveBmp8(DrawPagePicture(renderer, fonts, page), fileName);
}

}  // namespace orv
