// The per-bin loops of a voice's synthesis and the pitch search's direct sums, four bins (or
// lags) at a time. The synthesis kernels give the bits of the scalar loops they replace: the
// same operations in the same order, every product rounded before it is added (the barriers
// keep the AVX2 set from fusing them), divisions done lane by lane, which rounds as the scalar
// division does. Indexes read from a double keep the scalar loop's rule: its integer part when
// that lies in 0..hi - 1, else none.
//
// Included by dsp/kernelset.h inside the namespace of one kernel set.

typedef double lanes4 __attribute__((vector_size(4 * sizeof(double))));
typedef std::int64_t lanes4int __attribute__((vector_size(4 * sizeof(std::int64_t))));
typedef std::uint64_t lanes4bits __attribute__((vector_size(4 * sizeof(std::uint64_t))));

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

// Bin k's phase advances by k advance + (its frequency x ratio - k binwidth) hopscale and wraps;
// magnitude[k] takes the bin's magnitude. bins holds count packed (magnitude, frequency) pairs.
void advancephaseskernel(const double* bins, const phasestep& step, double* phases, double* magnitude, double* phase,
                         std::int64_t count)
{
    for (std::int64_t k = 0; k < count; k += lanes)
    {
        const int n = count - k < lanes ? static_cast<int>(count - k) : lanes;
        lanes4 f{}, m{}, before{};
        for (int j = 0; j < n; ++j)
        {
            m[j] = bins[2 * (k + j)];
            f[j] = bins[2 * (k + j) + 1];
            before[j] = phases[k + j];
        }
        const lanes4 kd = ramp(k);
        f = rounded(lanes4(f * step.ratio));
        const lanes4 offset = rounded(lanes4(f - rounded(lanes4(kd * step.binwidth))));
        const lanes4 moved = rounded(lanes4(kd * step.advance)) + rounded(lanes4(offset * step.hopscale));
        const lanes4 theta = wrappedlanes(moved + before, step.wraplimit);
        for (int j = 0; j < n; ++j)
        {
            magnitude[k + j] = m[j];
            phases[k + j] = theta[j];
            phase[k + j] = theta[j];
        }
    }
}

// The integer parts of x where they lie in 0..hi - 1; valid marks them.
inline lanes4int indexesof(const lanes4& x, double hi, lanes4int& valid)
{
    valid = (x > -1.0) & (x < hi);
    return __builtin_convertvector(select(valid, x, lanes4{}), lanes4int);
}

// magnitude[k] x envelope[j] / (envelope[k] + floor), j the integer part of k x g, for k < count;
// 0 where j lies beyond hi or the value falls below 0.
void warpkernel(const double* envelope, double g, double floor, std::int64_t hi, double* magnitude, std::int64_t count)
{
    const double hid = static_cast<double>(hi);
    for (std::int64_t k = 0; k < count; k += lanes)
    {
        const int n = count - k < lanes ? static_cast<int>(count - k) : lanes;
        lanes4int valid;
        const lanes4int j = indexesof(ramp(k) * g, hid, valid);
        lanes4 m{}, read{}, own{1.0, 1.0, 1.0, 1.0};
        for (int i = 0; i < n; ++i)
        {
            m[i] = magnitude[k + i];
            own[i] = envelope[k + i];
            read[i] = valid[i] != 0 ? envelope[j[i]] : 0.0;
        }
        const lanes4 w = rounded(lanes4(m * read)) / (own + floor);
        const lanes4 kept = select(valid & ~(w < 0.0), w, lanes4{});
        for (int i = 0; i < n; ++i)
            magnitude[k + i] = kept[i];
    }
}

// bins[2k], bins[2k + 1] += (re[s], im[s]) x gain x eq[k] (eq may be null), s the integer part
// of k / ratio + 0.5 where it lies in 0..hi - 1; other bins are left as they are.
void mapbinskernel(const double* re, const double* im, double ratio, double gain, const double* eq, std::int64_t hi,
                   double* bins, std::int64_t count)
{
    const double hid = static_cast<double>(hi);
    for (std::int64_t k = 0; k < count; k += lanes)
    {
        const int n = count - k < lanes ? static_cast<int>(count - k) : lanes;
        lanes4int valid;
        const lanes4int s = indexesof(ramp(k) / ratio + 0.5, hid, valid);
        lanes4 g{gain, gain, gain, gain};
        if (eq != nullptr)
        {
            lanes4 e{};
            for (int i = 0; i < n; ++i)
                e[i] = eq[k + i];
            g = rounded(lanes4(g * e));
        }
        lanes4 lower{}, upper{}, glo{}, ghi{}, blo{}, bhi{};
        for (int i = 0; i < n; ++i)
        {
            lanes4& v = i < 2 ? lower : upper;
            lanes4& gv = i < 2 ? glo : ghi;
            lanes4& b = i < 2 ? blo : bhi;
            const int at = 2 * (i & 1);
            if (valid[i] != 0)
            {
                v[at] = re[s[i]];
                v[at + 1] = im[s[i]];
            }
            gv[at] = gv[at + 1] = g[i];
            b[at] = bins[2 * (k + i)];
            b[at + 1] = bins[2 * (k + i) + 1];
        }
        const lanes4 sumlo = blo + rounded(lanes4(lower * glo));
        const lanes4 sumhi = bhi + rounded(lanes4(upper * ghi));
        for (int i = 0; i < n; ++i)
        {
            if (valid[i] == 0)
                continue;
            const lanes4& sum = i < 2 ? sumlo : sumhi;
            const int at = 2 * (i & 1);
            bins[2 * (k + i)] = sum[at];
            bins[2 * (k + i) + 1] = sum[at + 1];
        }
    }
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
