#include "helpers/EditorTestHelpers.h"

#include <BinaryData.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace EditorTestHelpers;
using SizeRules = TarvolenEQAudioProcessorEditor::SizeRules;

namespace
{
SizeRules rulesForThisScreen()
{
    return SizeRules::forScreenWidth (juce::Desktop::getInstance().getDisplays().getTotalBounds (true).getWidth());
}

/** A saved state whose editor size has been set by hand (a damaged or hostile project). */
juce::MemoryBlock stateWithSize (juce::var width, juce::var height)
{
    TarvolenEQAudioProcessor source;
    juce::MemoryBlock block;
    source.getStateInformation (block);

    auto tree = juce::ValueTree::readFromData (block.getData(), block.getSize());
    auto variables = tree.getChildWithName ("TarvolenVariables");
    variables.setProperty ("width", width, nullptr);

    if (! height.isVoid())
        variables.setProperty ("height", height, nullptr);

    juce::MemoryOutputStream out;
    tree.writeToStream (out);
    return out.getMemoryBlock();
}

void restore (TarvolenEQAudioProcessor& processor, const juce::MemoryBlock& block)
{
    processor.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
}

double median (std::vector<double> values)
{
    std::nth_element (values.begin(), values.begin() + static_cast<std::ptrdiff_t> (values.size() / 2), values.end());
    return values[values.size() / 2];
}

double medianLuminance (const juce::Image& image, juce::Rectangle<int> area)
{
    std::vector<double> values;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            values.push_back (luminance (image.getPixelAt (x, y)));

    return median (std::move (values));
}
} // namespace

//==============================================================================
TEST (PluginEditorSizeRules, LimitsAndDefaultFollowTheScreenWidth)
{
    const struct { int screen, minW, minH, maxW, maxH, defW, defH; } cases[] = {
        { 1440, 360, 180, 1080, 540, 720, 360 },
        { 1366, 341, 170, 1024, 512, 683, 341 },   // not exactly 2 : 1 until the first resize
        { 3840, 960, 480, 2880, 1440, 1920, 960 }, // two screens side by side
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.screen);
        const auto rules = SizeRules::forScreenWidth (c.screen);
        EXPECT_EQ (rules.minWidth, c.minW);
        EXPECT_EQ (rules.minHeight, c.minH);
        EXPECT_EQ (rules.maxWidth, c.maxW);
        EXPECT_EQ (rules.maxHeight, c.maxH);
        EXPECT_EQ (rules.defaultWidth, c.defW);
        EXPECT_EQ (rules.defaultHeight, c.defH);
    }
}

TEST (PluginEditorSizeRules, RestoredSizeIsKeptWithinTheLimitsAndBroughtIntoThemOtherwise)
{
    const auto nan = std::numeric_limits<float>::quiet_NaN();
    const auto inf = std::numeric_limits<float>::infinity();

    const struct { int screen; float width, height; int expectedW, expectedH; } cases[] = {
        { 1440, 812.9f, 406.7f, 812, 406 },   // truncated, not rounded
        { 1440, 0.0f, 500.0f, 720, 360 },     // no saved width: default, height ignored
        { 1440, 1080.0f, 540.0f, 1080, 540 }, // the limits themselves
        { 1440, 360.0f, 180.0f, 360, 180 },
        { 1440, 1080.9f, 540.9f, 1080, 540 },
        { 1440, 1000.0f, 200.0f, 1000, 200 }, // within the limits though not 2 : 1: as saved
        { 1440, 1500.0f, 750.0f, 1080, 540 }, // saved on a wider screen
        { 1440, 1.0e9f, 5.0e8f, 1080, 540 },
        { 1440, 100.0f, 50.0f, 360, 180 },
        { 1440, -500.0f, 300.0f, 360, 180 },
        { 1440, 800.0f, -400.0f, 800, 400 },
        { 1440, 800.0f, nan, 800, 400 },
        { 1440, 800.0f, 0.0f, 800, 400 },     // width without height
        { 1440, nan, 400.0f, 720, 360 },
        { 1440, inf, 400.0f, 720, 360 },
        { 1366, 2000.0f, 1000.0f, 1024, 512 },
        { 3840, 1.0e30f, 1.0e30f, 2880, 1440 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.screen << ": " << c.width << " x " << c.height);
        const auto size = SizeRules::forScreenWidth (c.screen).initialSize (c.width, c.height);
        EXPECT_EQ (size.width, c.expectedW);
        EXPECT_EQ (size.height, c.expectedH);
    }
}

