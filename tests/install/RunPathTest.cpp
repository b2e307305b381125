// Every program and library of the build finds its libraries only in fixed
// folders: an empty element of a run path is the current folder to the
// dynamic loader, and a relative one is taken from the current folder too.
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/UniqueFd.h"

namespace orv {
namespace {

bool ReadAt(int fd, std::uint64_t offset, void* out, std::size_t size) {
    return ::pread(fd, out, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

// The DT_RPATH and DT_RUNPATH texts of an ELF64 program or shared object;
// none when the file is no such thing (objects, archives, scripts, data).
std::optional<std::vector<std::string>> RunPaths(const std::filesystem::path& file) {
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    Elf64_Ehdr header{};
    if (!fd || !ReadAt(fd.Get(), 0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || (header.e_type != ET_EXEC && header.e_type != ET_DYN) ||
        header.e_shentsize != sizeof(Elf64_Shdr))
        return std::nullopt;
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (!ReadAt(fd.Get(), header.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr))) return std::nullopt;
    std::vector<std::string> paths;
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_type != SHT_DYNAMIC || section.sh_link >= sections.size()) continue;
        const Elf64_Shdr& strings = sections[section.sh_link];
        std::vector<Elf64_Dyn> entries(section.sh_size / sizeof(Elf64_Dyn));
        std::string text(strings.sh_size, '\0');
        if (!ReadAt(fd.Get(), section.sh_offset, entries.data(), entries.size() * sizeof(Elf64_Dyn)) ||
            !ReadAt(fd.Get(), strings.sh_offset, text.data(), text.size()))
            return std::nullopt;
        for (const Elf64_Dyn& entry : entries)
            if ((entry.d_tag == DT_RPATH || entry.d_tag == DT_RUNPATH) && entry.d_un.d_val < text.size())
                paths.emplace_back(text.c_str() + entry.d_un.d_val);
    }
    return paths;
}

// Empty and relative elements; "$ORIGIN" is the file's own folder.
std::vector<std::string> UnsafeElements(const std::string& runPath) {
    std::vector<std::string> bad;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = runPath.find(':', start);
        const std::string element = runPath.substr(start, end - start);
        if (!element.starts_with('/') && !element.starts_with("$ORIGIN") && !element.starts_with("${ORIGIN}"))
            bad.push_back(element);
        if (end == std::string::npos) return bad;
        start = end + 1;
    }
}

TEST(RunPath, NoBuiltProgramOrLibrarySearchesTheCurrentFolder) {
    for (const auto& [runPath, bad] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"/opt/a", {}}, {"$ORIGIN/replay", {}}, {"/opt/a:", {""}}, {":/opt/a", {""}}, {"/a::/b", {""}},
             {"drivers", {"drivers"}}, {"${ORIGIN}/../lib:lib", {"lib"}}})
        EXPECT_EQ(UnsafeElements(runPath), bad) << runPath;

    std::vector<std::string> checked;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(ORVTT_BUILD_DIR, error)) {
        if (!entry.is_regular_file(error) || entry.is_symlink(error)) continue;
        const auto paths = RunPaths(entry.path());
        if (!paths) continue;
        checked.push_back(entry.path().filename().string());
        for (const std::string& path : *paths)
            EXPECT_EQ(UnsafeElements(path), std::vector<std::string>{}) << entry.path() << " [" << path << "]";
    }
    // The programs a user starts and the capture library were among them.
    for (const char* name : {"orvtt", "ttxdump", "OrvTTCap.dll", "orvtt-simtv.so"})
        EXPECT_NE(std::find(checked.begin(), checked.end(), name), checked.end()) << name;
}

}  // namespace
}  // namespace orv
