#pragma once

#include "PluginEditor.h"
#include "PluginProcessor.h"
#include "helpers/ProcessorHarness.h"
#include "helpers/TestHelpers.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace EditorTestHelpers
{
/** Delivers pending messages (asynchronous attachment updates, clicks) for the given time. */
inline void pumpMessages (int milliseconds = 50) { TestHelpers::pumpMessages (milliseconds); }

/** Closes an editor the way a host adapter does: the processor lets go of it first. */
struct EditorCloser
{
    void operator() (juce::AudioProcessorEditor* editor) const
    {
        editor->processor.editorBeingDeleted (editor);
        delete editor;
    }
};

using EditorPtr = std::unique_ptr<juce::AudioProcessorEditor, EditorCloser>;

inline EditorPtr openEditor (TarvolenEQAudioProcessor& processor)
{
    return EditorPtr (processor.createEditorIfNeeded());
}

/** The first child of the given type that matches, or nullptr. */
template <typename ComponentType, typename Predicate>
ComponentType* findChild (juce::Component& parent, Predicate&& matches)
{
    for (auto* child : parent.getChildren())
        if (auto* typed = dynamic_cast<ComponentType*> (child))
            if (matches (*typed))
                return typed;

    return nullptr;
}

/** The control that a user finds under the given caption (captions match exactly). */
template <typename ComponentType = juce::Slider>
ComponentType* findCaptioned (juce::Component& editor, const juce::String& caption)
{
    auto* label = findChild<juce::Label> (editor, [&] (juce::Label& l) { return l.getText() == caption; });
    return label != nullptr ? dynamic_cast<ComponentType*> (label->getAttachedComponent()) : nullptr;
}

inline juce::TextButton* findButton (juce::Component& editor, const juce::String& text)
{
    return findChild<juce::TextButton> (editor, [&] (juce::TextButton& b) { return b.getButtonText() == text; });
}

inline juce::ComboBox* findMenu (juce::Component& editor)
{
    return findChild<juce::ComboBox> (editor, [] (juce::ComboBox&) { return true; });
}

using TestHelpers::automate;
using TestHelpers::plainValue;

inline float luminance (juce::Colour c)
{
    return 0.2126f * c.getRed() + 0.7152f * c.getGreen() + 0.0722f * c.getBlue();
}

/** Mean luminance (0 to 255) over a rectangle of the image. */
inline double meanLuminance (const juce::Image& image, juce::Rectangle<int> area)
{
    double sum = 0.0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            sum += luminance (image.getPixelAt (x, y));

    return sum / juce::jmax (1, area.getWidth() * area.getHeight());
}

/** Renders the editor and its controls as the screen would show them. */
inline juce::Image render (juce::Component& editor)
{
    juce::Image image (juce::Image::ARGB, editor.getWidth(), editor.getHeight(), true);
    juce::Graphics g (image);
    editor.paintEntireComponent (g, true);
    return image;
}
} // namespace EditorTestHelpers
