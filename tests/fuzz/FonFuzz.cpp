// Bytes as a .FON font file: read, added to a font table, a few glyphs drawn
// from it, and the faces written out and read back unchanged.
#include <span>
#include <string>

#include "FuzzTarget.h"
#include "rendering/Canvas.h"
#include "rendering/FontTable.h"

namespace {

bool SameGlyphs(const orv::BitmapFace& a, const orv::BitmapFace& b) {
    return a.Width == b.Width && a.Height == b.Height && a.Bits == b.Bits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orv;
    const std::span<const std::uint8_t> file(data, size);
    std::string error;
    const auto faces = ReadFonFile(file, &error);
    FontTable table;
    const int added = table.AddFontMemory(file, "fuzz.fon");
    if (added != (faces ? static_cast<int>(faces->size()) : 0)) __builtin_trap();
    if (!faces) return 0;

    Canvas canvas(48, 64, table);
    for (const BitmapFace& face : *faces) {
        if (face.Width < 1 || face.Width > 16 || face.Height < 1) __builtin_trap();
        if (face.Glyph(0xFF).size() != static_cast<std::size_t>(face.Height)) __builtin_trap();
        (void)face.Pixel(0x41, face.Width - 1, face.Height - 1);
        // Faces of the same name: the one added last is found.
        const BitmapFace* found = table.Find(face.Name);
        if (found == nullptr) __builtin_trap();
        canvas.SetFace(face.Name);
        canvas.TextOut(-3, 2, "A\x7F\xFF");
        canvas.TextOut(0, 40, "W", 0x0000FF);
        if (canvas.TextWidth("W") != found->Width) __builtin_trap();
        (void)canvas.AbsoluteFontHeight();
    }

    const auto again = ReadFonFile(WriteFonFile(*faces, "fuzz"));
    if (!again || again->size() != faces->size()) __builtin_trap();
    for (std::size_t i = 0; i < faces->size(); ++i)
        if (!SameGlyphs((*faces)[i], (*again)[i])) __builtin_trap();
    return 0;
}
