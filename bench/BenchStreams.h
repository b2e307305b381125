// Packet streams and page sets the benchmarks share.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"
#include "drivers/broadcast/TtiFile.h"

namespace orv::bench {

// That many packets of the built-in demo broadcast.
std::vector<tVTXPacket> DemoStream(std::size_t packets);

// One hour of a busy synthetic service: 800 packets a second (2.88 million),
// 8 magazines of full pages with 24 rows of text.
std::vector<tVTXPacket> SyntheticHourStream();

// The same hour of a service whose every page also carries fastext links
// (X/27/0), a character set (X/28/0) and 26 characters placed by two X/26
// packets, and whose magazines send M/29/0.
std::vector<tVTXPacket> SyntheticEnhancedHourStream();

// The packets of a .t42 recording named by $ORVTT_BENCH_T42 (none when unset).
std::vector<tVTXPacket> RecordingStream();

// The pages the assembly posts for a stream, in order of arrival.
std::vector<PagePtr> ReceivedPages(const std::vector<tVTXPacket>& stream);

// Synthetic pages with text on every row; page numbers 100..899, sub-codes rotating.
std::vector<TtiPage> SyntheticPages(std::size_t count, unsigned seed);

// A page as the assembly posts it: rows 0-24 from the page, the rest blank.
std::unique_ptr<tPageImage> PageImageOf(const TtiPage& page);

}  // namespace orv::bench
