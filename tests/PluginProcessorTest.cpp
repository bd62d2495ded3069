#include "PluginProcessor.h"
#include "helpers/ProcessorHarness.h"
#include "helpers/Sanitizers.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <malloc.h>

using namespace TestHelpers;

namespace
{
using Set = juce::AudioChannelSet;

std::vector<float> silence (size_t length) { return std::vector<float> (length, 0.0f); }

// Every band audible, so routing mistakes show up in the output.
void setAudibleSettings (ProcessorHarness& h)
{
    h.set (ParamIDs::lowBoost, 5.0f);
    h.set (ParamIDs::lowAtten, 3.0f);
    h.set (ParamIDs::highBoost, 6.0f);
    h.set (ParamIDs::highAtten, 2.0f);
    h.set (ParamIDs::lowPass, 12000.0f);
    h.set (ParamIDs::drive, 12.0f);
}

std::vector<float> monoChain (const std::vector<float>& input, bool oversampling = false)
{
    ProcessorHarness mono (1);
    setAudibleSettings (mono);
    mono.set (ParamIDs::overSample, oversampling ? 1.0f : 0.0f);
    return mono.process ({ input })[0];
}
} // namespace

TEST (PluginProcessor, ReportsItsIdentity)
{
    TarvolenEQAudioProcessor processor;

    EXPECT_EQ (processor.getName(), "Tarvolen EQ");
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_EQ (processor.getNumPrograms(), 1);

    processor.setCurrentProgram (3);
    EXPECT_EQ (processor.getCurrentProgram(), 0);

    // One program with a name, whatever a host asks; renaming it changes nothing.
    for (int index : { 0, 7, -1 })
    {
        processor.changeProgramName (index, "Renamed");
        EXPECT_EQ (processor.getProgramName (index), "Default");
    }
}

TEST (PluginProcessor, PublishesThirteenParametersInHostOrder)
{
    struct Expected { const char* id; const char* name; float min, max, def; const char* kind; };
    const Expected expected[] = {
        { "drive", "Drive", 0, 24, 0, "float" },              { "low pass", "Low Pass", 3000, 20000, 20000, "int" },
        { "trim", "Trim", -48, 48, 0, "float" },              { "stereo menu", "Stereo Menu", 0, 4, 0, "int" },
        { "high boost", "High Boost", 0, 10, 0, "float" },    { "high atten", "High Atten", 0, 10, 0, "float" },
        { "high freq", "High Freq", 1000, 16000, 6000, "int" }, { "low boost", "Low Boost", 0, 10, 0, "float" },
        { "low atten", "Low Atten", 0, 10, 0, "float" },      { "low freq", "Low Freq", 20, 300, 100, "int" },
        { "bandwidth", "Bandwidth", 0, 10, 5, "float" },      { "over sample", "Over Sample", 0, 1, 0, "bool" },
        { "eq in", "Eq In", 0, 1, 1, "bool" },
    };

    TarvolenEQAudioProcessor processor;
    const auto& parameters = processor.getParameters();
    ASSERT_EQ (parameters.size(), 13);

    for (int i = 0; i < 13; ++i)
    {
        const auto& e = expected[i];
        SCOPED_TRACE (e.id);
        auto* p = dynamic_cast<juce::RangedAudioParameter*> (parameters[i]);
        ASSERT_NE (p, nullptr);

        EXPECT_EQ (p->paramID, e.id);
        EXPECT_EQ (p->getName (100), e.name);
        EXPECT_TRUE (p->getLabel().isEmpty());
        EXPECT_EQ (p->getNormalisableRange().start, e.min);
        EXPECT_EQ (p->getNormalisableRange().end, e.max);
        EXPECT_EQ (p->convertFrom0to1 (p->getDefaultValue()), e.def);
        EXPECT_EQ (processor.treeState.getRawParameterValue (e.id)->load(), e.def);

        const juce::String kind = dynamic_cast<juce::AudioParameterFloat*> (p) != nullptr ? "float"
                                : dynamic_cast<juce::AudioParameterInt*> (p) != nullptr  ? "int"
                                : dynamic_cast<juce::AudioParameterBool*> (p) != nullptr ? "bool"
                                                                                         : "other";
        EXPECT_EQ (kind, e.kind);

        if (kind == "float")
        {
            EXPECT_FLOAT_EQ (p->getNormalisableRange().interval, 0.01f);
        }
    }
}

