#include "helpers/FilterResponse.h"

#include "ZQ_SVFilter.h"

#include <algorithm>
#include <cmath>

namespace FilterResponse
{
std::complex<double> response (const Filter& filter, double frequency, double sampleRate)
{
    const auto rate = static_cast<float> (sampleRate);
    const float corner = std::min (filter.cutoff, 0.49f * rate);
    const double g = std::tan (static_cast<double> (corner * 6.28f) / (2.0 * sampleRate));

    // On the unit circle the bilinear transform maps z to j tan (theta / 2); dividing by g
    // normalises the frequency to the prewarped corner.
    const double theta = 2.0 * M_PI * frequency / sampleRate;
    const std::complex<double> s (0.0, std::tan (theta / 2.0) / g);

    const double R = 1.0 - static_cast<double> (filter.q);
    const auto d = s * s + 2.0 * R * s + 1.0;
    const double k = std::pow (10.0, static_cast<double> (filter.gainDB) / 20.0) - 1.0;

    switch (filter.type)
    {
        case ZQ_SVFilter::bandShelf: return 1.0 + 2.0 * R * k * s / d;
        case ZQ_SVFilter::highShelf: return 1.0 + k * s * s / d;
        case ZQ_SVFilter::lowPass:   return 1.0 / d;
        case ZQ_SVFilter::highPass:  return s * s / d;
        default:                     return 1.0;
    }
}

double chainDb (const std::vector<Filter>& filters, double frequency, double sampleRate)
{
    std::complex<double> product (1.0, 0.0);

    for (const auto& filter : filters)
        product *= response (filter, frequency, sampleRate);

    return 20.0 * std::log10 (std::abs (product));
}
} // namespace FilterResponse
