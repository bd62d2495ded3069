#include "StyleSheet.h"

namespace juce
{
void ZQ_FaderLAF::drawLinearSlider (Graphics& g, int x, int y, int width, int height, float sliderPos,
                                    float minSliderPos, float maxSliderPos, Slider::SliderStyle, Slider& slider)
{
    // The style is read from the slider itself; the framework's paint passes the same one.
    const auto horizontal = slider.isHorizontal();
    const auto twoValue = slider.isTwoValue();
    const auto threeValue = slider.isThreeValue();

    if (slider.isBar())
    {
        g.setColour (slider.findColour (Slider::trackColourId));
        g.fillRect (horizontal ? Rectangle<float> ((float) x, (float) y + 0.5f, sliderPos - (float) x, (float) height - 1.0f)
                               : Rectangle<float> ((float) x + 0.5f, sliderPos, (float) width - 1.0f, (float) y + ((float) height - sliderPos)));
        return;
    }

    const auto trackWidth = jmin (6.0f, horizontal ? (float) height * 0.25f : (float) width * 0.25f);
    const PathStrokeType trackStroke (trackWidth, PathStrokeType::curved, PathStrokeType::rounded);

    const Point<float> startPoint (horizontal ? (float) x : (float) x + (float) width * 0.5f,
                                   horizontal ? (float) y + (float) height * 0.5f : (float) (height + y));
    const Point<float> endPoint (horizontal ? (float) (width + x) : startPoint.x,
                                 horizontal ? startPoint.y : (float) y);

    Path backgroundTrack;
    backgroundTrack.startNewSubPath (startPoint);
    backgroundTrack.lineTo (endPoint);
    g.setColour (slider.findColour (Slider::backgroundColourId));
    g.strokePath (backgroundTrack, trackStroke);

    Point<float> minPoint, maxPoint, thumbPoint;

    if (twoValue || threeValue)
    {
        // Like the V4 drawing, these points ignore the area's x and y offsets.
        minPoint = { horizontal ? minSliderPos : (float) width * 0.5f,
                     horizontal ? (float) height * 0.5f : minSliderPos };

        if (threeValue)
            thumbPoint = { horizontal ? sliderPos : (float) width * 0.5f,
                           horizontal ? (float) height * 0.5f : sliderPos };

        maxPoint = { horizontal ? maxSliderPos : (float) width * 0.5f,
                     horizontal ? (float) height * 0.5f : maxSliderPos };
    }
    else
    {
        minPoint = startPoint;
        maxPoint = { horizontal ? sliderPos : (float) x + (float) width * 0.5f,
                     horizontal ? (float) y + (float) height * 0.5f : sliderPos };
    }

    Path valueTrack;
    valueTrack.startNewSubPath (minPoint);
    valueTrack.lineTo (threeValue ? thumbPoint : maxPoint);
    g.setColour (slider.findColour (Slider::trackColourId));
    g.strokePath (valueTrack, trackStroke);

    if (! twoValue)
    {
        // Sized from the height for horizontal styles too, and in a colour no slider setting changes.
        const auto thumbWidth = static_cast<float> (height / 7.0);
        const auto thumbHeight = static_cast<float> (height / 14.0);

        g.setColour (Colour (0xff8f393e));
        g.fillRoundedRectangle (Rectangle<float> (thumbWidth, thumbHeight).withCentre (threeValue ? thumbPoint : maxPoint), 4.0f);
    }

    if (twoValue || threeValue)
    {
        const auto sr = jmin (trackWidth, (horizontal ? (float) height : (float) width) * 0.4f);
        const auto pointerColour = slider.findColour (Slider::thumbColourId);
        const auto pointerSize = trackWidth * 2.0f;

        if (horizontal)
        {
            drawPointer (g, minSliderPos - sr, jmax (0.0f, (float) y + (float) height * 0.5f - pointerSize),
                         pointerSize, pointerColour, 2);
            drawPointer (g, maxSliderPos - trackWidth, jmin ((float) (y + height) - pointerSize, (float) y + (float) height * 0.5f),
                         pointerSize, pointerColour, 4);
        }
        else
        {
            drawPointer (g, jmax (0.0f, (float) x + (float) width * 0.5f - pointerSize), minSliderPos - trackWidth,
                         pointerSize, pointerColour, 1);
            drawPointer (g, jmin ((float) (x + width) - pointerSize, (float) x + (float) width * 0.5f), maxSliderPos - sr,
                         pointerSize, pointerColour, 3);
        }
    }
}
} // namespace juce
