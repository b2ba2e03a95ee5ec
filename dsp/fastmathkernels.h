// The arctangent: with a the smaller and b the larger of |x| and |y|, atan(a/b) lies in
// 0..pi/4; fdlibm's reduction takes a/b <= 7/16 as it is, up to 11/16 through atan(1/2) and
// above through atan(1), each as one quotient of a and b, then its odd polynomial of degree 21.
// Swapping, the sign of x and the sign of y move the result into its octant.
//
// The logarithm: 1 + x rounded is u; ln(1 + x) = ln u + (x - (u - 1)) / u, the second term
// putting back what the rounding of u lost. ln u by fdlibm's (musl's) kernel: u = 2^k m with m
// within sqrt(2) of 1, ln m = 2 atanh(f / (2 + f)) with f = m - 1, by its polynomial.
//
// Four values at a time in the compilers' generic vector of four doubles, as in fastsincos.
//
// Included by dsp/kernelset.h inside the namespace of one kernel set.

constexpr int lanes = 4;
constexpr std::uint64_t signbit = 0x8000000000000000ull;

// ---- arctangent ----
constexpr double atanhalfhi = 4.63647609000806093515e-01; // atan(1/2), high and low parts
constexpr double atanhalflo = 2.26987774529616870924e-17;
constexpr double atanonehi = 7.85398163397448278999e-01; // atan(1) = pi/4
constexpr double atanonelo = 3.06161699786838301793e-17;
constexpr double halfpihi = 1.57079632679489655800e+00;
constexpr double halfpilo = 6.12323399573676603587e-17;
constexpr double pihi = 3.14159265358979311600e+00;
constexpr double pilo = 1.22464679914735317720e-16;

constexpr double at0 = 3.33333333333329318027e-01;
constexpr double at1 = -1.99999999998764832476e-01;
constexpr double at2 = 1.42857142725034663711e-01;
constexpr double at3 = -1.11111104054623557880e-01;
constexpr double at4 = 9.09088713343650656196e-02;
constexpr double at5 = -7.69187620504482999495e-02;
constexpr double at6 = 6.66107313738753120669e-02;
constexpr double at7 = -5.83357013379057348645e-02;
constexpr double at8 = 4.97687799461593236017e-02;
constexpr double at9 = -3.65315727442169155270e-02;
constexpr double at10 = 1.62858201153657823623e-02;

// ---- logarithm ----
constexpr double ln2hi = 6.93147180369123816490e-01;
constexpr double ln2lo = 1.90821492927058770002e-10;
constexpr double lg1 = 6.666666666666735130e-01;
constexpr double lg2 = 3.999999999940941908e-01;
constexpr double lg3 = 2.857142874366239149e-01;
constexpr double lg4 = 2.222219843214978396e-01;
constexpr double lg5 = 1.818357216161805012e-01;
constexpr double lg6 = 1.531383769920937332e-01;
constexpr double lg7 = 1.479819860511658591e-01;
// The high word of sqrt(2)/2: mantissas from there on count to the next power of two.
constexpr std::uint64_t sqrthalfhigh = 0x3fe6a09e;
constexpr std::uint64_t onehigh = 0x3ff00000;

// re^2 + im^2 from the two rounded squares, as the plain path computes it: where the compiler
// may fuse a multiply into the addition, the barriers keep both squares rounded.
template <typename T>
inline T sumofsquares(const T& re, const T& im)
{
    T resquared = re * re, imsquared = im * im;
#if defined(__FMA__)
    __asm__("" : "+x"(resquared), "+x"(imsquared));
#endif
    return resquared + imsquared;
}

inline lanes4 select(const lanes4bits& mask, const lanes4& yes, const lanes4& no)
{
    return (lanes4)(((lanes4bits)yes & mask) | ((lanes4bits)no & ~mask));
}

inline lanes4 absolute(const lanes4& x)
{
    return (lanes4)((lanes4bits)x & ~signbit);
}

// atan2 of four finite pairs.
inline lanes4 atan2lanes(const lanes4& y, const lanes4& x)
{
    const lanes4 ax = absolute(x), ay = absolute(y);
    const lanes4bits swapped = (lanes4bits)(ay > ax);
    const lanes4 big = select(swapped, ay, ax);
    const lanes4 small = select(swapped, ax, ay);

    const lanes4bits low = (lanes4bits)(16.0 * small <= 7.0 * big);
    const lanes4bits middle = (lanes4bits)(16.0 * small <= 11.0 * big) & ~low;
    const lanes4bits high = ~(low | middle);
    const lanes4 num = select(low, small, select(middle, 2.0 * small - big, small - big));
    lanes4 den = select(low, big, select(middle, 2.0 * big + small, small + big));
    den = select((lanes4bits)(big == 0.0), (lanes4){1.0, 1.0, 1.0, 1.0}, den); // atan2(0, 0) = 0
    const lanes4 none = {0.0, 0.0, 0.0, 0.0};
    const lanes4 hi = select(middle, none + atanhalfhi, select(high, none + atanonehi, none));
    const lanes4 lo = select(middle, none + atanhalflo, select(high, none + atanonelo, none));

    const lanes4 t = num / den;
    const lanes4 z = t * t;
    const lanes4 w = z * z;
    const lanes4 s1 = z * (at0 + w * (at2 + w * (at4 + w * (at6 + w * (at8 + w * at10)))));
    const lanes4 s2 = w * (at1 + w * (at3 + w * (at5 + w * (at7 + w * at9))));
    lanes4 r = hi - ((t * (s1 + s2) - lo) - t); // atan(small / big), 0 .. pi/4

    // Octants: r, pi - r, pi/2 - r, pi/2 + r (swapped, x negative), each as hi + (+-r + lo).
    const lanes4bits negativex = (lanes4bits)(((lanes4bits)x & signbit) != 0);
    const lanes4 zero = {0.0, 0.0, 0.0, 0.0};
    const lanes4 basehi = select(swapped, zero + halfpihi, select(negativex, zero + pihi, zero));
    const lanes4 baselo = select(swapped, zero + halfpilo, select(negativex, zero + pilo, zero));
    r = (lanes4)((lanes4bits)r ^ ((swapped ^ negativex) & signbit));
    r = basehi + (r + baselo);
    return (lanes4)((lanes4bits)r | ((lanes4bits)y & signbit));
}

