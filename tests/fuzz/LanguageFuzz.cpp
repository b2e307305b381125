// Bytes as a language module file, then a look at the texts of every window
// class the file seems to name, as each window asks for its own.
#include <string_view>

#include "FuzzTarget.h"
#include "platform/LanguageModule.h"

namespace {

void CheckForm(const orv::LanguageModule& module, std::string_view name) {
    const auto* texts = module.Form(name);
    if (texts == nullptr) return;
    for (const auto& t : *texts)
        if (t.Property.empty() || t.Property.find_first_of(" \t.") != std::string_view::npos) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    orv::LanguageModule module;
    module.Parse(text);
    CheckForm(module, "TMainForm");
    CheckForm(module, "");
    for (std::size_t at = 0; at < text.size();) {
        const auto end = text.find('\n', at);
        std::string_view line = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        const auto open = line.find('[');
        const auto close = line.rfind(']');
        if (open != std::string_view::npos && close != std::string_view::npos && open < close)
            CheckForm(module, line.substr(open + 1, close - open - 1));
    }
    // Parsed again over the first, as when the language is changed.
    module.Parse(text);
    return 0;
}
