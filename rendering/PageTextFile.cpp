#include "rendering/PageTextFile.h"

#include <cstdio>
#include <memory>

#include "platform/FileAttributes.h"
#include "rendering/TextEncoding.h"
#include "rendering/VTX_TEXT_DISPLAY.h"

namespace orv {

namespace {

std::string Block(std::string_view title, std::string_view text) {
    std::string block;
    block.reserve(title.size() + text.size() + 2 * kPageTextSeparator.size() + 12);
    block.append(title).append("\r\n");
    block.append(kPageTextSeparator).append("\r\n");
    block.append(text);
    block.append("\r\n");
    block.append(kPageTextSeparator).append("\r\n");
    block.append("\r\n");
    return block;
}

}  // namespace

std::string PageTextBlock(std::string_view title, const tPageImage& page, const PageEnhancements* enhancements) {
    return Block(title, EncodeCodePage(PageText(page, enhancements), PageTextCodePage(page, enhancements)));
}

std::string PageTextBlockUtf8(std::string_view title, const tPageImage& page, const PageEnhancements* enhancements) {
    return Block(title, Utf16ToUtf8(PageText(page, enhancements)));
}

bool SavePageText(const std::string& fileName, const tPageImage& page, std::string_view title,
                  const PageEnhancements* enhancements) {
    return WriteTextFile(fileName, PageTextBlock(title, page, enhancements), true);
}

bool WriteTextFile(const std::string& fileName, std::string_view text, bool append) {
    if (IsReadOnlyFile(fileName)) return false;
    std::FILE* file = std::fopen(fileName.c_str(), append ? "ab" : "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

std::string SavedPageName(std::string_view key) {
    std::string name(key);
    if (const auto slash = name.find('/'); slash != std::string::npos) name[slash] = '-';
    return name;
}

}  // namespace orv
