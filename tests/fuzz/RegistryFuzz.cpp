// Bytes as the registry file. What was read must survive being written back:
// the tree read from the file and the one read from the file the registry
// rewrote must be the same (keys, value names, types and data), and writing
// the same tree again must give the same bytes.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "FuzzTarget.h"
#include "platform/Registry.h"

namespace {

using orv::Registry;

// A folder of our own for the run; in memory where there is /dev/shm, since
// every write is synced.
class Folder {
public:
    Folder() {
        std::error_code ec;
        const std::filesystem::path shm = "/dev/shm";
        const std::filesystem::path base =
            std::filesystem::is_directory(shm, ec) && ::access(shm.c_str(), W_OK) == 0
                ? shm
                : std::filesystem::temp_directory_path();
        std::string name = (base / "orvtt_fuzz_registry_XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) __builtin_trap();
        path_ = name;
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    std::string File(const char* name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

void Quote(std::string& out, std::string_view text) {
    out += std::to_string(text.size());
    out += ':';
    out += text;
}

void DumpKey(const Registry::Editor& editor, const std::string& path, std::string& out) {
    out += "key ";
    Quote(out, path);
    out += '\n';
    for (const std::string& name : editor.ValueNames(path)) {
        out += "  value ";
        Quote(out, name);
        if (const auto text = editor.ReadText(path, name)) {
            out += " text ";
            Quote(out, *text);
        } else if (const auto number = editor.ReadInteger(path, name)) {
            out += " dword " + std::to_string(*number);
        } else {
            out += editor.ValueExists(path, name) ? " other" : " missing";
        }
        out += '\n';
    }
    for (const std::string& sub : editor.SubKeyNames(path)) DumpKey(editor, path.empty() ? sub : path + '\\' + sub, out);
}

// A key the file does not hold, for a change that forces a rewrite.
std::string ProbeKey(const Registry::Editor& editor) {
    std::string probe = "OrvttFuzzProbe";
    while (editor.KeyExists(probe)) probe += '_';
    return probe;
}

// One locked read of the file: the tree dumped (when asked), the probe added
// or taken away, and the result written back.
std::string DumpAndWrite(Registry& registry, std::string& probe, bool addProbe, bool dumpTree = true) {
    std::string dump;
    const bool written = registry.Transaction([&](Registry::Editor& editor) {
        if (!addProbe && !editor.DeleteKey(probe)) __builtin_trap();
        if (dumpTree) DumpKey(editor, "", dump);
        if (addProbe) {
            if (probe.empty()) probe = ProbeKey(editor);
            if (!editor.WriteString(probe, "Probe", "1")) __builtin_trap();
        }
        return true;
    });
    if (!written) __builtin_trap();
    return dump;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

[[noreturn]] void Differ(const char* what, const std::string& before, const std::string& after) {
    std::fprintf(stderr, "registry round trip: %s differ\n--- before\n%s--- after\n%s---\n", what, before.c_str(),
                 after.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Folder folder;
    const std::string path = folder.File("registry.reg");
    std::error_code ec;
    std::filesystem::remove(path + ".bad", ec);
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!file) __builtin_trap();
    }

    // Read and written with a probe key, read back without it and written
    // again, then the probe added once more: the second read must see what
    // the first did, and the third write must repeat the first byte for byte.
    std::string probe;
    Registry first(path);
    const std::string read = DumpAndWrite(first, probe, true);
    (void)first.TakeDamageReport();
    const std::string written = ReadFile(path);

    Registry second(path);
    const std::string reread = DumpAndWrite(second, probe, false);
    if (second.TakeDamageReport()) Differ("damage reports", "", "the rewritten file is damaged\n");
    if (read != reread) Differ("trees", read, reread);
    (void)DumpAndWrite(second, probe, true, false);
    const std::string rewritten = ReadFile(path);
    if (written != rewritten) Differ("files", written, rewritten);
    return 0;
}
