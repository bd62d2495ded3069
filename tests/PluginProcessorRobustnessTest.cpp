#include "PluginProcessor.h"
#include "helpers/ProcessorHarness.h"
#include "helpers/ReferenceEngine.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

using namespace TestHelpers;

namespace
{
using Channels = std::vector<std::vector<float>>;

constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

enum class Settings { defaults, everyBand, minimum, maximum };

const char* nameOf (Settings s)
{
    switch (s)
    {
        case Settings::defaults:  return "defaults";
        case Settings::everyBand: return "every band and the drive";
        case Settings::minimum:   return "every parameter at its minimum";
        case Settings::maximum:   return "every parameter at its maximum";
    }

    return "";
}

// "over sample" goes first: switching it moves "low pass" between 19000 and 20000, and the
// settings below must have the last word.
void configure (ProcessorHarness& h, Settings settings, int mode, bool oversampling)
{
    h.set (ParamIDs::overSample, oversampling ? 1.0f : 0.0f);
    h.set (ParamIDs::stereoMenu, static_cast<float> (mode));

    if (settings == Settings::everyBand)
    {
        for (auto [id, value] : { std::pair { ParamIDs::lowBoost, 5.0f }, { ParamIDs::lowAtten, 3.0f },
                                  { ParamIDs::highBoost, 6.0f }, { ParamIDs::highAtten, 2.0f },
                                  { ParamIDs::lowPass, 12000.0f }, { ParamIDs::drive, 12.0f } })
            h.set (id, value);
    }

    if (settings == Settings::minimum || settings == Settings::maximum)
    {
        for (auto* id : { ParamIDs::drive, ParamIDs::lowPass, ParamIDs::trim, ParamIDs::highBoost, ParamIDs::highAtten,
                          ParamIDs::highFreq, ParamIDs::lowBoost, ParamIDs::lowAtten, ParamIDs::lowFreq, ParamIDs::bandwidth })
        {
            const auto& range = h.processor.treeState.getParameter (id)->getNormalisableRange();
            h.set (id, settings == Settings::maximum ? range.end : range.start);
        }
    }
}

bool allFinite (const std::vector<float>& channel, size_t start, size_t length)
{
    for (auto i = start; i < start + length; ++i)
        if (! std::isfinite (channel[i]))
            return false;

    return true;
}

double rmsDb (const std::vector<float>& channel, size_t start, size_t length)
{
    double sum = 0.0;

    for (auto i = start; i < start + length; ++i)
        sum += static_cast<double> (channel[i]) * static_cast<double> (channel[i]);

    return 10.0 * std::log10 (sum / static_cast<double> (length));
}

/** The processor and the reference, prepared afresh, over the same blocks, on the settings the
    processor holds. */
std::pair<Channels, Channels> runWithReference (ProcessorHarness& h, ReferenceEngine& reference, double rate, const Channels& input)
{
    const auto channels = static_cast<int> (input.size());
    const auto length = static_cast<int> (input.front().size());
    const auto settings = ReferenceEngine::settingsOf (h.processor);

    reference.prepare (rate, h.blockSize, channels);
    auto expected = input;

    for (int start = 0; start < length; start += h.blockSize)
    {
        std::vector<float*> pointers;

        for (auto& channel : expected)
            pointers.push_back (channel.data() + start);

        juce::AudioBuffer<float> buffer (pointers.data(), channels, std::min (h.blockSize, length - start));
        reference.process (buffer, settings);
    }

    return { h.process (input), expected };
}

/** Calls test (h, rate, channels) for every rate, parameter set, stereo mode, oversampling
    setting and layout. One processor per rate and layout is set back to the defaults and
    prepared afresh for each case, for blocks of blockSize. */
template <typename Test>
void forEveryRateAndSetting (int blockSize, Test&& test)
{
    for (double rate : { 8000.0, 11025.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0 })
    {
        for (int channels : { 1, 2 })
        {
            ProcessorHarness h (channels, rate, blockSize);

            for (auto settings : { Settings::defaults, Settings::minimum, Settings::maximum })
            {
                for (int mode = 0; mode < 5; ++mode)
                {
                    for (bool oversampling : { false, true })
                    {
                        SCOPED_TRACE (testing::Message() << rate << " Hz, " << channels << " channel(s), " << nameOf (settings)
                                                         << ", mode " << mode << (oversampling ? ", oversampled" : ", host rate"));

                        for (auto* parameter : h.processor.getParameters())
                            parameter->setValueNotifyingHost (parameter->getDefaultValue());

                        configure (h, settings, mode, oversampling);

                        // Cutoffs near and above half the running rate.
                        if (settings == Settings::defaults)
                            h.set (ParamIDs::lowPass, 20000.0f);

                        h.processor.prepareToPlay (rate, blockSize);
                        test (h, rate, channels);
                    }
                }
            }
        }
    }
}
} // namespace

