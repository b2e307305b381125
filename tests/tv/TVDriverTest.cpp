// The TV driver library: loading by the registry value, argument
// marshalling with its limits, and the four tuner operations with their
// error rules, against the simulated card and a library without routines.
#include <gtest/gtest.h>
#include <dlfcn.h>

#include <fstream>
#include <string>

#include "TestRegistry.h"
#include "tv/TVDriver.h"

namespace orv {
namespace {

const std::string kSimCard = std::string(ORVTT_DRIVER_DIR) + "/orvtt-simtv.so";
const std::string kNoRoutines = std::string(ORVTT_DRIVER_DIR) + "/OrvTTCap.dll";

std::string ErrorText(const std::function<void()>& call, DriverErrorKind& kind) {
    try {
        call();
    } catch (const DriverError& error) {
        kind = error.Kind();
        return error.what();
    }
    return "";
}

TEST(TVDriver, ArgumentsAreMarshalledFirstToLastWithTheirLimits) {
    const std::uint32_t values[] = {0x1234, 0xABCD, 0x12345678, 0x1FF};
    const int sizes[] = {kWordArgument, kByteArgument, kLongArgument, kByteArgument};
    EXPECT_EQ(MarshalArguments(values, sizes), (std::vector<std::uint16_t>{0x1234, 0xCD, 0x1234, 0x5678, 0xFF}));

    DriverErrorKind kind{};
    EXPECT_EQ(ErrorText([&] { MarshalArguments(values, std::span(sizes).first(3)); }, kind), "Parameter mismatch");
    EXPECT_EQ(kind, DriverErrorKind::InvalidArgument);

    // The area takes 1024 bytes; the argument after that is refused.
    std::vector<std::uint32_t> many(513, 1);
    std::vector<int> words(513, kWordArgument);
    EXPECT_EQ(MarshalArguments(std::span(many).first(512), std::span(words).first(512)).size(), 512u);
    EXPECT_EQ(ErrorText([&] { MarshalArguments(many, words); }, kind), "");
    many.push_back(1), words.push_back(kWordArgument);
    EXPECT_EQ(ErrorText([&] { MarshalArguments(many, words); }, kind), "Too many parameters");
    EXPECT_EQ(kind, DriverErrorKind::ThunkError);

    const std::vector<std::uint32_t> pointers(11, 0);
    const std::vector<int> pointerSizes(11, kPointerArgument);
    EXPECT_EQ(ErrorText([&] { MarshalArguments(pointers, pointerSizes); }, kind), "Too many pointer parameters");
    EXPECT_EQ(kind, DriverErrorKind::ThunkError);
}

TEST(TVDriver, OnlyAGoodDriverValueLoadsALibrary) {
    test::ScopedRegistry registry;
    TVDriver driver(*registry);
    driver.LoadTVDriver();  // no key at all
    EXPECT_EQ(driver.Handle(), kNoDriver);

    registry->WriteInteger(kTVDriverKey, kTVDriverValue, 1);  // not text
    driver.LoadTVDriver();
    EXPECT_FALSE(driver.Loaded());

    // 199 characters and the zero fill the buffer; one more does not fit.
    registry->WriteString(kTVDriverKey, kTVDriverValue, std::string(200, 'a'));
    driver.LoadTVDriver();
    EXPECT_EQ(driver.Handle(), kNoDriver);

    const auto text = registry.Folder() / "driver.so";
    std::ofstream(text) << "not a shared object";
    registry->WriteString(kTVDriverKey, kTVDriverValue, text.string());
    driver.LoadTVDriver();
    EXPECT_FALSE(driver.Loaded());
    EXPECT_LE(driver.Handle(), kNoDriver);
    registry->WriteString(kTVDriverKey, kTVDriverValue, (registry.Folder() / "missing.so").string());
    driver.LoadTVDriver();
    EXPECT_EQ(driver.Handle(), kDriverFileNotFound);
}

TEST(TVDriver, TunerOperationsOnTheSimulatedCardAndTheirErrorRules) {
    test::ScopedRegistry registry;
    registry->WriteString(kTVDriverKey, kTVDriverValue, kSimCard);
    TVDriver driver(*registry);
    driver.LoadTVDriver();
    ASSERT_TRUE(driver.Loaded()) << dlerror();
    EXPECT_GT(driver.Handle(), kNoDriver);
    EXPECT_NE(driver.VideoWindowMessage(), nullptr);

    std::uint16_t highest = 0, lowest = 0;
    ASSERT_TRUE(driver.DriverGetChannelRange(highest, lowest));
    EXPECT_EQ(highest, 12);
    EXPECT_EQ(lowest, 1);
    driver.DriverSetChannel(7);
    void* card = dlopen(kSimCard.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(card, nullptr);
    auto* tuned = reinterpret_cast<std::uint32_t (*)()>(dlsym(card, "OrvSimCardTunedChannel"));
    ASSERT_NE(tuned, nullptr);
    EXPECT_EQ(tuned(), 7u);
    EXPECT_TRUE(driver.DriverSetSource(2));
    EXPECT_EQ(driver.DriverGetSource(), 2u);
    dlclose(card);

    // Released, every routine is gone: the range and set-source swallow the
    // error, set-channel and get-source pass it on.
    driver.Release();
    EXPECT_EQ(driver.Handle(), kNoDriver);
    highest = lowest = 99;
    EXPECT_FALSE(driver.DriverGetChannelRange(highest, lowest));
    EXPECT_EQ(highest, 99);
    EXPECT_FALSE(driver.DriverSetSource(1));
    DriverErrorKind kind{};
    EXPECT_EQ(ErrorText([&] { driver.DriverSetChannel(1); }, kind), "16-bit routine not found");
    EXPECT_EQ(ErrorText([&] { driver.DriverGetSource(); }, kind), "16-bit routine not found");

    // A shared object without the routines loads but cannot tune.
    registry->WriteString(kTVDriverKey, kTVDriverValue, kNoRoutines);
    driver.LoadTVDriver();
    ASSERT_TRUE(driver.Loaded());
    EXPECT_EQ(driver.VideoWindowMessage(), nullptr);
    EXPECT_EQ(ErrorText([&] { driver.DriverSetChannel(1); }, kind), "16-bit routine not found");
    EXPECT_EQ(kind, DriverErrorKind::ThunkError);
}

}  // namespace
}  // namespace orv