// ln(1 + x) of four values in 0 .. infinity (finite).
inline lanes4 log1planes(const lanes4& x)
{
    const lanes4 u = 1.0 + x;
    const lanes4 correction = (x - (u - 1.0)) / u;

    const lanes4bits bits = (lanes4bits)u;
    lanes4bits high = (bits >> 32) + (onehigh - sqrthalfhigh);
    const lanes4int k = (lanes4int)(high >> 20) - 0x3ff;
    high = (high & 0x000fffff) + sqrthalfhigh;
    const lanes4 m = (lanes4)((high << 32) | (bits & 0xffffffffull));
    const lanes4 f = m - 1.0;

    const lanes4 hfsq = 0.5 * f * f;
    const lanes4 s = f / (2.0 + f);
    const lanes4 z = s * s;
    const lanes4 w = z * z;
    const lanes4 t1 = w * (lg2 + w * (lg4 + w * lg6));
    const lanes4 t2 = z * (lg1 + w * (lg3 + w * (lg5 + w * lg7)));
    const lanes4 dk = __builtin_convertvector(k, lanes4);
    const lanes4 logu = s * (hfsq + (t2 + t1)) + dk * ln2lo - hfsq + f + dk * ln2hi;
    return logu + correction;
}

// Correctly rounded, as std::sqrt: four or two at a time where the target has the instruction.
inline lanes4 squareroot(const lanes4& x)
{
#if defined(__AVX2__)
    return (lanes4)_mm256_sqrt_pd((__m256d)x);
#elif defined(__SSE2__)
    __m128d low, high;
    std::memcpy(&low, &x, sizeof low);
    std::memcpy(&high, reinterpret_cast<const char*>(&x) + sizeof low, sizeof high);
    low = _mm_sqrt_pd(low);
    high = _mm_sqrt_pd(high);
    lanes4 r;
    std::memcpy(&r, &low, sizeof low);
    std::memcpy(reinterpret_cast<char*>(&r) + sizeof low, &high, sizeof high);
    return r;
#else
    return lanes4{std::sqrt(x[0]), std::sqrt(x[1]), std::sqrt(x[2]), std::sqrt(x[3])};
#endif
}

inline bool isfinitepair(double y, double x)
{
    return std::isfinite(y) && std::isfinite(x);
}

inline bool islog1pargument(double x)
{
    return x >= 0.0 && x <= 1.0e300;
}

inline void polarbin(double* bin)
{
    const double re = bin[0], im = bin[1];
    bin[0] = std::sqrt(sumofsquares(re, im));
    bin[1] = std::atan2(im, re);
}

void rectangulartopolarkernel(double* bins, std::int64_t count)
{
    std::int64_t k = 0;
    for (; k + lanes <= count; k += lanes)
    {
        double* b = bins + 2 * k;
        const lanes4 re = {b[0], b[2], b[4], b[6]};
        const lanes4 im = {b[1], b[3], b[5], b[7]};
        if (!(isfinitepair(im[0], re[0]) && isfinitepair(im[1], re[1]) && isfinitepair(im[2], re[2])
              && isfinitepair(im[3], re[3])))
        {
            for (int j = 0; j < lanes; ++j)
                polarbin(b + 2 * j); // rare: the library, one at a time
            continue;
        }
        const lanes4 angle = atan2lanes(im, re);
        const lanes4 magnitude = squareroot(sumofsquares(re, im));
        for (int j = 0; j < lanes; ++j)
        {
            b[2 * j] = magnitude[j];
            b[2 * j + 1] = angle[j];
        }
    }
    for (; k < count; ++k)
        polarbin(bins + 2 * k);
}

void log1pofmagnitudeskernel(const double* bins, double* out, std::int64_t count)
{
    std::int64_t k = 0;
    for (; k + lanes <= count; k += lanes)
    {
        const double* b = bins + 2 * k;
        const lanes4 x = {b[0], b[2], b[4], b[6]};
        if (!(islog1pargument(x[0]) && islog1pargument(x[1]) && islog1pargument(x[2]) && islog1pargument(x[3])))
        {
            for (int j = 0; j < lanes; ++j)
                out[k + j] = std::log1p(b[2 * j]);
            continue;
        }
        const lanes4 y = log1planes(x);
        std::memcpy(out + k, &y, sizeof y);
    }
    for (; k < count; ++k)
        out[k] = std::log1p(bins[2 * k]);
}
