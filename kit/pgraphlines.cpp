#include "kit/pgraphlines.h"

#include "engine/patchparams.h"
#include "engine/pprojdata.h"

#include <cmath>

namespace
{
// The small square shared by the modulator, delay and mix pages.
constexpr pgrapharea smallarea{584, 264, 265, 265};

// The LFO curve spans y 132..236 whatever the area's height.
constexpr double curvetop = 132.0;
constexpr double curvehalfspan = 52.0;
constexpr int curvestarty = 236;
constexpr double speedscale = 128.0; // speeds arrive as norm x 128
constexpr double speedcycles = 0.25; // a speed of 128 shows 32 cycles
constexpr double twopi = 6.283185307179586;

// Envelope follower's display: its time constant at a speed of 0 and 128, over 441 samples.
constexpr double envelopeslow = 15.0;
constexpr double envelopefast = 0.5;
constexpr double envelopesamples = 441.0;

// Echo ticks hang from y 10 to 60, 4 pixels in from the left.
constexpr int ticktop = 10;
constexpr int tickbottom = 60;
constexpr int tickinset = 4;

constexpr int crossarm = 7;

constexpr unsigned long modulatorvalues = 4; // pages 10 and 11 read data[0..3]

int truncated(double v)
{
    return static_cast<int>(std::trunc(v));
}

void lfocurve(int shape, int speed, int w, pgraphsink& sink)
{
    if (shape != pshapetriangle && shape != pshapesine)
        return;
    sink.setcolour(pgraphcurve);
    int px = 0, py = curvestarty;
    for (int i = 0; i < w; ++i)
    {
        const double f = speed * (static_cast<double>(i) / w) * speedcycles;
        double level = 0.0;
        if (shape == pshapetriangle)
        {
            const double p = std::fmod(f + 0.5, 1.0);
            const double t = p > 0.5 ? 0.75 - p : p - 0.25;
            level = 4.0 * t + 1.0;
        }
        else
        {
            level = std::cos(twopi * f) + 1.0;
        }
        const int y = truncated(level * curvehalfspan + curvetop);
        sink.line(px, py, i, y);
        px = i, py = y;
    }
}

void envelopecurve(int speed, int w, int h, pgraphsink& sink)
{
    // The speed divides as a real number: a whole-number division would give every speed
    // below 128 the slowest curve.
    const double slowness = 1.0 - speed / speedscale;
    const double k = std::exp(-twopi * (slowness * slowness * envelopeslow + envelopefast) / envelopesamples);
    sink.setcolour(pgraphcurve);
    double e = 0.0;
    int previous = h;
    for (int i = 1; i < w - 1; ++i)
    {
        e = e * k + (1.0 - k);
        const int y = truncated((1.0 - e) * h);
        sink.line(i - 1, previous, i, y);
        previous = y;
    }
}

void historycurve(const prelaxed<std::int32_t>* history, int h, pgraphsink& sink)
{
    if (history == nullptr)
        return;
    sink.setcolour(pgraphcurve);
    int previous = h - history[0].load();
    for (std::uint64_t i = 1; i < phistoryslots; ++i)
    {
        const int v = history[i].load();
        const int y = v < 0 ? previous : h - v;
        const int x = static_cast<int>(i);
        sink.line(x - 1, previous, x, y);
        previous = y;
    }
}

void echoticks(int spacing, int w, pgraphsink& sink)
{
    const int d = spacing != 0 ? spacing : 1;
    sink.setcolour(pgraphbaseline);
    sink.line(tickinset, ticktop, tickinset, tickbottom);
    sink.setcolour(pgraphfirsttick);
    for (int i = 1; i < w - tickinset; ++i)
    {
        if (i % d != 0)
            continue;
        sink.line(i + tickinset, ticktop, i + tickinset, tickbottom);
        sink.setcolour(pgraphlatertick);
    }
}
} // namespace

pgrapharea pgraphareaof(int page, const prect& graphrect)
{
    if (page == ppagemodulator || page == ppagedelay || page == ppagemix)
        return smallarea;
    return {graphrect.left, graphrect.top, graphrect.right - graphrect.left, graphrect.bottom - graphrect.top};
}

void pgraphdraw(const int* data, unsigned long count, int page, int w, int h, const prelaxed<std::int32_t>* history,
                pgraphsink& sink)
{
    if (data == nullptr || w <= 0 || h <= 0)
        return;
    switch (page)
    {
    case ppagemodulator:
        if (count < modulatorvalues)
            return;
        if (data[2] == psourcelfo)
            lfocurve(data[3], data[1], w, sink);
        else if (data[2] == psourceenvelope)
            envelopecurve(data[1], w, h, sink);
        else if (data[2] == psourcecontroller)
            historycurve(history, h, sink);
        return;
    case ppagedelay:
        if (count < modulatorvalues)
            return;
        lfocurve(data[3], data[1], w, sink);
        echoticks(data[0], w, sink);
        return;
    case ppageeq:
    {
        sink.setcolour(pgraphbar);
        const unsigned long columns = count < static_cast<unsigned long>(w) ? count : static_cast<unsigned long>(w);
        for (unsigned long i = 0; i < columns; ++i)
        {
            // Heights beyond the image draw to its edge; they are clipped there anyway.
            const int height = data[i] < 0 ? 0 : (data[i] > h ? h : data[i]);
            const int x = static_cast<int>(i);
            sink.line(x, h - 1, x, h - 1 - height);
        }
        return;
    }
    case ppagemix:
        for (std::uint64_t n = 0; n < pgraphmixpoints && 2 * n + 1 < count; ++n)
        {
            sink.setcolour(pgraphmixcolours[n]);
            const int px = data[2 * n], py = data[2 * n + 1];
            sink.line(px - crossarm, py, px + crossarm, py);
            sink.line(px, py - crossarm, px, py + crossarm);
        }
        return;
    default: return;
    }
}
