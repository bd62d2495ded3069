#include "PluginEditor.h"

void TarvolenEQAudioProcessorEditor::setButtonProps()
{
    for (auto* button : buttons)
        setCommonButtonProps (*button);

    osAttachment = std::make_unique<ButtonAttachment> (processorRef.treeState, ParamIDs::overSample, osToggle);
    osToggle.setButtonText ("OS");

    eqAttachment = std::make_unique<ButtonAttachment> (processorRef.treeState, ParamIDs::eqIn, eqToggle);
    updateEqToggleText();

    // The attachment moves the toggle with a click notification whenever "eq in" changes, so
    // the caption follows host automation as well as the user's clicks.
    eqToggle.onClick = [this] { updateEqToggleText(); };
}

void TarvolenEQAudioProcessorEditor::setCommonButtonProps (juce::TextButton& button)
{
    addAndMakeVisible (button);
    button.setClickingTogglesState (true);

    button.setColour (juce::TextButton::buttonColourId, juce::Colour (0x59000000));
    // The button drawing takes its outline from the combo-box colour.
    button.setColour (juce::ComboBox::outlineColourId, juce::Colour (0x00000000));
    button.setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xffd0d0af));
    button.setColour (juce::TextButton::textColourOffId, juce::Colour (0x40f5f5f5));
    button.setColour (juce::TextButton::textColourOnId, juce::Colour (0xff171717));
}

void TarvolenEQAudioProcessorEditor::updateEqToggleText()
{
    // Only the text: the width fitted to it changes at the next layout pass.
    eqToggle.setButtonText (eqToggle.getToggleState() ? "EQ In" : "EQ Out");
}
