#include "ZQ_TubeModel.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace TestHelpers;

namespace
{
class ZQ_TubeModelTest : public testing::Test
{
protected:
    void SetUp() override { tube.prepare (192000.0f, 2); }

    ZQ_TubeModel tube;
};
} // namespace

TEST_F (ZQ_TubeModelTest, ZeroDriveReturnsEveryInputUnchanged)
{
    tube.setDrive (0.0f);
    auto input = noise (256, 8.0f);
    input.push_back (0.0f);
    input.push_back (-0.0f);

    EXPECT_SAME_BITS (render (tube, input), input);
}

TEST_F (ZQ_TubeModelTest, ShapesKnownInputsAtDriveSix)
{
    tube.setDrive (6.0f);

    const std::pair<float, const char*> cases[] = {
        { 0.5f, "0.45018792" }, { -0.5f, "-0.40892377" }, { 1.0f, "0.90037584" },
        { 4.0f, "3.6385581" },  { 10.0f, "9.3" },          { -1.0f, "-0.875" },    { 0.0f, "0" },
    };

    for (auto [input, expected] : cases)
    {
        const auto output = tube.processSample (input, 0);
        EXPECT_TRUE (matchesFigure (output, expected)) << "input " << input << " gave " << output;
    }
}

TEST_F (ZQ_TubeModelTest, PositiveHalfIgnoresDriveAndNegativeHalfFollowsIt)
{
    for (float drive : { 0.25f, 6.0f, 24.0f })
    {
        SCOPED_TRACE (drive);
        tube.setDrive (drive);

        for (float x : { 0.001f, 0.3f, 1.0f, 1.5f })
            EXPECT_NEAR (tube.processSample (x, 0) / x, 0.900375815f, 1e-6f);

        // Doubled inputs below the floor are clipped: the wet part is a constant.
        for (float x : { -0.76f, -2.0f, -100.0f })
            EXPECT_FLOAT_EQ (tube.processSample (x, 0), 0.95f * x + 0.075f);

        // Knee outputs above the ceiling are clipped too.
        EXPECT_FLOAT_EQ (tube.processSample (20.0f, 1), 0.95f * 20.0f - 0.2f);
    }

    tube.setDrive (24.0f);
    EXPECT_NEAR (tube.processSample (-0.01f, 0), 0.0061f, 0.0001f) << "hard drive flips small negative inputs";
}

TEST_F (ZQ_TubeModelTest, DriveBackFromZeroReenablesTheStage)
{
    tube.setDrive (0.0f);
    EXPECT_EQ (tube.processSample (-0.5f, 0), -0.5f);

    tube.setDrive (3.0f);
    EXPECT_NE (tube.processSample (-0.5f, 0), -0.5f);
}

TEST_F (ZQ_TubeModelTest, ClearingNonFiniteStateRestartsTheInnerFilters)
{
    // The inner filters only run once something takes them out of bypass.
    tube.setDrive (6.0f);
    tube.preFilter.setBypass (false);
    tube.postFilter.setBypass (false);
    const ZQ_TubeModel cold = tube;
    const auto input = noise (256, 2.0f, 7);

    render (tube, input);
    EXPECT_TRUE (std::isnan (tube.processSample (NAN, 0)));
    tube.clearNonFiniteState();

    auto fresh = cold;
    EXPECT_SAME_BITS (render (tube, input), render (fresh, input));
}
