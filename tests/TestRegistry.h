// A registry file of the test's own, also seen by capture libraries loaded in
// the test (they find it through ORVTT_REGISTRY).
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Registry.h"

namespace orv::test {

class ScopedRegistry {
public:
    ScopedRegistry() {
        static std::atomic<int> counter{0};
        folder_ = std::filesystem::temp_directory_path() /
                  ("orvtt_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / "registry.reg").string();
        const char* old = std::getenv("ORVTT_REGISTRY");
        if (old) previous_ = old;
        hadPrevious_ = old != nullptr;
        ::setenv("ORVTT_REGISTRY", path_.c_str(), 1);
        registry_ = std::make_unique<Registry>(path_);
    }
    ~ScopedRegistry() {
        if (hadPrevious_)
            ::setenv("ORVTT_REGISTRY", previous_.c_str(), 1);
        else
            ::unsetenv("ORVTT_REGISTRY");
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    ScopedRegistry(const ScopedRegistry&) = delete;
    ScopedRegistry& operator=(const ScopedRegistry&) = delete;

    Registry& operator*() { return *registry_; }
    Registry* operator->() { return registry_.get(); }
    const std::filesystem::path& Folder() const { return folder_; }

private:
    std::filesystem::path folder_;
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
    std::unique_ptr<Registry> registry_;
};

}  // namespace orv::test
