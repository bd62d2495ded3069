#pragma once

#include "RelaxedAtomic.h"
#include "ZQ_SVFilter.h"
#include "ZQ_TubeModel.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>

#include <array>

/** The thirteen parameter identifiers, shared by the engine, the editor and the saved state. */
namespace ParamIDs
{
    inline constexpr auto drive      = "drive";
    inline constexpr auto lowPass    = "low pass";
    inline constexpr auto trim       = "trim";
    inline constexpr auto stereoMenu = "stereo menu";
    inline constexpr auto highBoost  = "high boost";
    inline constexpr auto highAtten  = "high atten";
    inline constexpr auto highFreq   = "high freq";
    inline constexpr auto lowBoost   = "low boost";
    inline constexpr auto lowAtten   = "low atten";
    inline constexpr auto lowFreq    = "low freq";
    inline constexpr auto bandwidth  = "bandwidth";
    inline constexpr auto overSample = "over sample";
    inline constexpr auto eqIn       = "eq in";
}

/** The plug-in's processor: publishes the parameters, maps them onto the filters and the tube
    stage, runs the audio chain and saves and restores the state.

    Chain, per sample: low-attenuation bell, low-boost bell, high-attenuation shelf, high-boost
    bell, low-pass, tube; optionally at four times the host rate; then the output trim.
*/
class TarvolenEQAudioProcessor : public juce::AudioProcessor,
                                 public juce::AudioProcessorValueTreeState::Listener
{
public:
    /** Values of stereoMode, in the order of the editor's menu. */
    static constexpr int stereo = 0;
    static constexpr int sides  = 1;
    static constexpr int mid    = 2;
    static constexpr int left   = 3;
    static constexpr int right  = 4;

    TarvolenEQAudioProcessor();
    ~TarvolenEQAudioProcessor() override;

    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int maximumBlockSize) override;
    void releaseResources() override;

    using juce::AudioProcessor::processBlock;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    /** Moves the DSP settings that depend on the changed parameter. Runs on whichever thread
        changed it, the audio thread included: real-time safe. */
    void parameterChanged (const juce::String& parameterID, float newValue) override;

    /** Records the editor's size in the variables tree, which travels with the saved state.
        Message thread. */
    void storeEditorSize (int width, int height);

    /** A copy of the variables tree, for reading. Any thread. */
    juce::ValueTree copyVariableTree() const;

    juce::AudioProcessorValueTreeState treeState;

    /** Editor size restored from a saved state; 0 when none was restored. */
    RelaxedAtomic<float> windowWidth { 0.0f };
    RelaxedAtomic<float> windowHeight { 0.0f };

    /** Four times the host rate, in Hz: the filters and the tube are always prepared for it. */
    RelaxedAtomic<float> overSampledRate { 0.0f };
    /** The host rate in Hz. */
    RelaxedAtomic<float> baseSampleRate { 0.0f };
    RelaxedAtomic<bool> oversamplingOn { false };
    RelaxedAtomic<int> stereoMode { stereo };

    ZQ_TubeModel tube;
    ZQ_SVFilter lowBoostFilter;
    ZQ_SVFilter lowAttenFilter;
    ZQ_SVFilter highBoostFilter;
    ZQ_SVFilter highAttenFilter;
    ZQ_SVFilter lowPassFilter;

    juce::dsp::Oversampling<float> oversampler { 2, 2, juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR,
                                                 true, false };
    juce::dsp::Gain<float> trimGain;

private:
    /** The parameters by host index. */
    enum Parameter
    {
        driveParameter, lowPassParameter, trimParameter, stereoMenuParameter, highBoostParameter,
        highAttenParameter, highFreqParameter, lowBoostParameter, lowAttenParameter, lowFreqParameter,
        bandwidthParameter, overSampleParameter, eqInParameter, numParameters
    };

    /** Moves the settings that follow one parameter to its value v, in its own units: the one
        place where parameter values become DSP settings, whichever road they come by. A value
        that is not finite is ignored. Any thread; real-time safe. */
    void applyParameter (int index, float v);

    /** Applies every parameter's sounding value but "over sample", which acts only when it
        changes; for a preparation and a restore. */
    void applyParameters();

    /** The five filters in the order of the chain. */
    std::array<ZQ_SVFilter*, 5> chainFilters() noexcept;

    /** Prepares the five filters and gives them what no parameter moves. */
    void prepareFilters (float rate, int channels);

    /** The over-sample switch, with its move of the low-pass between 19000 and 20000 Hz. */
    void applyOverSample (float v);

    /** The parameter's value, or the last finite value the sound followed when it holds none. */
    float soundingValue (int index) const noexcept;

    void sanitiseParameterValues (juce::ValueTree& restored) const;

    void processChunk (juce::dsp::AudioBlock<float> hostBlock) noexcept;
    void runChain (juce::dsp::AudioBlock<float> working, int numChannels, int rightIndex) noexcept;
    void chain (float* const* channels, int numChannels, int numSamples) noexcept;
    void clearNonFiniteState (juce::dsp::AudioBlock<float> working, int numChannels, bool oversampled) noexcept;

    // The variables tree is written by the editor and read by saves and restores, which hosts
    // may run on other threads; the lock serialises them. Never taken on the audio thread.
    juce::ValueTree variableTree;
    juce::CriticalSection variablesLock;

    // Each parameter's value as the framework holds it, and the last finite value applied.
    std::array<std::atomic<float>*, numParameters> rawValues {};
    std::array<RelaxedAtomic<float>, numParameters> lastFiniteValues {};

    RelaxedAtomic<float> trimLevel { 1.0f };
    int preparedBlockSize = 0;
    int preparedChannels = 0;

    // The one signal that the routed stereo modes send through the chain, sized for an
    // oversampled block.
    std::vector<float> routedSignal;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TarvolenEQAudioProcessor)
};
