#include "PluginProcessor.h"

#include "PluginEditor.h"
#include "SVFilterSeries.h"
#include "StateBlock.h"

namespace
{
const juce::Identifier parameterStateType { "PARAMETER" };
const juce::Identifier variablesType { "TarvolenVariables" };

constexpr const char* listenedParameters[] = {
    ParamIDs::drive,     ParamIDs::overSample, ParamIDs::lowPass,  ParamIDs::trim,     ParamIDs::stereoMenu,
    ParamIDs::highBoost, ParamIDs::highFreq,   ParamIDs::highAtten, ParamIDs::lowBoost, ParamIDs::lowFreq,
    ParamIDs::lowAtten,  ParamIDs::bandwidth,  ParamIDs::eqIn
};

juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout()
{
    using Float = juce::AudioParameterFloat;
    using Int = juce::AudioParameterInt;
    using Bool = juce::AudioParameterBool;

    // The version hint keeps the identifiers stable across formats; they are stored in projects.
    auto id = [] (const char* name) { return juce::ParameterID { name, 1 }; };

    std::vector<std::unique_ptr<juce::RangedAudioParameter>> parameters;
    parameters.reserve (13);

    // Host order: index 0 first. Floats step by 0.01 on a linear range.
    parameters.push_back (std::make_unique<Float> (id (ParamIDs::drive), "Drive", 0.0f, 24.0f, 0.0f));
    parameters.push_back (std::make_unique<Int> (id (ParamIDs::lowPass), "Low Pass", 3000, 20000, 20000));
    parameters.push_back (std::make_unique<Float> (id (ParamIDs::trim), "Trim", -48.0f, 48.0f, 0.0f));
    parameters.push_back (std::make_unique<Int> (id (ParamIDs::stereoMenu), "Stereo Menu", 0, 4, 0));
    parameters.push_back (std::make_unique<Float> (id (ParamIDs::highBoost), "High Boost", 0.0f, 10.0f, 0.0f));
    parameters.push_back (std::make_unique<Float> (id (ParamIDs::highAtten), "High Atten", 0.0f, 10.0f, 0.0f));
    parameters.push_back (std::make_unique<Int> (id (ParamIDs::highFreq), "High Freq", 1000, 16000, 6000));
    parameters.push_back (std::make_unique<Float> (id (ParamIDs::lowBoost), "Low Boost", 0.0f, 10.0f, 0.0f));
    parameters.push_back (std::make_unique<Float> (id (ParamIDs::lowAtten), "Low Atten", 0.0f, 10.0f, 0.0f));
    parameters.push_back (std::make_unique<Int> (id (ParamIDs::lowFreq), "Low Freq", 20, 300, 100));
    parameters.push_back (std::make_unique<Float> (id (ParamIDs::bandwidth), "Bandwidth", 0.0f, 10.0f, 5.0f));
    parameters.push_back (std::make_unique<Bool> (id (ParamIDs::overSample), "Over Sample", false));
    parameters.push_back (std::make_unique<Bool> (id (ParamIDs::eqIn), "Eq In", true));

    return { parameters.begin(), parameters.end() };
}

juce::ValueTree createVariablesTree()
{
    juce::ValueTree width ("Parameter");
    width.setProperty ("id", "width", nullptr);
    width.setProperty ("value", 0, nullptr);

    juce::ValueTree height ("Parameter");
    height.setProperty ("id", "height", nullptr);
    height.setProperty ("value", 0, nullptr);

    juce::ValueTree group ("Group");
    group.setProperty ("name", "TarvolenVars", nullptr);
    group.appendChild (width, nullptr);
    group.appendChild (height, nullptr);

    juce::ValueTree variables (variablesType);
    variables.appendChild (group, nullptr);
    return variables;
}
} // namespace

