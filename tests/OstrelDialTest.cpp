#include <gtest/gtest.h>

#include "OstrelDial.h"

namespace
{
const juce::Colour discColour (0xff2d436b);
const juce::Colour pointerColour (0xffa3a3a3);

/** Draws a dial over the area (x, y, w, h) of a transparent image, with the slider's rotary angles. */
juce::Image drawDial (juce::Slider& slider, float position, juce::Rectangle<int> area, int imageW, int imageH)
{
    juce::Image image (juce::Image::ARGB, imageW, imageH, true);
    juce::Graphics g (image);
    OstrelDial laf;
    const auto angles = slider.getRotaryParameters();
    laf.drawRotarySlider (g, area.getX(), area.getY(), area.getWidth(), area.getHeight(), position,
                          angles.startAngleRadians, angles.endAngleRadians, slider);
    return image;
}

/** The 100 x 60 example: disc of radius 21 centred on (50, 30). */
juce::Image drawDial (juce::Slider& slider, float position)
{
    return drawDial (slider, position, { 0, 0, 100, 60 }, 100, 60);
}

testing::AssertionResult colourNear (const juce::Image& image, int x, int y, juce::Colour expected, int tolerance = 2)
{
    const auto actual = image.getPixelAt (x, y);
    const auto off = [] (juce::uint8 a, juce::uint8 b) { return std::abs ((int) a - (int) b); };

    if (off (actual.getAlpha(), expected.getAlpha()) <= tolerance && off (actual.getRed(), expected.getRed()) <= tolerance
        && off (actual.getGreen(), expected.getGreen()) <= tolerance && off (actual.getBlue(), expected.getBlue()) <= tolerance)
        return testing::AssertionSuccess();

    return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << actual.toDisplayString (true)
                                       << ", expected " << expected.toDisplayString (true);
}

int countDifferentPixels (const juce::Image& a, const juce::Image& b)
{
    int count = 0;

    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                ++count;

    return count;
}
} // namespace

TEST (OstrelDial, DiscHasFixedColourWithDarkerRimAndFaintHaloOutside)
{
    juce::Slider slider;
    const auto image = drawDial (slider, 0.5f);

    EXPECT_TRUE (colourNear (image, 50, 30, discColour, 0));
    EXPECT_TRUE (colourNear (image, 36, 30, discColour, 0));
    EXPECT_TRUE (colourNear (image, 50, 43, discColour, 0));

    // The 10 px rim straddles the disc's edge at radius 21: darker disc inside, faint black outside.
    const auto rim = image.getPixelAt (68, 30);
    EXPECT_EQ (rim.getAlpha(), 255);
    EXPECT_LT (rim.getBlue(), discColour.getBlue() - 5);
    EXPECT_TRUE (colourNear (image, 73, 30, juce::Colour (0x26000000), 3));
    EXPECT_TRUE (colourNear (image, 78, 30, juce::Colours::transparentBlack, 0));
    EXPECT_TRUE (colourNear (image, 2, 2, juce::Colours::transparentBlack, 0));
}

TEST (OstrelDial, DiscIsCentredAndSizedFromTheAreasSmallerSide)
{
    juce::Slider slider;
    const auto tall = drawDial (slider, 0.5f, { 20, 0, 60, 100 }, 100, 100);
    const auto wide = drawDial (slider, 0.5f, { 0, 20, 100, 60 }, 100, 100);

    EXPECT_EQ (countDifferentPixels (tall, wide), 0);
    // D = 42 about (50, 50): opaque up to radius 21, the rim's halo up to 26.
    EXPECT_EQ (tall.getPixelAt (50, 69).getAlpha(), 255);
    EXPECT_EQ (tall.getPixelAt (30, 50).getAlpha(), 255);
    EXPECT_LT (tall.getPixelAt (50, 71).getAlpha(), 64);
    EXPECT_LT (tall.getPixelAt (28, 50).getAlpha(), 64);
    EXPECT_TRUE (colourNear (tall, 50, 77, juce::Colours::transparentBlack, 0));
}

TEST (OstrelDial, PointerAtAngleZeroLiesBesideTheRadiusOver60PercentOfIt)
{
    juce::Slider slider;
    const auto image = drawDial (slider, 0.5f); // 1.2 pi + 0.5 * 1.6 pi = 2 pi: straight up

    // Covers x 50 to 53 and y 15 to 27.6.
    for (int y = 15; y <= 26; ++y)
        for (int x = 50; x <= 52; ++x)
            EXPECT_TRUE (colourNear (image, x, y, pointerColour));

    EXPECT_TRUE (colourNear (image, 49, 20, discColour));
    EXPECT_TRUE (colourNear (image, 53, 20, discColour));
    EXPECT_TRUE (colourNear (image, 51, 14, discColour, 4)); // touches the rim's inner edge
    EXPECT_TRUE (colourNear (image, 51, 28, discColour));
    EXPECT_TRUE (colourNear (image, 51, 27, discColour.interpolatedWith (pointerColour, 0.6f), 3));
}

TEST (OstrelDial, PointerSweepsClockwiseFromLowerLeftThroughTopToLowerRight)
{
    // Pixels holding the pointer's midpoint at 216, 360 and 144 degrees clockwise from straight up.
    const juce::Point<int> lowerLeft (43, 36), top (51, 21), lowerRight (53, 37);

    struct Case
    {
        float position;
        juce::Point<int> pointer;
    };

    juce::Slider slider;

    for (const auto& c : { Case { 0.0f, lowerLeft }, Case { 0.5f, top }, Case { 1.0f, lowerRight } })
    {
        SCOPED_TRACE (c.position);
        const auto image = drawDial (slider, c.position);

        for (auto p : { lowerLeft, top, lowerRight })
            EXPECT_TRUE (colourNear (image, p.x, p.y, p == c.pointer ? pointerColour : discColour));
    }
}

TEST (OstrelDial, PointerOfSmallDialRunsThroughTheCentreUnclamped)
{
    juce::Slider slider;
    const auto image = drawDial (slider, 0.5f, { 0, 0, 30, 30 }, 30, 30);

    // R = 10.5: the pointer runs from 4.5 above the centre (15, 15) to 1.8 below it.
    EXPECT_TRUE (colourNear (image, 16, 11, pointerColour));
    EXPECT_TRUE (colourNear (image, 16, 15, pointerColour));
    EXPECT_TRUE (colourNear (image, 16, 17, discColour, 3));
}

TEST (OstrelDial, DisabledOrRecolouredSliderDrawsLikeAPlainOne)
{
    juce::Slider plain, disabled, recoloured;
    disabled.setEnabled (false);

    for (auto id : { juce::Slider::rotarySliderFillColourId, juce::Slider::rotarySliderOutlineColourId,
                     juce::Slider::thumbColourId, juce::Slider::backgroundColourId, juce::Slider::trackColourId })
        recoloured.setColour (id, juce::Colours::limegreen);

    for (auto position : { 0.0f, 0.3f, 1.0f })
    {
        SCOPED_TRACE (position);
        const auto reference = drawDial (plain, position);
        EXPECT_EQ (countDifferentPixels (reference, drawDial (disabled, position)), 0);
        EXPECT_EQ (countDifferentPixels (reference, drawDial (recoloured, position)), 0);
    }
}
