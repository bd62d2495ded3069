#include "PluginProcessor.h"
#include "helpers/ReferenceEngine.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace
{
constexpr double hostRate = 48000.0;
constexpr int blockSize = 512;
const char* const modeNames[] = { "Stereo", "Sides", "Mid", "Left", "Right" };

struct Configuration
{
    bool reference;
    bool oversampling;
    int mode;
    bool automated;
};

void setParameter (TarvolenEQAudioProcessor& processor, const char* id, float value)
{
    auto* parameter = processor.treeState.getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}

// Every band audible, the tube driven and the trim in use, so no stage is skipped.
void setUp (TarvolenEQAudioProcessor& processor, const Configuration& config)
{
    const auto stereo = juce::AudioChannelSet::stereo();
    processor.setBusesLayout ({ { stereo }, { stereo } });
    processor.prepareToPlay (hostRate, blockSize);

    const std::pair<const char*, float> settings[] = {
        { ParamIDs::lowBoost, 5.0f },   { ParamIDs::lowAtten, 3.0f }, { ParamIDs::highBoost, 6.0f },
        { ParamIDs::highAtten, 2.0f },  { ParamIDs::bandwidth, 7.0f }, { ParamIDs::lowPass, 15000.0f },
        { ParamIDs::drive, 12.0f },     { ParamIDs::trim, -3.0f },     { ParamIDs::eqIn, 1.0f },
        { ParamIDs::overSample, config.oversampling ? 1.0f : 0.0f },
        { ParamIDs::stereoMenu, static_cast<float> (config.mode) },
    };

    for (auto [id, value] : settings)
        setParameter (processor, id, value);
}

// One second of programme-like input: a chord over noise, different on each side.
juce::AudioBuffer<float> makeInput()
{
    juce::AudioBuffer<float> input (2, static_cast<int> (hostRate));
    juce::Random random (42);

    for (int c = 0; c < 2; ++c)
    {
        for (int i = 0; i < input.getNumSamples(); ++i)
        {
            const double t = static_cast<double> (i) / hostRate;
            double chord = 0.0;

            for (double f : { 110.0, 220.0 * (c + 1), 1320.0, 5000.0 })
                chord += std::sin (2.0 * M_PI * f * t + c);

            input.setSample (c, i, static_cast<float> (0.12 * chord) + 0.2f * (random.nextFloat() - 0.5f));
        }
    }

    return input;
}

void processBlockBenchmark (benchmark::State& state, Configuration config)
{
    // The processor also holds the settings the reference reads, so both see the same changes.
    TarvolenEQAudioProcessor processor;
    setUp (processor, config);
    ReferenceEngine reference;
    reference.prepare (hostRate, blockSize, 2);

    const auto input = makeInput();
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    int position = 0;
    int block = 0;

    for (auto _ : state)
    {
        for (int c = 0; c < 2; ++c)
            buffer.copyFrom (c, 0, input, c, position, blockSize);

        position = (position + blockSize) % (input.getNumSamples() - blockSize);

        // The high band moves by 1 Hz every block, up to 6100 Hz and back: every block brings a
        // change to apply, while the sound, and with it the tube's load, stays that of the
        // static setting of 6000 Hz.
        if (config.automated)
        {
            const auto offset = block++ % 200;
            setParameter (processor, ParamIDs::highFreq, static_cast<float> (6000 + std::min (offset, 200 - offset)));
        }

        if (config.reference)
            reference.process (buffer, ReferenceEngine::settingsOf (processor));
        else
            processor.processBlock (buffer, midi);

        benchmark::DoNotOptimize (buffer.getWritePointer (0));
        benchmark::ClobberMemory();
    }

    const auto audioSeconds = static_cast<double> (state.iterations()) * blockSize / hostRate;
    state.counters["realtime"] = benchmark::Counter (audioSeconds, benchmark::Counter::kIsRate);
    state.counters["cpu_s_per_audio_s"] = benchmark::Counter (audioSeconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void registerBenchmarks()
{
    for (bool automated : { false, true })
    {
        for (bool oversampling : { false, true })
        {
            for (int mode = 0; mode < 5; ++mode)
            {
                for (bool reference : { false, true })
                {
                    const auto name = std::string (reference ? "Reference" : "Engine") + "/"
                                      + (oversampling ? "Oversampled" : "HostRate") + "/" + modeNames[mode] + "/"
                                      + (automated ? "Automated" : "Static");

                    // The best of several repetitions is the least disturbed by whatever else
                    // the machine runs; the scripts read it.
                    benchmark::RegisterBenchmark (name.c_str(), processBlockBenchmark,
                                                  Configuration { reference, oversampling, mode, automated })
                        ->Unit (benchmark::kMicrosecond)
                        ->ComputeStatistics ("min", [] (const std::vector<double>& v)
                                             { return *std::min_element (v.begin(), v.end()); });
                }
            }
        }
    }
}
} // namespace

int main (int argc, char** argv)
{
    // The parameter state needs the message manager that a host provides.
    juce::ScopedJuceInitialiser_GUI juce;
    registerBenchmarks();
    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
