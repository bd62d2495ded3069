#include "ZQ_SVFilter.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace TestHelpers;

namespace
{
constexpr int allTypes[] = { ZQ_SVFilter::bandShelf, ZQ_SVFilter::highShelf, ZQ_SVFilter::lowPass, ZQ_SVFilter::highPass };

class ZQ_SVFilterTest : public testing::Test
{
protected:
    void SetUp() override { filter.prepare (48000.0f, 2); }

    void setUpRunning (int type, float cutoff, float q)
    {
        filter.filterType = type;
        filter.cutoff = cutoff;
        filter.q = q;
        filter.setBypass (false);
    }

    ZQ_SVFilter filter;
};

// The coefficients exactly as the filter has always computed them, for cutoffs well below
// half the rate, where the cutoff limit must not change a single bit.
float referenceLowPassStep (double& s1, double& s2, float x, float rate, float cutoff, float q)
{
    const double halfT = (1.0 / static_cast<double> (rate)) * 0.5;
    const double g = std::tan (static_cast<double> (cutoff * 6.28f) * halfT) * (2.0 * static_cast<double> (rate)) * halfT;
    const double twoR = 2.0 * (1.0 - static_cast<double> (q));
    const double h = 1.0 / (g * g + (twoR * g + 1.0));
    const double hp = (((static_cast<double> (x) - twoR * s1) - g * s1) - s2) * h;
    const double bp = g * hp + s1;
    const double lp = g * bp + s2;
    s1 = g * hp + bp;
    s2 = g * bp + lp;
    return static_cast<float> (lp);
}
} // namespace

TEST_F (ZQ_SVFilterTest, FreshlyPreparedFilterPassesInputUnchanged)
{
    const auto input = noise (256, 1.0f);

    for (auto type : allTypes)
    {
        SCOPED_TRACE (type);
        filter.filterType = type;
        EXPECT_SAME_BITS (render (filter, input), input);
    }
}

TEST_F (ZQ_SVFilterTest, ImpulseResponsesMatchReferenceValues)
{
    struct Case { int type; float q; float gainDb; std::vector<const char*> expected; };
    const Case cases[] = {
        { ZQ_SVFilter::lowPass,   0.69f, 0.0f, { "0.0041071358", "0.016041774", "0.030892191", "0.044080600" } },
        { ZQ_SVFilter::highPass,  0.69f, 0.0f, { "0.95702219", "-0.090122700", "-0.097358331", "-0.10243201" } },
        { ZQ_SVFilter::bandShelf, 0.3f,  6.0f, { "1.0832839" } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.type);
        filter.prepare (48000.0f, 2);
        setUpRunning (c.type, 1000.0f, c.q);

        if (c.gainDb != 0.0f)
            filter.setGain (c.gainDb);

        const auto output = render (filter, impulse (c.expected.size()));

        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_TRUE (matchesFigure (output[i], c.expected[i])) << output[i] << " at sample " << i;
    }
}

TEST_F (ZQ_SVFilterTest, BypassFollowsGainAndRequestedBypass)
{
    const auto input = noise (64, 0.5f, 7);
    auto passesInput = [&] { return render (filter, input) == input; };

    setUpRunning (ZQ_SVFilter::highShelf, 2000.0f, 0.1f);

    filter.setBypass (true);
    filter.setGain (6.0f);
    EXPECT_TRUE (passesInput()) << "a gain change must not undo a requested bypass";

    filter.setBypass (false);
    EXPECT_FALSE (passesInput());

    filter.setGain (0.0f);
    EXPECT_TRUE (passesInput()) << "0 dB bypasses";

    filter.setGain (-3.0f);
    EXPECT_FALSE (passesInput()) << "a non-zero gain brings the filter back";

    filter.filterType = ZQ_SVFilter::lowPass;
    filter.setGain (0.0f);
    EXPECT_TRUE (passesInput()) << "0 dB bypasses a low-pass too";
}

TEST_F (ZQ_SVFilterTest, RunningAtZeroDbReturnsInputWhileStateAdvances)
{
    const auto input = noise (128, 0.5f, 3);

    for (auto type : { ZQ_SVFilter::bandShelf, ZQ_SVFilter::highShelf })
    {
        SCOPED_TRACE (type);
        ZQ_SVFilter warm;
        warm.prepare (48000.0f, 1);
        warm.filterType = type;
        warm.cutoff = 1000.0f;
        warm.setBypass (false);

        EXPECT_SAME_BITS (render (warm, input), input);

        // The state moved on: with gain, the warm filter's output now differs from a cold one's.
        ZQ_SVFilter cold = warm;
        cold.prepare (48000.0f, 1);
        cold.filterType = type;
        cold.cutoff = 1000.0f;
        cold.setBypass (false);

        warm.setGain (6.0f);
        cold.setGain (6.0f);
        EXPECT_NE (render (warm, input), render (cold, input));
    }
}

TEST_F (ZQ_SVFilterTest, BypassFreezesStateUntilTheFilterResumes)
{
    setUpRunning (ZQ_SVFilter::lowPass, 500.0f, 0.69f);
    ZQ_SVFilter uninterrupted = filter;

    const auto first = noise (100, 0.5f, 11);
    const auto second = noise (100, 0.5f, 12);

    render (filter, first);
    render (uninterrupted, first);

    filter.setBypass (true);
    EXPECT_SAME_BITS (render (filter, noise (50, 0.9f, 13)), noise (50, 0.9f, 13));
    filter.setBypass (false);

    EXPECT_SAME_BITS (render (filter, second), render (uninterrupted, second));
}

