// Real discrete Fourier transform on a power-of-two number of doubles, in place.
//
// Forward (isgn >= 0): a holds n real samples x[j]; on return, with
//   R[k] = sum_j x[j] cos(2 pi j k / n),  I[k] = sum_j x[j] sin(2 pi j k / n):
//   a[0] = R[0], a[1] = R[n/2], a[2k] = R[k], a[2k+1] = I[k] for 1 <= k < n/2.
// I[k] is the negative of the imaginary part of the usual DFT (kernel e^(-2 pi i j k / n)).
// Inverse (isgn < 0): a holds such a packed spectrum; on return
//   a[j] = R[0]/2 + R[n/2]/2 cos(pi j) + sum_{k=1}^{n/2-1} (R[k] cos(2 pi j k/n) + I[k] sin(2 pi j k/n)),
// which is (n/2) x[j] after a forward transform of x.
//
// The caller owns two work tables, both pure functions of n:
//   ip: ip[0] = nw, the size of the twiddle table currently in w; ip[1] = nc, the size of the
//       cosine table behind it; ip[2..] the bit-reversal work area. At least 2 + sqrt(n/2) ints.
//   w:  w[0 .. nw-1] the nw/2 twiddles e^(i pi m / nw), m < nw/2, as (cos, sin) pairs in
//       bit-reversed order; w[nw .. nw+nc-1] the cosine table of the real-data stage.
//       At least n/2 doubles.
// Setting ip[0] = 0 asks for both tables to be rebuilt; tables built for n serve every later
// call with the same n (and with smaller n). The first build for each size also lays the
// twiddles out for the vector passes (dsp/simd.h), once per process; up to 8192 points that
// allocates nothing, and the transforms themselves never do.
#pragma once

// The whole transform. n is a power of two, at least 2.
void rdft(int n, int isgn, double* a, int* ip, double* w);

// Table builders: nw twiddle doubles (ip[0] := nw, ip[1] := 1) and nc cosine doubles (ip[1] := nc).
// makewt also makes sure the lane layout of every size up to 4 nw exists.
void makewt(int nw, int* ip, double* w);
void makect(int nc, int* ip, double* c);

// Bit-reversal permutation of the n/2 complex values in a; ip is the work area (the caller's ip + 2).
void bitrv2(int n, int* ip, double* a);

// Complex FFT of the n/2 complex values in a, already in bit-reversed order, result in natural
// order. cftfsub uses the kernel e^(+2 pi i j k / (n/2)), cftbsub its conjugate. These and the
// passes below read their twiddles from the lane layout made with w (w itself is not read).
void cftfsub(int n, double* a, const double* w);
void cftbsub(int n, double* a, const double* w);

// Radix-8 passes of cftfsub: the first over adjacent values, the middle ones over values l
// doubles apart.
void cft1st(int n, double* a, const double* w);
void cftmdl(int n, int l, double* a, const double* w);

// Real-data stages: after the forward complex FFT of the n/2 packed values (rftfsub), and before
// the inverse one (rftbsub). c is the cosine table of nc entries.
void rftfsub(int n, double* a, int nc, const double* c);
void rftbsub(int n, double* a, int nc, const double* c);