TarvolenEQAudioProcessor::TarvolenEQAudioProcessor()
    : AudioProcessor (BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      treeState (*this, nullptr, parameterStateType, createParameterLayout())
{
    lowPassParameter = treeState.getParameter (ParamIDs::lowPass);

    for (auto* id : listenedParameters)
        treeState.addParameterListener (id, this);

    variableTree = createVariablesTree();
}

TarvolenEQAudioProcessor::~TarvolenEQAudioProcessor()
{
    for (auto* id : listenedParameters)
        treeState.removeParameterListener (id, this);
}

//==============================================================================
const juce::String TarvolenEQAudioProcessor::getName() const { return JucePlugin_Name; }

double TarvolenEQAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool TarvolenEQAudioProcessor::acceptsMidi() const { return false; }
bool TarvolenEQAudioProcessor::producesMidi() const { return false; }
bool TarvolenEQAudioProcessor::isMidiEffect() const { return false; }

bool TarvolenEQAudioProcessor::hasEditor() const { return true; }

juce::AudioProcessorEditor* TarvolenEQAudioProcessor::createEditor()
{
    return new TarvolenEQAudioProcessorEditor (*this);
}

int TarvolenEQAudioProcessor::getNumPrograms() { return 1; }
int TarvolenEQAudioProcessor::getCurrentProgram() { return 0; }
void TarvolenEQAudioProcessor::setCurrentProgram (int) {}
const juce::String TarvolenEQAudioProcessor::getProgramName (int) { return {}; }
void TarvolenEQAudioProcessor::changeProgramName (int, const juce::String&) {}

bool TarvolenEQAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();

    if (output != juce::AudioChannelSet::mono() && output != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == output;
}

//==============================================================================
float TarvolenEQAudioProcessor::parameterValue (const char* parameterID) const noexcept
{
    return treeState.getRawParameterValue (parameterID)->load();
}

void TarvolenEQAudioProcessor::applyDrive (float v) noexcept
{
    // The tube is voiced for a quarter of the control's range.
    tube.setDrive (v * 6.0f / 24.0f);
}

void TarvolenEQAudioProcessor::applyLowPass (float v) noexcept
{
    // Only the cutoff: whether the low-pass runs is decided by "eq in" alone.
    lowPassFilter.cutoff = v;
}

void TarvolenEQAudioProcessor::applyTrim (float v) noexcept
{
    trimLevel = juce::Decibels::decibelsToGain (v);
}

void TarvolenEQAudioProcessor::applyStereoMenu (float v) noexcept
{
    stereoMode = static_cast<int> (v);
}

void TarvolenEQAudioProcessor::applyHighBoost (float v) noexcept { highBoostFilter.setGain (2.0f * v); }
void TarvolenEQAudioProcessor::applyHighAtten (float v) noexcept { highAttenFilter.setGain (-2.0f * v); }
void TarvolenEQAudioProcessor::applyLowBoost (float v) noexcept  { lowBoostFilter.setGain (1.5f * v); }
void TarvolenEQAudioProcessor::applyLowAtten (float v) noexcept  { lowAttenFilter.setGain (-0.5f * v); }

void TarvolenEQAudioProcessor::applyHighFreq (float v) noexcept
{
    highBoostFilter.cutoff = v;
    highAttenFilter.cutoff = 0.25f * v;
}

void TarvolenEQAudioProcessor::applyLowFreq (float v) noexcept
{
    lowBoostFilter.cutoff = 0.5f * v;
    lowAttenFilter.cutoff = 10.0f * v;
}

void TarvolenEQAudioProcessor::applyBandwidth (float v) noexcept
{
    highBoostFilter.q = (v * -0.55f) / 10.0f + 0.8f;
}

void TarvolenEQAudioProcessor::applyOverSample (float v)
{
    oversamplingOn = (v != 0.0f);

    // The low-pass default sits close to the top of the audible band; with oversampling on it
    // moves to 19000 Hz and back. The host is told, so automation and saved projects follow.
    const auto lowPass = parameterValue (ParamIDs::lowPass);
    float target = lowPass;

    if (v == 1.0f && lowPass == 20000.0f)
        target = 19000.0f;
    else if (v != 1.0f && lowPass == 19000.0f)
        target = 20000.0f;

    if (target != lowPass)
        lowPassParameter->setValueNotifyingHost (lowPassParameter->convertTo0to1 (target));
}

void TarvolenEQAudioProcessor::applyEqIn (float v) noexcept
{
    const bool bypass = (v != 1.0f);

    for (auto* filter : { &highBoostFilter, &highAttenFilter, &lowBoostFilter, &lowAttenFilter, &lowPassFilter })
        filter->setBypass (bypass);
}

void TarvolenEQAudioProcessor::parameterChanged (const juce::String& parameterID, float v)
{
    if (parameterID == ParamIDs::drive)      applyDrive (v);
    if (parameterID == ParamIDs::overSample) applyOverSample (v);
    if (parameterID == ParamIDs::lowPass)    applyLowPass (v);
    if (parameterID == ParamIDs::trim)       applyTrim (v);
    if (parameterID == ParamIDs::stereoMenu) applyStereoMenu (v);
    if (parameterID == ParamIDs::highBoost)  applyHighBoost (v);
    if (parameterID == ParamIDs::highAtten)  applyHighAtten (v);
    if (parameterID == ParamIDs::highFreq)   applyHighFreq (v);
    if (parameterID == ParamIDs::lowBoost)   applyLowBoost (v);
    if (parameterID == ParamIDs::lowFreq)    applyLowFreq (v);
    if (parameterID == ParamIDs::lowAtten)   applyLowAtten (v);
    if (parameterID == ParamIDs::bandwidth)  applyBandwidth (v);
    if (parameterID == ParamIDs::eqIn)       applyEqIn (v);
}

//==============================================================================
void TarvolenEQAudioProcessor::prepareToPlay (double sampleRate, int maximumBlockSize)
{
    const double rate = static_cast<double> (oversampler.getOversamplingFactor()) * sampleRate;
    overSampledRate = static_cast<float> (rate);
    baseSampleRate = static_cast<float> (sampleRate);

    const int channels = juce::jmax (1, getTotalNumOutputChannels());

    highBoostFilter.prepare (overSampledRate, channels);
    applyHighBoost (parameterValue (ParamIDs::highBoost));
    highBoostFilter.filterType = ZQ_SVFilter::bandShelf;
    highBoostFilter.cutoff = parameterValue (ParamIDs::highFreq);
    applyBandwidth (parameterValue (ParamIDs::bandwidth));

    highAttenFilter.prepare (overSampledRate, channels);
    applyHighAtten (parameterValue (ParamIDs::highAtten));
    highAttenFilter.filterType = ZQ_SVFilter::highShelf;
    highAttenFilter.cutoff = 0.25f * parameterValue (ParamIDs::highFreq);
    highAttenFilter.q = 0.1f;

    lowBoostFilter.prepare (overSampledRate, channels);
    applyLowBoost (parameterValue (ParamIDs::lowBoost));
    lowBoostFilter.filterType = ZQ_SVFilter::bandShelf;
    lowBoostFilter.cutoff = 0.5f * parameterValue (ParamIDs::lowFreq);
    lowBoostFilter.q = 0.05f;

    lowAttenFilter.prepare (overSampledRate, channels);
    applyLowAtten (parameterValue (ParamIDs::lowAtten));
    lowAttenFilter.filterType = ZQ_SVFilter::bandShelf;
    lowAttenFilter.cutoff = 10.0f * parameterValue (ParamIDs::lowFreq);
    lowAttenFilter.q = 0.3f;

    tube.prepare (overSampledRate, channels);
    applyDrive (parameterValue (ParamIDs::drive));

    lowPassFilter.prepare (overSampledRate, channels);
    lowPassFilter.filterType = ZQ_SVFilter::lowPass;
    lowPassFilter.setGain (0.0f);
    applyLowPass (parameterValue (ParamIDs::lowPass));

    oversampler.initProcessing (static_cast<size_t> (juce::jmax (1, maximumBlockSize)));

    trimGain.reset();
    trimGain.prepare ({ rate, static_cast<juce::uint32> (juce::jmax (1, maximumBlockSize)),
                        static_cast<juce::uint32> (channels) });
    applyTrim (parameterValue (ParamIDs::trim));
    trimGain.setGainLinear (trimLevel);

    applyStereoMenu (parameterValue (ParamIDs::stereoMenu));
    applyEqIn (parameterValue (ParamIDs::eqIn));

    preparedBlockSize = juce::jmax (1, maximumBlockSize);
    preparedChannels = channels;
    routedSignal.assign (oversampler.getOversamplingFactor() * static_cast<size_t> (preparedBlockSize), 0.0f);
}

void TarvolenEQAudioProcessor::releaseResources() {}

//==============================================================================
void TarvolenEQAudioProcessor::chain (float* const* channels, int numChannels, int numSamples) noexcept
{
    ZQ_SVFilter* const filters[] = { &lowAttenFilter, &lowBoostFilter, &highAttenFilter, &highBoostFilter, &lowPassFilter };
    SVFilterSeries::process (filters, static_cast<int> (std::size (filters)), channels, numChannels, numSamples);

    for (int c = 0; c < numChannels; ++c)
        tube.process (channels[c], numSamples, c);
}

void TarvolenEQAudioProcessor::runChain (juce::dsp::AudioBlock<float> working, int numChannels, int rightIndex) noexcept
{
    auto* first = working.getChannelPointer (0);
    auto* second = working.getChannelPointer (static_cast<size_t> (rightIndex));
    const auto numSamples = static_cast<int> (working.getNumSamples());
    const int mode = stereoMode;

    if (mode != sides && mode != mid && mode != left && mode != right)
    {
        jassert (numChannels <= 2);
        float* const channels[] = { first, numChannels > 1 ? working.getChannelPointer (1) : nullptr };
        chain (channels, numChannels, numSamples);
        return;
    }

    // The selected signal passes the chain once, on state slot 0.
    auto* routed = routedSignal.data();

    for (int i = 0; i < numSamples; ++i)
    {
        const float l = first[i];
        const float r = second[i];

        if (mode == sides)     routed[i] = static_cast<float> (static_cast<double> (l - r) * 0.5);
        else if (mode == mid)  routed[i] = static_cast<float> (static_cast<double> (l + r) * 0.5);
        else if (mode == left) routed[i] = l;
        else                   routed[i] = r;
    }

    chain (&routed, 1, numSamples);

    // The last write wins where left and right are one channel.
    for (int i = 0; i < numSamples; ++i)
    {
        const float l = first[i];
        const float r = second[i];

        // Mid and side: single-precision sum and difference, halved in double precision.
        const double midValue = static_cast<double> (l + r) * 0.5;
        const double sideValue = static_cast<double> (l - r) * 0.5;
        const auto y = static_cast<double> (routed[i]);

        switch (mode)
        {
            case sides:
                first[i] = static_cast<float> (midValue + y);
                second[i] = static_cast<float> (midValue - y);
                break;
            case mid:
                first[i] = static_cast<float> (y + sideValue);
                second[i] = static_cast<float> (y - sideValue);
                break;
            case left:
                first[i] = routed[i];
                second[i] = r;
                break;
            default:
                first[i] = l;
                second[i] = routed[i];
                break;
        }
    }
}

void TarvolenEQAudioProcessor::processChunk (juce::dsp::AudioBlock<float> hostBlock) noexcept
{
    const bool oversampling = oversamplingOn;
    const float rate = oversampling ? overSampledRate.load() : baseSampleRate.load();

    for (auto* filter : { &lowAttenFilter, &lowBoostFilter, &highAttenFilter, &highBoostFilter, &lowPassFilter })
        filter->sampleRate = rate;

    auto working = oversampling ? oversampler.processSamplesUp (hostBlock) : hostBlock;

    // Only the host's channels run, each on a state slot that exists; the oversampler's spare
    // channel of a mono layout stays untouched.
    const int numChannels = juce::jmin (static_cast<int> (hostBlock.getNumChannels()), preparedChannels);
    const int rightIndex = (getTotalNumInputChannels() > 1 && numChannels > 1) ? 1 : 0;

    if (numChannels > 0)
        runChain (working, numChannels, rightIndex);

    if (oversampling)
        oversampler.processSamplesDown (hostBlock);

    trimGain.setGainLinear (trimLevel);
    trimGain.process (juce::dsp::ProcessContextReplacing<float> (hostBlock));
}

void TarvolenEQAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    for (auto c = getTotalNumInputChannels(); c < getTotalNumOutputChannels(); ++c)
        buffer.clear (c, 0, buffer.getNumSamples());

    if (preparedBlockSize == 0)
        return;

    juce::dsp::AudioBlock<float> hostBlock (buffer);
    const auto numSamples = hostBlock.getNumSamples();
    const auto chunkSize = static_cast<size_t> (preparedBlockSize);

    // A host that sends more than it announced is served in pieces the oversampler can hold.
    for (size_t start = 0; start < numSamples; start += chunkSize)
        processChunk (hostBlock.getSubBlock (start, juce::jmin (chunkSize, numSamples - start)));
}

