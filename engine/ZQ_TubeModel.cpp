#include "ZQ_TubeModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
std::uint32_t bitsOf (float value) noexcept
{
    std::uint32_t bits;
    std::memcpy (&bits, &value, sizeof (bits));
    return bits;
}

void setUpFilter (ZQ_SVFilter& filter, float rate, int channelCount, int type, float cutoff)
{
    filter.prepare (rate, channelCount);
    filter.filterType = type;
    filter.cutoff = cutoff;
}
} // namespace

void ZQ_TubeModel::prepare (float rate, int channelCount)
{
    sampleRate = rate;

    setUpFilter (preFilter, sampleRate, channelCount, ZQ_SVFilter::lowPass, 5.0f);
    preFilter.setGain (0.0f);
    setUpFilter (postFilter, sampleRate, channelCount, ZQ_SVFilter::highPass, 10.0f);
    postFilter.setGain (0.0f);
    setUpFilter (toneFilter, sampleRate, channelCount, ZQ_SVFilter::lowPass, 10000.0f);
    toneFilter.setGain (0.0f);

    bandFilter.prepare (sampleRate, channelCount);
    bandFilter.filterType = ZQ_SVFilter::bandShelf;
    bandFilter.q = 0.05f;
    bandFilter.cutoff = 975.0f;
    bandFilter.setGain (0.0f);

    enabled = (driveLevel != 0.0f);
}

void ZQ_TubeModel::setDrive (float value) noexcept
{
    driveLevel = value;
    bandFilter.setGain (value / 12.0f);
    enabled = (value != 0.0f);
}

void ZQ_TubeModel::updateDriveTerms() noexcept
{
    const float drive = driveLevel;

    if (driveTermsValid && bitsOf (drive) == driveBits)
        return;

    k = std::pow (10.0, static_cast<double> (drive) * 0.05);
    tanhK = std::tanh (k);
    outputFactor = -std::pow (10.0, static_cast<double> (outputGainDB) * 0.05);
    driveBits = bitsOf (drive);
    driveTermsValid = true;
}

void ZQ_TubeModel::clearNonFiniteState() noexcept
{
    // Only these two run; the band and tone filters are never processed.
    preFilter.clearNonFiniteState();
    postFilter.clearNonFiniteState();
}

template <bool innerFiltersRun>
float ZQ_TubeModel::shape (float x, int channel) noexcept
{
    // Soft knee on the positive half. Up to the threshold the exponent is 0 and exp gives
    // exactly 1, so the factor is the same constant expression without the call.
    float y = x;

    if (x > 0.0f)
    {
        const float e = std::max (x - threshold, 0.0f);
        const double knee = e == 0.0f ? 0.5451584 * 1.0 + 0.4473253
                                      : 0.5451584 * std::exp (-0.3241584 * static_cast<double> (e)) + 0.4473253;
        y = static_cast<float> (static_cast<double> (x) * knee);
    }

    const float filtered = innerFiltersRun ? preFilter.processSample (y, channel) : y;
    const float bias = std::min (filtered, 0.0f);

    const float shaperIn = bias * biasAmount + y;
    double shaped;

    if (shaperIn > threshold)
    {
        if (shaperIn > positiveLimit)
        {
            shaped = positiveLimit;
        }
        else
        {
            // Cubic soft clip: meets the threshold at t = 0 and the ceiling with zero slope at t = 1.
            const float t = (shaperIn - threshold) / (positiveLimit - threshold);
            const float tSquared = t * t;
            shaped = static_cast<double> (threshold)
                     + static_cast<double> (positiveLimit - threshold)
                           * ((1.0 - static_cast<double> (tSquared) / 3.0) * (1.5 * static_cast<double> (t)));
        }
    }
    else if (shaperIn > 0.0f)
    {
        shaped = shaperIn;
    }
    else if (shaperIn < negativeLimit)
    {
        shaped = negativeLimit;
    }
    else
    {
        const float floorMagnitude = std::fabs (negativeLimit);
        const float n = shaperIn / floorMagnitude;
        shaped = static_cast<double> (floorMagnitude) * std::tanh (static_cast<double> (n) * k / tanhK);
    }

    const auto output = static_cast<float> (shaped);
    const float post = innerFiltersRun ? postFilter.processSample (output, channel) : output;
    const auto wet = static_cast<float> (static_cast<double> (post) * outputFactor);

    return static_cast<float> (0.95 * static_cast<double> (x) + 0.05 * static_cast<double> (wet));
}

float ZQ_TubeModel::processSample (float x, int channel) noexcept
{
    if (! enabled)
        return x;

    updateDriveTerms();
    return shape<true> (x, channel);
}

void ZQ_TubeModel::process (float* samples, int numSamples, int channel) noexcept
{
    if (! enabled)
        return;

    updateDriveTerms();

    // The inner filters sit at 0 dB, where each would return its input untouched.
    if (preFilter.bypassed && postFilter.bypassed)
    {
        for (int i = 0; i < numSamples; ++i)
            samples[i] = shape<false> (samples[i], channel);
    }
    else
    {
        for (int i = 0; i < numSamples; ++i)
            samples[i] = shape<true> (samples[i], channel);
    }
}
