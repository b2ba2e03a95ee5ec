// What the graph view draws, as one-pixel lines handed to a sink. The framework renderer
// (pguitools::updatepixels) replays them into the view's image; tests record them. No
// framework code here, so the pictures can be checked line by line without a display.
#pragma once

#include "foundation/prelaxed.h"
#include "kit/pguitools.h"

#include <cstdint>

// Receives the picture: a colour, then the lines drawn in it, inclusive of both ends.
class pgraphsink
{
public:
    virtual ~pgraphsink() = default;
    virtual void setcolour(std::uint32_t argb) = 0;
    virtual void line(int x1, int y1, int x2, int y2) = 0;
};

struct pgrapharea
{
    int x = 0, y = 0, w = 0, h = 0;
};

// Colours (ARGB).
inline constexpr std::uint32_t pgraphcurve = 0xff00dcdc;
inline constexpr std::uint32_t pgraphbar = 0xff937c9f;
inline constexpr std::uint32_t pgraphbaseline = 0xffdcdcdc;
inline constexpr std::uint32_t pgraphfirsttick = 0xffdc0000;
inline constexpr std::uint32_t pgraphlatertick = 0xff937c9f;
inline constexpr std::uint32_t pgraphtextcolour = 0xffbebebe;
inline constexpr std::uint64_t pgraphmixpoints = 8;
inline constexpr std::uint32_t pgraphmixcolours[pgraphmixpoints] = {
    0xffff0000, 0xff937c9f, 0xffffff00, 0xffffffff, 0xffa80000, 0xff655565, 0xffa8a800, 0xffa8a8a8,
};

// Where the graph of a page lies on the editor: the small square of the modulator, delay
// and mix pages, or the EQ page's graph rectangle.
pgrapharea pgraphareaof(int page, const prect& graphrect);

// Draws the page's picture for an image of w x h pixels. data holds count values (what
// each page reads is in the editor tick); a page finds too few values draws nothing of what
// they would have given. The mix page draws at most pgraphmixpoints points. history is the
// modulation ring (phistoryslots entries), read for the modulator page's controller source.
void pgraphdraw(const int* data, unsigned long count, int page, int w, int h, const prelaxed<std::int32_t>* history,
                pgraphsink& sink);