TEST (PluginProcessorRobustness, RecoversFromASingleNonFiniteSampleAtTheNextBlock)
{
    constexpr int blockSize = 128;
    constexpr int firstBad = 2;
    constexpr int spacing = 4;

    // Every bad value at the first, middle and last sample of a block, one after another in the
    // same instance: recovering once is not enough.
    struct Bad { float value; int position; };
    const Bad bads[] = { { notANumber, 0 },  { infinity, 64 },  { -infinity, 127 },
                         { notANumber, 64 }, { infinity, 127 }, { -infinity, 0 },
                         { notANumber, 127 }, { infinity, 0 },  { -infinity, 64 } };
    constexpr int numBad = static_cast<int> (std::size (bads));
    constexpr int numBlocks = firstBad + spacing * numBad;
    constexpr auto length = static_cast<size_t> (numBlocks * blockSize);
    constexpr auto block = static_cast<size_t> (blockSize);

    const Channels music { sine (440.0, 48000.0, length, 0.5f), sine (660.0, 48000.0, length, 0.4f) };

    for (int channels : { 1, 2 })
    {
        const Channels input (music.begin(), music.begin() + channels);

        for (auto settings : { Settings::defaults, Settings::everyBand })
        {
            for (int mode = 0; mode < 5; ++mode)
            {
                for (bool oversampling : { false, true })
                {
                    auto run = [&] (const Channels& signal)
                    {
                        ProcessorHarness h (channels, 48000.0, blockSize);
                        configure (h, settings, mode, oversampling);
                        return h.process (signal);
                    };

                    const auto clean = run (input);

                    for (int badChannel = 0; badChannel < channels; ++badChannel)
                    {
                        SCOPED_TRACE (testing::Message() << channels << " channel(s), " << nameOf (settings) << ", mode "
                                                         << mode << (oversampling ? ", oversampled" : ", host rate")
                                                         << ", bad samples on channel " << badChannel);
                        auto damaged = input;

                        for (int k = 0; k < numBad; ++k)
                            damaged[static_cast<size_t> (badChannel)][static_cast<size_t> ((firstBad + spacing * k) * blockSize + bads[k].position)] = bads[k].value;

                        const auto output = run (damaged);

                        // Stops at the first fault of a run: a processor that never recovers would
                        // otherwise report every block.
                        [&]
                        {
                            for (int k = 0; k < numBad; ++k)
                            {
                                const auto badBlock = firstBad + spacing * k;
                                const auto settled = static_cast<size_t> (badBlock + spacing - 1) * block;

                                for (int b = badBlock + 1; b < badBlock + spacing; ++b)
                                    for (size_t c = 0; c < output.size(); ++c)
                                        ASSERT_TRUE (allFinite (output[c], static_cast<size_t> (b) * block, block))
                                            << "channel " << c << ", block " << b - badBlock << " after a "
                                            << bads[k].value << " at sample " << bads[k].position;

                                // The state starts afresh, so a few blocks on the level is the clean run's.
                                for (size_t c = 0; c < output.size(); ++c)
                                    ASSERT_NEAR (rmsDb (output[c], settled, block), rmsDb (clean[c], settled, block), 0.1)
                                        << "channel " << c << ", " << spacing - 1 << " blocks after a "
                                        << bads[k].value << " at sample " << bads[k].position;
                            }
                        }();
                    }
                }
            }
        }
    }
}

