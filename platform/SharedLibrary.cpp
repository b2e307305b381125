#include "platform/SharedLibrary.h"

#include <dlfcn.h>
#include <link.h>

#include <filesystem>

#include "platform/Version.h"

namespace orv {

std::string ProgramRelativePath(const std::string& path) {
    if (path.empty() || path.starts_with('/') || path.find('/') == std::string::npos) return path;
    return (std::filesystem::path(ProgramFileName()).parent_path() / path).string();
}

std::shared_ptr<SharedLibrary> SharedLibrary::Open(const std::string& pathOrName, bool keepResident,
                                                   std::string* error) {
    // RTLD_LOCAL keeps the library's symbols to itself; RTLD_NOW finds missing
    // dependencies at load time rather than at the first call.
    void* handle = dlopen(pathOrName.c_str(), RTLD_NOW | RTLD_LOCAL | (keepResident ? RTLD_NODELETE : 0));
    if (!handle) {
        if (error) {
            const char* reason = dlerror();
            *error = reason ? reason : pathOrName + ": cannot be loaded";
        }
        return nullptr;
    }
    return std::make_shared<SharedLibrary>(Key{}, handle);
}

SharedLibrary::~SharedLibrary() { dlclose(handle_); }

void* SharedLibrary::Symbol(const char* name) const { return dlsym(handle_, name); }

std::string SharedLibrary::FileName() const {
    link_map* map = nullptr;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return {};
    return map->l_name;
}

}  // namespace orv
