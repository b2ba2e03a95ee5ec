// One phase-vocoder frame of one channel: analysis, detection, synthesis of every voice into
// its bus, overlap-add and onset crossfade, on the fields of that channel's pbkpitchshift.
// The block driver runs a frame each time the engine's inputframe is full, after the voice
// control has written every voice record for the hop.
#pragma once

#include "dsp/pbkpitchshift.h"

#include <cstdint>

// The whole frame, in order. Allocates only when a voice needs a bus that does not exist yet,
// and frees every bus when fewer are needed than exist.
void processframe(pbkpitchshift& engine);

// ---- the steps of processframe, in their order ----

// Far beyond any signal, yet small enough that a frame's sums of squares stay finite.
inline constexpr double pbkmaxanalysissample = 1.0e50;

// The newest hop of inputframe, cleaned in place: a sample that is not finite becomes silence,
// one beyond +-pbkmaxanalysissample is clipped there. Nothing later in the frame (phases,
// followers, detector, buses) can then be poisoned by the input.
void guardnewhop(pbkpitchshift& engine);

// The newest hop into the input history, envelope followers over it, a window of onset marks
// around every onset found.
void detectonsets(pbkpitchshift& engine);

// windowrotation := windowlength / 2; inputlevel := 50 x the mean absolute value of the level
// stretch of inputframe. The newest hop's level joins hoplevels, and soundstarting says whether
// an older one there lies 36 dB or more below it.
void measureinputlevel(pbkpitchshift& engine);

// Counts frames with a ratio change; in the first quiet frame after such a run, clears the
// analysis and synthesis phases so the next sound starts fresh.
void resetquiettime(pbkpitchshift& engine);

// The next hop's samples fill the end of inputframe.
void refillframe(pbkpitchshift& engine);

// pitchframe := inputframe; when pitch is wanted and inputlevel passes the gate, detectednote
// := the frame's fundamental in semitones above C0 (A4 = 57). A frame with no energy in the
// detection window, or a result that is not finite, leaves detectednote unchanged. Uses
// spectrum and synthspectrum as work space.
void detectpitch(pbkpitchshift& engine);

// Zero-phase Welch-windowed forward transform of inputframe into (magnitude, phase) per bin of
// spectrum; inputframe then moves on by one hop.
void analysespectrum(pbkpitchshift& engine);

// envelope[0..M-1] := the log-magnitude spectrum smoothed by a cepstral lifter and by
// binsmoother along the bins; non-negative.
void computeenvelope(pbkpitchshift& engine);

// spectrum's phase per bin becomes the bin's true frequency in Hz, from the phase advance since
// the last frame.
void computetruefrequencies(pbkpitchshift& engine);

// Every voice with a gain into the spectrum of its bus, creating buses as needed.
void synthesisevoices(pbkpitchshift& engine);

// Each bus spectrum back to time, overlap-added into its bus output; the bus spectra are cleared.
void overlapaddbuses(pbkpitchshift& engine);

// Around each onset, the buses of voices whose mode2 asks for it fade over to the dry input.
void crossfadeonsets(pbkpitchshift& engine);

// ---- pieces of the steps ----

// Forward: rdft, odd elements negated (bins as Re, Im of the usual DFT). Inverse: odd elements
// negated, inverse rdft, scaled by 2/N. Both on the engine's N and tables.
void forwardtransform(pbkpitchshift& engine, double* a);
void inversetransform(pbkpitchshift& engine, double* a);
// The inverse transform before its scaling by inversescale (2/N), for a caller that scales only
// what it keeps, or scales on its way through: the same values, one pass over the buffer less.
void inversetransformunscaled(pbkpitchshift& engine, double* a);
double inversescale(const pbkpitchshift& engine);

// Keeps the low quefrencies of an n-point cepstrum: below L' - 2 unchanged, L' - 2 and L' - 1
// halved, the rest cleared, with L' = trunc(0.05 n) rounded down to even.
void liftercepstrum(double* cepstrum, std::int64_t n);
// L' for n points, or n when the lifter keeps everything (n below 40).
std::int64_t liftercut(std::int64_t n);

// Into d[c], for firstlag <= c < lags: the squared difference of the frame's first n/4 samples
// against the same stretch tau0 + c samples later (tau0 = trunc(n/70)), from the n samples of x,
// all lags at once through the transform. lags is at most n/2 - tau0. work1 and work2 hold n
// doubles each.
//
// size: the transform's length, a power of two from n/2 to n (0: n). A transform of P points
// gives P - n/4 + 1 lags at once; the lags beyond go through further transforms of the same
// size, in order, so a search that stops early can stop between them (see differencelagsready).
void differencefunction(pbkpitchshift& engine, const double* x, double* d, std::int64_t firstlag, std::int64_t lags,
                        double* work1, double* work2, std::int64_t size = 0);

// The lags one transform of size points makes in differencefunction.
std::int64_t differencelagsper(const pbkpitchshift& engine, std::int64_t size);

// x wrapped into -pi..pi by whole multiples of 2 pi: x / pi truncated, moved away from zero when
// odd. A value that is not finite, or too large to hold a fraction of a turn, becomes 0.
double wrapphase(double x);

// One voice into the spectrum of its bus: harmony, phase accumulation, formant warp, mapping
// with gain and EQ. A voice whose gain is 0 or not finite, whose ratio is not finite and
// positive, whose phases are too short or whose bus does not exist is skipped.
void synthesisevoice(pbkpitchshift& engine, pbkvoicestate& voice);
