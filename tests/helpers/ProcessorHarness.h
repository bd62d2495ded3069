#pragma once

#include "PluginProcessor.h"

#include <vector>

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

/** The tree in the framework's binary form, as a saved state block holds it. */
juce::MemoryBlock blockOf (const juce::ValueTree& tree);
} // namespace TestHelpers
