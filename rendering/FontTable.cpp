#include "rendering/FontTable.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace orv {
namespace {

constexpr int kGlyphCount = 256;
// Limits on what a font may claim, so that a hostile file cannot make us allocate without end.
constexpr int kMaxGlyphWidth = 16;  // a glyph row is one std::uint16_t
constexpr int kMaxPixelHeight = 256;
constexpr std::size_t kMaxFonts = 64;

// The FNT header: field offsets, the same in 2.0 and 3.0; 3.0 adds fields from kFlags on.
namespace fnt {
constexpr std::size_t kVersion = 0, kSize = 2, kType = 66, kPoints = 68, kAscent = 74, kInternalLeading = 76,
                      kWeight = 83, kCharSet = 85, kPixHeight = 88, kFirstChar = 95, kLastChar = 96,
                      kDefaultChar = 97, kFace = 105;
constexpr std::size_t kHeaderSize2 = 118, kHeaderSize3 = 148;
constexpr std::size_t kDirectoryPart = 113;  // a font directory entry repeats the header up to here
constexpr std::uint32_t kFlagFixed = 0x0001;
constexpr int kResolution = 96;
}  // namespace fnt

// The NE module around the fonts.
namespace ne {
constexpr std::uint16_t kMzMagic = 0x5A4D, kNeMagic = 0x454E;
constexpr std::size_t kLfanew = 0x3C, kHeaderSize = 0x40, kResourceTable = 0x24;
constexpr std::uint16_t kRtFontDir = 0x8007, kRtFont = 0x8008;
constexpr std::size_t kTypeInfoSize = 8, kNameInfoSize = 12;
constexpr std::uint16_t kMoveable = 0x0010, kPure = 0x0020, kPreload = 0x0040, kDiscardable = 0x1000;
constexpr unsigned kMaxShift = 16;  // offsets are 16-bit counts of 2^shift bytes
constexpr std::string_view kModuleName = "ORVTTX";
constexpr std::string_view kDirectoryName = "FONTDIR";
// push cs; pop ds; mov dx,000Eh; mov ah,9; int 21h; mov ax,4C01h; int 21h: DOS prints the
// message that follows (at offset 0Eh) and exits.
constexpr std::uint8_t kDosProgram[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09,
                                        0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
constexpr std::string_view kDosMessage = "This is a Windows font file.\r\n$";
constexpr std::size_t kStubSize = 0x80;  // MZ header and program; the NE header follows
}  // namespace ne

std::string Hex(std::uint32_t value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value);
    return "0x" + text;
}

std::uint16_t WidthMask(int width) { return static_cast<std::uint16_t>(0xFFFF0000u >> width); }

std::nullopt_t Fail(std::string& why, std::string reason) {
    why = std::move(reason);
    return std::nullopt;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// ---- Reading ---------------------------------------------------------------------------------

// Little-endian reads that check their bounds: past the end they give 0 and leave the reader failed.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool Has(std::uint64_t at, std::uint64_t count) const {
        return at <= bytes_.size() && count <= bytes_.size() - at;
    }
    std::uint32_t U8(std::uint64_t at) { return Get(at, 1); }
    std::uint32_t U16(std::uint64_t at) { return Get(at, 2); }
    std::uint32_t U32(std::uint64_t at) { return Get(at, 4); }
    bool Ok() const { return ok_; }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }

private:
    std::uint32_t Get(std::uint64_t at, unsigned size) {
        if (!Has(at, size)) {
            ok_ = false;
            return 0;
        }
        std::uint32_t value = 0;
        for (unsigned i = size; i-- > 0;) value = (value << 8) | bytes_[static_cast<std::size_t>(at) + i];
        return value;
    }

    std::span<const std::uint8_t> bytes_;
    bool ok_ = true;
};

struct ResourceSpan {
    std::uint64_t Offset = 0, Length = 0;
};