//==============================================================================
class PluginEditorLayout : public ::testing::Test
{
protected:
    TarvolenEQAudioProcessor processor;
    EditorPtr editor = openEditor (processor);

    juce::Rectangle<int> boundsOf (const char* caption) { return findCaptioned<juce::Component> (*editor, caption)->getBounds(); }
};

TEST_F (PluginEditorLayout, OpensAtTheDefaultSizeForTheseScreensAndResizesWithinTheLimitsAt2To1)
{
    const auto rules = rulesForThisScreen();
    EXPECT_EQ (editor->getWidth(), rules.defaultWidth);
    EXPECT_EQ (editor->getHeight(), rules.defaultHeight);
    EXPECT_TRUE (editor->isResizable());

    // What the corner handle and the host go through.
    editor->setBoundsConstrained ({ 0, 0, 100000, 100000 });
    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (0, 0, rules.maxWidth, rules.maxHeight));

    editor->setBoundsConstrained ({ 0, 0, 10, 10 });
    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (0, 0, rules.minWidth, rules.minHeight));

    editor->setBoundsConstrained ({ 0, 0, rules.defaultWidth, 10 });
    EXPECT_NEAR (editor->getWidth(), 2 * editor->getHeight(), 1);
}

TEST_F (PluginEditorLayout, PlacesEveryControlByTheWindowSize)
{
    const struct { const char* caption; int x, y, w, h; } controls[] = {
        { "Low Boost", 75, 67, 128, 128 },  { "Low Atten", 215, 67, 128, 128 },
        { "High Boost", 355, 67, 128, 128 }, { "High Atten", 495, 67, 128, 128 },
        { "Freq ", 157, 220, 109, 109 },     { "Bandwidth", 298, 220, 109, 109 },
        { "Freq", 437, 220, 109, 109 },      { "LP", 623, 67, 56, 270 },
        { "Drive", 693, 67, 56, 270 },       { "Trim", 763, 67, 56, 270 },
    };

    // At 905 x 451 every product truncates to the same pixels as at 900 x 450.
    for (const auto size : { juce::Point<int> (900, 450), juce::Point<int> (905, 451) })
    {
        SCOPED_TRACE (testing::Message() << size.x << " x " << size.y);
        editor->setSize (size.x, size.y);

        for (const auto& c : controls)
        {
            SCOPED_TRACE (c.caption);
            auto* control = findCaptioned<juce::Component> (*editor, c.caption);
            ASSERT_NE (control, nullptr);
            EXPECT_EQ (control->getBounds(), juce::Rectangle<int> (c.x, c.y, c.w, c.h));

            // The caption sits directly above its control, as wide as it.
            auto* caption = findChild<juce::Label> (*editor, [&] (juce::Label& l) { return l.getText() == c.caption; });
            EXPECT_EQ (caption->getBottom(), control->getY());
            EXPECT_EQ (caption->getX(), control->getX());
            EXPECT_EQ (caption->getWidth(), control->getWidth());
        }

        auto* eq = findButton (*editor, "EQ In");
        const auto fitted = eq->getBestWidthForHeight (37);
        EXPECT_GT (fitted, 37);
        EXPECT_EQ (eq->getBounds(), juce::Rectangle<int> (107, 367, fitted, 37));
        EXPECT_EQ (findButton (*editor, "OS")->getBounds(), juce::Rectangle<int> (107 + fitted, 367, 56, 37));
        EXPECT_EQ (findMenu (*editor)->getBounds(), juce::Rectangle<int> (693, 369, 135, 27));
    }
}

TEST_F (PluginEditorLayout, EqToggleIsRefittedToItsCaptionOnlyAtTheNextLayoutPass)
{
    editor->setSize (900, 450);
    auto* eq = findButton (*editor, "EQ In");
    auto* os = findButton (*editor, "OS");
    const auto before = eq->getBounds();

    eq->triggerClick();
    pumpMessages();
    ASSERT_EQ (eq->getButtonText(), "EQ Out");
    EXPECT_EQ (eq->getBounds(), before);
    EXPECT_EQ (os->getX(), before.getRight());

    editor->resized();
    EXPECT_EQ (eq->getWidth(), eq->getBestWidthForHeight (37));
    EXPECT_NE (eq->getWidth(), before.getWidth());
    EXPECT_EQ (os->getX(), eq->getRight());
}

