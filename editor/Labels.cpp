#include "PluginEditor.h"

void TarvolenEQAudioProcessorEditor::setCommonLabelProps (juce::Label& label, juce::Component& owner, const char* text)
{
    addAndMakeVisible (label);
    label.setJustificationType (juce::Justification::centredTop);
    label.setColour (juce::Label::backgroundColourId, juce::Colour (0x00000000));
    label.setColour (juce::Label::textColourId, juce::Colour (0x40ffffff));
    label.setColour (juce::Label::outlineColourId, juce::Colour (0x00000000));

    // Attached above the control, so the caption follows it through every layout pass.
    label.attachToComponent (&owner, false);
    label.setText (text, juce::dontSendNotification);
}

void TarvolenEQAudioProcessorEditor::setLabelProps()
{
    for (size_t i = 0; i < dialLabels.size(); ++i)
        setCommonLabelProps (*dialLabels[i], *dials[i], dialLabelTexts[i]);

    for (size_t i = 0; i < faderLabels.size(); ++i)
        setCommonLabelProps (*faderLabels[i], *faders[i], faderLabelTexts[i]);
}
