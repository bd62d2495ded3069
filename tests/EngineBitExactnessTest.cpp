#include "PluginProcessor.h"
#include "SVFilterSeries.h"
#include "helpers/ProcessorHarness.h"
#include "helpers/ReferenceEngine.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>

using namespace TestHelpers;

namespace
{
constexpr double hostRate = 48000.0;
constexpr int maximumBlock = 512;

std::vector<float> sweep (size_t length, double fromHz, double toHz, float amplitude)
{
    std::vector<float> signal (length);
    const double rise = std::log (toHz / fromHz);
    const double duration = static_cast<double> (length) / hostRate;

    for (size_t i = 0; i < length; ++i)
    {
        const double t = static_cast<double> (i) / hostRate;
        const double phase = 2.0 * M_PI * fromHz * duration / rise * (std::exp (t / duration * rise) - 1.0);
        signal[i] = amplitude * static_cast<float> (std::sin (phase));
    }

    return signal;
}

// A sweep, then noise quiet, past the knee and past the clipper, then silence.
std::vector<float> programme (std::uint32_t seed, double fromHz, double toHz)
{
    auto signal = sweep (16384, fromHz, toHz, 0.9f);

    for (float level : { 0.3f, 1.6f, 5.0f })
    {
        const auto part = noise (4096, level, seed++);
        signal.insert (signal.end(), part.begin(), part.end());
    }

    signal.resize (signal.size() + 2048, 0.0f);
    return signal;
}

// Every band, the tube and the trim in use.
void setBenchmarkSettings (ProcessorHarness& h)
{
    for (auto [id, value] : { std::pair { ParamIDs::lowBoost, 5.0f }, { ParamIDs::lowAtten, 3.0f }, { ParamIDs::highBoost, 6.0f },
                              { ParamIDs::highAtten, 2.0f }, { ParamIDs::bandwidth, 7.0f }, { ParamIDs::lowPass, 15000.0f },
                              { ParamIDs::drive, 12.0f }, { ParamIDs::trim, -3.0f }, { ParamIDs::eqIn, 1.0f } })
        h.set (id, value);
}

struct Automation
{
    const char* id;
    std::vector<float> values;
};

// Every parameter the audio path reads, with values that switch units off and on again.
const std::vector<Automation> automations = {
    { ParamIDs::lowFreq, { 20, 100, 300, 57 } },         { ParamIDs::highFreq, { 1000, 6000, 16000, 3333 } },
    { ParamIDs::lowPass, { 3000, 15000, 20000 } },       { ParamIDs::bandwidth, { 0, 7, 10, 2.5f } },
    { ParamIDs::lowBoost, { 0, 5, 10 } },                { ParamIDs::lowAtten, { 0, 3, 10 } },
    { ParamIDs::highBoost, { 0, 6, 10 } },               { ParamIDs::highAtten, { 0, 2, 10 } },
    { ParamIDs::drive, { 0, 12, 24, 3 } },               { ParamIDs::trim, { -3, 0, 12 } },
    { ParamIDs::eqIn, { 0, 1 } },
};

/** Runs the processor and the reference side by side over the same blocks; before each block
    the callback may change parameters, as a host does between blocks. */
template <typename BeforeBlock>
std::pair<std::vector<std::vector<float>>, std::vector<std::vector<float>>>
    runBoth (ProcessorHarness& h, const std::vector<std::vector<float>>& input, BeforeBlock&& beforeBlock)
{
    const auto channels = static_cast<int> (input.size());
    const auto length = static_cast<int> (input.front().size());
    const int blockSizes[] = { 512, 1, 64, 300, 2, 511, 128, 37 };

    ReferenceEngine reference;
    reference.prepare (hostRate, maximumBlock, channels);

    auto engineOut = input;
    auto referenceOut = input;
    juce::MidiBuffer midi;
    int block = 0;

    for (int start = 0; start < length; ++block)
    {
        beforeBlock (block);
        const auto settings = ReferenceEngine::settingsOf (h.processor);
        const auto n = std::min (blockSizes[block % 8], length - start);

        std::vector<float*> e, r;

        for (int c = 0; c < channels; ++c)
        {
            e.push_back (engineOut[static_cast<size_t> (c)].data() + start);
            r.push_back (referenceOut[static_cast<size_t> (c)].data() + start);
        }

        juce::AudioBuffer<float> engineBuffer (e.data(), channels, n);
        juce::AudioBuffer<float> referenceBuffer (r.data(), channels, n);
        h.processor.processBlock (engineBuffer, midi);
        reference.process (referenceBuffer, settings);
        start += n;
    }

    return { engineOut, referenceOut };
}

void expectSameBitsPerChannel (const std::pair<std::vector<std::vector<float>>, std::vector<std::vector<float>>>& outputs)
{
    for (size_t c = 0; c < outputs.first.size(); ++c)
        EXPECT_SAME_BITS (outputs.first[c], outputs.second[c]) << "channel " << c;
}

class EngineBitExactness : public testing::TestWithParam<std::tuple<int, bool, int>>
{
};
} // namespace

