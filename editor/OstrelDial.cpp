#include "OstrelDial.h"

void OstrelDial::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPosition,
                                   float rotaryStartAngle, float rotaryEndAngle, juce::Slider& slider)
{
    LookAndFeel_V4::drawRotarySlider (g, x, y, width, height, sliderPosition, rotaryStartAngle, rotaryEndAngle, slider);
}
