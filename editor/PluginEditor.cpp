#include "PluginEditor.h"

#include <BinaryData.h>

#include <cmath>

namespace
{
// Truncation toward zero; every layout value is non-negative, so this is the floor.
int whole (double value) { return static_cast<int> (value); }

// Whether a restored dimension truncates to a whole number of pixels within [low, high].
bool truncatesInto (float value, int low, int high)
{
    const auto v = static_cast<double> (value);
    return std::isfinite (v) && v > 0.0 && v >= low && v < high + 1.0;
}
} // namespace

//==============================================================================
TarvolenEQAudioProcessorEditor::SizeRules TarvolenEQAudioProcessorEditor::SizeRules::forScreenWidth (int screenWidth)
{
    const double half = 0.5 * screenWidth;
    const double quarter = 0.5 * half;

    SizeRules rules;
    rules.minWidth = whole (quarter);
    rules.minHeight = whole (0.5 * quarter);
    rules.maxWidth = whole (1.5 * half);
    rules.maxHeight = whole (1.5 * quarter);
    rules.defaultWidth = whole (half);
    rules.defaultHeight = whole (quarter);
    return rules;
}

TarvolenEQAudioProcessorEditor::SizeRules::Size
    TarvolenEQAudioProcessorEditor::SizeRules::initialSize (float restoredWidth, float restoredHeight) const
{
    if (restoredWidth == 0.0f)
        return { defaultWidth, defaultHeight };

    if (truncatesInto (restoredWidth, minWidth, maxWidth) && truncatesInto (restoredHeight, minHeight, maxHeight))
        return { static_cast<int> (restoredWidth), static_cast<int> (restoredHeight) };

    // A size saved on a larger screen, or damaged, would open a window the user cannot reach or
    // resize: it is brought into the present limits at 2 : 1. Clamped before truncation, as a
    // huge float does not fit an int.
    const auto width = std::isfinite (restoredWidth)
                           ? whole (juce::jlimit<double> (minWidth, maxWidth, restoredWidth))
                           : defaultWidth;

    return { width, juce::jlimit (minHeight, maxHeight, width / 2) };
}

//==============================================================================
TarvolenEQAudioProcessorEditor::TarvolenEQAudioProcessorEditor (TarvolenEQAudioProcessor& p)
    : AudioProcessorEditor (&p),
      processorRef (p)
{
    setShadowProps();
    setStereoMenuProps();
    setButtonProps();
    setDialProps();
    setFaderProps();
    setLabelProps();
    setInitialSize();
}

TarvolenEQAudioProcessorEditor::~TarvolenEQAudioProcessorEditor()
{
    // faderLAF is destroyed before the faders, so they must let go of it first.
    for (auto* fader : faders)
        fader->setLookAndFeel (nullptr);
}

std::unique_ptr<TarvolenEQAudioProcessorEditor::SliderAttachment>
    TarvolenEQAudioProcessorEditor::attach (juce::Slider& slider, const char* parameterID)
{
    return std::make_unique<SliderAttachment> (processorRef.treeState, parameterID, slider);
}

//==============================================================================
void TarvolenEQAudioProcessorEditor::setInitialSize()
{
    const auto screenWidth = juce::Desktop::getInstance().getDisplays().getTotalBounds (true).getWidth();
    const auto rules = SizeRules::forScreenWidth (screenWidth);

    setResizable (true, true);
    setResizeLimits (rules.minWidth, rules.minHeight, rules.maxWidth, rules.maxHeight);
    getConstrainer()->setFixedAspectRatio (2.0);

    const auto size = rules.initialSize (processorRef.windowWidth, processorRef.windowHeight);
    setBounds (getX(), getY(), size.width, size.height);
}

