#include "helpers/TestHelpers.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

using namespace TestHelpers;

namespace
{
struct Format
{
    const char* name;
    const char* fileOrIdentifier;
};

std::ostream& operator<< (std::ostream& stream, const Format& format) { return stream << format.name; }

std::unique_ptr<juce::AudioPluginInstance> load (const Format& format)
{
    std::unique_ptr<juce::AudioPluginFormat> pluginFormat;

    if (juce::String (format.name) == "VST3")
    {
        pluginFormat = std::make_unique<juce::VST3PluginFormat>();
    }
    else
    {
        // LV2 hosts find plug-ins by URI on their search path; point it at the build.
        pluginFormat = std::make_unique<juce::LV2PluginFormat>();
        pluginFormat->searchPathsForPlugins (juce::FileSearchPath (TARVOLEN_LV2_FOLDER), false, false);
    }

    juce::OwnedArray<juce::PluginDescription> found;
    pluginFormat->findAllTypesForFile (found, format.fileOrIdentifier);

    if (found.size() != 1)
        return nullptr;

    juce::String error;
    auto instance = pluginFormat->createInstanceFromDescription (*found[0], 48000.0, 512, error);
    return instance;
}

juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& plugin, const juce::String& name)
{
    for (auto* parameter : plugin.getParameters())
        if (parameter->getName (100) == name)
            return parameter;

    return nullptr;
}

std::vector<float> run (juce::AudioPluginInstance& plugin, const std::vector<float>& left, const std::vector<float>& right)
{
    plugin.setPlayConfigDetails (2, 2, 48000.0, 512);
    plugin.prepareToPlay (48000.0, 512);

    std::vector<float> output;
    juce::AudioBuffer<float> buffer (2, 512);
    juce::MidiBuffer midi;

    for (size_t start = 0; start + 512 <= left.size(); start += 512)
    {
        buffer.copyFrom (0, 0, left.data() + start, 512);
        buffer.copyFrom (1, 0, right.data() + start, 512);
        plugin.processBlock (buffer, midi);
        output.insert (output.end(), buffer.getReadPointer (0), buffer.getReadPointer (0) + 512);
        output.insert (output.end(), buffer.getReadPointer (1), buffer.getReadPointer (1) + 512);
    }

    plugin.releaseResources();
    return output;
}

std::vector<float> silence (size_t length) { return std::vector<float> (length, 0.0f); }

class PluginHosting : public testing::TestWithParam<Format>
{
};
} // namespace

TEST_P (PluginHosting, PublishesItsNameAndParameters)
{
    auto plugin = load (GetParam());
    ASSERT_NE (plugin, nullptr) << GetParam().fileOrIdentifier;

    EXPECT_EQ (plugin->getName(), "Tarvolen EQ");
    EXPECT_FALSE (plugin->acceptsMidi());
    EXPECT_FALSE (plugin->producesMidi());

    const char* names[] = { "Drive", "Low Pass", "Trim", "Stereo Menu", "High Boost", "High Atten", "High Freq",
                            "Low Boost", "Low Atten", "Low Freq", "Bandwidth", "Over Sample", "Eq In" };
    const auto& parameters = plugin->getParameters();

    // VST3 keeps the processor's order; LV2 hosts list parameters by identifier, in their own order.
    if (juce::String (GetParam().name) == "VST3")
    {
        ASSERT_GE (parameters.size(), 13);

        for (int i = 0; i < 13; ++i)
            EXPECT_EQ (parameters[i]->getName (100), names[i]) << "host index " << i;
    }

    for (auto* name : names)
        EXPECT_NE (findParameter (*plugin, name), nullptr) << name;
}

TEST_P (PluginHosting, StateRoundTripsThroughTheWrapper)
{
    auto source = load (GetParam());
    auto target = load (GetParam());
    ASSERT_NE (source, nullptr);
    ASSERT_NE (target, nullptr);

    // Every band audible, so a value lost on the way changes the sound.
    const std::pair<const char*, float> settings[] = { { "Low Boost", 0.5f }, { "Low Atten", 0.3f }, { "High Boost", 0.6f },
                                                       { "High Atten", 0.2f }, { "Low Pass", 0.7f },  { "Drive", 0.5f },
                                                       { "Trim", 0.45f },      { "Stereo Menu", 0.5f } };

    for (auto [name, normalised] : settings)
    {
        auto* parameter = findParameter (*source, name);
        ASSERT_NE (parameter, nullptr) << name;
        parameter->setValueNotifyingHost (normalised);
    }

    // Some formats hand parameter changes to the plug-in with the next block only.
    run (*source, silence (512), silence (512));

    juce::MemoryBlock state;
    source->getStateInformation (state);
    target->setStateInformation (state.getData(), static_cast<int> (state.getSize()));

    const auto left = noise (4096, 0.5f, 1);
    const auto right = noise (4096, 0.5f, 2);
    const auto expected = run (*source, left, right);

    EXPECT_SAME_BITS (run (*target, left, right), expected);
    EXPECT_NE (expected, std::vector<float> (expected.size(), 0.0f));

    // By now the host has heard of the restored values too.
    for (auto [name, normalised] : settings)
        EXPECT_NEAR (findParameter (*target, name)->getValue(), findParameter (*source, name)->getValue(), 1e-6f) << name;

    for (auto y : expected)
        ASSERT_TRUE (std::isfinite (y));
}

INSTANTIATE_TEST_SUITE_P (BuiltFormats, PluginHosting,
                          testing::Values (Format { "VST3", TARVOLEN_VST3_BUNDLE }, Format { "LV2", TARVOLEN_LV2_URI }),
                          [] (const auto& info) { return std::string (info.param.name); });
