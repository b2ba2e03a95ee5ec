// The per-bin loops of a voice's synthesis and the pitch search's direct sums, four bins (or
// lags) at a time. The synthesis kernels give the bits of the scalar loops they replace: the
// same operations in the same order, every product rounded before it is added (the barriers
// keep the AVX2 set from fusing them), divisions done lane by lane, which rounds as the scalar
// division does. Indexes read from a double keep the scalar loop's rule: its integer part when
// that lies in 0..hi - 1, else none.
//
// Included by dsp/kernelset.h inside the namespace of one kernel set.

constexpr int lanes = 4;
constexpr double pi = 3.14159265358979323846;
// 2^52: adding it to a value below it rounds that value to a whole number.
constexpr double wholeshift = 4503599627370496.0;

// A product as the scalar code rounds it, before any addition.
template <typename T>
inline T rounded(T x)
{
#if defined(__FMA__)
    __asm__("" : "+x"(x));
#endif
    return x;
}

inline lanes4 select(const lanes4int& mask, const lanes4& yes, const lanes4& no)
{
    return (lanes4)(((lanes4bits)yes & (lanes4bits)mask) | ((lanes4bits)no & ~(lanes4bits)mask));
}

inline lanes4 ramp(std::int64_t k)
{
    const double kd = static_cast<double>(k);
    return lanes4{kd, kd + 1.0, kd + 2.0, kd + 3.0};
}

// x wrapped into -pi..pi by whole multiples of 2 pi, as the engine's scalar wrap: q, the
// integer part of x / pi, moved away from zero when odd; x - pi q. 0 where |x| is not below
// limit (a double there holds no fraction of a turn), and for NaN.
inline lanes4 wrappedlanes(lanes4 x, double limit)
{
    const lanes4 magnitude = (lanes4)((lanes4bits)x & ~0x8000000000000000ull);
    const lanes4int inrange = magnitude < limit;
    x = select(inrange, x, lanes4{});
    const lanes4 y = x / pi;
    const lanes4 a = (lanes4)((lanes4bits)y & ~0x8000000000000000ull); // below 2^52 for limit <= 1e15
    const lanes4 shifted = a + wholeshift;                             // its last bit: round(a) odd
    const lanes4 nearest = shifted - wholeshift;
    const lanes4int above = nearest > a; // rounded up: the integer part is one less
    const lanes4 whole = nearest - select(above, lanes4{1.0, 1.0, 1.0, 1.0}, lanes4{});
    const lanes4int odd = (lanes4int)(((lanes4bits)shifted & 1u) ^ ((lanes4bits)above & 1u));
    const lanes4 qmagnitude = whole + select(odd != 0, lanes4{1.0, 1.0, 1.0, 1.0}, lanes4{});
    const lanes4 q = select(y < 0.0, -qmagnitude, qmagnitude);
    return select(inrange, x - rounded(lanes4(pi * q)), lanes4{});
}

// Four values from memory, at any alignment.
inline lanes4 load4(const double* p)
{
    return loadvector<lanes4>(p);
}

inline void store4(double* p, const lanes4& v)
{
    storevector(p, v);
}

// The stretch of n < 4 values at p, then pad: the last short block runs on such copies.
template <int Size>
inline void padded(double (&to)[Size], const double* p, std::int64_t n, double pad)
{
    for (std::int64_t i = 0; i < Size; ++i)
        to[i] = i < n ? p[i] : pad;
}

// Four bins from k: bins holds packed (magnitude, frequency) pairs, before the phases.
inline void advancefour(const double* bins, const double* before, const phasestep& step, std::int64_t k, double* phases,
                        double* magnitude, double* phase)
{
    const lanes4 lo = load4(bins), hi = load4(bins + lanes);
    const lanes4 m = __builtin_shufflevector(lo, hi, 0, 2, 4, 6);
    const lanes4 f = rounded(lanes4(__builtin_shufflevector(lo, hi, 1, 3, 5, 7) * step.ratio));
    const lanes4 kd = ramp(k);
    const lanes4 offset = f - rounded(lanes4(kd * step.binwidth));
    const lanes4 moved = rounded(lanes4(kd * step.advance)) + rounded(lanes4(offset * step.hopscale));
    const lanes4 theta = wrappedlanes(moved + load4(before), step.wraplimit);
    store4(magnitude, m);
    store4(phases, theta);
    store4(phase, theta);
}