void TarvolenEQAudioProcessorEditor::resized()
{
    const auto w = static_cast<double> (getWidth());
    const auto h = static_cast<double> (getHeight());
    const auto d1 = whole (h / 3.5);
    const auto d2 = whole (0.85 * (h / 3.5));
    const auto top = whole (0.15 * h);

    lowBoostDial.setBounds (whole (w / 12.0), top, d1, d1);
    lowAttenDial.setBounds (whole (lowBoostDial.getX() + 1.1 * lowBoostDial.getWidth()), top, d1, d1);
    highBoostDial.setBounds (whole (lowAttenDial.getX() + 1.1 * lowAttenDial.getWidth()), top, d1, d1);
    highAttenDial.setBounds (whole (highBoostDial.getX() + 1.1 * highBoostDial.getWidth()), top, d1, d1);

    lowFreqDial.setBounds (whole (lowBoostDial.getX() + lowBoostDial.getWidth() / 1.55),
                           whole (lowBoostDial.getY() + 1.2 * lowBoostDial.getHeight()), d2, d2);
    bandwidthDial.setBounds (whole (lowFreqDial.getX() + 1.3 * lowFreqDial.getWidth()), lowFreqDial.getY(), d2, d2);
    highFreqDial.setBounds (whole (highBoostDial.getX() + highBoostDial.getWidth() / 1.55), bandwidthDial.getY(), d2, d2);

    // The eq toggle is as wide as its present caption needs; the os toggle follows it.
    const auto toggleHeight = whole (h / 12.0);
    eqToggle.setBounds (whole (lowBoostDial.getX() + 0.25 * lowBoostDial.getWidth()),
                        whole (lowFreqDial.getY() + 1.35 * lowFreqDial.getHeight()),
                        eqToggle.getBestWidthForHeight (toggleHeight), toggleHeight);
    osToggle.setBounds (eqToggle.getRight(), eqToggle.getY(), whole (0.0625 * w), toggleHeight);

    lowPassFader.setBounds (highAttenDial.getRight(), highAttenDial.getY(), whole (0.125 * h), whole (0.6 * h));
    driveFader.setBounds (whole (lowPassFader.getX() + 1.25 * lowPassFader.getWidth()), lowPassFader.getY(),
                          lowPassFader.getWidth(), lowPassFader.getHeight());
    trimFader.setBounds (whole (driveFader.getX() + 1.25 * driveFader.getWidth()), driveFader.getY(),
                         driveFader.getWidth(), driveFader.getHeight());

    stereoMenu.setBounds (driveFader.getX(), whole (lowPassFader.getY() + 1.12 * lowPassFader.getHeight()),
                          whole (0.15 * w), whole (0.06 * h));

    processorRef.storeEditorSize (getWidth(), getHeight());
}

juce::Rectangle<int> TarvolenEQAudioProcessorEditor::logoBox (int width, int height)
{
    const auto w = static_cast<double> (width);
    const auto h = static_cast<double> (height);
    return { whole (0.4 * w), whole (0.8 * h + 4.0), whole (0.25 * w), whole (0.1 * h) };
}

juce::Rectangle<float> TarvolenEQAudioProcessorEditor::logoShade (int width, int height)
{
    const auto w = static_cast<double> (width);
    const auto h = static_cast<double> (height);
    return { static_cast<float> (0.4 * w), static_cast<float> (0.8 * h + 4.0),
             static_cast<float> (0.25 * w), static_cast<float> (0.1 * h) };
}

void TarvolenEQAudioProcessorEditor::paint (juce::Graphics& g)
{
    // The cache decodes each picture once; later paints only look it up.
    backgroundImage = juce::ImageCache::getFromMemory (BinaryData::background_png, BinaryData::background_pngSize);

    if (backgroundImage.isValid())
        g.drawImageTransformed (backgroundImage,
                                juce::AffineTransform::scale (static_cast<float> (getWidth()) / static_cast<float> (backgroundImage.getWidth()),
                                                              static_cast<float> (getHeight()) / static_cast<float> (backgroundImage.getHeight())));

    logoImage = juce::ImageCache::getFromMemory (BinaryData::logo_png, BinaryData::logo_pngSize);
    const auto box = logoBox (getWidth(), getHeight());
    g.drawImageWithin (logoImage, box.getX(), box.getY(), box.getWidth(), box.getHeight(),
                       juce::RectanglePlacement::centred, false);

    g.setColour (juce::Colour (0x59000000));
    g.fillRect (logoShade (getWidth(), getHeight()));
}
