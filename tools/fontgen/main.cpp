// Build tool: makes the teletext font file from the glyph drawings.
//   fontgen FONT_DIR OUTPUT.FON          the font file
//   fontgen --sheet FONT_DIR FACE OUT.PGM a picture of one face's 256 cells, to look at the drawings
// FONT_DIR holds one drawing file per face (latin.txt, cyrillic.txt, latin-g2.txt, ...; see
// data/font/README.md). Any fault is one line on stderr and exit status 1.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "rendering/FontTable.h"
#include "tools/fontgen/GlyphSheet.h"
#include "tools/fontgen/GlyphSource.h"
#include "tools/fontgen/TeletextFaces.h"

namespace {

constexpr const char* kUsage =
    "usage: fontgen FONT_DIR OUTPUT.FON, or fontgen --sheet FONT_DIR FACE OUTPUT.PGM";
constexpr int kSheetScale = 4;

int Fail(const std::string& message) {
    std::fprintf(stderr, "fontgen: %s\n", message.c_str());
    return 1;
}

// Through a temporary file, so that a failed run never leaves half a file behind.
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

std::optional<std::vector<orv::BitmapFace>> ReadAndBuild(const std::filesystem::path& dir, std::string* error) {
    orv::fontgen::Drawings drawings;
    for (const auto& file : orv::fontgen::kDrawingFiles) {
        auto source = orv::fontgen::ReadGlyphSource((dir / (std::string(file.Name) + ".txt")).string(), error);
        if (!source) return std::nullopt;
        drawings.emplace(file.Name, std::move(*source));
    }
    return orv::fontgen::BuildTeletextFaces(drawings, error);
}

int WriteSheet(const std::filesystem::path& dir, const std::string& faceName, const std::string& out) {
    std::string error;
    const auto faces = ReadAndBuild(dir, &error);
    if (!faces) return Fail(error);
    for (const auto& face : *faces)
        if (face.Name == faceName) {
            if (!WriteFile(out, orv::fontgen::GlyphSheetPgm(face, kSheetScale)))
                return Fail(out + ": cannot write the file");
            return 0;
        }
    return Fail("there is no face \"" + faceName + "\"");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--sheet") return WriteSheet(argv[2], argv[3], argv[4]);
    if (argc != 3) return Fail(kUsage);
    std::string error;
    const auto faces = ReadAndBuild(argv[1], &error);
    if (!faces) return Fail(error);
    if (!WriteFile(argv[2], orv::WriteFonFile(*faces, orv::fontgen::kTeletextFontDescription)))
        return Fail(std::string(argv[2]) + ": cannot write the file");
    return 0;
}