TEST_P (EngineBitExactness, MatchesTheReferenceUnderAutomation)
{
    const auto [channels, oversampling, mode] = GetParam();
    ProcessorHarness h (channels, hostRate, maximumBlock);
    setBenchmarkSettings (h);
    h.set (ParamIDs::overSample, oversampling ? 1.0f : 0.0f);
    h.set (ParamIDs::stereoMenu, static_cast<float> (mode));

    std::vector<std::vector<float>> input { programme (1, 20.0, 20000.0) };

    if (channels == 2)
        input.push_back (programme (11, 20000.0, 20.0));

    std::mt19937 random (static_cast<std::uint32_t> (channels * 100 + mode * 10 + (oversampling ? 1 : 0)));

    // The first blocks run on the fixed settings, the rest change one parameter before each.
    expectSameBitsPerChannel (runBoth (h, input, [&] (int block)
    {
        if (block < 16)
            return;

        const auto& a = automations[random() % automations.size()];
        h.set (a.id, a.values[random() % a.values.size()]);
    }));
}

INSTANTIATE_TEST_SUITE_P (EveryLayoutModeAndRate, EngineBitExactness,
                          testing::Combine (testing::Values (1, 2), testing::Bool(), testing::Range (0, 5)),
                          [] (const auto& test)
                          {
                              return std::string (std::get<0> (test.param) == 1 ? "Mono" : "Stereo")
                                     + (std::get<1> (test.param) ? "Oversampled" : "HostRate")
                                     + "Mode" + std::to_string (std::get<2> (test.param));
                          });

TEST (EngineBitExactnessRate, SwitchingOversamplingReachesTheCoefficientsAtOnce)
{
    for (int channels : { 1, 2 })
    {
        SCOPED_TRACE (channels);
        ProcessorHarness h (channels, hostRate, maximumBlock);
        setBenchmarkSettings (h);

        const std::vector<std::vector<float>> input (static_cast<size_t> (channels), programme (5, 50.0, 15000.0));

        expectSameBitsPerChannel (runBoth (h, input, [&] (int block)
        {
            if (block % 3 == 0)
                h.set (ParamIDs::overSample, (block / 3) % 2 == 0 ? 1.0f : 0.0f);
        }));
    }
}

TEST (EngineBitExactnessModes, StereoModeChangesBetweenBlocksMatchTheReference)
{
    // Every ordered pair of modes once: Stereo to each routed mode and back, routed to routed.
    const int modes[] = { 0, 1, 0, 2, 0, 3, 0, 4, 1, 2, 1, 3, 1, 4, 2, 3, 2, 4, 3, 4, 0 };

    for (int channels : { 1, 2 })
    {
        for (bool oversampling : { false, true })
        {
            SCOPED_TRACE (testing::Message() << channels << " channel(s), oversampling " << oversampling);
            ProcessorHarness h (channels, hostRate, maximumBlock);
            setBenchmarkSettings (h);
            h.set (ParamIDs::overSample, oversampling ? 1.0f : 0.0f);

            // The start of the sweep, then noise quiet and past the knee: enough blocks for the
            // round of modes.
            std::vector<std::vector<float>> input;

            for (auto [seed, from, to] : { std::tuple { 21u, 30.0, 18000.0 }, { 31u, 18000.0, 30.0 } })
            {
                auto signal = programme (seed, from, to);
                signal.erase (signal.begin() + 4096, signal.begin() + 16384);
                signal.resize (10240);
                input.push_back (signal);
            }

            input.resize (static_cast<size_t> (channels));

            // Each mode holds for two blocks, so the state it leaves behind is used.
            expectSameBitsPerChannel (runBoth (h, input, [&] (int block)
            {
                if (block % 2 == 0)
                    h.set (ParamIDs::stereoMenu, static_cast<float> (modes[static_cast<size_t> (block / 2) % std::size (modes)]));
            }));
        }
    }
}

