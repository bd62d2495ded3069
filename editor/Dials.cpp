#include "PluginEditor.h"

namespace
{
constexpr juce::uint32 textBoxTextColour = 0x40ffffff;
constexpr juce::uint32 textBoxOutlineColour = 0x00ffffff;
constexpr juce::uint32 textBoxBackgroundColour = 0x00000000;

void setTextBoxColours (juce::Slider& slider)
{
    slider.setColour (juce::Slider::textBoxTextColourId, juce::Colour (textBoxTextColour));
    slider.setColour (juce::Slider::textBoxOutlineColourId, juce::Colour (textBoxOutlineColour));
    slider.setColour (juce::Slider::textBoxBackgroundColourId, juce::Colour (textBoxBackgroundColour));
}
} // namespace

void TarvolenEQAudioProcessorEditor::setCommonDialProps (juce::Slider& dial)
{
    addAndMakeVisible (dial);
    dial.setSliderStyle (juce::Slider::RotaryVerticalDrag);
    dial.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 64, 32);
    setTextBoxColours (dial);
    dial.setLookAndFeel (&dialLAF);
    dial.setComponentEffect (&dialShadow);
}

void TarvolenEQAudioProcessorEditor::setDialProps()
{
    for (auto* dial : dials)
        setCommonDialProps (*dial);

    lowBoostAttachment = attach (lowBoostDial, ParamIDs::lowBoost);
    lowAttenAttachment = attach (lowAttenDial, ParamIDs::lowAtten);
    lowFreqAttachment = attach (lowFreqDial, ParamIDs::lowFreq);
    bandwidthAttachment = attach (bandwidthDial, ParamIDs::bandwidth);
    highBoostAttachment = attach (highBoostDial, ParamIDs::highBoost);
    highAttenAttachment = attach (highAttenDial, ParamIDs::highAtten);
    highFreqAttachment = attach (highFreqDial, ParamIDs::highFreq);

    // Ranges set after the attachment stay on the dial (the parameter keeps its own) and put
    // the usual frequency in the middle of the travel.
    lowFreqDial.setRange (20.0, 300.0, 1.0);
    lowFreqDial.setSkewFactorFromMidPoint (100.0);
    lowFreqDial.setTextValueSuffix (" Hz");

    highFreqDial.setRange (1000.0, 16000.0, 1.0);
    highFreqDial.setSkewFactorFromMidPoint (6000.0);
    highFreqDial.setTextValueSuffix (" Hz");
    highFreqDial.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 88, 32);
}

void TarvolenEQAudioProcessorEditor::setCommonFaderProps (juce::Slider& fader)
{
    addAndMakeVisible (fader);
    fader.setSliderStyle (juce::Slider::LinearVertical);
    fader.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 64, 32);

    // The value track is transparent: only the dark background track and the thumb show.
    fader.setColour (juce::Slider::backgroundColourId, juce::Colour (0x66000000));
    fader.setColour (juce::Slider::thumbColourId, juce::Colour (0xffa3a3a3));
    fader.setColour (juce::Slider::trackColourId, juce::Colour (0x00000000));
    setTextBoxColours (fader);

    fader.setLookAndFeel (&faderLAF);
    fader.setComponentEffect (&faderShadow);
}

void TarvolenEQAudioProcessorEditor::setFaderProps()
{
    for (auto* fader : faders)
        setCommonFaderProps (*fader);

    lowPassAttachment = attach (lowPassFader, ParamIDs::lowPass);
    driveAttachment = attach (driveFader, ParamIDs::drive);
    trimAttachment = attach (trimFader, ParamIDs::trim);

    // Narrower and coarser than the parameters: a value outside is shown at the fader's end and
    // kept until the fader is moved, since a range change sends no notification.
    lowPassFader.setRange (3000.0, 20000.0, 1.0);
    lowPassFader.setSkewFactorFromMidPoint (5000.0);
    driveFader.setRange (0.0, 24.0, 0.25);
    trimFader.setRange (-20.0, 20.0, 0.25);
}