// Where the FNT resources lie, in resource table order; none when the bytes are no NE module with fonts.
std::optional<std::vector<ResourceSpan>> FontResources(Reader& file, std::string& why) {
    if (file.U16(0) != ne::kMzMagic) return Fail(why, "no MZ header");
    const std::uint64_t header = file.U32(ne::kLfanew);
    if (file.U16(header) != ne::kNeMagic) return Fail(why, "not an NE module");
    std::uint64_t at = header + file.U16(header + ne::kResourceTable);
    const unsigned shift = file.U16(at);
    if (!file.Ok()) return Fail(why, "the NE header or resource table lies outside the file");
    if (shift > ne::kMaxShift)
        return Fail(why, "resource alignment shift " + std::to_string(shift) + " is too large");
    std::vector<ResourceSpan> fonts;
    for (at += 2;; at += ne::kTypeInfoSize) {
        const std::uint32_t type = file.U16(at);
        if (!file.Ok()) return Fail(why, "the resource table runs past the end of the file");
        if (type == 0) break;
        const std::uint32_t count = file.U16(at + 2);
        if (!file.Has(at + ne::kTypeInfoSize, count * ne::kNameInfoSize))
            return Fail(why, "the resource table runs past the end of the file");
        if (type == ne::kRtFont && fonts.size() + count > kMaxFonts)
            return Fail(why, "more than " + std::to_string(kMaxFonts) + " fonts");
        for (std::uint32_t i = 0; type == ne::kRtFont && i < count; ++i) {
            const std::uint64_t entry = at + ne::kTypeInfoSize + i * ne::kNameInfoSize;
            fonts.push_back({std::uint64_t{file.U16(entry)} << shift, std::uint64_t{file.U16(entry + 2)} << shift});
        }
        at += count * ne::kNameInfoSize;
    }
    if (fonts.empty()) return Fail(why, "no font resources");
    return fonts;
}

// The glyph widths and bitmap offsets of the character table; every glyph must be there in full.
struct GlyphTable {
    int Width = 0;
    std::vector<std::uint32_t> Offsets;  // by code - first character
};

std::optional<GlyphTable> ReadGlyphTable(Reader& font, bool v3, int height, std::string& why) {
    const std::size_t entrySize = v3 ? 6 : 4;
    const std::size_t table = v3 ? fnt::kHeaderSize3 : fnt::kHeaderSize2;
    const std::uint32_t first = font.U8(fnt::kFirstChar);
    const std::uint32_t last = font.U8(fnt::kLastChar);
    if (last < first) return Fail(why, "last character before the first");
    GlyphTable glyphs;
    for (std::uint32_t code = first; code <= last; ++code) {
        const std::size_t entry = table + (code - first) * entrySize;
        const int width = static_cast<int>(font.U16(entry));
        const std::uint32_t offset = v3 ? font.U32(entry + 2) : font.U16(entry + 2);
        if (!font.Ok()) return Fail(why, "the character table runs past the end of the font");
        if (width < 1 || width > kMaxGlyphWidth)
            return Fail(why, "glyph width " + std::to_string(width) + " is not supported");
        if (glyphs.Width && width != glyphs.Width) return Fail(why, "proportional fonts are not supported");
        if (!font.Has(offset, std::uint64_t{(width + 7u) / 8u} * static_cast<unsigned>(height)))
            return Fail(why, "glyph " + Hex(code) + " lies outside the font");
        glyphs.Width = width;
        glyphs.Offsets.push_back(offset);
    }
    return glyphs;
}

// A glyph's bitmap is stored column by column: each column is 8 pixels wide and "height" bytes tall.
void CopyGlyph(std::span<const std::uint8_t> bitmap, int width, std::span<std::uint16_t> rows) {
    const std::size_t height = rows.size();
    const int columns = (width + 7) / 8;
    for (std::size_t y = 0; y < height; ++y) {
        std::uint32_t row = 0;
        for (int c = 0; c < columns; ++c)
            row |= std::uint32_t{bitmap[static_cast<std::size_t>(c) * height + y]} << (8 - 8 * c);
        rows[y] = static_cast<std::uint16_t>(row & WidthMask(width));
    }
}

