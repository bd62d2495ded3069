#include "helpers/ProcessorHarness.h"

#include <cmath>

namespace TestHelpers
{
ProcessorHarness::ProcessorHarness (int channels, double sampleRate, int maxBlockSize)
    : blockSize (maxBlockSize)
{
    const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    processor.setBusesLayout ({ { set }, { set } });
    processor.prepareToPlay (sampleRate, blockSize);
}

void automate (TarvolenEQAudioProcessor& processor, const char* parameterID, float plainValue)
{
    auto* parameter = processor.treeState.getParameter (parameterID);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (plainValue));
}

float plainValue (const TarvolenEQAudioProcessor& processor, const char* parameterID)
{
    return processor.treeState.getRawParameterValue (parameterID)->load();
}

void ProcessorHarness::set (const char* parameterID, float value) { automate (processor, parameterID, value); }

float ProcessorHarness::get (const char* parameterID) const { return plainValue (processor, parameterID); }

std::vector<std::vector<float>> ProcessorHarness::process (std::vector<std::vector<float>> channels)
{
    const auto numChannels = static_cast<int> (channels.size());
    const auto length = static_cast<int> (channels.front().size());
    juce::MidiBuffer midi;

    for (int start = 0; start < length; start += blockSize)
    {
        const auto n = std::min (blockSize, length - start);
        std::vector<float*> pointers;

        for (auto& channel : channels)
            pointers.push_back (channel.data() + start);

        juce::AudioBuffer<float> buffer (pointers.data(), numChannels, n);
        processor.processBlock (buffer, midi);
    }

    return channels;
}

juce::MemoryBlock blockOf (const juce::ValueTree& tree)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream stream (block, false);
    tree.writeToStream (stream);
    stream.flush();
    return block;
}

std::map<juce::String, float> parameterValues (const TarvolenEQAudioProcessor& processor)
{
    std::map<juce::String, float> values;

    for (const auto& parameter : publishedParameters)
        values[parameter.id] = plainValue (processor, parameter.id);

    return values;
}

testing::AssertionResult parametersAreFiniteAndInRange (const TarvolenEQAudioProcessor& processor)
{
    for (const auto& parameter : publishedParameters)
    {
        const auto value = plainValue (processor, parameter.id);

        if (! (std::isfinite (value) && value >= parameter.minimum && value <= parameter.maximum))
            return testing::AssertionFailure() << "\"" << parameter.id << "\" holds " << value;
    }

    return testing::AssertionSuccess();
}

std::map<std::string, float> dspSettings (const TarvolenEQAudioProcessor& processor)
{
    std::map<std::string, float> settings;

    forEachDspSetting (processor, [&] (const char* unit, const char* setting, float value)
                       { settings[std::string (unit) + "." + setting] = value; });

    return settings;
}

testing::AssertionResult dspSettingsAreFinite (const TarvolenEQAudioProcessor& processor)
{
    auto result = testing::AssertionSuccess();
    bool finite = true;

    forEachDspSetting (processor, [&] (const char* unit, const char* setting, float value)
    {
        if (finite && ! std::isfinite (value))
        {
            finite = false;
            result = testing::AssertionFailure() << unit << "." << setting << " is " << value;
        }
    });

    return result;
}

testing::AssertionResult allFinite (const std::vector<std::vector<float>>& channels)
{
    for (size_t c = 0; c < channels.size(); ++c)
        for (size_t i = 0; i < channels[c].size(); ++i)
            if (! std::isfinite (channels[c][i]))
                return testing::AssertionFailure() << "channel " << c << " sample " << i << " is " << channels[c][i];

    return testing::AssertionSuccess();
}

juce::MemoryBlock ProcessorHarness::save()
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}
void applyGoldenSettings (ProcessorHarness& h)
{
    h.set (ParamIDs::drive, 12.5f);
    h.set (ParamIDs::lowPass, 15000.0f);
    h.set (ParamIDs::trim, -3.25f);
    h.set (ParamIDs::stereoMenu, 2.0f);
    h.set (ParamIDs::highBoost, 6.0f);
    h.set (ParamIDs::highAtten, 2.0f);
    h.set (ParamIDs::highFreq, 8000.0f);
    h.set (ParamIDs::lowBoost, 5.0f);
    h.set (ParamIDs::lowAtten, 3.0f);
    h.set (ParamIDs::lowFreq, 60.0f);
    h.set (ParamIDs::bandwidth, 7.0f);
    h.set (ParamIDs::overSample, 1.0f);
    h.set (ParamIDs::eqIn, 0.0f);
    h.processor.storeEditorSize (900, 450);
}
} // namespace TestHelpers
