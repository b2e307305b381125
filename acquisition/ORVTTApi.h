// The binding to the capture library "OrvTTCap.dll": finding and loading it,
// its eight entry points, and open / read / close as the capture thread uses
// them.
//
// Threads: the main thread opens and closes, the capture thread reads. A read
// holds its own reference to the binding, and a loaded capture library stays
// mapped for the rest of the run, so closing while a read is still running in
// the library never pulls the code from under it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/OrvTTCapAbi.h"
#include "acquisition/SubtitlePages.h"

namespace orv {

class Registry;
class SharedLibrary;

inline constexpr char kCaptureDllKey[] = "\\SOFTWARE\\ORV Technologies\\Multimedia\\mmdrivers";
inline constexpr char kCaptureDllValue[] = "orvTTCap";

// The folder the registry names for the capture library: trimmed, with a "/"
// appended unless it names a file or already ends in one; empty when unset.
std::string CaptureDllFolder(const Registry& registry);

class CaptureDll {
public:
    explicit CaptureDll(const Registry& registry) : registry_(registry) {}
    ~CaptureDll();

    // Finds, loads and binds the library (all eight plain names, else all
    // eight decorated names). False when no complete binding was found.
    bool LoadCaptureDll();
    // Forgets the binding (the code stays mapped); false when nothing was loaded.
    bool FreeCaptureDll();
    // Load, then ORVTTCAP_Open and ORVTTCAP_Start; true when both returned 0.
    bool OpenDllCapture();
    // ORVTTCAP_Stop when it is owed, ORVTTCAP_Close, forget the binding. Always true.
    bool CloseDllCapture();
    // One ORVTTCAP_GetPackets: the packets of the read, compacted, and the
    // status word. A failed read (or none bound) gives no packets, status 0.
    int ReadDllPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets);
    // The teletext descriptor's entries of the service the library decodes;
    // none when the library does not tell them (the entry point is optional).
    std::optional<std::vector<TeletextDescriptorEntry>> TeletextEntries();

    bool IsBound() const;
    bool DllCaptureStarted() const { return started_; }
    // Where the bound library was loaded from ("" when none).
    std::string LoadedFrom() const;
    // Why the last OpenDllCapture failed: the library tried and its reason
    // ("" after a success). Main thread only.
    const std::string& LastError() const { return lastError_; }

    // The entry points; Open, Close, Start, Stop and GetPackets return 2 and
    // GetDriverVersion false when nothing is bound.
    struct Binding;

private:
    std::shared_ptr<const Binding> Current() const;

    const Registry& registry_;
    mutable std::mutex bindingMutex_;  // guards binding_
    std::shared_ptr<const Binding> binding_;
    bool started_ = false;  // main thread only
    std::string lastError_;  // main thread only
    std::mutex readMutex_;  // one read at a time uses the entry buffer
    std::vector<tCaptureEntry> entries_ = std::vector<tCaptureEntry>(kCaptureReadMax);
};

struct CaptureDll::Binding {
    std::shared_ptr<SharedLibrary> Library;
    std::string Path;
    ORVTTCAP_OpenFn* Open = nullptr;
    ORVTTCAP_GetDriverVersionFn* GetDriverVersion = nullptr;
    ORVTTCAP_CloseFn* Close = nullptr;
    ORVTTCAP_StartFn* Start = nullptr;
    ORVTTCAP_StopFn* Stop = nullptr;
    ORVTTCAP_FlushFn* Flush = nullptr;
    ORVTTCAP_GetStatusFn* GetStatus = nullptr;
    ORVTTCAP_GetPacketsFn* GetPackets = nullptr;
    ORVTTCAP_GetErrorTextFn* GetErrorText = nullptr;  // optional
    ORVTTCAP_GetTeletextEntriesFn* GetTeletextEntries = nullptr;  // optional

    std::uint32_t CallOpen(tCaptureOpenRecord* record) const { return Open ? Open(record) : 2; }
    bool CallGetDriverVersion(std::uint8_t* version8) const {
        return GetDriverVersion ? (GetDriverVersion(version8), true) : false;
    }
    std::uint32_t CallClose() const { return Close ? Close() : 2; }
    std::uint32_t CallStart() const { return Start ? Start() : 2; }
    std::uint32_t CallStop() const { return Stop ? Stop() : 2; }
    std::uint32_t CallGetPackets(std::uint32_t max, tCaptureReadDescriptor* d) const {
        return GetPackets ? GetPackets(max, d) : 2;
    }
};

}  // namespace orv