std::optional<std::string> ReadFaceName(Reader& font, std::string& why) {
    const std::uint32_t offset = font.U32(fnt::kFace);
    if (!font.Has(offset, 1)) return Fail(why, "the face name lies outside the font");
    const auto rest = font.Bytes().subspan(offset);
    const auto end = std::find(rest.begin(), rest.end(), std::uint8_t{0});
    return std::string(rest.begin(), end);
}

std::optional<BitmapFace> ReadFnt(std::span<const std::uint8_t> resource, std::string& why) {
    Reader whole(resource);
    const std::uint32_t version = whole.U16(fnt::kVersion);
    if (version != 0x200 && version != 0x300)
        return Fail(why, "FNT version " + Hex(version) + " is not supported");
    const bool v3 = version == 0x300;
    const std::uint32_t size = whole.U32(fnt::kSize);
    if (!whole.Ok() || size < (v3 ? fnt::kHeaderSize3 : fnt::kHeaderSize2) || size > resource.size())
        return Fail(why, "the font's size does not fit its resource");
    Reader font(resource.first(size));
    if (font.U16(fnt::kType) & 1) return Fail(why, "vector fonts are not supported");
    const int height = static_cast<int>(font.U16(fnt::kPixHeight));
    if (height < 1 || height > kMaxPixelHeight)
        return Fail(why, "pixel height " + std::to_string(height) + " is not supported");
    const auto glyphs = ReadGlyphTable(font, v3, height, why);
    if (!glyphs) return std::nullopt;
    auto name = ReadFaceName(font, why);
    if (!name) return std::nullopt;

    BitmapFace face;
    face.Name = std::move(*name);
    face.Width = glyphs->Width;
    face.Height = height;
    face.Points = static_cast<int>(font.U16(fnt::kPoints));
    face.Ascent = static_cast<int>(font.U16(fnt::kAscent));
    face.InternalLeading = static_cast<int>(font.U16(fnt::kInternalLeading));
    face.Weight = static_cast<int>(font.U16(fnt::kWeight));
    face.CharSet = static_cast<int>(font.U8(fnt::kCharSet));
    const std::uint32_t first = font.U8(fnt::kFirstChar);
    face.DefaultChar = static_cast<int>((first + font.U8(fnt::kDefaultChar)) & 0xFF);  // stored relative to the first
    face.Version = static_cast<int>(version);
    face.Bits.assign(static_cast<std::size_t>(kGlyphCount * height), 0);
    const auto h = static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < glyphs->Offsets.size(); ++i)
        CopyGlyph(font.Bytes().subspan(glyphs->Offsets[i]), face.Width,
                  std::span(face.Bits).subspan((first + i) * h, h));
    return face;
}

// ---- Writing ---------------------------------------------------------------------------------

