#include <gtest/gtest.h>

#include <functional>

#include "StyleSheet.h"

namespace
{
const juce::Colour thumbColour (0xff8f393e);

struct Area
{
    int x, y, width, height;
};

/** Draws the slider, in its own style, with the given look-and-feel onto a transparent image. */
juce::Image drawFader (juce::LookAndFeel_V4& laf, juce::Slider& slider, Area a, float pos, float minPos = 0.0f, float maxPos = 0.0f)
{
    juce::Image image (juce::Image::ARGB, a.x + a.width + 12, a.y + a.height + 12, true);
    juce::Graphics g (image);
    laf.drawLinearSlider (g, a.x, a.y, a.width, a.height, pos, minPos, maxPos, slider.getSliderStyle(), slider);
    return image;
}

juce::Image drawFader (juce::Slider& slider, Area a, float pos, float minPos = 0.0f, float maxPos = 0.0f)
{
    juce::ZQ_FaderLAF laf;
    return drawFader (laf, slider, a, pos, minPos, maxPos);
}

bool near (juce::Colour a, juce::Colour b, int tolerance = 2)
{
    const auto off = [] (juce::uint8 p, juce::uint8 q) { return std::abs ((int) p - (int) q); };
    return off (a.getAlpha(), b.getAlpha()) <= tolerance && off (a.getRed(), b.getRed()) <= tolerance
           && off (a.getGreen(), b.getGreen()) <= tolerance && off (a.getBlue(), b.getBlue()) <= tolerance;
}

int countPixels (const juce::Image& image, std::function<bool (int, int, juce::Colour)> predicate)
{
    int count = 0;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (predicate (x, y, image.getPixelAt (x, y)))
                ++count;

    return count;
}

int countColour (const juce::Image& image, juce::Colour colour)
{
    return countPixels (image, [colour] (int, int, juce::Colour c) { return near (c, colour); });
}

/** A slider whose thumb colour is set, so anything drawn in it stands out. */
struct Fader : juce::Slider
{
    explicit Fader (SliderStyle style) : juce::Slider (style, NoTextBox)
    {
        setColour (thumbColourId, juce::Colours::limegreen);
    }
};
} // namespace

TEST (ZQ_FaderLAF, ThumbIsSizedFromAreaHeightAndCentredOnValuePoint)
{
    struct Case
    {
        juce::Slider::SliderStyle style;
        Area area;
        float pos;
        double width, height, centreX, centreY;
    };

    // Only the thumb is opaque here, so the alpha summed along its centre lines measures it.
    for (const auto& c : { Case { juce::Slider::LinearVertical, { 12, 12, 56, 140 }, 80.0f, 20.0, 10.0, 40.0, 80.0 },
                           Case { juce::Slider::LinearVertical, { 12, 12, 24, 140 }, 47.5f, 20.0, 10.0, 24.0, 47.5 },
                           Case { juce::Slider::LinearVertical, { 12, 12, 56, 214 }, 100.3f, 214.0 / 7, 214.0 / 14, 40.0, 100.3 },
                           Case { juce::Slider::LinearHorizontal, { 12, 12, 200, 140 }, 90.0f, 20.0, 10.0, 90.0, 82.0 } })
    {
        SCOPED_TRACE (testing::Message() << c.area.width << " x " << c.area.height);
        Fader slider (c.style);
        slider.setColour (juce::Slider::backgroundColourId, juce::Colours::transparentBlack);
        slider.setColour (juce::Slider::trackColourId, juce::Colours::transparentBlack);
        const auto image = drawFader (slider, c.area, c.pos);

        const auto row = juce::roundToInt (c.centreY - 0.5), column = juce::roundToInt (c.centreX - 0.5);
        double width = 0.0, height = 0.0, sumX = 0.0, sumY = 0.0;

        for (int x = 0; x < image.getWidth(); ++x)
        {
            const auto alpha = image.getPixelAt (x, row).getFloatAlpha();
            width += alpha;
            sumX += alpha * (x + 0.5);
        }

        for (int y = 0; y < image.getHeight(); ++y)
        {
            const auto alpha = image.getPixelAt (column, y).getFloatAlpha();
            height += alpha;
            sumY += alpha * (y + 0.5);
        }

        EXPECT_NEAR (width, c.width, 0.05);
        EXPECT_NEAR (height, c.height, 0.05);
        EXPECT_NEAR (sumX / width, c.centreX, 0.05);
        EXPECT_NEAR (sumY / height, c.centreY, 0.05);
        EXPECT_TRUE (near (image.getPixelAt (column, row), thumbColour, 0));
    }
}

