#include "rendering/PageTextFile.h"

#include <cstdio>
#include <memory>

#include "platform/FileAttributes.h"
#include "rendering/VTX_TEXT_DISPLAY.h"

namespace orv {

std::string PageTextBlock(std::string_view title, const tPageImage& page) {
    std::string block;
    block.reserve(title.size() + kPageTextLength + 2 * kPageTextSeparator.size() + 12);
    block.append(title).append("\r\n");
    block.append(kPageTextSeparator).append("\r\n");
    block.append(PageText(page));
    block.append("\r\n");
    block.append(kPageTextSeparator).append("\r\n");
    block.append("\r\n");
    return block;
}

bool SavePageText(const std::string& fileName, const tPageImage& page, std::string_view title) {
    const std::string block = PageTextBlock(title, page);
    if (IsReadOnlyFile(fileName)) return false;
    std::FILE* file = std::fopen(fileName.c_str(), "ab");
    if (!file) return false;
    const bool written = std::fwrite(block.data(), 1, block.size(), file) == block.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

std::string SavedPageName(std::string_view key) {
    std::string name(key);
    if (const auto slash = name.find('/'); slash != std::string::npos) name[slash] = '-';
    return name;
}

}  // namespace orv
