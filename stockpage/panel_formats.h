// Colours, time texts and futures nature texts of the stock page's panels.
// The number texts themselves are those of foundation/number_formats.h.
//
// Colours are 0xRRGGBB integers, as the drawing helpers take them.
//
// The futures markets are those of IsFuturesMarket (marketdata/
// quote_record.h): ids 3, 4, 5 and 19. Note that market 3 is Hong Kong in
// the quote tables; the panels follow the futures set nevertheless, as the
// stock page does when it places and feeds them.
#pragma once

#include "marketdata/quote_record.h"

#include <cstdint>

namespace panel {

inline constexpr uint32_t kBlack = 0x000000;
inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr uint32_t kRed = 0xFF0000;        // above the reference, buyer-initiated
inline constexpr uint32_t kGreen = 0x00FF00;      // below the reference, seller-initiated
inline constexpr uint32_t kYellow = 0xFFFF00;     // volumes, amounts, titles
inline constexpr uint32_t kMagenta = 0xFF00FF;    // large level-2 volumes
inline constexpr uint32_t kLabelGrey = 0xAAAAAA;  // labels and times
inline constexpr uint32_t kLineColor = 0x303030;  // separators and frames
inline constexpr uint32_t kTitleFill = 0x292929;  // title bands
inline constexpr uint32_t kSelectBlue = 0x0000FF; // the selected tick row
inline constexpr uint32_t kHighlightBlue = 0x0000AA;  // highlighted trades

// Red above the reference, green below, white equal (also for NaN).
uint32_t ColorAgainst(double value, double reference);
// Red above 0, green below, white at 0.
uint32_t ColorBySign(double value);
// The colour of a volume ratio in ten-thousandths: red above 10,000, white
// at 10,000, green below.
uint32_t VolumeRatioColor(int32_t tenThousandths);
// A stock tick's volume: magenta when the area's kind byte is 2 and the
// volume is at least 500, else yellow.
uint32_t TickVolumeColor(uint8_t kind, int64_t volume);
// The colour a futures direction byte gives its row: red for 'B', green for
// 'S', for any other byte the colour of the row before (previous).
uint32_t DirectionColor(uint8_t direction, uint32_t previous);

// "%02d:%02d:%02d" of an HHMMSS integer split by 10,000 and 100; a value
// outside 0..235959 prints its fields as they come (never more than the
// room). Returns the units written (see number_formats.h for the buffer).
int FormatTickTime(int32_t hhmmss, char16_t* out, int outSize);
// ":%02d" of the seconds of HHMMSS (the tick-by-tick panel's short form).
int FormatTickSeconds(int32_t hhmmss, char16_t* out, int outSize);

// The text of a futures trade's nature code 1..8; "" for any other code.
const char16_t* FuturesNatureText(int code);

}  // namespace panel
