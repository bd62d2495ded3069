#pragma once

#include <complex>
#include <vector>

/** The frequency response of the chain's state-variable filters, worked out on paper rather
    than by running them: the analogue prototype (hp = s^2 / D, bp = s / D, lp = 1 / D with
    D = s^2 + 2Rs + 1, s normalised to the corner) through the bilinear transform with the
    prewarped integrator gain g = tan (omega * T / 2), which is exactly what trapezoidal
    integration computes. omega is the cutoff times 6.28 (not 2 pi) in single precision, and
    the cutoff is first limited to 0.49 of the running rate.
*/
namespace FilterResponse
{
/** One filter as the chain runs it. type takes ZQ_SVFilter's filterType values. */
struct Filter
{
    int type;
    float cutoff;   // Hz
    float q;        // damping R = 1 - q
    float gainDB;   // bell and shelf only
};

/** The complex gain of one filter at the given frequency (Hz) when it runs at sampleRate. */
std::complex<double> response (const Filter& filter, double frequency, double sampleRate);

/** The gain in dB of filters in series: the product of their responses. */
double chainDb (const std::vector<Filter>& filters, double frequency, double sampleRate);
} // namespace FilterResponse
