#pragma once

#include "OstrelDial.h"
#include "PluginProcessor.h"
#include "StyleSheet.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <memory>

/** The plug-in's window: thirteen controls bound to the processor's parameters, drawn over the
    background and logo pictures, resizable at 2 : 1 within limits taken from the screen width.

    Members are declared so that destruction is safe: each attachment after the control it
    binds, each caption after its control, the dial look-and-feel and both shadow effects before
    the controls that use them. The fader look-and-feel comes after the faders, so the destructor
    takes it off them first. Message thread only.
*/
class TarvolenEQAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    /** Window size rules for one screen measure (the width of the displays' user areas). */
    struct SizeRules
    {
        struct Size
        {
            int width = 0;
            int height = 0;
        };

        int minWidth = 0, minHeight = 0;
        int maxWidth = 0, maxHeight = 0;
        int defaultWidth = 0, defaultHeight = 0;

        /** Limits from a quarter to three quarters of the screen width, default at half, 2 : 1. */
        static SizeRules forScreenWidth (int screenWidth);

        /** The size to open at for a restored size (0 wide means none was restored). A restored
            size within the limits is used as it is, truncated; any other, including a damaged
            one, is brought into the limits at 2 : 1 so it cannot make the window degenerate. */
        Size initialSize (float restoredWidth, float restoredHeight) const;
    };

    /** The box near the bottom that the logo is centred in, at a given window size. */
    static juce::Rectangle<int> logoBox (int width, int height);

    /** The translucent box drawn over the logo: the same box, not rounded to whole pixels. */
    static juce::Rectangle<float> logoShade (int width, int height);

    explicit TarvolenEQAudioProcessorEditor (TarvolenEQAudioProcessor&);
    ~TarvolenEQAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;

private:
    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    using ButtonAttachment = juce::AudioProcessorValueTreeState::ButtonAttachment;
    using ComboBoxAttachment = juce::AudioProcessorValueTreeState::ComboBoxAttachment;

    void setShadowProps();
    void setStereoMenuProps();
    void setButtonProps();
    void setCommonButtonProps (juce::TextButton&);
    void updateEqToggleText();
    void setDialProps();
    void setCommonDialProps (juce::Slider&);
    void setFaderProps();
    void setCommonFaderProps (juce::Slider&);
    void setLabelProps();
    void setCommonLabelProps (juce::Label&, juce::Component& owner, const char* text);
    void setInitialSize();

    std::unique_ptr<SliderAttachment> attach (juce::Slider&, const char* parameterID);

    juce::Image backgroundImage;
    juce::Image logoImage;

    juce::ComboBox stereoMenu;
    std::unique_ptr<ComboBoxAttachment> stereoMenuAttachment;

    juce::DropShadow dialShadowProperties;
    juce::DropShadowEffect dialShadow;
    juce::DropShadow faderShadowProperties;
    juce::DropShadowEffect faderShadow;

    OstrelDial dialLAF;

    juce::TextButton eqToggle;
    juce::TextButton osToggle;
    std::unique_ptr<ButtonAttachment> osAttachment;
    std::unique_ptr<ButtonAttachment> eqAttachment;
    const std::array<juce::TextButton*, 2> buttons { &eqToggle, &osToggle };

    juce::Slider lowBoostDial, lowAttenDial, lowFreqDial, bandwidthDial, highBoostDial, highAttenDial, highFreqDial;
    juce::Slider lowPassFader, driveFader, trimFader;

    juce::ZQ_FaderLAF faderLAF;

    std::unique_ptr<SliderAttachment> driveAttachment, trimAttachment, lowPassAttachment, highBoostAttachment,
        highFreqAttachment, highAttenAttachment, lowBoostAttachment, lowFreqAttachment, lowAttenAttachment,
        bandwidthAttachment;

    const std::array<juce::Slider*, 7> dials { &lowBoostDial, &lowAttenDial,  &lowFreqDial, &bandwidthDial,
                                               &highBoostDial, &highAttenDial, &highFreqDial };
    const std::array<juce::Slider*, 3> faders { &lowPassFader, &driveFader, &trimFader };

    juce::Label lowBoostLabel, lowAttenLabel, lowFreqLabel, bandwidthLabel, highBoostLabel, highAttenLabel,
        highFreqLabel, lowPassLabel, driveLabel, trimLabel;

    const std::array<juce::Label*, 7> dialLabels { &lowBoostLabel,  &lowAttenLabel,  &lowFreqLabel, &bandwidthLabel,
                                                   &highBoostLabel, &highAttenLabel, &highFreqLabel };
    // The low band's caption keeps its trailing blank.
    const std::array<const char*, 7> dialLabelTexts { "Low Boost",  "Low Atten",  "Freq ", "Bandwidth",
                                                      "High Boost", "High Atten", "Freq" };
    const std::array<juce::Label*, 3> faderLabels { &lowPassLabel, &driveLabel, &trimLabel };
    const std::array<const char*, 3> faderLabelTexts { "LP", "Drive", "Trim" };

    TarvolenEQAudioProcessor& processorRef;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TarvolenEQAudioProcessorEditor)
};
