// pparam: one value of the model, kept both normalised (0..1, what controls show and the
// state text stores) and mapped into its own range and unit (what the audio path reads).
#pragma once

#include "foundation/costringa.h"
#include "foundation/prelaxed.h"

#include <cstdint>

// Value mapping of a parameter. Anything that is neither logarithmic nor integer maps
// linearly; the creators use 1.
enum pparamtype : std::uint32_t
{
    pparamlinear = 1,
    pparamlog = 2,
    pparamint = 3,
};

// The control that edits a parameter.
enum pparamcon : std::uint32_t
{
    pconknob = 1,
    pconmenu = 2,
    pconswitch = 3,
    pcontextfield = 4,
};

// log10(30) to 15 significant digits. Saved states hold normalised values computed with
// exactly this constant, so it must not be replaced by the full-precision value.
inline constexpr double pparamlogk = 1.47712125471966;
// (10^K - 1): the logarithmic mapping spans 1..30 before it is scaled to the range.
inline constexpr double pparamlogspan = 29.0;

// x clamped into lo..hi; a value that is no number counts as lo.
inline double clampto(double x, double lo, double hi)
{
    if (!(x >= lo))
        return lo;
    return x > hi ? hi : x;
}

struct pparam
{
    // Fixed at creation, before the parameter is published to any other thread.
    pparamtype type = pparamlinear;
    pparamcon control = pconknob;
    std::uint64_t style = 0; // film strip, menu list number or switch image for the builder
    double min = 0.0;        // lowest value in units
    double range = 0.0;      // highest value = min + range

    // Written whole by any thread through the two setters; a reader may see norm and value
    // from two different writes for one hop, never a torn number.
    prelaxed<double> norm;           // 0..1
    prelaxed<double> value;          // min..min + range
    prelaxed<std::int32_t> intvalue; // kept up to date for integer parameters only

    costringa name; // display name; may be empty

    // Sets the value in units: clamped into the range, norm derived from it, integer value
    // truncated toward zero. NaN or infinity sets the minimum.
    void setvalue(double units);
    // Sets the normalised value: clamped to 0..1, value derived from it, integer value
    // rounded half up. NaN or infinity sets 0.
    void setnorm(double normalised);

    // The mapping itself, without touching the fields.
    double normtovalue(double normalised) const;
    double valuetonorm(double units) const;
};
