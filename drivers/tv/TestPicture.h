// The simulated card's picture: eight colour bars with a band running down
// them, a label in the middle (the channel, or the name of the input) and a
// clock with tenths below. It is drawn 25 times a second at window size, so
// the bar rows are made once per width and a frame is row copies plus a few
// small boxes.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

namespace orv {

struct PictureTime {
    std::chrono::milliseconds Running{0};  // any steady count: moves the band
    int Hour = 0, Minute = 0, Second = 0, Tenth = 0;
};

class TestPicture {
public:
    // Draws width x height pixels of 0xFFRRGGBB, stride pixels a row. False,
    // with nothing drawn, for no pixels, an empty size or a stride below the
    // width.
    bool Draw(std::uint32_t* pixels, int width, int height, int stride, std::string_view label,
              const PictureTime& time);

private:
    void MakeRows(int width);

    int rowWidth_ = 0;
    std::vector<std::uint32_t> barRow_;   // one row of the bars
    std::vector<std::uint32_t> bandRow_;  // the same row where the band is
};

}  // namespace orv