TEST (EngineBitExactnessUnits, FilterFollowsEverySettingFromTheNextSample)
{
    const float rates[] = { 48000.0f, 192000.0f, 44100.0f };
    const float cutoffs[] = { 1000.0f, 4000.0f, 0.0f, -0.0f, 23000.0f, 100000.0f, 50.0f };
    const float qs[] = { 0.69f, 0.05f, 0.8f, 0.3f };
    const float gains[] = { 0.0f, 6.0f, -9.0f };
    const int types[] = { ZQ_SVFilter::bandShelf, ZQ_SVFilter::highShelf, ZQ_SVFilter::lowPass, ZQ_SVFilter::highPass };

    ZQ_SVFilter filter;
    filter.prepare (rates[0], 2);
    filter.setBypass (false);
    ReferenceEngine::Filter settings;
    double s1[2] {}, s2[2] {};

    std::mt19937 random (3);
    const auto input = noise (60000, 1.0f, 4);

    // Settings change at random samples; the value sets are small, so values also come back,
    // and the same value is rewritten.
    for (size_t i = 0; i < input.size(); ++i)
    {
        switch (random() % 24)
        {
            case 0: filter.sampleRate = rates[random() % 3]; break;
            case 1: filter.cutoff = cutoffs[random() % 7]; break;
            case 2: filter.q = qs[random() % 4]; break;
            case 3: filter.setGain (gains[random() % 3]); break;
            case 4: filter.filterType = types[random() % 4]; break;
            case 5: filter.setBypass (random() % 4 == 0); break;
            default: break;
        }

        settings = { filter.cutoff, filter.q, filter.rawGain, filter.filterType, filter.bypassed };
        const auto c = static_cast<int> (i % 2);
        const auto expected = ReferenceEngine::filterSample (settings, filter.sampleRate, s1[c], s2[c], input[i]);
        const auto actual = filter.processSample (input[i], c);
        ASSERT_EQ (bitsOf (actual), bitsOf (expected)) << "sample " << i << ": " << actual << " and " << expected;
    }
}

TEST (EngineBitExactnessUnits, TubeFollowsTheDriveFromTheNextSampleOnEveryBranch)
{
    std::vector<float> input;

    for (float x = -6.0f; x <= 6.0f; x += 0.0009765625f)
        input.push_back (x);

    const float special[] = { 0.0f, -0.0f, 1.5f, -0.75f, 4.0f, std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::denorm_min(),
                              -1.0e-30f, 1.0e30f };
    input.insert (input.end(), std::begin (special), std::end (special));

    const float drives[] = { 0.0f, 3.0f, 6.0f, 0.25f, 24.0f };
    ZQ_TubeModel tube;
    tube.prepare (192000.0f, 2);
    std::mt19937 random (9);

    for (int pass = 0; pass < 3; ++pass)
    {
        for (size_t i = 0; i < input.size(); ++i)
        {
            if (random() % 16 == 0)
            {
                const auto drive = drives[random() % 5];

                // Hosts go through setDrive; the level itself is public too.
                if (random() % 2 == 0)
                    tube.setDrive (drive);
                else
                    tube.driveLevel = drive;
            }

            const auto expected = ReferenceEngine::tubeSample (tube.driveLevel, tube.enabled, input[i]);
            const auto actual = tube.processSample (input[i], static_cast<int> (i % 2));
            ASSERT_EQ (bitsOf (actual), bitsOf (expected)) << "input " << input[i] << " drive " << tube.driveLevel.load();
        }
    }
}

TEST (EngineBitExactnessUnits, SeriesMatchesSampleBySampleForAnyChannelCountAndBlockLength)
{
    constexpr int channels = 3;
    const int types[] = { ZQ_SVFilter::bandShelf, ZQ_SVFilter::highShelf, ZQ_SVFilter::lowPass, ZQ_SVFilter::highPass,
                          ZQ_SVFilter::bandShelf };
    std::array<ZQ_SVFilter, 5> series, single;

    for (size_t f = 0; f < series.size(); ++f)
    {
        series[f].prepare (96000.0f, channels);
        series[f].filterType = types[f];
        series[f].cutoff = 300.0f * static_cast<float> (f + 1);
        series[f].q = 0.1f * static_cast<float> (f + 1);
        series[f].setBypass (false);
        series[f].setGain (3.0f - static_cast<float> (f));
        single[f] = series[f];
    }

    ZQ_SVFilter* const row[] = { &series[0], &series[1], &series[2], &series[3], &series[4] };
    std::mt19937 random (13);
    const int lengths[] = { 0, 1, 2, 3, 4, 5, 7, 64 };

    for (int block = 0; block < 400; ++block)
    {
        // Filters leave and rejoin the row between blocks.
        const auto f = random() % 5;
        const bool bypass = random() % 3 == 0;
        series[f].setBypass (bypass);
        single[f].setBypass (bypass);

        const int n = lengths[random() % 8];
        std::vector<std::vector<float>> actual;

        for (int c = 0; c < channels; ++c)
            actual.push_back (noise (static_cast<size_t> (n), 1.0f, static_cast<std::uint32_t> (block * channels + c)));

        auto expected = actual;
        float* pointers[] = { actual[0].data(), actual[1].data(), actual[2].data() };
        SVFilterSeries::process (row, 5, pointers, channels, n);

        for (int c = 0; c < channels; ++c)
        {
            for (auto& x : expected[static_cast<size_t> (c)])
                for (auto& filter : single)
                    x = filter.processSample (x, c);

            ASSERT_TRUE (sameBits (actual[static_cast<size_t> (c)], expected[static_cast<size_t> (c)]))
                << "block " << block << " of " << n << " samples, channel " << c;
        }
    }
}
