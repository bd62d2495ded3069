#pragma once

#include "PluginProcessor.h"

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace TestHelpers
{
/** Sets a parameter to a plain value (in its own units) as host automation does. */
void automate (TarvolenEQAudioProcessor& processor, const char* parameterID, float plainValue);

/** The parameter's current value in its own units. */
float plainValue (const TarvolenEQAudioProcessor& processor, const char* parameterID);

/** A processor as a host drives it: parameters set through their host-facing setters, audio
    given as one vector per channel. */
struct ProcessorHarness
{
    explicit ProcessorHarness (int channels = 2, double sampleRate = 48000.0, int blockSize = 512);

    /** Sets a parameter to a plain value (in its own units) as host automation would. */
    void set (const char* parameterID, float plainValue);

    /** The parameter's current plain value. */
    float get (const char* parameterID) const;

    /** Runs the channels through processBlock in blocks of at most blockSize samples. */
    std::vector<std::vector<float>> process (std::vector<std::vector<float>> channels);

    /** The saved state block. */
    juce::MemoryBlock save();

    TarvolenEQAudioProcessor processor;
    int blockSize;
};

/** Every parameter away from its default and an editor size: the settings of the committed
    golden state block (tests/data/state-1.0.0.bin). */
void applyGoldenSettings (ProcessorHarness& h);

/** The tree in the framework's binary form, as a saved state block holds it. */
juce::MemoryBlock blockOf (const juce::ValueTree& tree);

} // namespace TestHelpers

namespace juce
{
/** Shows a saved block in a failed comparison as the tree it holds, on one line. */
inline void PrintTo (const MemoryBlock& block, std::ostream* os)
{
    const auto tree = ValueTree::readFromData (block.getData(), block.getSize());
    *os << block.getSize() << " bytes: "
        << (tree.isValid() ? tree.toXmlString (XmlElement::TextFormat().singleLine().withoutHeader())
                           : Base64::toBase64 (block.getData(), block.getSize()));
}
} // namespace juce

namespace TestHelpers
{
/** A parameter as the product publishes it: identifier, range and default in its own units. */
struct PublishedParameter
{
    const char* id;
    float minimum, maximum, defaultValue;
};

/** The thirteen parameters in host order, written from the product's parameter table. */
inline constexpr PublishedParameter publishedParameters[] = {
    { ParamIDs::drive, 0.0f, 24.0f, 0.0f },       { ParamIDs::lowPass, 3000.0f, 20000.0f, 20000.0f },
    { ParamIDs::trim, -48.0f, 48.0f, 0.0f },      { ParamIDs::stereoMenu, 0.0f, 4.0f, 0.0f },
    { ParamIDs::highBoost, 0.0f, 10.0f, 0.0f },   { ParamIDs::highAtten, 0.0f, 10.0f, 0.0f },
    { ParamIDs::highFreq, 1000.0f, 16000.0f, 6000.0f }, { ParamIDs::lowBoost, 0.0f, 10.0f, 0.0f },
    { ParamIDs::lowAtten, 0.0f, 10.0f, 0.0f },    { ParamIDs::lowFreq, 20.0f, 300.0f, 100.0f },
    { ParamIDs::bandwidth, 0.0f, 10.0f, 5.0f },   { ParamIDs::overSample, 0.0f, 1.0f, 0.0f },
    { ParamIDs::eqIn, 0.0f, 1.0f, 1.0f },
};

/** Every parameter's current plain value, by identifier. */
std::map<juce::String, float> parameterValues (const TarvolenEQAudioProcessor& processor);

/** Success when every parameter holds a finite value within its published range. */
testing::AssertionResult parametersAreFiniteAndInRange (const TarvolenEQAudioProcessor& processor);

/** Calls visit (unit, setting, value) for every public DSP setting of the processor, bools
    and ints as 0/1 and whole numbers. The trim gain is the one the last processed block used. */
template <typename Visit>
void forEachDspSetting (const TarvolenEQAudioProcessor& p, Visit&& visit)
{
    const std::pair<const char*, const ZQ_SVFilter*> filters[] = { { "lowBoostFilter", &p.lowBoostFilter },
                                                                   { "lowAttenFilter", &p.lowAttenFilter },
                                                                   { "highBoostFilter", &p.highBoostFilter },
                                                                   { "highAttenFilter", &p.highAttenFilter },
                                                                   { "lowPassFilter", &p.lowPassFilter } };

    for (const auto& [unit, f] : filters)
    {
        visit (unit, "sampleRate", f->sampleRate.load());
        visit (unit, "q", f->q.load());
        visit (unit, "cutoff", f->cutoff.load());
        visit (unit, "rawGain", f->rawGain.load());
        visit (unit, "gainDB", f->gainDB.load());
        visit (unit, "bypassed", f->bypassed.load() ? 1.0f : 0.0f);
        visit (unit, "globalBypass", f->globalBypass.load() ? 1.0f : 0.0f);
        visit (unit, "filterType", static_cast<float> (f->filterType.load()));
        visit (unit, "qType", static_cast<float> (f->qType.load()));
    }

    visit ("tube", "driveLevel", p.tube.driveLevel.load());
    visit ("tube", "enabled", p.tube.enabled.load() ? 1.0f : 0.0f);
    visit ("tube", "sampleRate", p.tube.sampleRate);
    visit ("processor", "overSampledRate", p.overSampledRate.load());
    visit ("processor", "baseSampleRate", p.baseSampleRate.load());
    visit ("processor", "oversamplingOn", p.oversamplingOn.load() ? 1.0f : 0.0f);
    visit ("processor", "stereoMode", static_cast<float> (p.stereoMode.load()));
    visit ("trimGain", "gain", p.trimGain.getGainLinear());
}

/** Every public DSP setting of the processor, by "unit.setting". */
std::map<std::string, float> dspSettings (const TarvolenEQAudioProcessor& processor);

/** Success when every value of dspSettings is finite. */
testing::AssertionResult dspSettingsAreFinite (const TarvolenEQAudioProcessor& processor);

/** Success when every sample of every channel is finite, else where the first one is not. */
testing::AssertionResult allFinite (const std::vector<std::vector<float>>& channels);
} // namespace TestHelpers
