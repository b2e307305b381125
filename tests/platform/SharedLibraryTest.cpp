// Libraries named by a setting are found from the program's own folder or by
// the loader's search, never from the current folder, where anyone may have
// put a file of that name.
#include "platform/SharedLibrary.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TestRegistry.h"
#include "acquisition/ORVTTApi.h"
#include "platform/Version.h"
#include "tv/TVDriver.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

// The current folder for the life of the object.
class CurrentFolder {
public:
    explicit CurrentFolder(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }
    ~CurrentFolder() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

TEST(SharedLibrary, RelativeSettingsAreTakenFromTheProgramsFolderNeverTheCurrentOne) {
    const fs::path program = fs::path(ProgramFileName()).parent_path();
    for (const auto& [setting, path] : std::vector<std::pair<std::string, std::string>>{
             {"", ""}, {"/opt/x.so", "/opt/x.so"}, {"x.so", "x.so"}, {"tv/x.so", (program / "tv/x.so").string()},
             {"../x.so", (program / "../x.so").string()}})
        EXPECT_EQ(ProgramRelativePath(setting), path) << setting;

    // The drivers folder as the program's folder reaches it, and, in the
    // current folder, the same relative paths leading to traps: a capture
    // library that cannot be bound and a TV driver that is no library.
    const std::string drivers = fs::relative(ORVTT_DRIVER_DIR, program).string();
    test::ScopedRegistry registry;
    const fs::path here = registry.Folder() / "a" / "b";
    const fs::path traps = here / drivers;
    fs::create_directories(here);
    fs::create_directories(traps / "variants/decorated");
    fs::copy_file(fs::path(ORVTT_DRIVER_DIR) / "variants/noflush/OrvTTCap.dll", traps / "variants/decorated/OrvTTCap.dll");
    std::ofstream(traps / "orvtt-simtv.so") << "not a library";
    std::ofstream(here / "orvtt-simtv.so") << "not a library";
    const CurrentFolder inTraps(here);

    for (const std::string& setting : {drivers + "/variants/decorated", drivers + "/variants/decorated/OrvTTCap.dll"}) {
        registry->WriteString(kCaptureDllKey, kCaptureDllValue, setting);
        CaptureDll dll(*registry);
        EXPECT_TRUE(dll.LoadCaptureDll()) << setting;
        EXPECT_EQ(dll.LoadedFrom(), (program / drivers / "variants/decorated/OrvTTCap.dll").string());
    }
    // A bare name goes to the loader, whose search path is fixed.
    for (const std::string& setting : {drivers + "/orvtt-simtv.so", std::string("orvtt-simtv.so")}) {
        registry->WriteString(kTVDriverKey, kTVDriverValue, setting);
        TVDriver driver(*registry);
        driver.LoadTVDriver();
        EXPECT_TRUE(driver.Loaded()) << setting;
    }
}

}  // namespace
}  // namespace orv