TEST (PluginProcessor, AcceptsOnlyMatchingMonoOrStereoLayouts)
{
    TarvolenEQAudioProcessor processor;
    const auto leftCentre = Set::channelSetWithChannels ({ Set::left, Set::centre });

    struct Case { Set in, out; bool accepted; };
    const Case cases[] = {
        { Set::mono(), Set::mono(), true },          { Set::stereo(), Set::stereo(), true },
        { Set::mono(), Set::stereo(), false },       { Set::stereo(), Set::mono(), false },
        { Set::stereo(), Set::disabled(), false },   { Set::disabled(), Set::disabled(), false },
        { Set::disabled(), Set::stereo(), false },   { Set::disabled(), Set::mono(), false },
        { Set::create5point1(), Set::create5point1(), false },
        { leftCentre, leftCentre, false },           { Set::discreteChannels (2), Set::discreteChannels (2), false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ((c.in.getDescription() + " -> " + c.out.getDescription()).toStdString());
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (c.in);
        layout.outputBuses.add (c.out);
        EXPECT_EQ (processor.checkBusesLayoutSupported (layout), c.accepted);
    }
}

TEST (PluginProcessor, KeepsTheVariablesTreeApartUntilSaved)
{
    TarvolenEQAudioProcessor processor;
    const auto variables = processor.copyVariableTree();

    EXPECT_TRUE (variables.hasType ("TarvolenVariables"));
    EXPECT_EQ (variables.getNumProperties(), 0);
    ASSERT_EQ (variables.getNumChildren(), 1);

    const auto group = variables.getChild (0);
    EXPECT_TRUE (group.hasType ("Group"));
    EXPECT_EQ (group["name"].toString(), "TarvolenVars");
    ASSERT_EQ (group.getNumChildren(), 2);
    EXPECT_EQ (group.getChild (0)["id"].toString(), "width");
    EXPECT_EQ (group.getChild (1)["id"].toString(), "height");

    EXPECT_FALSE (processor.treeState.state.getChildWithName ("TarvolenVariables").isValid());
    EXPECT_EQ (processor.windowWidth.load(), 0.0f);
    EXPECT_EQ (processor.windowHeight.load(), 0.0f);
}

TEST (PluginProcessor, PreparesEveryUnitForFourTimesTheHostRate)
{
    for (double rate : { 44100.0, 48000.0 })
    {
        SCOPED_TRACE (rate);
        ProcessorHarness h (2, rate);
        auto& p = h.processor;

        EXPECT_EQ (p.overSampledRate.load(), static_cast<float> (4.0 * rate));
        EXPECT_EQ (p.baseSampleRate.load(), static_cast<float> (rate));
        EXPECT_EQ (p.tube.sampleRate, static_cast<float> (4.0 * rate));

        for (auto* f : { &p.lowBoostFilter, &p.lowAttenFilter, &p.highBoostFilter, &p.highAttenFilter, &p.lowPassFilter })
        {
            EXPECT_EQ (f->sampleRate.load(), static_cast<float> (4.0 * rate));
            EXPECT_FALSE (f->bypassed.load()) << "with eq in on, all five filters run after a preparation";
        }

        EXPECT_FALSE (p.tube.enabled.load());
        EXPECT_EQ (p.trimGain.getGainLinear(), 1.0f);
        EXPECT_EQ (p.stereoMode.load(), 0);
        EXPECT_EQ (p.getLatencySamples(), 0);
    }
}

TEST (PluginProcessor, TrimScalesTheOutputAtOnce)
{
    ProcessorHarness h;
    h.set (ParamIDs::eqIn, 0.0f);
    const auto input = noise (256, 0.5f);

    for (auto [trim, gain] : { std::pair { -48.0f, 0.003981f }, { -6.0f, 0.5012f }, { 0.0f, 1.0f }, { 48.0f, 251.19f } })
    {
        SCOPED_TRACE (trim);
        h.set (ParamIDs::trim, trim);
        const auto output = h.process ({ input, input });

        for (size_t i = 0; i < input.size(); ++i)
            ASSERT_NEAR (output[1][i], input[i] * gain, std::abs (input[i] * gain) * 1e-3f);
    }

    h.set (ParamIDs::trim, 0.0f);
    EXPECT_SAME_BITS (h.process ({ input, input })[0], input) << "0 dB leaves the samples untouched";
}

TEST (PluginProcessor, EqInAloneDecidesWhetherTheLowPassRuns)
{
    ProcessorHarness h;
    auto& lowPass = h.processor.lowPassFilter;

    h.set (ParamIDs::lowPass, 19999.0f);
    h.set (ParamIDs::lowPass, 20000.0f);
    EXPECT_FALSE (lowPass.bypassed.load()) << "the low-pass keeps running at 20000 Hz while eq in is on";
    EXPECT_EQ (lowPass.cutoff.load(), 20000.0f);

    h.set (ParamIDs::eqIn, 0.0f);
    h.set (ParamIDs::lowPass, 19999.0f);
    EXPECT_TRUE (lowPass.bypassed.load()) << "a cutoff change must not switch the low-pass on while eq in is off";
    EXPECT_EQ (lowPass.cutoff.load(), 19999.0f);
}

TEST (PluginProcessor, GainFiltersFollowEqInAndTheirGain)
{
    ProcessorHarness h;
    auto& bell = h.processor.highBoostFilter;

    h.set (ParamIDs::eqIn, 0.0f);
    h.set (ParamIDs::highBoost, 5.0f);
    EXPECT_TRUE (bell.bypassed.load());
    h.set (ParamIDs::eqIn, 1.0f);
    EXPECT_FALSE (bell.bypassed.load());
    EXPECT_EQ (bell.gainDB.load(), 10.0f);

    h.set (ParamIDs::highBoost, 0.0f);
    EXPECT_TRUE (bell.bypassed.load());
    h.set (ParamIDs::eqIn, 0.0f);
    h.set (ParamIDs::eqIn, 1.0f);
    EXPECT_FALSE (bell.bypassed.load());
}

TEST (PluginProcessor, OverSampleMovesTheLowPassBetween19000And20000)
{
    struct HostListener : juce::AudioProcessorListener
    {
        void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float) override { changed.add (index); }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
        juce::Array<int> changed;
    };

    struct Case { float lowPassBefore; float overSample; float lowPassAfter; };
    const Case cases[] = { { 20000, 1, 19000 }, { 19000, 0, 20000 }, { 15000, 1, 15000 }, { 18000, 0, 18000 } };

    for (auto eqIn : { 1.0f, 0.0f })
    {
        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.lowPassBefore);
            ProcessorHarness h;
            h.set (ParamIDs::eqIn, eqIn);
            h.set (ParamIDs::overSample, 1.0f - c.overSample);
            h.set (ParamIDs::lowPass, c.lowPassBefore);

            HostListener host;
            h.processor.addListener (&host);
            h.set (ParamIDs::overSample, c.overSample);
            h.processor.removeListener (&host);

            EXPECT_EQ (h.processor.oversamplingOn.load(), c.overSample == 1.0f);
            EXPECT_EQ (h.get (ParamIDs::lowPass), c.lowPassAfter);
            EXPECT_EQ (h.processor.lowPassFilter.cutoff.load(), c.lowPassAfter);
            EXPECT_EQ (h.processor.lowPassFilter.bypassed.load(), eqIn == 0.0f);
            EXPECT_EQ (host.changed.contains (1), c.lowPassAfter != c.lowPassBefore) << "the host must see the move";
        }
    }

    ProcessorHarness h;
    h.set (ParamIDs::overSample, 1.0f);
    h.processor.prepareToPlay (48000.0, 512);
    EXPECT_TRUE (h.processor.oversamplingOn.load()) << "a preparation keeps oversampling on";
    EXPECT_EQ (h.get (ParamIDs::lowPass), 19000.0f);
    EXPECT_EQ (h.processor.getLatencySamples(), 0);
}

