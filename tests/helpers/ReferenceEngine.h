#pragma once

#include "PluginProcessor.h"

#include <array>

/** The processor's audio path written the plain way, as the yardstick for the engine: every
    coefficient, tan and pow is computed afresh on every sample, one sample and one channel at a
    time. It shares only the oversampler and the trim gain with the processor (same classes, set
    up the same way), so the engine must match it bit for bit. Used by the tests and the
    benchmarks alike.

    It takes its settings from the processor (settingsOf), so it checks the arithmetic of the
    audio path, not the mapping of parameters to settings; PluginProcessorMappingTest holds that.
*/
class ReferenceEngine
{
public:
    /** What one filter runs with. */
    struct Filter
    {
        float cutoff = 5.0f, q = 0.69f, rawGain = 0.0f;
        int type = ZQ_SVFilter::highPass;
        bool bypassed = true;
    };

    /** Everything the audio path reads, taken between blocks. */
    struct Settings
    {
        /** Low atten, low boost, high atten, high boost, low-pass: the order of the chain. */
        std::array<Filter, 5> filters;
        float drive = 0.0f;
        bool tubeEnabled = false;
        float trimGain = 1.0f;
        bool oversampling = false;
        int stereoMode = TarvolenEQAudioProcessor::stereo;
    };

    /** The settings the processor's units hold now. */
    static Settings settingsOf (const TarvolenEQAudioProcessor& processor);

    /** One filter step: s1 and s2 are the channel's state. */
    static float filterSample (const Filter& f, float rate, double& s1, double& s2, float x);

    /** One tube step. Its inner filters sit at 0 dB and so never change a sample. */
    static float tubeSample (float drive, bool enabled, float x);

    /** Sets up like the processor's prepareToPlay for a layout of channelCount (1 or 2). */
    void prepare (double hostRate, int maximumBlockSize, int channelCount);

    /** Like the processor's processBlock, for blocks up to the prepared size. */
    void process (juce::AudioBuffer<float>& buffer, const Settings& settings);

private:
    float chain (const Settings& s, float x, int channel);

    double hostSampleRate = 48000.0;
    float rate = 48000.0f;
    std::array<std::array<double, 2>, 5> s1 {}, s2 {};

    juce::dsp::Oversampling<float> oversampler { 2, 2, juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR,
                                                 true, false };
    juce::dsp::Gain<float> trim;
};
