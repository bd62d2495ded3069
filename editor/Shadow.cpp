#include "PluginEditor.h"

void TarvolenEQAudioProcessorEditor::setShadowProps()
{
    dialShadowProperties.colour = juce::Colour (0x80000000);
    dialShadowProperties.radius = 24;
    dialShadowProperties.offset = { -1, 4 };

    faderShadowProperties.colour = juce::Colour (0x80000000);
    faderShadowProperties.radius = 8;
    faderShadowProperties.offset = { 0, 0 };

    // The effects keep copies; nothing changes the properties afterwards.
    dialShadow.setShadowProperties (dialShadowProperties);
    faderShadow.setShadowProperties (faderShadowProperties);
}
