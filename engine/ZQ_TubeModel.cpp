#include "ZQ_TubeModel.h"

#include <algorithm>
#include <cmath>

namespace
{
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

float ZQ_TubeModel::processSample (float x, int channel) noexcept
{
    if (! enabled)
        return x;

    // Soft knee on the positive half.
    float y = x;

    if (x > 0.0f)
    {
        const float e = std::max (x - threshold, 0.0f);
        y = static_cast<float> (static_cast<double> (x)
                                * (0.5451584 * std::exp (-0.3241584 * static_cast<double> (e)) + 0.4473253));
    }

    filtered = preFilter.processSample (y, channel);
    bias = std::min (filtered, 0.0f);

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
        const double k = std::pow (10.0, static_cast<double> (driveLevel.load()) * 0.05);
        shaped = static_cast<double> (floorMagnitude) * std::tanh (static_cast<double> (n) * k / std::tanh (k));
    }

    output = static_cast<float> (shaped);
    const float post = postFilter.processSample (output, channel);
    output = static_cast<float> (static_cast<double> (post)
                                 * -std::pow (10.0, static_cast<double> (outputGainDB) * 0.05));

    return static_cast<float> (0.95 * static_cast<double> (x) + 0.05 * static_cast<double> (output));
}
