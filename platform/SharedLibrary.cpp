#include "platform/SharedLibrary.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/Version.h"

namespace orv {

std::string ProgramRelativePath(const std::string& path) {
    if (path.empty() || path.starts_with('/') || path.find('/') == std::string::npos) return path;
    return (std::filesystem::path(ProgramFileName()).parent_path() / path).string();
}

std::shared_ptr<SharedLibrary> SharedLibrary::Open(const std::string& pathOrName, bool keepResident) {
    // RTLD_LOCAL keeps the library's symbols to itself; RTLD_NOW finds missing
    // dependencies at load time rather than at the first call.
    void* handle = dlopen(pathOrName.c_str(), RTLD_NOW | RTLD_LOCAL | (keepResident ? RTLD_NODELETE : 0));
    if (!handle) return nullptr;
    return std::make_shared<SharedLibrary>(Key{}, handle);
}

SharedLibrary::~SharedLibrary() { dlclose(handle_); }

void* SharedLibrary::Symbol(const char* name) const { return dlsym(handle_, name); }

}  // namespace orv
