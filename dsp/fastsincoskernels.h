// The reduction and the two kernels follow the classic fdlibm ones: x = q pi/2 + r with q the
// nearest integer to x 2/pi and pi/2 in two parts (the first short enough that q times it is
// exact below the limit, the second the rest of pi/2 to double precision), then polynomials of
// degree 13 and 14 in r on |r| <= pi/4. q mod 4 picks which kernel gives the sine and which
// the cosine, and their signs.
//
// Four angles go through at a time, in the compilers' generic vector of four doubles: one AVX
// register, or two SSE2 or NEON registers that share each constant. (Such vectors are passed
// by reference: by value they would change the calling convention between targets.)
//
// Included by dsp/kernelset.h inside the namespace of one kernel set.

// The same 32 bytes as unsigned integers: a cast between the two types keeps the bits.

constexpr int lanes = 4;

constexpr double twooverpi = 6.36619772367581382433e-01;
constexpr double halfpi1 = 1.57079632673412561417e+00;     // first 33 bits of pi/2
constexpr double halfpi1tail = 6.07710050650619224932e-11; // pi/2 - halfpi1
// Added and taken away again, it rounds a double below 2^51 to the nearest integer and leaves
// that integer, two's complement, in the low bits of the sum.
constexpr double roundingshift = 6755399441055744.0; // 1.5 x 2^52

constexpr double s1 = -1.66666666666666324348e-01;
constexpr double s2 = 8.33333333332248946124e-03;
constexpr double s3 = -1.98412698298579493134e-04;
constexpr double s4 = 2.75573137070700676789e-06;
constexpr double s5 = -2.50507602534068634195e-08;
constexpr double s6 = 1.58969099521155010221e-10;

constexpr double c1 = 4.16666666666666019037e-02;
constexpr double c2 = -1.38888888888741095749e-03;
constexpr double c3 = 2.48015872894767294178e-05;
constexpr double c4 = -2.75573143513906633035e-07;
constexpr double c5 = 2.08757232129817482790e-09;
constexpr double c6 = -1.13596475577881948265e-11;

inline bool isfastangle(double x)
{
    return std::fabs(x) <= fastsincoslimit;
}

// The sine and cosine of four angles within fastsincoslimit.
inline void sincoslanes(const lanes4& x, lanes4& sine, lanes4& cosine)
{
    const lanes4 shifted = x * twooverpi + roundingshift;
    const lanes4 q = shifted - roundingshift;
    const lanes4bits quadrant = (lanes4bits)shifted; // q mod 4 in the low two bits

    const lanes4 r = (x - q * halfpi1) - q * halfpi1tail;
    const lanes4 z = r * r;

    const lanes4 sinpoly = s2 + z * (s3 + z * (s4 + z * (s5 + z * s6)));
    const lanes4 sinr = r + (z * r) * (s1 + z * sinpoly);

    const lanes4 cospoly = z * (c1 + z * (c2 + z * (c3 + z * (c4 + z * (c5 + z * c6)))));
    const lanes4 halfz = 0.5 * z;
    const lanes4 w = 1.0 - halfz;
    const lanes4 cosr = w + (((1.0 - w) - halfz) + z * cospoly);

    // Quadrant 0: (sin r, cos r); 1: (cos r, -sin r); 2: (-sin r, -cos r); 3: (-cos r, sin r):
    // in odd quadrants the kernels swap, and bit 1 of the quadrant (of the quadrant + 1 for the
    // cosine), moved to the sign bit, flips the sign.
    const lanes4bits odd = -(quadrant & 1);
    const lanes4bits sinrbits = (lanes4bits)sinr, cosrbits = (lanes4bits)cosr;
    const lanes4bits sinebits = (cosrbits & odd) | (sinrbits & ~odd);
    const lanes4bits cosinebits = (sinrbits & odd) | (cosrbits & ~odd);
    sine = (lanes4)(sinebits ^ ((quadrant & 2) << 62));
    cosine = (lanes4)(cosinebits ^ (((quadrant + 1) & 2) << 62));
}

inline void polarbin(double& magnitude, double& angle)
{
    const double m = magnitude, x = angle;
    magnitude = m * std::cos(x);
    angle = m * std::sin(x);
}

void polartorectangularkernel(double* magnitude, double* angle, std::int64_t count)
{
    std::int64_t i = 0;
    for (; i + lanes <= count; i += lanes)
    {
        double* m = magnitude + i;
        double* a = angle + i;
        if (!(isfastangle(a[0]) && isfastangle(a[1]) && isfastangle(a[2]) && isfastangle(a[3])))
        {
            for (int j = 0; j < lanes; ++j)
                polarbin(m[j], a[j]); // rare: the library, one at a time
            continue;
        }
        lanes4 magnitudes, angles, sine, cosine;
        std::memcpy(&magnitudes, m, sizeof magnitudes);
        std::memcpy(&angles, a, sizeof angles);
        sincoslanes(angles, sine, cosine);
        const lanes4 re = magnitudes * cosine;
        const lanes4 im = magnitudes * sine;
        std::memcpy(m, &re, sizeof re);
        std::memcpy(a, &im, sizeof im);
    }
    for (; i < count; ++i)
        polarbin(magnitude[i], angle[i]);
}
