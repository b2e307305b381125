#include "platform/Version.h"

#include <elf.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace orv {

namespace {

constexpr char kNoteName[] = "ORVTT";
constexpr std::uint32_t kNoteType = 1;
constexpr std::uint64_t kMaxNoteSection = 1 << 20;

// Reads only the parts of the file it needs: program files are large.
bool ReadAt(std::ifstream& in, std::uint64_t offset, void* target, std::size_t size) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(static_cast<char*>(target), static_cast<std::streamsize>(size));
    return in.gcount() == static_cast<std::streamsize>(size);
}

std::uint64_t Align4(std::uint64_t n) { return (n + 3) & ~std::uint64_t{3}; }

// Looks through the notes of one section for ours.
bool FindVersion(const std::vector<char>& notes, std::uint32_t (&words)[2]) {
    std::uint64_t offset = 0;
    while (offset + sizeof(Elf64_Nhdr) <= notes.size()) {
        Elf64_Nhdr note;
        std::memcpy(&note, notes.data() + offset, sizeof note);
        const std::uint64_t name = offset + sizeof note;
        const std::uint64_t desc = name + Align4(note.n_namesz);
        const std::uint64_t next = desc + Align4(note.n_descsz);
        if (next > notes.size() || next <= offset) return false;
        if (note.n_type == kNoteType && note.n_namesz == sizeof kNoteName && note.n_descsz == sizeof words &&
            std::memcmp(notes.data() + name, kNoteName, sizeof kNoteName) == 0) {
            std::memcpy(words, notes.data() + desc, sizeof words);
            return true;
        }
        offset = next;
    }
    return false;
}

}  // namespace

std::string ReadVersionInfo(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return {};
    Elf64_Ehdr header;
    if (!ReadAt(in, 0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr))
        return {};
    for (std::uint64_t i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr section;
        if (!ReadAt(in, header.e_shoff + i * sizeof section, &section, sizeof section)) return {};
        if (section.sh_type != SHT_NOTE || section.sh_size > kMaxNoteSection) continue;
        std::vector<char> notes(section.sh_size);
        std::uint32_t words[2];
        if (!ReadAt(in, section.sh_offset, notes.data(), notes.size()) || !FindVersion(notes, words)) continue;
        char text[48];
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", words[0] >> 16, words[0] & 0xFFFF, words[1] >> 16,
                      words[1] & 0xFFFF);
        return text;
    }
    return {};
}

std::string ProgramFileName() {
    std::vector<char> buffer(4096);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length)) : std::string();
}

}  // namespace orv