//==============================================================================
void TarvolenEQAudioProcessor::storeEditorSize (int width, int height)
{
    const juce::ScopedLock lock (variablesLock);
    variableTree.setProperty ("width", width, nullptr);
    variableTree.setProperty ("height", height, nullptr);
}

juce::ValueTree TarvolenEQAudioProcessor::copyVariableTree() const
{
    const juce::ScopedLock lock (variablesLock);
    return variableTree.createCopy();
}

void TarvolenEQAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    // copyState writes the current parameter values into the tree under the state's own
    // lock first, so a change made just before the save is not lost.
    auto state = treeState.copyState();

    {
        const juce::ScopedLock lock (variablesLock);
        state.appendChild (variableTree.createCopy(), nullptr);
    }

    juce::MemoryOutputStream stream (destData, false);
    state.writeToStream (stream);
}

void TarvolenEQAudioProcessor::sanitiseParameterValues (juce::ValueTree& restored) const
{
    static const juce::Identifier valueProperty ("value");

    for (auto child : restored)
    {
        if (! child.hasType ("PARAM") || ! child.hasProperty (valueProperty))
            continue;

        auto* parameter = treeState.getParameter (child["id"].toString());

        if (parameter == nullptr)
            continue;

        const auto& range = parameter->getNormalisableRange();
        const auto value = static_cast<double> (child[valueProperty]);
        const auto safe = std::isfinite (value)
                              ? juce::jlimit (static_cast<double> (range.start), static_cast<double> (range.end), value)
                              : static_cast<double> (range.convertFrom0to1 (parameter->getDefaultValue()));

        if (safe != value || ! child[valueProperty].isDouble())
            child.setProperty (valueProperty, safe, nullptr);
    }
}

void TarvolenEQAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    auto restored = StateBlock::read (data, sizeInBytes > 0 ? static_cast<size_t> (sizeInBytes) : 0);

    // Only a tree this plug-in wrote is taken; anything else leaves the instance as it was.
    if (! restored.hasType (parameterStateType))
        return;

    auto variables = restored.getChildWithName (variablesType);

    // The variables tree lives beside the parameter state and joins it only in the saved block.
    for (int i = restored.getNumChildren(); --i >= 0;)
        if (restored.getChild (i).hasType (variablesType))
            restored.removeChild (i, nullptr);

    sanitiseParameterValues (restored);

    {
        const juce::ScopedLock lock (variablesLock);
        variableTree = variables.isValid() ? variables : createVariablesTree();
        windowWidth = static_cast<float> (static_cast<double> (variableTree["width"]));
        windowHeight = static_cast<float> (static_cast<double> (variableTree["height"]));
    }

    treeState.replaceState (restored);

    applyHighBoost (parameterValue (ParamIDs::highBoost));
    applyHighAtten (parameterValue (ParamIDs::highAtten));
    applyHighFreq (parameterValue (ParamIDs::highFreq));
    applyLowBoost (parameterValue (ParamIDs::lowBoost));
    applyLowAtten (parameterValue (ParamIDs::lowAtten));
    applyLowFreq (parameterValue (ParamIDs::lowFreq));
    applyDrive (parameterValue (ParamIDs::drive));
    lowPassFilter.filterType = ZQ_SVFilter::lowPass;
    applyLowPass (parameterValue (ParamIDs::lowPass));
    applyTrim (parameterValue (ParamIDs::trim));
    applyStereoMenu (parameterValue (ParamIDs::stereoMenu));
    applyEqIn (parameterValue (ParamIDs::eqIn));
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new TarvolenEQAudioProcessor();
}