// Bin k's phase advances by k advance + (its frequency x ratio - k binwidth) hopscale and wraps;
// magnitude[k] takes the bin's magnitude. bins holds count packed (magnitude, frequency) pairs.
void advancephaseskernel(const double* bins, const phasestep& step, double* phases, double* magnitude, double* phase,
                         std::int64_t count)
{
    std::int64_t k = 0;
    for (; k + lanes <= count; k += lanes)
        advancefour(bins + 2 * k, phases + k, step, k, phases + k, magnitude + k, phase + k);
    if (k == count)
        return;
    const std::int64_t n = count - k;
    double in[2 * lanes], before[lanes], after[lanes], m[lanes], p[lanes];
    padded(in, bins + 2 * k, 2 * n, 0.0);
    padded(before, phases + k, n, 0.0);
    advancefour(in, before, step, k, after, m, p);
    std::memcpy(phases + k, after, sizeof(double) * static_cast<std::size_t>(n));
    std::memcpy(magnitude + k, m, sizeof(double) * static_cast<std::size_t>(n));
    std::memcpy(phase + k, p, sizeof(double) * static_cast<std::size_t>(n));
}

// The integer parts of x where they lie in 0..hi - 1 (0 elsewhere); valid marks them.
inline lanes4int indexesof(const lanes4& x, double hi, lanes4int& valid)
{
    valid = (x > -1.0) & (x < hi);
    return __builtin_convertvector(select(valid, x, lanes4{}), lanes4int);
}

inline void warpfour(const double* envelope, const double* own, double g, double floor, double hi, std::int64_t k,
                     double* magnitude)
{
    lanes4int valid;
    const lanes4int j = indexesof(ramp(k) * g, hi, valid);
    const lanes4 read{envelope[j[0]], envelope[j[1]], envelope[j[2]], envelope[j[3]]};
    const lanes4 w = rounded(lanes4(load4(magnitude) * read)) / (load4(own) + floor);
    store4(magnitude, select(valid & ~(w < 0.0), w, lanes4{}));
}

// magnitude[k] x envelope[j] / (envelope[k] + floor), j the integer part of k x g, for k < count;
// 0 where j lies beyond hi or the value falls below 0.
void warpkernel(const double* envelope, double g, double floor, std::int64_t hi, double* magnitude, std::int64_t count)
{
    const double hid = static_cast<double>(hi);
    std::int64_t k = 0;
    for (; k + lanes <= count; k += lanes)
        warpfour(envelope, envelope + k, g, floor, hid, k, magnitude + k);
    if (k == count)
        return;
    const std::int64_t n = count - k;
    double own[lanes], m[lanes];
    padded(own, envelope + k, n, 1.0);
    padded(m, magnitude + k, n, 0.0);
    warpfour(envelope, own, g, floor, hid, k, m);
    std::memcpy(magnitude + k, m, sizeof(double) * static_cast<std::size_t>(n));
}

inline void mapfour(const double* re, const double* im, double ratio, const lanes4& g, double hi, std::int64_t k,
                    double* bins)
{
    lanes4int valid;
    const lanes4int s = indexesof(ramp(k) / ratio + 0.5, hi, valid);
    const lanes4 lower{re[s[0]], im[s[0]], re[s[1]], im[s[1]]};
    const lanes4 upper{re[s[2]], im[s[2]], re[s[3]], im[s[3]]};
    const lanes4 blo = load4(bins), bhi = load4(bins + lanes);
    const lanes4 sumlo = blo + rounded(lanes4(lower * __builtin_shufflevector(g, g, 0, 0, 1, 1)));
    const lanes4 sumhi = bhi + rounded(lanes4(upper * __builtin_shufflevector(g, g, 2, 2, 3, 3)));
    store4(bins, select(__builtin_shufflevector(valid, valid, 0, 0, 1, 1), sumlo, blo));
    store4(bins + lanes, select(__builtin_shufflevector(valid, valid, 2, 2, 3, 3), sumhi, bhi));
}

