#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Look of the editor's rotary dials: a dark-blue disc with a faint rim and a light-grey
    pointer bar, in fixed colours that no slider colour changes. Stateless, so one instance
    serves every dial. Message thread.
*/
class OstrelDial : public juce::LookAndFeel_V4
{
public:
    OstrelDial() = default;
    ~OstrelDial() override = default;

    /** Draws the disc, its rim and the pointer at the position's angle; reads nothing from the slider. */
    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPosition,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;
};