TEST (ZQ_FaderLAF, ThumbKeepsItsColourAndTracksMatchTheFramework)
{
    const Area area { 12, 12, 56, 140 };
    Fader slider (juce::Slider::LinearVertical);
    slider.setColour (juce::Slider::trackColourId, juce::Colours::orange);
    const auto image = drawFader (slider, area, 70.0f);

    EXPECT_EQ (countColour (image, juce::Colours::limegreen), 0);
    EXPECT_TRUE (near (image.getPixelAt (40, 70), thumbColour, 0));

    // Outside the thumb (x 30 to 50, y 65 to 75) everything is the framework's own drawing.
    juce::LookAndFeel_V4 v4;
    slider.setColour (juce::Slider::thumbColourId, juce::Colours::transparentBlack);
    const auto reference = drawFader (v4, slider, area, 70.0f);
    const juce::Rectangle<int> thumbArea (29, 64, 22, 12);

    EXPECT_EQ (countPixels (image, [&] (int x, int y, juce::Colour c)
                            { return ! thumbArea.contains (x, y) && c != reference.getPixelAt (x, y); }),
               0);
    EXPECT_TRUE (near (image.getPixelAt (40, 120), juce::Colours::orange));
}

TEST (ZQ_FaderLAF, TwoValueStylesDrawOnlyTheFrameworksTracksAndPointers)
{
    for (auto style : { juce::Slider::TwoValueVertical, juce::Slider::TwoValueHorizontal })
    {
        SCOPED_TRACE (style);
        Fader slider (style);
        juce::LookAndFeel_V4 v4;
        const Area area { 12, 12, 140, 140 };
        const auto image = drawFader (slider, area, 80.0f, 50.0f, 110.0f);
        const auto reference = drawFader (v4, slider, area, 80.0f, 50.0f, 110.0f);

        EXPECT_EQ (countColour (image, thumbColour), 0);
        EXPECT_GT (countColour (image, juce::Colours::limegreen), 20);
        EXPECT_EQ (countPixels (image, [&] (int x, int y, juce::Colour c) { return c != reference.getPixelAt (x, y); }), 0);
    }
}

TEST (ZQ_FaderLAF, ThreeValueStylesDrawThumbAtValuePositionAndPointers)
{
    // The framework places these points without the area's offset, so the area is at the origin.
    for (auto style : { juce::Slider::ThreeValueVertical, juce::Slider::ThreeValueHorizontal })
    {
        SCOPED_TRACE (style);
        Fader slider (style);
        const auto image = drawFader (slider, { 0, 0, 140, 140 }, 80.0f, 50.0f, 110.0f);
        const auto valuePoint = slider.isHorizontal() ? juce::Point<int> (80, 70) : juce::Point<int> (70, 80);

        EXPECT_TRUE (near (image.getPixelAt (valuePoint.x, valuePoint.y), thumbColour, 0));
        EXPECT_GT (countColour (image, juce::Colours::limegreen), 20);
    }
}

TEST (ZQ_FaderLAF, BarStylesDrawOnlyTheBarInTrackColour)
{
    struct Case
    {
        juce::Slider::SliderStyle style;
        juce::Point<int> inBar, beyondBar;
    };

    for (const auto& c : { Case { juce::Slider::LinearBar, { 60, 40 }, { 120, 40 } },
                           Case { juce::Slider::LinearBarVertical, { 40, 120 }, { 40, 60 } } })
    {
        SCOPED_TRACE (c.style);
        Fader slider (c.style);
        slider.setColour (juce::Slider::trackColourId, juce::Colours::orange);
        slider.setColour (juce::Slider::backgroundColourId, juce::Colours::blue);
        const auto image = drawFader (slider, { 12, 12, 140, 140 }, 90.0f);

        EXPECT_TRUE (near (image.getPixelAt (c.inBar.x, c.inBar.y), juce::Colours::orange, 0));
        EXPECT_TRUE (near (image.getPixelAt (c.beyondBar.x, c.beyondBar.y), juce::Colours::transparentBlack, 0));
        EXPECT_EQ (countPixels (image, [] (int, int, juce::Colour p)
                                { return p.getAlpha() != 0 && ! near (p.withAlpha (1.0f), juce::Colours::orange, 3); }),
                   0);
    }
}

TEST (ZQ_FaderLAF, TransparentTrackColourLeavesBackgroundTrackAndThumb)
{
    Fader slider (juce::Slider::LinearVertical);
    slider.setColour (juce::Slider::trackColourId, juce::Colours::transparentBlack);
    const auto background = slider.findColour (juce::Slider::backgroundColourId);
    const auto image = drawFader (slider, { 12, 12, 56, 140 }, 70.0f);

    EXPECT_TRUE (near (image.getPixelAt (40, 40), background));  // above the value point
    EXPECT_TRUE (near (image.getPixelAt (40, 120), background)); // along the value track
    EXPECT_TRUE (near (image.getPixelAt (40, 70), thumbColour, 0));
    EXPECT_EQ (countPixels (image, [&] (int, int, juce::Colour p)
                            { return p.getAlpha() > 64 && ! near (p.withAlpha (1.0f), background, 3)
                                     && ! near (p.withAlpha (1.0f), thumbColour, 3); }),
               0);
}
