#include "engine/pparam.h"
#include "engine/pprojdata.h"

#include <cmath>

double pparam::normtovalue(double normalised) const
{
    if (type == pparamlog)
        return (std::pow(10.0, normalised * pparamlogk) - 1.0) / pparamlogspan * range + min;
    return normalised * range + min;
}

double pparam::valuetonorm(double units) const
{
    if (!(range > 0.0))
        return 0.0;
    double n;
    if (type == pparamlog)
        n = std::log10((units - min) / range * pparamlogspan + 1.0) / pparamlogk;
    else
        n = (units - min) / range;
    // K is log10(30) rounded, so the top of a logarithmic range maps a hair above 1.
    return clampto(n, 0.0, 1.0);
}

void pparam::setvalue(double units)
{
    const double v = std::isfinite(units) ? clampto(units, min, min + range) : min;
    value = v;
    norm = valuetonorm(v);
    if (type == pparamint)
        intvalue = static_cast<std::int32_t>(v); // toward zero
}

void pparam::setnorm(double normalised)
{
    const double n = std::isfinite(normalised) ? clampto(normalised, 0.0, 1.0) : 0.0;
    norm = n;
    const double v = normtovalue(n);
    value = v;
    if (type == pparamint)
        intvalue = static_cast<std::int32_t>(v + 0.5); // half-way values go up
}

pparam* pprojdata::newparam(ocarray::ArrayPtr<pparam>& array, double range, double value, bool normalised,
                            pparamcon control, pparamtype type, const char* name, std::uint64_t style)
{
    auto* p = new pparam;
    p->type = type;
    p->control = control;
    p->style = style;
    p->min = 0.0;
    p->range = range;
    p->name.assign(name != nullptr ? name : "");
    if (normalised)
        p->setnorm(value);
    else
        p->setvalue(value);
    array.append(p);
    return p;
}

pparam* pprojdata::pushparam(double range, double value, bool normalised, pparamcon control, pparamtype type,
                             const char* name)
{
    return newparam(params, range, value, normalised, control, type, name, 0);
}

void pprojdata::pushglobalparams()
{
    // The width that puts 1.0 in units near the middle of a logarithmic knob.
    constexpr double widerange = 6.474587245063127;
    constexpr bool inunits = false;
    constexpr bool normalised = true;

    params.clearAndDestroy();
    pushparam(widerange, 1.0, inunits, pconknob, pparamlog, "In");
    pushparam(widerange, 0.5, normalised, pconknob, pparamlog, "Global Volume");
    pushparam(1.0, 0.0, inunits, pconknob, pparamlog, "Dry Volume");
    pushparam(1.0, 1.0, inunits, pconknob, pparamlog, "Wet Vol");
    pushparam(1.25, 0.0, inunits, pconknob, pparamlog, "Detection Gate");
    pushparam(1.0, 1.0, inunits, pconmenu, pparamint, "Mono Stereo");
    pushparam(widerange, 1.0, inunits, pconknob, pparamlog, "Global XGate");
    pushparam(widerange, 1.0, inunits, pconknob, pparamlog, "Global Feedback");
    pushparam(1.0, 1.0, inunits, pconmenu, pparamint, "Show Note");
}

pparam* pprojdata::globalparam(std::uint64_t index) const
{
    return index < params.count ? params[index] : nullptr;
}
