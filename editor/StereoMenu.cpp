#include "PluginEditor.h"

void TarvolenEQAudioProcessorEditor::setStereoMenuProps()
{
    stereoMenu.setColour (juce::ComboBox::backgroundColourId, juce::Colour (0x59000000));
    stereoMenu.setColour (juce::ComboBox::textColourId, juce::Colour (0x40f5f5f5));
    stereoMenu.setColour (juce::ComboBox::outlineColourId, juce::Colour (0x00f5f5f5));
    stereoMenu.setColour (juce::ComboBox::arrowColourId, juce::Colour (0xff7a7a7a));

    // The menu has no parent yet, so this is the process-wide default look-and-feel: every
    // instance's popup looks the same, and each editor sets the same values again.
    auto& popupLook = stereoMenu.getLookAndFeel();
    popupLook.setColour (juce::PopupMenu::backgroundColourId, juce::Colour (0xff1b1b1b));
    popupLook.setColour (juce::PopupMenu::textColourId, juce::Colour (0x80f5f5f5));
    popupLook.setColour (juce::PopupMenu::highlightedBackgroundColourId, juce::Colour (0x0df5f5f5));

    stereoMenu.setText ("Stereo Mode", juce::sendNotificationAsync);

    // Item index i is stereo mode i.
    stereoMenu.addItem ("Stereo", 1);
    stereoMenu.addItem ("Sides", 2);
    stereoMenu.addItem ("Mid", 3);
    stereoMenu.addItem ("Left", 4);
    stereoMenu.addItem ("Right", 5);

    stereoMenuAttachment = std::make_unique<ComboBoxAttachment> (processorRef.treeState, ParamIDs::stereoMenu, stereoMenu);

    addAndMakeVisible (stereoMenu);
}
