#include "helpers/ReferenceEngine.h"

#include <algorithm>
#include <cmath>

ReferenceEngine::Settings ReferenceEngine::settingsOf (const TarvolenEQAudioProcessor& p)
{
    auto filter = [] (const ZQ_SVFilter& f) { return Filter { f.cutoff, f.q, f.rawGain, f.filterType, f.bypassed }; };

    Settings s;
    s.filters = { filter (p.lowAttenFilter), filter (p.lowBoostFilter), filter (p.highAttenFilter),
                  filter (p.highBoostFilter), filter (p.lowPassFilter) };
    s.drive = p.tube.driveLevel;
    s.tubeEnabled = p.tube.enabled;
    s.trimGain = juce::Decibels::decibelsToGain (p.treeState.getRawParameterValue (ParamIDs::trim)->load());
    s.oversampling = p.oversamplingOn;
    s.stereoMode = p.stereoMode;
    return s;
}

float ReferenceEngine::filterSample (const Filter& f, float rate, double& s1, double& s2, float x)
{
    if (f.bypassed)
        return x;

    // Trapezoidal state-variable filter with a prewarped cutoff, kept below the tangent's pole.
    const double fs = static_cast<double> (rate);
    const double halfT = (1.0 / fs) * 0.5;
    const double omega = static_cast<double> (std::fmin (f.cutoff, 0.49f * rate) * 6.28f);
    const double g = std::tan (omega * halfT) * (2.0 * fs) * halfT;
    const double twoR = 2.0 * (1.0 - static_cast<double> (f.q));
    const double in = static_cast<double> (x);

    const double hp = (((in - twoR * s1) - g * s1) - s2) * (1.0 / (g * g + (twoR * g + 1.0)));
    const double bp = g * hp + s1;
    const double lp = g * bp + s2;
    s1 = g * hp + bp;
    s2 = g * bp + lp;

    const double k = static_cast<double> (f.rawGain);

    if (f.type == ZQ_SVFilter::bandShelf)  return static_cast<float> (in + (twoR * bp) * k);
    if (f.type == ZQ_SVFilter::highShelf)  return static_cast<float> (in + k * hp);
    if (f.type == ZQ_SVFilter::lowPass)    return static_cast<float> (lp);
    if (f.type == ZQ_SVFilter::highPass)   return static_cast<float> (hp);
    return x;
}

float ReferenceEngine::tubeSample (float drive, bool enabled, float x)
{
    using Tube = ZQ_TubeModel;

    if (! enabled)
        return x;

    // Soft knee on the positive half.
    const auto e = static_cast<double> (std::max (x - Tube::threshold, 0.0f));
    const float y = x > 0.0f ? static_cast<float> (static_cast<double> (x) * (0.5451584 * std::exp (-0.3241584 * e) + 0.4473253))
                             : x;

    // The negative half comes back through the bias path, doubled.
    const float in = std::min (y, 0.0f) * Tube::biasAmount + y;
    double shaped = in;

    if (in > Tube::threshold)
    {
        const float t = (in - Tube::threshold) / (Tube::positiveLimit - Tube::threshold);
        shaped = in > Tube::positiveLimit
                     ? static_cast<double> (Tube::positiveLimit)
                     : static_cast<double> (Tube::threshold)
                           + static_cast<double> (Tube::positiveLimit - Tube::threshold)
                                 * ((1.0 - static_cast<double> (t * t) / 3.0) * (1.5 * static_cast<double> (t)));
    }
    else if (in < Tube::negativeLimit)
    {
        shaped = Tube::negativeLimit;
    }
    else if (! (in > 0.0f))
    {
        const double k = std::pow (10.0, static_cast<double> (drive) * 0.05);
        shaped = 1.5 * std::tanh (static_cast<double> (in / 1.5f) * k / std::tanh (k));
    }

    const auto wet = static_cast<float> (static_cast<double> (static_cast<float> (shaped))
                                         * -std::pow (10.0, static_cast<double> (Tube::outputGainDB) * 0.05));
    return static_cast<float> (0.95 * static_cast<double> (x) + 0.05 * static_cast<double> (wet));
}

float ReferenceEngine::chain (const Settings& s, float x, int channel)
{
    const auto c = static_cast<size_t> (channel);

    for (size_t i = 0; i < s.filters.size(); ++i)
        x = filterSample (s.filters[i], rate, s1[i][c], s2[i][c], x);

    return tubeSample (s.drive, s.tubeEnabled, x);
}

void ReferenceEngine::prepare (double hostRate, int maximumBlockSize, int channelCount)
{
    hostSampleRate = hostRate;
    s1 = {};
    s2 = {};
    oversampler.initProcessing (static_cast<size_t> (maximumBlockSize));
    trim.reset();
    trim.prepare ({ 4.0 * hostRate, static_cast<juce::uint32> (maximumBlockSize), static_cast<juce::uint32> (channelCount) });
}

void ReferenceEngine::process (juce::AudioBuffer<float>& buffer, const Settings& s)
{
    juce::ScopedNoDenormals noDenormals;
    juce::dsp::AudioBlock<float> host (buffer);
    rate = static_cast<float> (s.oversampling ? 4.0 * hostSampleRate : hostSampleRate);

    auto block = s.oversampling ? oversampler.processSamplesUp (host) : host;
    const auto channels = static_cast<int> (host.getNumChannels());
    auto* a = block.getChannelPointer (0);
    auto* b = block.getChannelPointer (channels > 1 ? 1 : 0);

    // Mid, side, left and right run the chain once on the selected signal, with state slot 0;
    // in mono a and b are one channel and the second write wins.
    for (size_t i = 0; i < block.getNumSamples(); ++i)
    {
        const float l = a[i], r = b[i];
        const double mid = static_cast<double> (l + r) * 0.5;
        const double side = static_cast<double> (l - r) * 0.5;
        double y = 0.0;

        switch (s.stereoMode)
        {
            case TarvolenEQAudioProcessor::sides:
                y = chain (s, static_cast<float> (side), 0);
                a[i] = static_cast<float> (mid + y);
                b[i] = static_cast<float> (mid - y);
                break;
            case TarvolenEQAudioProcessor::mid:
                y = chain (s, static_cast<float> (mid), 0);
                a[i] = static_cast<float> (y + side);
                b[i] = static_cast<float> (y - side);
                break;
            case TarvolenEQAudioProcessor::left:
                a[i] = chain (s, l, 0);
                b[i] = r;
                break;
            case TarvolenEQAudioProcessor::right:
                a[i] = l;
                b[i] = chain (s, r, 0);
                break;
            default:
                for (int c = 0; c < channels; ++c)
                    block.getChannelPointer (static_cast<size_t> (c))[i] = chain (s, block.getChannelPointer (static_cast<size_t> (c))[i], c);
                break;
        }
    }

    if (s.oversampling)
        oversampler.processSamplesDown (host);

    trim.setGainLinear (s.trimGain);
    trim.process (juce::dsp::ProcessContextReplacing<float> (host));
}
