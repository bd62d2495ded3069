#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace juce
{
/** Look of the editor's faders: the V4 linear slider with a fixed-colour rounded-rectangle
    thumb in place of the round one. Stateless, so one instance serves every fader.
    Message thread.
*/
class ZQ_FaderLAF : public LookAndFeel_V4
{
public:
    ZQ_FaderLAF() = default;
    ~ZQ_FaderLAF() override = default;

    /** The V4 linear slider up to its thumb, then the fixed thumb; two-value styles get no thumb. */
    void drawLinearSlider (Graphics&, int x, int y, int width, int height, float sliderPos, float minSliderPos,
                           float maxSliderPos, Slider::SliderStyle, Slider&) override;
};
} // namespace juce