TEST_F (PluginEditorLayout, EveryLayoutPassRecordsTheSizeAsInts)
{
    for (const auto size : { juce::Point<int> (900, 450), juce::Point<int> (905, 451) })
    {
        editor->setSize (size.x, size.y);
        const auto variables = processor.copyVariableTree();
        EXPECT_TRUE (variables["width"].isInt());
        EXPECT_TRUE (variables["height"].isInt());
        EXPECT_EQ (static_cast<int> (variables["width"]), size.x);
        EXPECT_EQ (static_cast<int> (variables["height"]), size.y);
    }
}

TEST (PluginEditorPainting, LogoBoxAndShadeFollowTheWindowSize)
{
    using Editor = TarvolenEQAudioProcessorEditor;
    EXPECT_EQ (Editor::logoBox (900, 450), juce::Rectangle<int> (360, 364, 225, 45));
    EXPECT_EQ (Editor::logoShade (900, 450), juce::Rectangle<float> (360.0f, 364.0f, 225.0f, 45.0f));

    // The shade is not rounded to whole pixels.
    EXPECT_EQ (Editor::logoBox (905, 451), juce::Rectangle<int> (362, 364, 226, 45));
    const auto shade = Editor::logoShade (905, 451);
    EXPECT_FLOAT_EQ (shade.getX(), 362.0f);
    EXPECT_FLOAT_EQ (shade.getY(), 364.8f);
    EXPECT_FLOAT_EQ (shade.getWidth(), 226.25f);
    EXPECT_FLOAT_EQ (shade.getHeight(), 45.1f);
}

//==============================================================================
TEST (PluginEditorPersistence, ASavedSizeComesBackInAFreshInstance)
{
    const auto rules = rulesForThisScreen();
    const int width = (rules.defaultWidth + rules.maxWidth) / 2;
    const int height = width / 2;
    ASSERT_NE (width, rules.defaultWidth);

    TarvolenEQAudioProcessor first;
    openEditor (first)->setSize (width, height);

    juce::MemoryBlock state;
    first.getStateInformation (state);

    // Reopened without a restore, the window takes the default again, not its last size.
    EXPECT_EQ (openEditor (first)->getWidth(), rules.defaultWidth);

    TarvolenEQAudioProcessor second;
    restore (second, state);
    const auto editor = openEditor (second);
    EXPECT_EQ (editor->getWidth(), width);
    EXPECT_EQ (editor->getHeight(), height);
}

TEST (PluginEditorPersistence, AStateWithoutASizeOpensAtTheDefault)
{
    const auto rules = rulesForThisScreen();
    TarvolenEQAudioProcessor first;
    juce::MemoryBlock state;
    first.getStateInformation (state);

    TarvolenEQAudioProcessor second;
    restore (second, state);
    const auto editor = openEditor (second);
    EXPECT_EQ (editor->getWidth(), rules.defaultWidth);
    EXPECT_EQ (editor->getHeight(), rules.defaultHeight);
}

TEST (PluginEditorPersistence, ADamagedSizeOpensWithinTheLimits)
{
    const auto rules = rulesForThisScreen();
    const struct { const char* what; juce::var width, height; } cases[] = {
        { "enormous", 1.0e9, 5.0e8 },
        { "negative", -400.0, -200.0 },
        { "not a number", std::numeric_limits<double>::quiet_NaN(), 300.0 },
        { "no height", rules.defaultWidth, juce::var() },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        TarvolenEQAudioProcessor processor;
        restore (processor, stateWithSize (c.width, c.height));
        const auto editor = openEditor (processor);

        EXPECT_GE (editor->getWidth(), rules.minWidth);
        EXPECT_LE (editor->getWidth(), rules.maxWidth);
        EXPECT_GE (editor->getHeight(), rules.minHeight);
        EXPECT_LE (editor->getHeight(), rules.maxHeight);
        EXPECT_NEAR (editor->getWidth(), 2 * editor->getHeight(), 1);
    }
}

