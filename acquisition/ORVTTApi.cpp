#include "acquisition/ORVTTApi.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/Registry.h"
#include "platform/SharedLibrary.h"
#include "platform/Version.h"

namespace orv {

namespace {

std::string Trim(std::string text) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && blank(text.back())) text.pop_back();
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    return std::string(first, text.end());
}

// All eight entry points under one naming, or none.
std::shared_ptr<CaptureDll::Binding> Bind(std::shared_ptr<SharedLibrary> library, std::string path,
                                          bool decorated) {
    void* entries[8];
    for (int i = 0; i < 8; ++i) {
        const auto& names = kCaptureEntryNames[i];
        entries[i] = library->Symbol(decorated ? names.Decorated : names.Plain);
        if (!entries[i]) return nullptr;
    }
    auto binding = std::make_shared<CaptureDll::Binding>();
    binding->Library = std::move(library);
    binding->Path = std::move(path);
    binding->Open = reinterpret_cast<ORVTTCAP_OpenFn*>(entries[0]);
    binding->GetDriverVersion = reinterpret_cast<ORVTTCAP_GetDriverVersionFn*>(entries[1]);
    binding->Close = reinterpret_cast<ORVTTCAP_CloseFn*>(entries[2]);
    binding->Start = reinterpret_cast<ORVTTCAP_StartFn*>(entries[3]);
    binding->Stop = reinterpret_cast<ORVTTCAP_StopFn*>(entries[4]);
    binding->Flush = reinterpret_cast<ORVTTCAP_FlushFn*>(entries[5]);
    binding->GetStatus = reinterpret_cast<ORVTTCAP_GetStatusFn*>(entries[6]);
    binding->GetPackets = reinterpret_cast<ORVTTCAP_GetPacketsFn*>(entries[7]);
    binding->GetErrorText = binding->Library->Entry<ORVTTCAP_GetErrorTextFn>(kCaptureErrorTextEntry);
    binding->GetTeletextEntries =
        binding->Library->Entry<ORVTTCAP_GetTeletextEntriesFn>(kCaptureTeletextEntriesEntry);
    return binding;
}

// Where a library found by name really is, for the reports.
std::string FileOf(const CaptureDll::Binding& binding) {
    const std::string file = binding.Library->FileName();
    return file.empty() ? binding.Path : file;
}

}  // namespace

std::string CaptureDllFolder(const Registry& registry) {
    const std::optional<std::string> setting = registry.ReadString(kCaptureDllKey, kCaptureDllValue);
    if (!setting) return {};
    const std::string value = Trim(*setting);
    if (value.empty()) return {};
    // A relative value is taken from the program's folder, for the check as
    // for the load; the library file of a relative folder has a "/" too.
    std::string folder = value.starts_with('/')
                             ? value
                             : (std::filesystem::path(ProgramFileName()).parent_path() / value).string();
    std::error_code ec;
    // The value may also name the library file itself; then it is used as it
    // is, a bare name through the loader's search.
    if (std::filesystem::is_regular_file(folder, ec)) return ProgramRelativePath(value);
    if (folder.back() != '/') folder += '/';
    return folder;
}

CaptureDll::~CaptureDll() {
    if (IsBound()) CloseDllCapture();
}

std::shared_ptr<const CaptureDll::Binding> CaptureDll::Current() const {
    std::lock_guard guard(bindingMutex_);
    return binding_;
}

bool CaptureDll::IsBound() const { return Current() != nullptr; }

std::string CaptureDll::LoadedFrom() const {
    const auto binding = Current();
    return binding ? binding->Path : std::string();
}

