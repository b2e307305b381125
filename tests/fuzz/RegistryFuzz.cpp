// Bytes as the registry file. What was read must survive being written back:
// the tree read from the file and the one read from the file the registry
// rewrote must be the same (keys, value names, types and data), and a second
// rewrite must give the same bytes as the first.
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
        if (const auto text = editor.ReadString(path, name)) {
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

// The whole tree as one parse of the file sees it.
std::string Dump(Registry& registry) {
    std::string out;
    registry.Transaction([&](Registry::Editor& editor) {
        DumpKey(editor, "", out);
        return false;  // only looking
    });
    return out;
}

// A change and its undoing: two rewrites, the second of the tree as read.
void Rewrite(Registry& registry) {
    std::string probe = "OrvttFuzzProbe";
    while (registry.KeyExists(probe)) probe += '_';
    if (!registry.WriteString(probe, "Probe", "1") || !registry.DeleteKey(probe)) __builtin_trap();
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

    Registry first(path);
    const std::string read = Dump(first);
    (void)first.TakeDamageReport();
    Rewrite(first);
    const std::string written = ReadFile(path);

    Registry second(path);
    const std::string reread = Dump(second);
    if (second.TakeDamageReport()) Differ("damage reports", "", "the rewritten file is damaged\n");
    if (read != reread) Differ("trees", read, reread);
    Rewrite(second);
    const std::string rewritten = ReadFile(path);
    if (written != rewritten) Differ("files", written, rewritten);
    return 0;
}
