// Helpers shared by the tests: a sink that keeps what the assembly posts, and
// page images built by hand.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/DisplaySink.h"
#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"

namespace orv::test {

class RecordingSink : public DisplaySink {
public:
    void PostPage(PagePtr page) override { pages.push_back(std::move(page)); }
    void PostStationName(std::unique_ptr<tStationName> name) override { names.push_back(std::move(name)); }
    void PostReset(std::unique_ptr<tResetNotice> notice) override { resets.push_back(std::move(notice)); }

    std::vector<PagePtr> pages;
    std::vector<std::unique_ptr<tStationName>> names;
    std::vector<std::unique_ptr<tResetNotice>> resets;
};

// A posted-looking page: all rows spaces, the given rows set from text.
inline std::unique_ptr<tPageImage> MakePage(std::uint16_t pageNo, std::int32_t subCode,
                                            std::vector<std::pair<int, std::string_view>> rows = {},
                                            std::uint8_t option = 0) {
    auto page = std::make_unique<tPageImage>();
    page->RecType = kRecPage;
    page->PageNo = pageNo;
    page->SubCode = subCode;
    page->NationalOption = option;
    for (auto& row : page->Rows) row.fill(0x20);
    for (const auto& [r, text] : rows) {
        std::memcpy(page->Rows[r].data(), text.data(), std::min<std::size_t>(text.size(), kRowLength));
        page->LastRow = std::max<std::int32_t>(page->LastRow, r);
    }
    return page;
}

inline std::string RowText(const tPageImage& page, int row) {
    return std::string(reinterpret_cast<const char*>(page.Rows[row].data()), kRowLength);
}

}  // namespace orv::test