TEST (PluginProcessor, StereoModeKeepsChannelsApart)
{
    ProcessorHarness h;
    setAudibleSettings (h);
    const auto left = noise (2048, 0.8f, 1);

    const auto withSilentRight = h.process ({ left, silence (2048) });
    EXPECT_SAME_BITS (withSilentRight[1], silence (2048));

    ProcessorHarness other;
    setAudibleSettings (other);
    EXPECT_SAME_BITS (other.process ({ left, noise (2048, 0.8f, 2) })[0], withSilentRight[0]);
}

TEST (PluginProcessor, RoutedModesRunTheChainOnceOnTheSelectedSignal)
{
    const auto l = noise (2048, 0.7f, 3);
    const auto r = noise (2048, 0.7f, 4);
    std::vector<float> mids, sides;

    for (size_t i = 0; i < l.size(); ++i)
    {
        mids.push_back (static_cast<float> (static_cast<double> (l[i] + r[i]) * 0.5));
        sides.push_back (static_cast<float> (static_cast<double> (l[i] - r[i]) * 0.5));
    }

    for (bool oversampling : { false, true })
    {
        SCOPED_TRACE (oversampling);
        auto run = [&] (int mode)
        {
            ProcessorHarness h;
            setAudibleSettings (h);
            h.set (ParamIDs::overSample, oversampling ? 1.0f : 0.0f);
            h.set (ParamIDs::stereoMenu, static_cast<float> (mode));
            return h.process ({ l, r });
        };

        if (! oversampling)
        {
            const auto leftOnly = run (TarvolenEQAudioProcessor::left);
            EXPECT_SAME_BITS (leftOnly[0], monoChain (l));
            EXPECT_SAME_BITS (leftOnly[1], r);

            const auto rightOnly = run (TarvolenEQAudioProcessor::right);
            EXPECT_SAME_BITS (rightOnly[0], l);
            EXPECT_SAME_BITS (rightOnly[1], monoChain (r));

            const auto y = monoChain (sides);
            const auto sideOut = run (TarvolenEQAudioProcessor::sides);
            const auto m = monoChain (mids);
            const auto midOut = run (TarvolenEQAudioProcessor::mid);

            for (size_t i = 0; i < l.size(); ++i)
            {
                const double mid = static_cast<double> (l[i] + r[i]) * 0.5;
                const double side = static_cast<double> (l[i] - r[i]) * 0.5;
                ASSERT_EQ (sideOut[0][i], static_cast<float> (mid + y[i]));
                ASSERT_EQ (sideOut[1][i], static_cast<float> (mid - y[i]));
                ASSERT_EQ (midOut[0][i], static_cast<float> (m[i] + side));
                ASSERT_EQ (midOut[1][i], static_cast<float> (m[i] - side));
            }
        }
        else
        {
            // Oversampled, the chain sees the upsampled signal; the untouched channel still passes
            // through the oversampler's filters, and the processed one must match a single pass.
            const auto leftOnly = run (TarvolenEQAudioProcessor::left);
            ProcessorHarness stereo;
            setAudibleSettings (stereo);
            stereo.set (ParamIDs::overSample, 1.0f);
            EXPECT_SAME_BITS (leftOnly[0], stereo.process ({ l, r })[0]);
        }
    }
}

