// Build tool: renames exported symbols of an ELF64 shared object in place.
//   elfsym LIBRARY OLD=NEW ...
// The linker reads "@" in a symbol name as a version, so a library cannot be
// linked with a name like "_ORVTTCAP_Open@4". We link it with a placeholder of
// the same length and rename it here. The library must be linked with
// --hash-style=sysv; the symbol hash table is rebuilt for the new names.
#include <elf.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

std::uint32_t ElfHash(const char* name) {
    std::uint32_t h = 0;
    for (const auto* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        h = (h << 4) + *p;
        const std::uint32_t g = h & 0xF0000000u;
        if (g) h ^= g >> 24;
        h &= ~g;
    }
    return h;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "elfsym: %s\n", message.c_str());
    return 1;
}

template <class T>
bool Within(const std::vector<char>& image, std::uint64_t offset, std::uint64_t count = 1) {
    return offset <= image.size() && count <= (image.size() - offset) / sizeof(T);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Fail("usage: elfsym LIBRARY OLD=NEW ...");
    std::map<std::string, std::string> renames;
    for (int i = 2; i < argc; ++i) {
        const std::string pair = argv[i];
        const auto eq = pair.find('=');
        if (eq == std::string::npos || pair.size() - eq - 1 != eq) return Fail("OLD and NEW must have the same length: " + pair);
        renames[pair.substr(0, eq)] = pair.substr(eq + 1);
    }

    std::vector<char> image;
    {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) return Fail(std::string("cannot read ") + argv[1]);
        image.assign(std::istreambuf_iterator<char>(in), {});
    }
    if (!Within<Elf64_Ehdr>(image, 0) || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0 ||
        image[EI_CLASS] != ELFCLASS64)
        return Fail("not an ELF64 file");
    Elf64_Ehdr header;
    std::memcpy(&header, image.data(), sizeof header);
    if (!Within<Elf64_Shdr>(image, header.e_shoff, header.e_shnum)) return Fail("bad section table");
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    std::memcpy(sections.data(), image.data() + header.e_shoff, sections.size() * sizeof(Elf64_Shdr));

    const Elf64_Shdr* dynsym = nullptr;
    const Elf64_Shdr* hash = nullptr;
    for (const auto& s : sections) {
        if (s.sh_type == SHT_DYNSYM) dynsym = &s;
        if (s.sh_type == SHT_HASH) hash = &s;
        if (s.sh_type == SHT_GNU_HASH) return Fail("link with --hash-style=sysv");
    }
    if (!dynsym || !hash || dynsym->sh_link >= sections.size()) return Fail("no dynamic symbols or hash table");
    const Elf64_Shdr& dynstr = sections[dynsym->sh_link];
    const std::size_t symbolCount = dynsym->sh_size / sizeof(Elf64_Sym);
    if (!Within<Elf64_Sym>(image, dynsym->sh_offset, symbolCount) || !Within<char>(image, dynstr.sh_offset, dynstr.sh_size))
        return Fail("bad symbol table");

    std::vector<Elf64_Sym> symbols(symbolCount);
    std::memcpy(symbols.data(), image.data() + dynsym->sh_offset, symbolCount * sizeof(Elf64_Sym));
    const auto name = [&](const Elf64_Sym& s) { return image.data() + dynstr.sh_offset + s.st_name; };

    std::size_t renamed = 0;
    for (const auto& symbol : symbols) {
        if (symbol.st_name >= dynstr.sh_size) return Fail("bad symbol name");
        const auto it = renames.find(name(symbol));
        if (it == renames.end()) continue;
        // The string may not be shared with another symbol's name.
        for (const auto& other : symbols)
            if (&other != &symbol && other.st_name > symbol.st_name && other.st_name < symbol.st_name + it->first.size())
                return Fail("shared name string: " + it->first);
        std::memcpy(name(symbol), it->second.data(), it->second.size());
        ++renamed;
    }
    if (renamed != renames.size()) return Fail("not every symbol was found");

    // Rebuild the buckets and chains of the hash table for the new names.
    if (!Within<std::uint32_t>(image, hash->sh_offset, 2)) return Fail("bad hash table");
    std::uint32_t counts[2];
    std::memcpy(counts, image.data() + hash->sh_offset, sizeof counts);
    const std::uint32_t nbucket = counts[0], nchain = counts[1];
    if (nbucket == 0 || nchain != symbolCount || !Within<std::uint32_t>(image, hash->sh_offset, 2ull + nbucket + nchain))
        return Fail("bad hash table");
    std::vector<std::uint32_t> bucket(nbucket, 0), chain(nchain, 0);
    for (std::uint32_t i = 1; i < nchain; ++i) {
        const std::uint32_t b = ElfHash(name(symbols[i])) % nbucket;
        chain[i] = bucket[b];
        bucket[b] = i;
    }
    char* table = image.data() + hash->sh_offset + 2 * sizeof(std::uint32_t);
    std::memcpy(table, bucket.data(), nbucket * sizeof(std::uint32_t));
    std::memcpy(table + nbucket * sizeof(std::uint32_t), chain.data(), nchain * sizeof(std::uint32_t));

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    return out ? 0 : Fail(std::string("cannot write ") + argv[1]);
}
