// A loaded shared library (dlopen); unloaded when the last owner lets go, so
// a call still running in it keeps it loaded.
#pragma once

#include <memory>
#include <string>

namespace orv {

// A library path taken from a setting, never from the current folder: a path
// with a "/" that does not start with one is made absolute from the running
// program's own folder. An absolute path stays, and so does a bare name, which
// the loader looks up in its search path (the programs' fixed run path).
std::string ProgramRelativePath(const std::string& path);

class SharedLibrary {
public:
    // The library at that path, or found by name in the search order when the
    // name has no "/". None when it cannot be loaded. With keepResident the
    // code stays mapped after the last owner lets go (a later load finds it
    // again): nothing can ever run in an unmapped library then. error, when
    // given, gets the loader's reason when the library does not load.
    static std::shared_ptr<SharedLibrary> Open(const std::string& pathOrName, bool keepResident = false,
                                               std::string* error = nullptr);

    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The address of an exported symbol, or nullptr.
    void* Symbol(const char* name) const;
    // The file the library was loaded from, also when it was found by name
    // ("" when the loader does not say).
    std::string FileName() const;

    template <class Function>
    Function* Entry(const char* name) const {
        return reinterpret_cast<Function*>(Symbol(name));
    }

    class Key {  // only Open can make one
        friend class SharedLibrary;
        Key() = default;
    };
    SharedLibrary(Key, void* handle) : handle_(handle) {}

private:
    void* handle_;
};

}  // namespace orv