TEST (PluginProcessor, RoutedModesLeaveBalancedSignalsUntouched)
{
    const auto l = noise (1024, 0.5f, 5);
    std::vector<float> negated;

    for (auto x : l)
        negated.push_back (-x);

    for (auto [mode, right] : { std::pair { TarvolenEQAudioProcessor::sides, l }, { TarvolenEQAudioProcessor::mid, negated } })
    {
        SCOPED_TRACE (mode);
        ProcessorHarness h;
        setAudibleSettings (h);
        h.set (ParamIDs::stereoMenu, static_cast<float> (mode));
        const auto output = h.process ({ l, right });
        EXPECT_SAME_BITS (output[0], l);
        EXPECT_SAME_BITS (output[1], right);
    }
}

TEST (PluginProcessor, OneChannelModesKeepTheirResults)
{
    const auto input = noise (1024, 0.7f, 6);
    const auto processed = monoChain (input);

    auto run = [&] (int mode)
    {
        ProcessorHarness h (1);
        setAudibleSettings (h);
        h.set (ParamIDs::stereoMenu, static_cast<float> (mode));
        return h.process ({ input })[0];
    };

    EXPECT_SAME_BITS (run (TarvolenEQAudioProcessor::mid), processed);
    EXPECT_SAME_BITS (run (TarvolenEQAudioProcessor::right), processed);
    EXPECT_SAME_BITS (run (TarvolenEQAudioProcessor::left), input);
    EXPECT_SAME_BITS (run (TarvolenEQAudioProcessor::sides), input) << "the chain maps silence to silence";
}

