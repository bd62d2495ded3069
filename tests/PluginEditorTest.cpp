#include "helpers/EditorTestHelpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace EditorTestHelpers;

namespace
{
struct ControlCase
{
    const char* caption;
    const char* parameterID;
    float userValue;      // a value the user sets with the control
    float hostValue;      // a value the host automates, within the control's range
    double doubleClick;   // where a double-click returns the control
};

// Captions as the user reads them; "Freq " (low band) and "Freq" (high band) differ by a blank.
const ControlCase controls[] = {
    { "Low Boost",  ParamIDs::lowBoost,  7.25f,   2.5f,    0.0 },
    { "Low Atten",  ParamIDs::lowAtten,  3.5f,    8.0f,    0.0 },
    { "Freq ",      ParamIDs::lowFreq,   150.0f,  40.0f,   100.0 },
    { "Bandwidth",  ParamIDs::bandwidth, 2.0f,    9.5f,    5.0 },
    { "High Boost", ParamIDs::highBoost, 4.5f,    1.25f,   0.0 },
    { "High Atten", ParamIDs::highAtten, 6.0f,    0.75f,   0.0 },
    { "Freq",       ParamIDs::highFreq,  9000.0f, 2500.0f, 6000.0 },
    { "LP",         ParamIDs::lowPass,   12000.0f, 4000.0f, 20000.0 },
    { "Drive",      ParamIDs::drive,     12.5f,   3.75f,   0.0 },
    { "Trim",       ParamIDs::trim,      -7.25f,  15.5f,   0.0 },
};

/** Runs a host's automation on a thread of its own, as hosts do. */
template <typename Function>
void fromHostThread (Function&& function)
{
    std::thread host (std::forward<Function> (function));
    host.join();
    pumpMessages();
}
} // namespace

class PluginEditor : public ::testing::Test
{
protected:
    TarvolenEQAudioProcessor processor;
    EditorPtr editor = openEditor (processor);
};

TEST_F (PluginEditor, MovingEachControlSetsItsParameter)
{
    for (const auto& c : controls)
    {
        SCOPED_TRACE (c.caption);
        auto* slider = findCaptioned (*editor, c.caption);
        ASSERT_NE (slider, nullptr);

        // What a drag or a typed value does: the control takes the value and notifies at once.
        slider->setValue (c.userValue, juce::sendNotificationSync);
        EXPECT_FLOAT_EQ (plainValue (processor, c.parameterID), c.userValue);
    }
}

TEST_F (PluginEditor, HostAutomationMovesEachControl)
{
    fromHostThread ([this]
    {
        for (const auto& c : controls)
            automate (processor, c.parameterID, c.hostValue);
    });

    for (const auto& c : controls)
    {
        SCOPED_TRACE (c.caption);
        EXPECT_DOUBLE_EQ (findCaptioned (*editor, c.caption)->getValue(), c.hostValue);
    }
}

TEST_F (PluginEditor, DoubleClickReturnsEachControlToItsParameterDefault)
{
    for (const auto& c : controls)
    {
        SCOPED_TRACE (c.caption);
        auto* slider = findCaptioned (*editor, c.caption);
        EXPECT_TRUE (slider->isDoubleClickReturnEnabled());
        EXPECT_DOUBLE_EQ (slider->getDoubleClickReturnValue(), c.doubleClick);
    }
}

TEST_F (PluginEditor, MidTravelShowsTheUsualFrequencies)
{
    const struct { const char* caption; const char* text; } cases[] = {
        { "Freq ", "100 Hz" }, { "Freq", "6000 Hz" }, { "LP", "5000" }
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.caption);
        auto* slider = findCaptioned (*editor, c.caption);
        slider->setValue (slider->proportionOfLengthToValue (0.5), juce::sendNotificationSync);
        EXPECT_EQ (slider->getTextFromValue (slider->getValue()), c.text);
    }
}

TEST_F (PluginEditor, FadersCoverLessThanTheirParametersWithoutChangingThem)
{
    // A host value beyond the fader's range shows at its end and stays until the user moves it.
    fromHostThread ([this] { automate (processor, ParamIDs::trim, 30.0f); });
    auto* trim = findCaptioned (*editor, "Trim");

    EXPECT_DOUBLE_EQ (trim->getValue(), 20.0);
    EXPECT_FLOAT_EQ (plainValue (processor, ParamIDs::trim), 30.0f);

    trim->setValue (-30.0, juce::sendNotificationSync);
    EXPECT_FLOAT_EQ (plainValue (processor, ParamIDs::trim), -20.0f);

    // The drive fader moves in quarter steps although the parameter takes hundredths.
    findCaptioned (*editor, "Drive")->setValue (3.1, juce::sendNotificationSync);
    EXPECT_FLOAT_EQ (plainValue (processor, ParamIDs::drive), 3.0f);
}