bool CaptureDll::LoadCaptureDll() {
    FreeCaptureDll();
    const std::string folder = CaptureDllFolder(registry_);
    std::string path = folder.empty() || folder.back() == '/' ? folder + kCaptureDllName : folder;
    // Capture libraries stay mapped once loaded: capture restarts while the
    // capture thread runs, and a read still inside the library must never
    // find it gone. "Unloading" forgets the binding.
    std::string whyNot;
    std::shared_ptr<SharedLibrary> library = SharedLibrary::Open(path, true, &whyNot);
    if (!library) {
        path = kCaptureDllName;  // the system's search order (our RUNPATH included)
        std::string byName;
        library = SharedLibrary::Open(path, true, &byName);
        if (!library) {
            lastError_ = folder.empty() ? byName : whyNot + "; " + byName;
            return false;
        }
    }

    std::shared_ptr<Binding> binding = Bind(library, path, false);
    if (!binding) binding = Bind(library, path, true);
    if (!binding) {
        lastError_ = path + ": not a capture library (its entry points are missing)";
        return false;
    }

    std::uint8_t version[8] = {};
    binding->CallGetDriverVersion(version);
    std::lock_guard guard(bindingMutex_);
    binding_ = std::move(binding);
    return true;
}

bool CaptureDll::FreeCaptureDll() {
    std::lock_guard guard(bindingMutex_);
    if (!binding_) return false;
    binding_.reset();  // a read still running keeps its own reference
    return true;
}

bool CaptureDll::OpenDllCapture() {
    lastError_.clear();
    try {
        if (!LoadCaptureDll()) return false;
        const auto binding = Current();
        tCaptureOpenRecord record;
        if (binding->CallOpen(&record) != 0) {
            lastError_ = FileOf(*binding) + ": ORVTTCAP_Open failed";
            // Our libraries say why; others need not.
            if (binding->GetErrorText) {
                char text[512] = {};
                const std::uint32_t length = binding->GetErrorText(text, sizeof text);
                if (length > 0) lastError_ += ": " + std::string(text, std::min<std::size_t>(length, sizeof text - 1));
            }
            return false;
        }
        started_ = binding->CallStart() == 0;
        if (!started_) lastError_ = FileOf(*binding) + ": ORVTTCAP_Start failed";
        return started_;
    } catch (const std::exception& error) {
        lastError_ = error.what();
        return false;
    } catch (...) {
        return false;
    }
}

bool CaptureDll::CloseDllCapture() {
    if (const auto binding = Current()) {
        if (started_) {
            binding->CallStop();
            started_ = false;
        }
        binding->CallClose();
    }
    FreeCaptureDll();
    return true;
}

int CaptureDll::ReadDllPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets) {
    status = 0;
    packets.clear();
    const auto binding = Current();
    if (!binding) return 0;
    std::lock_guard guard(readMutex_);
    tCaptureReadDescriptor descriptor;
    descriptor.Entries = entries_.data();
    if (binding->CallGetPackets(kCaptureReadMax, &descriptor) != 0) return 0;
    // A library reporting more than it was asked for cannot have written more
    // than the buffer holds; the rest is not ours to read.
    const auto count = std::min<std::uint32_t>(descriptor.Count, kCaptureReadMax);
    packets.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) packets.push_back(entries_[i].Packet);
    status = descriptor.Status;
    return static_cast<int>(count);
}

std::optional<std::vector<TeletextDescriptorEntry>> CaptureDll::TeletextEntries() {
    const auto binding = Current();
    if (!binding || !binding->GetTeletextEntries) return std::nullopt;
    std::array<tCaptureTeletextEntry, kCaptureTeletextEntriesMax> records{};
    const std::uint32_t count = std::min(binding->GetTeletextEntries(records.data(), kCaptureTeletextEntriesMax),
                                         kCaptureTeletextEntriesMax);
    std::vector<TeletextDescriptorEntry> entries;
    entries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const tCaptureTeletextEntry& record = records[i];
        if (record.Page < 0x100 || record.Page > 0x8FF) continue;  // no page of ours
        TeletextDescriptorEntry& entry = entries.emplace_back();
        entry.Language.assign(record.Language, strnlen(record.Language, sizeof record.Language));
        entry.Type = record.Type;
        entry.Page = record.Page;
    }
    return entries;
}

}  // namespace orv
