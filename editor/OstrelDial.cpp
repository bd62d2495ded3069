#include "OstrelDial.h"

void OstrelDial::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPosition,
                                   float rotaryStartAngle, float rotaryEndAngle, juce::Slider&)
{
    const auto diameter = static_cast<float> (0.7 * juce::jmin (width, height));
    const auto radius = 0.5f * diameter;
    const auto centreX = static_cast<float> (x + 0.5 * width);
    const auto centreY = static_cast<float> (y + 0.5 * height);
    const juce::Rectangle<float> disc (centreX - radius, centreY - radius, diameter, diameter);

    // Both stops share one colour, so the degenerate gradient fills the disc with that colour alone.
    const juce::Colour discColour (0xff2d436b);
    g.setGradientFill (juce::ColourGradient (discColour, 0.0f, 0.0f, discColour, 0.0f, 0.0f, false));
    g.fillEllipse (disc);

    g.setColour (juce::Colour (0x26000000));
    g.drawEllipse (disc, 10.0f);

    g.setColour (juce::Colour (0xffa3a3a3));

    const auto angle = rotaryStartAngle + sliderPosition * (rotaryEndAngle - rotaryStartAngle);

    // Built pointing straight up from the centre; it sits beside the radius (x 0 to 3) rather
    // than centred on it, and its outer end stays 6 px inside the disc's edge.
    juce::Path pointer;
    pointer.addRectangle (0.0f, 6.0f - radius, 3.0f, static_cast<float> (0.6 * radius));
    g.fillPath (pointer, juce::AffineTransform::rotation (angle).translated (centreX, centreY));
}