// bins[2k], bins[2k + 1] += (re[s], im[s]) x gain x eq[k] (eq may be null), s the integer part
// of k / ratio + 0.5 (ratio > 0) where it lies in 0..hi - 1; other bins are left as they are.
void mapbinskernel(const double* re, const double* im, double ratio, double gain, const double* eq, std::int64_t hi,
                   double* bins, std::int64_t count)
{
    const double hid = static_cast<double>(hi);
    const lanes4 gains{gain, gain, gain, gain};
    std::int64_t k = 0;
    for (; k + lanes <= count; k += lanes)
    {
        // k / ratio never falls as k rises: from the first bin that reads beyond hi on, all do.
        if (static_cast<double>(k) / ratio + 0.5 >= hid)
            return;
        mapfour(re, im, ratio, eq != nullptr ? rounded(lanes4(gains * load4(eq + k))) : gains, hid, k, bins + 2 * k);
    }
    if (k == count)
        return;
    const std::int64_t n = count - k;
    double e[lanes], b[2 * lanes];
    padded(e, eq != nullptr ? eq + k : nullptr, eq != nullptr ? n : 0, 1.0);
    padded(b, bins + 2 * k, 2 * n, 0.0);
    mapfour(re, im, ratio, eq != nullptr ? rounded(lanes4(gains * load4(e))) : gains, hid, k, b);
    std::memcpy(bins + 2 * k, b, sizeof(double) * static_cast<std::size_t>(2 * n));
}

// out[i] = sum over j < n of (a[j] - b[i + j])^2 for i < count: four lags share each read of a.
void squareddifferenceskernel(const double* a, const double* b, std::int64_t n, double* out, std::int64_t count)
{
    std::int64_t i = 0;
    for (; i + lanes <= count; i += lanes)
    {
        lanes4 s0{}, s1{}, s2{}, s3{};
        std::int64_t j = 0;
        for (; j + lanes <= n; j += lanes)
        {
            lanes4 x, y0, y1, y2, y3;
            std::memcpy(&x, a + j, sizeof x);
            std::memcpy(&y0, b + i + j, sizeof y0);
            std::memcpy(&y1, b + i + j + 1, sizeof y1);
            std::memcpy(&y2, b + i + j + 2, sizeof y2);
            std::memcpy(&y3, b + i + j + 3, sizeof y3);
            y0 = x - y0;
            y1 = x - y1;
            y2 = x - y2;
            y3 = x - y3;
            s0 += y0 * y0;
            s1 += y1 * y1;
            s2 += y2 * y2;
            s3 += y3 * y3;
        }
        double t[lanes] = {(s0[0] + s0[1]) + (s0[2] + s0[3]), (s1[0] + s1[1]) + (s1[2] + s1[3]),
                           (s2[0] + s2[1]) + (s2[2] + s2[3]), (s3[0] + s3[1]) + (s3[2] + s3[3])};
        for (; j < n; ++j)
            for (int l = 0; l < lanes; ++l)
            {
                const double d = a[j] - b[i + l + j];
                t[l] += d * d;
            }
        std::memcpy(out + i, t, sizeof t);
    }
    for (; i < count; ++i)
    {
        double t = 0.0;
        for (std::int64_t j = 0; j < n; ++j)
        {
            const double d = a[j] - b[i + j];
            t += d * d;
        }
        out[i] = t;
    }
}

// The sum of x[0..n-1], and of (x[j] - about)^2: eight running sums, so the additions overlap
// instead of waiting on one another. They differ from one running sum only by rounding.
double sumkernel(const double* x, std::int64_t n)
{
    lanes4 s0{}, s1{};
    std::int64_t j = 0;
    for (; j + 2 * lanes <= n; j += 2 * lanes)
    {
        s0 += load4(x + j);
        s1 += load4(x + j + lanes);
    }
    s0 += s1;
    double s = (s0[0] + s0[1]) + (s0[2] + s0[3]);
    for (; j < n; ++j)
        s += x[j];
    return s;
}

double squareddeviationkernel(const double* x, std::int64_t n, double about)
{
    lanes4 s0{}, s1{};
    std::int64_t j = 0;
    for (; j + 2 * lanes <= n; j += 2 * lanes)
    {
        const lanes4 d0 = load4(x + j) - about, d1 = load4(x + j + lanes) - about;
        s0 += d0 * d0;
        s1 += d1 * d1;
    }
    s0 += s1;
    double s = (s0[0] + s0[1]) + (s0[2] + s0[3]);
    for (; j < n; ++j)
        s += (x[j] - about) * (x[j] - about);
    return s;
}