//==============================================================================
class PluginEditorSnapshot : public ::testing::Test
{
protected:
    void SetUp() override
    {
        automate (processor, ParamIDs::lowBoost, 7.5f);
        automate (processor, ParamIDs::highAtten, 2.0f);
        automate (processor, ParamIDs::lowFreq, 60.0f);
        automate (processor, ParamIDs::highFreq, 9000.0f);
        automate (processor, ParamIDs::lowPass, 8000.0f);
        automate (processor, ParamIDs::drive, 12.0f);
        automate (processor, ParamIDs::trim, -6.0f);
        automate (processor, ParamIDs::stereoMenu, 2.0f);
        automate (processor, ParamIDs::eqIn, 0.0f);

        editor->setSize (900, 450);
        pumpMessages (20);
        snapshot = render (*editor);

        const auto dir = juce::SystemStats::getEnvironmentVariable ("TARVOLEN_TEST_OUTPUT_DIR", {});
        const auto folder = dir.isNotEmpty() ? juce::File (dir) : juce::File::getCurrentWorkingDirectory();
        const auto pngFile = folder.getChildFile ("editor-900x450.png");
        pngFile.deleteFile();
        juce::FileOutputStream out (pngFile);
        ASSERT_TRUE (out.openedOk());
        ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (snapshot, out));
    }

    TarvolenEQAudioProcessor processor;
    EditorPtr editor = openEditor (processor);
    juce::Image snapshot;
};

TEST_F (PluginEditorSnapshot, EachDialShowsItsDiscWhereTheLayoutPutsIt)
{
    for (const auto* caption : { "Low Boost", "Low Atten", "High Boost", "High Atten", "Freq ", "Bandwidth", "Freq" })
    {
        SCOPED_TRACE (caption);
        auto* dial = findCaptioned (*editor, caption);
        const auto area = dial->getLookAndFeel().getSliderLayout (*dial).sliderBounds.toFloat()
                              + dial->getPosition().toFloat();
        const auto radius = 0.35f * juce::jmin (area.getWidth(), area.getHeight());

        // Halfway out on the side facing away from the pointer, clear of pointer and rim.
        const auto rotary = dial->getRotaryParameters();
        const auto position = static_cast<float> (dial->valueToProportionOfLength (dial->getValue()));
        const auto away = rotary.startAngleRadians + position * (rotary.endAngleRadians - rotary.startAngleRadians)
                          + juce::MathConstants<float>::pi;
        const auto probe = area.getCentre() + juce::Point<float> (std::sin (away), -std::cos (away)) * (0.5f * radius);

        const auto pixel = snapshot.getPixelAt (juce::roundToInt (probe.x), juce::roundToInt (probe.y));
        const juce::Colour disc (0xff2d436b);
        EXPECT_NEAR (pixel.getRed(), disc.getRed(), 2);
        EXPECT_NEAR (pixel.getGreen(), disc.getGreen(), 2);
        EXPECT_NEAR (pixel.getBlue(), disc.getBlue(), 2);
    }
}

TEST_F (PluginEditorSnapshot, LogoBoxIsShadedExactlyOverItsBox)
{
    // Most of the box is darkened background; beside it, in the same strip, is plain panel.
    const auto box = TarvolenEQAudioProcessorEditor::logoBox (900, 450);
    EXPECT_LT (medianLuminance (snapshot, box), 0.8 * medianLuminance (snapshot, { 590, 364, 95, 45 }));

    // Each edge: the pixels just inside are darker than those just outside. The strips keep
    // to the box's margins, which the logo does not reach.
    const struct { const char* edge; juce::Rectangle<int> inside, outside; } edges[] = {
        { "left", { 360, 368, 1, 36 }, { 359, 368, 1, 36 } },
        { "right", { 584, 368, 1, 36 }, { 585, 368, 1, 36 } },
        { "top", { 361, 364, 7, 1 }, { 361, 363, 7, 1 } },
        { "bottom", { 361, 408, 7, 1 }, { 361, 409, 7, 1 } },
    };

    for (const auto& e : edges)
    {
        SCOPED_TRACE (e.edge);
        EXPECT_LT (meanLuminance (snapshot, e.inside), 0.8 * meanLuminance (snapshot, e.outside));
    }
}

TEST_F (PluginEditorSnapshot, PanelShowsTheBackgroundTexture)
{
    const auto background = juce::ImageCache::getFromMemory (BinaryData::background_png, BinaryData::background_pngSize);

    if (background.getWidth() < 100)
        GTEST_SKIP() << "the compiled-in background is a " << background.getWidth() << " px placeholder";

    // The upper panel above the captions: a flat fill would have no spread at all.
    const juce::Rectangle<int> panel (100, 10, 500, 25);
    const auto mean = meanLuminance (snapshot, panel);
    double variance = 0.0;

    for (int y = panel.getY(); y < panel.getBottom(); ++y)
        for (int x = panel.getX(); x < panel.getRight(); ++x)
            variance += juce::square (luminance (snapshot.getPixelAt (x, y)) - mean);

    EXPECT_GT (std::sqrt (variance / (panel.getWidth() * panel.getHeight())), 1.5);
}