class Writer {
public:
    void U8(std::uint32_t value) { bytes_.push_back(static_cast<std::uint8_t>(value)); }
    void U16(std::uint32_t value) { Put(value, 2); }
    void U32(std::uint32_t value) { Put(value, 4); }
    void Zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void Bytes(std::span<const std::uint8_t> bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
    void Text(std::string_view text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
    // A length byte and up to 255 characters.
    void Pascal(std::string_view text) {
        text = text.substr(0, 255);
        U8(static_cast<std::uint32_t>(text.size()));
        Text(text);
    }
    void Patch16(std::size_t at, std::uint32_t value) {
        bytes_[at] = static_cast<std::uint8_t>(value);
        bytes_[at + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    void Patch32(std::size_t at, std::uint32_t value) {
        Patch16(at, value & 0xFFFF);
        Patch16(at + 2, value >> 16);
    }
    std::size_t Size() const { return bytes_.size(); }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    void Put(std::uint32_t value, unsigned size) {
        for (unsigned i = 0; i < size; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }

    std::vector<std::uint8_t> bytes_;
};

// The shape of one face as written.
struct FntLayout {
    int Width = 0, Height = 0;
    bool V3 = true;
    std::string Name;
    std::size_t Columns = 0, GlyphBytes = 0, TableOffset = 0, EntrySize = 0, BitsOffset = 0, NameOffset = 0, Size = 0;
    // The character table has one entry past the last character, the "absolute space".
    static constexpr std::size_t kEntries = kGlyphCount + 1;
};

FntLayout LayoutFor(const BitmapFace& face, bool v3) {
    FntLayout l;
    l.Width = std::clamp(face.Width, 1, kMaxGlyphWidth);
    l.Height = std::clamp(face.Height, 1, kMaxPixelHeight);
    l.V3 = v3;
    l.Name = face.Name.substr(0, face.Name.find('\0'));
    l.Columns = static_cast<std::size_t>((l.Width + 7) / 8);
    l.GlyphBytes = l.Columns * static_cast<std::size_t>(l.Height);
    l.TableOffset = v3 ? fnt::kHeaderSize3 : fnt::kHeaderSize2;
    l.EntrySize = v3 ? 6 : 4;
    l.BitsOffset = l.TableOffset + FntLayout::kEntries * l.EntrySize;
    l.NameOffset = l.BitsOffset + FntLayout::kEntries * l.GlyphBytes;
    l.Size = l.NameOffset + l.Name.size() + 1;
    return l;
}

// 2.0 glyph offsets are 16-bit, so a face that does not fit in 64 KB goes out as 3.0.
FntLayout LayoutFor(const BitmapFace& face) {
    const FntLayout v2 = LayoutFor(face, false);
    return face.Version == 0x200 && v2.Size <= 0xFFFF ? v2 : LayoutFor(face, true);
}

void WriteFntHeader(Writer& w, const BitmapFace& face, const FntLayout& l) {
    w.U16(l.V3 ? 0x300 : 0x200);
    w.U32(static_cast<std::uint32_t>(l.Size));
    w.Zeros(60);                                    // copyright
    w.U16(0);                                       // raster, bits in the file
    w.U16(static_cast<std::uint32_t>(face.Points));
    w.U16(fnt::kResolution);                        // vertical and horizontal dpi
    w.U16(fnt::kResolution);
    w.U16(static_cast<std::uint32_t>(face.Ascent));
    w.U16(static_cast<std::uint32_t>(face.InternalLeading));
    w.U16(0);                                       // external leading
    w.Zeros(3);                                     // italic, underline, strike-out
    w.U16(static_cast<std::uint32_t>(face.Weight));
    w.U8(static_cast<std::uint32_t>(face.CharSet));
    w.U16(static_cast<std::uint32_t>(l.Width));     // fixed pitch
    w.U16(static_cast<std::uint32_t>(l.Height));
    w.U8(0);                                        // pitch and family
    w.U16(static_cast<std::uint32_t>(l.Width));     // average and maximum width
    w.U16(static_cast<std::uint32_t>(l.Width));
    w.U8(0);                                        // first and last character
    w.U8(kGlyphCount - 1);
    w.U8(static_cast<std::uint32_t>(face.DefaultChar));  // relative to the first, which is 0
    w.U8(0);                                        // break character
    // Bytes in a pixel row of all glyphs side by side, made even.
    w.U16(static_cast<std::uint32_t>((FntLayout::kEntries * l.Columns + 1) & ~std::size_t{1}));
    w.U32(0);                                       // no device name
    w.U32(static_cast<std::uint32_t>(l.NameOffset));
    w.U32(0);                                       // bits pointer, set by whoever loads the font
    w.U32(static_cast<std::uint32_t>(l.BitsOffset));
    w.U8(0);
    if (!l.V3) return;
    w.U32(fnt::kFlagFixed);
    w.Zeros(3 * 2 + 4 + 16);                        // A, B and C space, colour table, reserved
}

void WriteGlyph(Writer& w, std::span<const std::uint16_t> rows, const FntLayout& l) {
    const std::uint16_t mask = WidthMask(l.Width);
    for (std::size_t c = 0; c < l.Columns; ++c)
        for (std::size_t y = 0; y < static_cast<std::size_t>(l.Height); ++y) {
            const std::uint32_t row = y < rows.size() ? rows[y] & mask : 0;
            w.U8(row >> (8 - 8 * c));
        }
}

std::vector<std::uint8_t> FntResource(const BitmapFace& face) {
    const FntLayout l = LayoutFor(face);
    Writer w;
    WriteFntHeader(w, face, l);
    for (std::size_t i = 0; i < FntLayout::kEntries; ++i) {
        w.U16(static_cast<std::uint32_t>(l.Width));
        const auto offset = static_cast<std::uint32_t>(l.BitsOffset + i * l.GlyphBytes);
        l.V3 ? w.U32(offset) : w.U16(offset);
    }
    for (int code = 0; code < kGlyphCount; ++code) WriteGlyph(w, face.Glyph(static_cast<std::uint8_t>(code)), l);
    w.Zeros(l.GlyphBytes);  // the absolute space
    w.Text(l.Name);
    w.U8(0);
    return w.Take();
}

// The font directory: per font its ordinal, the start of its header, no device name and its face name.
std::vector<std::uint8_t> FontDirectory(std::span<const std::vector<std::uint8_t>> fonts,
                                        std::span<const BitmapFace> faces) {
    Writer w;
    w.U16(static_cast<std::uint32_t>(fonts.size()));
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        w.U16(static_cast<std::uint32_t>(i + 1));
        w.Bytes(std::span(fonts[i]).first(fnt::kDirectoryPart));
        w.U8(0);
        w.Text(LayoutFor(faces[i]).Name);
        w.U8(0);
    }
    return w.Take();
}

// The font directory, then a resource per face.
std::vector<std::vector<std::uint8_t>> Resources(std::span<const BitmapFace> faces) {
    std::vector<std::vector<std::uint8_t>> resources(1);
    for (const BitmapFace& face : faces) resources.push_back(FntResource(face));
    resources.front() = FontDirectory(std::span(resources).subspan(1), faces);
    return resources;
}

void WriteDosStub(Writer& w) {
    w.U16(ne::kMzMagic);
    w.U16(ne::kStubSize % 512);  // bytes in the last page
    w.U16(1);                    // pages
    w.U16(0);                    // relocations
    w.U16(4);                    // header paragraphs
    w.U16(0);                    // minimum and maximum extra paragraphs
    w.U16(0xFFFF);
    w.U16(0);                    // SS:SP
    w.U16(0xB8);
    w.U16(0);                    // checksum
    w.U16(0);                    // CS:IP
    w.U16(0);
    w.U16(0x40);                 // relocation table
    w.U16(0);                    // overlay
    w.Zeros(ne::kLfanew - w.Size());
    w.U32(ne::kStubSize);
    w.Bytes(ne::kDosProgram);
    w.Text(ne::kDosMessage);
    w.Zeros(ne::kStubSize - w.Size());
}

// Where the module's tables went: what the NE header points at, and the places still to fill in.
struct ModuleTables {
    std::size_t Header = 0, ResourceTable = 0, NameInfos = 0, DirectoryName = 0, ResidentNames = 0, ImportedNames = 0,
                EntryTable = 0, EntryTableSize = 0, NonResidentNames = 0, NonResidentSize = 0, ResourceCount = 0;

    // The font directory's NAMEINFO comes first; the fonts' follow the font TYPEINFO.
    std::size_t NameInfo(std::size_t resource) const {
        if (resource == 0) return NameInfos;
        return NameInfos + ne::kNameInfoSize + ne::kTypeInfoSize + (resource - 1) * ne::kNameInfoSize;
    }
};

// The resource table: a TYPEINFO and NAMEINFO for the directory, then the fonts', then the
// directory's name. Offsets, lengths and the alignment shift are filled in later.
void WriteResourceTable(Writer& w, ModuleTables& t, std::size_t fontCount) {
    t.ResourceTable = w.Size();
    w.U16(0);
    w.U16(ne::kRtFontDir);
    w.U16(1);
    w.U32(0);
    t.NameInfos = w.Size();
    w.Zeros(ne::kNameInfoSize);
    w.U16(ne::kRtFont);
    w.U16(static_cast<std::uint32_t>(fontCount));
    w.U32(0);
    w.Zeros(ne::kNameInfoSize * fontCount);
    w.U16(0);
    t.DirectoryName = w.Size() - t.ResourceTable;
    w.Pascal(ne::kDirectoryName);
    w.U8(0);
    t.ResourceCount = fontCount + 1;
}

// The NE header (filled in later) and every table up to the resources.
ModuleTables WriteModuleTables(Writer& w, std::size_t fontCount, std::string_view description) {
    ModuleTables t;
    t.Header = w.Size();
    w.Zeros(ne::kHeaderSize);
    WriteResourceTable(w, t, fontCount);
    t.ResidentNames = w.Size();
    w.Pascal(ne::kModuleName);
    w.U16(0);
    w.U8(0);
    t.ImportedNames = w.Size();  // and the module references, of which there are none
    w.U8(0);
    t.EntryTable = w.Size();     // no entries
    w.Zeros(2);
    t.EntryTableSize = w.Size() - t.EntryTable;
    t.NonResidentNames = w.Size();
    w.Pascal(description);
    w.U16(0);
    w.U8(0);
    t.NonResidentSize = w.Size() - t.NonResidentNames;
    return t;
}

void PatchNeHeader(Writer& w, const ModuleTables& t, unsigned shift) {
    const std::size_t h = t.Header;
    const auto rel = [&](std::size_t at) { return static_cast<std::uint32_t>(at - h); };
    w.Patch16(h + 0x00, ne::kNeMagic);
    w.Patch16(h + 0x02, 0x0105);                  // linker version 5.1
    w.Patch16(h + 0x04, rel(t.EntryTable));
    w.Patch16(h + 0x06, static_cast<std::uint32_t>(t.EntryTableSize));
    w.Patch16(h + 0x0C, 0x8000);                  // a library module without data
    w.Patch16(h + 0x20, static_cast<std::uint32_t>(t.NonResidentSize));
    w.Patch16(h + 0x22, rel(t.ResourceTable));    // no segments: their table is empty
    w.Patch16(h + 0x24, rel(t.ResourceTable));
    w.Patch16(h + 0x26, rel(t.ResidentNames));
    w.Patch16(h + 0x28, rel(t.ImportedNames));    // module references, none
    w.Patch16(h + 0x2A, rel(t.ImportedNames));
    w.Patch32(h + 0x2C, static_cast<std::uint32_t>(t.NonResidentNames));
    w.Patch16(h + 0x32, shift);
    w.Patch16(h + 0x34, static_cast<std::uint32_t>(t.ResourceCount));
    w.Patch16(h + 0x36, 0x0002);                  // for Windows
    w.Patch16(h + 0x3E, 0x0300);                  // Windows 3.0
    w.Patch16(t.ResourceTable, shift);
}

// The smallest alignment shift that lets every resource's offset and length fit the table's
// 16-bit fields once the resources follow the tables.
unsigned AlignmentShift(std::size_t tablesEnd, std::span<const std::vector<std::uint8_t>> resources) {
    for (unsigned shift = 4; shift < ne::kMaxShift; ++shift) {
        const std::uint64_t unit = std::uint64_t{1} << shift;
        std::uint64_t at = (tablesEnd + unit - 1) / unit;
        bool fits = true;
        for (const auto& r : resources) {
            const std::uint64_t units = (r.size() + unit - 1) / unit;
            fits = fits && at <= 0xFFFF && units <= 0xFFFF;
            at += units;
        }
        if (fits) return shift;
    }
    return ne::kMaxShift;
}

void PadTo(Writer& w, std::size_t unit) { w.Zeros((unit - w.Size() % unit) % unit); }

void WriteResources(Writer& w, const ModuleTables& t, unsigned shift,
                    std::span<const std::vector<std::uint8_t>> resources) {
    const std::size_t unit = std::size_t{1} << shift;
    for (std::size_t i = 0; i < resources.size(); ++i) {
        PadTo(w, unit);
        const std::size_t at = t.NameInfo(i);
        w.Patch16(at, static_cast<std::uint32_t>(w.Size() >> shift));
        w.Patch16(at + 2, static_cast<std::uint32_t>((resources[i].size() + unit - 1) >> shift));
        const bool directory = i == 0;
        w.Patch16(at + 4, directory ? ne::kMoveable | ne::kPreload : ne::kMoveable | ne::kPure | ne::kDiscardable);
        // The directory goes by its name; the fonts by number.
        w.Patch16(at + 6, static_cast<std::uint32_t>(directory ? t.DirectoryName : 0x8000u | i));
        w.Bytes(resources[i]);
    }
    PadTo(w, unit);
}

// Empty when the path is no readable regular file (a directory would make the stream throw).
std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    constexpr std::uintmax_t kMaxFileSize = 64u << 20;  // far beyond any font file
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return {};
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxFileSize) return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return {};
    return bytes;
}

}  // namespace

std::span<const std::uint16_t> BitmapFace::Glyph(std::uint8_t code) const {
    const auto h = static_cast<std::size_t>(std::max(Height, 0));
    if (Bits.size() < kGlyphCount * h) return {};
    return std::span(Bits).subspan(code * h, h);
}

bool BitmapFace::Pixel(std::uint8_t code, int x, int y) const {
    const auto rows = Glyph(code);
    if (x < 0 || x >= std::min(Width, kMaxGlyphWidth) || y < 0 || static_cast<std::size_t>(y) >= rows.size())
        return false;
    return (rows[static_cast<std::size_t>(y)] & (0x8000u >> x)) != 0;
}

std::optional<std::vector<BitmapFace>> ReadFonFile(std::span<const std::uint8_t> file, std::string* error) {
    std::string why;
    Reader reader(file);
    std::vector<BitmapFace> faces;
    if (const auto resources = FontResources(reader, why)) {
        for (const ResourceSpan& r : *resources) {
            const std::string which = "font " + std::to_string(faces.size() + 1) + ": ";
            if (!reader.Has(r.Offset, r.Length)) {
                why = which + "its resource lies outside the file";
                break;
            }
            auto face =
                ReadFnt(file.subspan(static_cast<std::size_t>(r.Offset), static_cast<std::size_t>(r.Length)), why);
            if (!face) {
                why = which + why;
                break;
            }
            faces.push_back(std::move(*face));
        }
        if (faces.size() == resources->size()) return faces;
    }
    if (error) *error = why;
    return std::nullopt;
}

std::vector<std::uint8_t> WriteFonFile(std::span<const BitmapFace> faces, std::string_view description) {
    const std::vector<std::vector<std::uint8_t>> resources = Resources(faces);
    Writer w;
    WriteDosStub(w);
    const ModuleTables tables = WriteModuleTables(w, faces.size(), description);
    const unsigned shift = AlignmentShift(w.Size(), resources);
    PatchNeHeader(w, tables, shift);
    WriteResources(w, tables, shift, resources);
    return w.Take();
}

int FontTable::AddFontResource(const std::string& path) { return AddFontMemory(ReadWholeFile(path), path); }

int FontTable::AddFontMemory(std::span<const std::uint8_t> file, const std::string& sourceName) {
    auto faces = ReadFonFile(file);
    if (!faces) return 0;
    for (BitmapFace& face : *faces)
        entries_.push_back({sourceName, std::make_unique<const BitmapFace>(std::move(face))});
    return static_cast<int>(faces->size());
}

bool FontTable::RemoveFontResource(const std::string& path) {
    return std::erase_if(entries_, [&](const Entry& e) { return e.Source == path; }) > 0;
}

const BitmapFace* FontTable::Find(std::string_view faceName) const {
    const auto found = std::find_if(entries_.rbegin(), entries_.rend(),
                                    [&](const Entry& e) { return EqualIgnoringCase(e.Face->Name, faceName); });
    return found == entries_.rend() ? nullptr : found->Face.get();
}

}  // namespace orv