TEST (PluginProcessorRobustness, FiniteInputUpTo1e30StaysFiniteAndUntouchedByRecovery)
{
    constexpr size_t block = 16;

    enum Kind { music, positive, negative, alternating, randomHuge, denormals };

    auto blockOf = [] (Kind kind, std::uint32_t seed)
    {
        // Music loud enough to pass the tube's knee and clipper.
        if (kind == music)       return noise (block, 2.0f, seed);
        if (kind == randomHuge)  return noise (block, 1.0e30f, seed);

        std::vector<float> samples (block);

        for (size_t i = 0; i < block; ++i)
        {
            const float sign = i % 2 == 0 ? 1.0f : -1.0f;
            const float tiny = i % 4 < 2 ? std::numeric_limits<float>::denorm_min() : 0.5f * std::numeric_limits<float>::min();

            samples[i] = kind == positive    ? 1.0e30f
                       : kind == negative    ? -1.0e30f
                       : kind == alternating ? sign * 1.0e30f
                                             : sign * tiny;
        }

        return samples;
    };

    // The right channel meets the kinds three blocks later, so mid and side mix extremes of
    // both signs with music.
    const Kind kinds[] = { music, positive, negative, music, alternating, randomHuge, denormals, music };
    Channels signal (2);

    for (size_t b = 0; b < std::size (kinds); ++b)
    {
        for (size_t c = 0; c < 2; ++c)
        {
            const auto part = blockOf (kinds[(b + 3 * c) % std::size (kinds)], static_cast<std::uint32_t> (b * 2 + c + 1));
            signal[c].insert (signal[c].end(), part.begin(), part.end());
        }
    }

    ReferenceEngine engine;

    forEveryRateAndSetting (static_cast<int> (block), [&] (ProcessorHarness& h, double rate, int channels)
    {
        const auto [output, reference] = runWithReference (h, engine, rate, Channels (signal.begin(), signal.begin() + channels));

        for (size_t c = 0; c < output.size(); ++c)
        {
            ASSERT_TRUE (allFinite (output[c], 0, output[c].size())) << "channel " << c;
            ASSERT_TRUE (sameBits (output[c], reference[c])) << "channel " << c << ": the reference never clears a thing";
        }
    });
}

TEST (PluginProcessorRobustness, NonFiniteInputSpoilsOnlyItsOwnBlockAtEveryRate)
{
    constexpr size_t block = 32;
    enum Kind { music, allNaN, allInfinite, allNegativeInfinite, mixed };

    // A bad block on every channel, or on the first alone with 1e30 beside the bad values.
    const Kind kinds[] = { music, allNaN, music, allInfinite, music, allNegativeInfinite, music, music, mixed, music, music };
    Channels signal (2);

    for (size_t b = 0; b < std::size (kinds); ++b)
    {
        for (size_t c = 0; c < 2; ++c)
        {
            auto part = noise (block, 0.5f, static_cast<std::uint32_t> (b * 2 + c + 1));

            for (size_t i = 0; i < block; ++i)
            {
                if (kinds[b] == allNaN)               part[i] = notANumber;
                if (kinds[b] == allInfinite)          part[i] = infinity;
                if (kinds[b] == allNegativeInfinite)  part[i] = -infinity;
            }

            if (kinds[b] == mixed && c == 0)
            {
                part[0] = notANumber;
                part[10] = infinity;
                part[20] = -infinity;
                part[31] = 1.0e30f;
            }

            signal[c].insert (signal[c].end(), part.begin(), part.end());
        }
    }

    forEveryRateAndSetting (static_cast<int> (block), [&] (ProcessorHarness& h, double, int channels)
    {
        const auto output = h.process (Channels (signal.begin(), signal.begin() + channels));

        for (size_t b = 0; b < std::size (kinds); ++b)
        {
            if (kinds[b] != music)
                continue;

            for (size_t c = 0; c < output.size(); ++c)
                ASSERT_TRUE (allFinite (output[c], b * block, block)) << "channel " << c << ", block " << b;
        }
    });
}
