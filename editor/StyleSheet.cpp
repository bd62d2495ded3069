#include "StyleSheet.h"

namespace juce
{
void ZQ_FaderLAF::drawLinearSlider (Graphics& g, int x, int y, int width, int height, float sliderPos,
                                    float minSliderPos, float maxSliderPos, Slider::SliderStyle style, Slider& slider)
{
    LookAndFeel_V4::drawLinearSlider (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos, style, slider);
}
} // namespace juce