TEST_F (ZQ_SVFilterTest, ChannelsKeepSeparateState)
{
    setUpRunning (ZQ_SVFilter::bandShelf, 800.0f, 0.3f);
    filter.setGain (9.0f);
    ZQ_SVFilter untouched = filter;

    const auto input = noise (256, 0.5f, 5);
    const auto onChannel0 = render (filter, input, 0);

    // Channel 1 is still cold: it answers like a fresh filter, and like channel 0 did.
    const auto onChannel1 = render (filter, input, 1);
    EXPECT_SAME_BITS (onChannel1, onChannel0);
    EXPECT_SAME_BITS (onChannel1, render (untouched, input, 0));
}

TEST_F (ZQ_SVFilterTest, ClearingNonFiniteStateRestartsOnlyTheSpoiledChannel)
{
    setUpRunning (ZQ_SVFilter::lowPass, 1000.0f, 0.69f);
    const ZQ_SVFilter cold = filter;
    const auto input = noise (256, 0.5f, 6);

    for (float bad : { NAN, INFINITY, -INFINITY })
    {
        SCOPED_TRACE (bad);
        render (filter, input, 0);
        render (filter, input, 1);
        filter.processSample (bad, 0);
        ZQ_SVFilter healthy = filter;

        filter.clearNonFiniteState();

        auto fresh = cold;
        EXPECT_SAME_BITS (render (filter, input, 0), render (fresh, input, 0)) << "the spoiled channel starts afresh";
        EXPECT_SAME_BITS (render (filter, input, 1), render (healthy, input, 1)) << "a finite channel is left alone";
    }
}

TEST_F (ZQ_SVFilterTest, CutoffChangeActsAtTheNextSampleAndKeepsState)
{
    setUpRunning (ZQ_SVFilter::lowPass, 1000.0f, 0.69f);
    ZQ_SVFilter unchanged = filter;

    const auto input = noise (64, 0.5f, 9);
    render (filter, input);
    render (unchanged, input);

    filter.cutoff = 4000.0f;
    const float next = filter.processSample (0.25f, 0);

    EXPECT_NE (next, unchanged.processSample (0.25f, 0));

    ZQ_SVFilter restarted;
    restarted.prepare (48000.0f, 2);
    restarted.filterType = ZQ_SVFilter::lowPass;
    restarted.cutoff = 4000.0f;
    restarted.setBypass (false);
    EXPECT_NE (next, restarted.processSample (0.25f, 0)) << "the state must carry over the change";
}

TEST_F (ZQ_SVFilterTest, BellReachesItsGainAtItsCentreAndUnityFarAway)
{
    constexpr float rate = 48000.0f;
    constexpr float gainDb = 6.0f;

    for (float q : { 0.05f, 0.3f, 0.8f })
    {
        SCOPED_TRACE (q);
        auto levelAt = [&] (double frequency)
        {
            ZQ_SVFilter bell;
            bell.prepare (rate, 1);
            bell.filterType = ZQ_SVFilter::bandShelf;
            bell.cutoff = 1000.0f;
            bell.q = q;
            bell.setBypass (false);
            bell.setGain (gainDb);
            return magnitudeDb (render (bell, sine (frequency, rate, 48000)), frequency, rate);
        };

        // 6.28 instead of 2 pi puts the centre a little below the nominal frequency.
        EXPECT_NEAR (levelAt (1000.0 * 6.28 / (2.0 * M_PI)), gainDb, 0.01);
        EXPECT_NEAR (levelAt (10.0), 0.0, 0.3);
        EXPECT_NEAR (levelAt (23000.0), 0.0, 0.3);
    }
}

TEST_F (ZQ_SVFilterTest, CutoffLimitLeavesNormalCutoffsBitExact)
{
    for (float rate : { 8000.0f, 44100.0f, 192000.0f })
    {
        SCOPED_TRACE (rate);
        const float cutoff = 0.449f * rate;
        ZQ_SVFilter lowPass;
        lowPass.prepare (rate, 1);
        lowPass.filterType = ZQ_SVFilter::lowPass;
        lowPass.cutoff = cutoff;
        lowPass.setBypass (false);

        const auto input = noise (256, 1.0f, 21);
        std::vector<float> expected;
        double s1 = 0.0, s2 = 0.0;

        for (auto x : input)
            expected.push_back (referenceLowPassStep (s1, s2, x, rate, cutoff, 0.69f));

        EXPECT_SAME_BITS (render (lowPass, input), expected);
    }
}

TEST (ZQ_SVFilter, StaysFiniteForEveryCutoffAndRate)
{
    const auto input = noise (1024, 4.0f, 17);

    for (float rate : { 8000.0f, 11025.0f, 22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f, 384000.0f, 768000.0f })
    {
        std::vector<float> cutoffs { 0.5f * rate, 0.50025f * rate, 0.5003f * rate, 20000.0f, 96000.0f };

        for (float f = 5.0f; f <= 96000.0f; f *= 1.25f)
            cutoffs.push_back (f);

        for (auto cutoff : cutoffs)
        {
            for (auto type : allTypes)
            {
                for (float q : { 0.05f, 0.69f, 0.8f })
                {
                    ZQ_SVFilter filter;
                    filter.prepare (rate, 1);
                    filter.filterType = type;
                    filter.cutoff = cutoff;
                    filter.q = q;
                    filter.setBypass (false);
                    filter.setGain (20.0f);

                    for (auto y : render (filter, input))
                        ASSERT_TRUE (std::isfinite (y)) << "rate " << rate << " cutoff " << cutoff << " type " << type;
                }
            }
        }
    }
}
