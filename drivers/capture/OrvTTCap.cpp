// "OrvTTCap.dll": the eight entry points of the capture library interface
// over the paced source of a backend (replay or DVB). A capture library is
// one device per process, so its state is one object behind a lock.
#include <algorithm>
#include <cstring>
#include <exception>
#include <string>
#include <memory>
#include <mutex>

#include "acquisition/OrvTTCapAbi.h"
#include "drivers/capture/CaptureBackend.h"
#include "platform/Registry.h"

#define ORVTT_EXPORT extern "C" __attribute__((visibility("default")))

// The test build that exports only the decorated names gets placeholder names
// of the same length here; a build step turns the last "_" into "@".
#if defined(ORVTT_DECORATED_NAMES)
#define ORVTT_ENTRY(plain, decorated) decorated
#else
#define ORVTT_ENTRY(plain, decorated) plain
#endif

namespace {

using namespace orv;

constexpr std::uint32_t kOk = 0;
constexpr std::uint32_t kFailed = 1;
constexpr std::uint8_t kVersion[8] = {1, 0, 0, 0, 0, 0, 0, 0};

struct Driver {
    std::mutex Lock;
    std::unique_ptr<PacedReplay> Replay;  // present between Open and Close
    std::string Error;                    // why the last open failed
    std::vector<tVTXPacket> Packets = std::vector<tVTXPacket>(kCaptureReadMax);
};

Driver& TheDriver() {
    static Driver driver;
    return driver;
}

}  // namespace

ORVTT_EXPORT std::uint32_t ORVTT_ENTRY(ORVTTCAP_Open, _ORVTTCAP_Open_4)(tCaptureOpenRecord* record) {
    if (!record) return kFailed;
    Driver& driver = TheDriver();
    std::lock_guard guard(driver.Lock);
    driver.Error.clear();
    try {
        const Registry registry(Registry::DefaultPath());
        driver.Replay = OpenCaptureBackend(registry, driver.Error);
        return driver.Replay ? kOk : kFailed;
    } catch (const std::exception& error) {
        driver.Error = error.what();
        return kFailed;
    } catch (...) {
        return kFailed;
    }
}

ORVTT_EXPORT std::uint32_t ORVTTCAP_GetErrorText(char* text, std::uint32_t size) {
    if (!text || size == 0) return 0;
    Driver& driver = TheDriver();
    std::lock_guard guard(driver.Lock);
    const std::size_t length = std::min<std::size_t>(driver.Error.size(), size - 1);
    std::memcpy(text, driver.Error.data(), length);
    text[length] = '\0';
    return static_cast<std::uint32_t>(length);
}

ORVTT_EXPORT std::uint32_t ORVTTCAP_GetTeletextEntries(tCaptureTeletextEntry* entries, std::uint32_t max) {
    Driver& driver = TheDriver();
    std::lock_guard guard(driver.Lock);
    if (!driver.Replay) return 0;
    try {
        const std::vector<TeletextDescriptorEntry> known = driver.Replay->TeletextEntries();
        for (std::size_t i = 0; entries && i < known.size() && i < max; ++i) {
            tCaptureTeletextEntry record;
            std::memcpy(record.Language, known[i].Language.data(),
                        std::min(known[i].Language.size(), sizeof record.Language));
            record.Type = known[i].Type;
            record.Page = known[i].Page;
            entries[i] = record;
        }
        return static_cast<std::uint32_t>(known.size());
    } catch (...) {
        return 0;  // out of memory: none told this time
    }
}

ORVTT_EXPORT std::uint32_t ORVTT_ENTRY(ORVTTCAP_GetDriverVersion,
                                       _ORVTTCAP_GetDriverVersion_4)(std::uint8_t* version8) {
    if (version8) std::memcpy(version8, kVersion, sizeof kVersion);
    return kOk;
}

ORVTT_EXPORT std::uint32_t ORVTT_ENTRY(ORVTTCAP_Close, _ORVTTCAP_Close_0)() {
    Driver& driver = TheDriver();
    std::lock_guard guard(driver.Lock);
    driver.Replay.reset();
    return kOk;
}

ORVTT_EXPORT std::uint32_t ORVTT_ENTRY(ORVTTCAP_Start, _ORVTTCAP_Start_0)() {
    Driver& driver = TheDriver();
    std::lock_guard guard(driver.Lock);
    if (!driver.Replay) return kFailed;
    driver.Replay->Start();
    return kOk;
}

ORVTT_EXPORT std::uint32_t ORVTT_ENTRY(ORVTTCAP_Stop, _ORVTTCAP_Stop_0)() {
    Driver& driver = TheDriver();
    std::lock_guard guard(driver.Lock);
    if (driver.Replay) driver.Replay->Stop();
    return kOk;
}

#if !defined(ORVTT_WITHOUT_FLUSH)
ORVTT_EXPORT std::uint32_t ORVTT_ENTRY(ORVTTCAP_Flush, _ORVTTCAP_Flush_0)() {
    Driver& driver = TheDriver();
    std::lock_guard guard(driver.Lock);
    if (driver.Replay) driver.Replay->Flush();
    return kOk;
}
#endif

ORVTT_EXPORT std::uint32_t ORVTT_ENTRY(ORVTTCAP_GetStatus, _ORVTTCAP_GetStatus_4)(std::uint32_t* status) {
    if (!status) return kFailed;
    Driver& driver = TheDriver();
    std::lock_guard guard(driver.Lock);
    *status = driver.Replay && driver.Replay->Started() ? 1u : 0u;  // 1: capturing
    return kOk;
}

ORVTT_EXPORT std::uint32_t ORVTT_ENTRY(ORVTTCAP_GetPackets, _ORVTTCAP_GetPackets_8)(
    std::uint32_t maxPackets, tCaptureReadDescriptor* descriptor) {
    if (!descriptor || !descriptor->Entries) return kFailed;
    Driver& driver = TheDriver();
    std::lock_guard guard(driver.Lock);
    descriptor->Status = 0;
    descriptor->Count = 0;
    if (!driver.Replay) return kFailed;
    const std::size_t max = std::min<std::size_t>(maxPackets, driver.Packets.size());
    std::uint32_t status = 0;
    std::size_t count = 0;
    try {
        count = driver.Replay->Read(std::span(driver.Packets).first(max), status);
    } catch (...) {
        return kFailed;  // out of memory in the source: a failed read, nothing crosses the entry point
    }
    for (std::size_t i = 0; i < count; ++i) descriptor->Entries[i].Packet = driver.Packets[i];
    descriptor->Count = static_cast<std::uint32_t>(count);
    descriptor->Status = status;
    return kOk;
}
