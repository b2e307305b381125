// Build tool: makes the teletext font file from the glyph drawings.
//   fontgen FONT_DIR OUTPUT.FON
// FONT_DIR holds latin.txt and cyrillic.txt. Any fault is one line on stderr and exit status 1.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "rendering/FontTable.h"
#include "tools/fontgen/GlyphSource.h"
#include "tools/fontgen/TeletextFaces.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "fontgen: %s\n", message.c_str());
    return 1;
}

// Through a temporary file, so that a failed run never leaves half a font behind.
bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) std::filesystem::remove(temporary, error);
    return !error;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Fail("usage: fontgen FONT_DIR OUTPUT.FON");
    const std::filesystem::path dir = argv[1];
    std::string error;
    const auto latin = orv::fontgen::ReadGlyphSource((dir / "latin.txt").string(), &error);
    if (!latin) return Fail(error);
    const auto cyrillic = orv::fontgen::ReadGlyphSource((dir / "cyrillic.txt").string(), &error);
    if (!cyrillic) return Fail(error);
    const auto faces = orv::fontgen::BuildTeletextFaces(*latin, *cyrillic, &error);
    if (!faces) return Fail(error);
    if (!WriteFile(argv[2], orv::WriteFonFile(*faces, orv::fontgen::kTeletextFontDescription)))
        return Fail(std::string(argv[2]) + ": cannot write the file");
    return 0;
}