TEST (PluginProcessor, OversamplingKeepsBlockLengthAndRunsTheFiltersFaster)
{
    // The low-pass alone runs (q 0.69, so damping R = 0.31). The trapezoidal form prewarps its
    // corner to 6.28 / 2pi of the cutoff, so at a running rate fs it passes f with
    // |H| = 1 / |1 - W^2 + 2jRW|, W = tan (pi f / fs) / tan (pi fc' / fs). At 12 kHz that differs
    // by 4 dB between 48 and 192 kHz; a block not run whole through the chain, or not brought
    // back to the host rate, lets the tone through at another level.
    constexpr double cutoff = 3000.0;
    constexpr float amplitude = 0.5f;
    constexpr size_t block = 512;

    auto expectedDb = [] (double frequency, double runningRate)
    {
        const double corner = cutoff * 6.28 / (2.0 * M_PI);
        const double w = std::tan (M_PI * frequency / runningRate) / std::tan (M_PI * corner / runningRate);
        const double h = 1.0 / std::hypot (1.0 - w * w, 2.0 * 0.31 * w);
        return 20.0 * std::log10 (h * static_cast<double> (amplitude));
    };

    // A block holds whole periods of both tones, so one bin over a block reads its level.
    auto blockDb = [] (const std::vector<float>& signal, size_t start, double frequency)
    {
        const double step = 2.0 * M_PI * frequency / 48000.0;
        double re = 0.0, im = 0.0;

        for (size_t i = 0; i < block; ++i)
        {
            re += static_cast<double> (signal[start + i]) * std::cos (step * static_cast<double> (i));
            im += static_cast<double> (signal[start + i]) * std::sin (step * static_cast<double> (i));
        }

        return 20.0 * std::log10 (2.0 * std::hypot (re, im) / static_cast<double> (block));
    };

    for (int channels : { 1, 2 })
    {
        ProcessorHarness h (channels, 48000.0, static_cast<int> (block));

        for (bool oversampling : { true, false })
        {
            h.set (ParamIDs::overSample, oversampling ? 1.0f : 0.0f);
            h.set (ParamIDs::lowPass, static_cast<float> (cutoff));
            const auto runningRate = oversampling ? 192000.0f : 48000.0f;

            for (double frequency : { 3000.0, 12000.0 })
            {
                SCOPED_TRACE (testing::Message() << channels << " channel(s), oversampling " << oversampling << ", " << frequency << " Hz");
                const auto output = h.process (std::vector<std::vector<float>> (static_cast<size_t> (channels), sine (frequency, 48000.0, 8 * block, amplitude)));

                auto& p = h.processor;

                for (auto* filter : { &p.lowAttenFilter, &p.lowBoostFilter, &p.highAttenFilter, &p.highBoostFilter, &p.lowPassFilter })
                    EXPECT_EQ (filter->sampleRate.load(), runningRate);

                // The first block still rings from the last tone; every later one must be filtered whole.
                for (const auto& channel : output)
                    for (size_t start = block; start < channel.size(); start += block)
                        EXPECT_NEAR (blockDb (channel, start, frequency), expectedDb (frequency, runningRate), 0.1)
                            << "block at sample " << start;
            }
        }
    }
}

TEST (PluginProcessor, BlocksLongerThanAnnouncedAreProcessedWhole)
{
    ProcessorHarness announced (2, 48000.0, 256);
    ProcessorHarness exact (2, 48000.0, 1024);

    for (auto* h : { &announced, &exact })
    {
        setAudibleSettings (*h);
        h->set (ParamIDs::overSample, 1.0f);
    }

    const auto input = noise (1024, 0.5f, 8);
    announced.blockSize = 1024;
    EXPECT_SAME_BITS (announced.process ({ input, input })[0], exact.process ({ input, input })[0]);
}