TEST_F (PluginEditor, StereoMenuFollowsAndSetsTheStereoMode)
{
    auto* menu = findMenu (*editor);
    ASSERT_NE (menu, nullptr);

    const juce::StringArray items { "Stereo", "Sides", "Mid", "Left", "Right" };
    ASSERT_EQ (menu->getNumItems(), items.size());

    for (int i = 0; i < items.size(); ++i)
    {
        EXPECT_EQ (menu->getItemText (i), items[i]);
        EXPECT_EQ (menu->getItemId (i), i + 1);
    }

    EXPECT_EQ (menu->getText(), "Stereo");

    menu->setSelectedId (3, juce::sendNotificationSync);
    EXPECT_FLOAT_EQ (plainValue (processor, ParamIDs::stereoMenu), 2.0f);

    fromHostThread ([this] { automate (processor, ParamIDs::stereoMenu, 4.0f); });
    EXPECT_EQ (menu->getText(), "Right");
}

TEST_F (PluginEditor, ClickingTheEqToggleSwitchesEqInAndItsCaption)
{
    auto* eq = findButton (*editor, "EQ In");
    ASSERT_NE (eq, nullptr);
    EXPECT_TRUE (eq->getToggleState());

    const struct { float eqIn; const char* caption; } expected[] = { { 0.0f, "EQ Out" }, { 1.0f, "EQ In" } };

    for (const auto& e : expected)
    {
        SCOPED_TRACE (e.caption);
        eq->triggerClick();
        pumpMessages();

        EXPECT_FLOAT_EQ (plainValue (processor, ParamIDs::eqIn), e.eqIn);
        EXPECT_EQ (eq->getButtonText(), e.caption);
    }
}

TEST_F (PluginEditor, EqCaptionFollowsHostAutomation)
{
    auto* eq = findButton (*editor, "EQ In");
    ASSERT_NE (eq, nullptr);

    fromHostThread ([this] { automate (processor, ParamIDs::eqIn, 0.0f); });
    EXPECT_EQ (eq->getButtonText(), "EQ Out");
    EXPECT_FALSE (eq->getToggleState());

    fromHostThread ([this] { automate (processor, ParamIDs::eqIn, 0.0f); });
    EXPECT_EQ (eq->getButtonText(), "EQ Out");

    fromHostThread ([this] { automate (processor, ParamIDs::eqIn, 1.0f); });
    EXPECT_EQ (eq->getButtonText(), "EQ In");

    // A new editor on an instance with the equaliser out starts with that caption.
    automate (processor, ParamIDs::eqIn, 0.0f);
    editor.reset();
    editor = openEditor (processor);
    EXPECT_NE (findButton (*editor, "EQ Out"), nullptr);
}

TEST_F (PluginEditor, OsToggleReadsOSInBothStates)
{
    auto* os = findButton (*editor, "OS");
    ASSERT_NE (os, nullptr);

    os->triggerClick();
    pumpMessages();
    EXPECT_FLOAT_EQ (plainValue (processor, ParamIDs::overSample), 1.0f);
    EXPECT_TRUE (os->getToggleState());
    EXPECT_EQ (os->getButtonText(), "OS");

    fromHostThread ([this] { automate (processor, ParamIDs::overSample, 0.0f); });
    EXPECT_FALSE (os->getToggleState());
    EXPECT_EQ (os->getButtonText(), "OS");
}

//==============================================================================
namespace
{
std::vector<float> snapshot (TarvolenEQAudioProcessor& processor)
{
    std::vector<float> values;

    for (auto* p : processor.getParameters())
        values.push_back (p->getValue());

    return values;
}
} // namespace

TEST (PluginEditorLifecycle, OpeningAndClosingChangesNoParameter)
{
    TarvolenEQAudioProcessor processor;

    // Values the controls cannot show exactly: beyond the trim fader, between drive steps,
    // off the eq and os defaults.
    automate (processor, ParamIDs::trim, 30.0f);
    automate (processor, ParamIDs::drive, 0.13f);
    automate (processor, ParamIDs::lowFreq, 299.0f);
    automate (processor, ParamIDs::eqIn, 0.0f);
    automate (processor, ParamIDs::stereoMenu, 3.0f);
    const auto before = snapshot (processor);

    for (int i = 0; i < 3; ++i)
    {
        auto editor = openEditor (processor);
        pumpMessages (20);
    }

    pumpMessages (20);
    EXPECT_EQ (snapshot (processor), before);
}

TEST (PluginEditorLifecycle, SurvivesRepeatedOpeningWhileTheHostAutomates)
{
    TarvolenEQAudioProcessor processor;
    std::atomic<bool> automating { true };

    std::thread host ([&]
    {
        juce::Random random (42);

        // A sweep over every parameter each few tens of microseconds: far denser than any
        // host, yet leaving the parameters' listener locks free often enough to open editors.
        while (automating)
        {
            for (auto* p : processor.getParameters())
                p->setValueNotifyingHost (random.nextFloat());

            std::this_thread::sleep_for (std::chrono::microseconds (50));
        }
    });

    for (int i = 0; i < 200; ++i)
    {
        auto editor = openEditor (processor);
        pumpMessages (2);

        if (i % 25 == 0)
            render (*editor);
    }

    automating = false;
    host.join();
    pumpMessages();

    const auto before = snapshot (processor);
    {
        auto editor = openEditor (processor);
        pumpMessages (20);
    }
    pumpMessages (20);
    EXPECT_EQ (snapshot (processor), before);
}