TEST (PluginProcessor, AudioPathNeitherAllocatesNorLocks)
{
    {
        // The counters themselves must see what they are meant to catch: every way onto the heap
        // (JUCE's HeapBlock takes the C functions) and a lock. The volatile keeps each pair.
        // ThreadSanitizer's allocator hook does not hear the three aligned C functions, so only
        // the plain and AddressSanitizer builds can check those.
        struct alignas (64) Aligned { float samples[16]; };
        static void* volatile block;
        struct Way { const char* name; void (*allocate)(); bool heardUnderThreadSanitizer; };
        const Way ways[] = {
            { "operator new", [] { block = new int; delete static_cast<int*> (block); }, true },
            { "operator new[]", [] { block = new int[4]; delete[] static_cast<int*> (block); }, true },
            { "aligned operator new", [] { block = new Aligned; delete static_cast<Aligned*> (block); }, true },
            { "malloc", [] { block = std::malloc (8); std::free (block); }, true },
            { "calloc", [] { block = std::calloc (2, 8); std::free (block); }, true },
            { "realloc", [] { block = std::realloc (nullptr, 8); std::free (block); }, true },
            { "aligned_alloc", [] { block = std::aligned_alloc (64, 64); std::free (block); }, false },
            { "posix_memalign", [] { void* p = nullptr; block = posix_memalign (&p, 64, 64) == 0 ? p : nullptr; std::free (p); }, false },
            { "memalign", [] { block = memalign (64, 64); std::free (block); }, false },
        };

        for (const auto& way : ways)
        {
#if TARVOLEN_THREAD_SANITIZER
            if (! way.heardUnderThreadSanitizer)
                continue;
#endif
            AllocationCounter allocations;
            way.allocate();
            EXPECT_GT (allocations.count(), 0) << way.name;
        }

        LockCounter locks;
        juce::CriticalSection lock;
        const juce::ScopedLock scoped (lock);
#if ! TARVOLEN_THREAD_SANITIZER
        EXPECT_GT (locks.count(), 0);
#endif
    }

    // Blocks of every awkward length, longer than announced among them, and bad samples, after
    // which the engine clears filter state and resets the oversampler.
    constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
    constexpr float infinity = std::numeric_limits<float>::infinity();
    struct Block { int length; int badSample; float badValue; };
    const Block blocks[] = { { 0, -1, 0.0f },   { 1, -1, 0.0f },        { 7, 3, notANumber }, { 333, -1, 0.0f },
                             { 1, -1, 0.0f },   { 4096, 0, infinity },  { 7, -1, 0.0f },    { 333, 332, -infinity },
                             { 333, -1, 0.0f } };

    for (int prepared : { 4096, 7 })
    {
        for (int channels : { 1, 2 })
        {
            ProcessorHarness h (channels, 48000.0, prepared);
            setAudibleSettings (h);
            std::vector<juce::AudioBuffer<float>> buffers;

            for (const auto& b : blocks)
                buffers.emplace_back (channels, b.length);

            juce::MidiBuffer midi;

            for (int mode = 0; mode < 5; ++mode)
            {
                for (bool oversampling : { false, true })
                {
                    h.set (ParamIDs::stereoMenu, static_cast<float> (mode));
                    h.set (ParamIDs::overSample, oversampling ? 1.0f : 0.0f);

                    for (size_t i = 0; i < buffers.size(); ++i)
                    {
                        for (int c = 0; c < channels; ++c)
                        {
                            const auto input = noise (static_cast<size_t> (blocks[i].length), 0.5f, static_cast<std::uint32_t> (i + 1));
                            std::copy (input.begin(), input.end(), buffers[i].getWritePointer (c));

                            // On every channel, so that every mode's chain meets it.
                            if (blocks[i].badSample >= 0)
                                buffers[i].setSample (c, blocks[i].badSample, blocks[i].badValue);
                        }
                    }

                    AllocationCounter allocations;
                    LockCounter locks;

                    for (auto& buffer : buffers)
                        h.processor.processBlock (buffer, midi);

                    EXPECT_EQ (allocations.count(), 0) << "prepared " << prepared << ", " << channels << " channel(s), mode " << mode << ", oversampling " << oversampling;
                    EXPECT_EQ (locks.count(), 0) << "prepared " << prepared << ", " << channels << " channel(s), mode " << mode << ", oversampling " << oversampling;
                }
            }
        }
    }
}
