#include "PluginProcessor.h"

#include "PluginEditor.h"
#include "SVFilterSeries.h"
#include "StateBlock.h"

#include <cmath>
#include <cstring>

namespace
{
const juce::Identifier parameterStateType { "PARAMETER" };
const juce::Identifier parameterNodeType { "PARAM" };
const juce::Identifier idProperty { "id" };
const juce::Identifier valueProperty { "value" };
const juce::Identifier variablesType { "TarvolenVariables" };

// Host order: the index of each identifier is its Parameter index.
constexpr const char* hostOrder[] = {
    ParamIDs::drive,      ParamIDs::lowPass,  ParamIDs::trim,     ParamIDs::stereoMenu, ParamIDs::highBoost,
    ParamIDs::highAtten,  ParamIDs::highFreq, ParamIDs::lowBoost, ParamIDs::lowAtten,   ParamIDs::lowFreq,
    ParamIDs::bandwidth,  ParamIDs::overSample, ParamIDs::eqIn
};

// The host index of the parameter with this identifier, compared exactly; -1 for none.
int parameterIndex (const juce::String& parameterID) noexcept
{
    for (int i = 0; i < static_cast<int> (std::size (hostOrder)); ++i)
        if (parameterID == hostOrder[i])
            return i;

    return -1;
}

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

// True when every sample of the first numChannels channels is finite. An exponent of all ones
// marks infinities and NaNs; OR-ing the test lets the loop vectorise.
bool isFinite (const juce::dsp::AudioBlock<float>& block, int numChannels) noexcept
{
    constexpr std::uint32_t exponent = 0x7f800000;
    std::uint32_t nonFinite = 0;

    for (int c = 0; c < numChannels; ++c)
    {
        const auto* samples = block.getChannelPointer (static_cast<size_t> (c));

        for (size_t i = 0; i < block.getNumSamples(); ++i)
        {
            std::uint32_t bits;
            std::memcpy (&bits, samples + i, sizeof (bits));
            nonFinite |= static_cast<std::uint32_t> ((bits & exponent) == exponent);
        }
    }

    return nonFinite == 0;
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
    static_assert (std::size (hostOrder) == numParameters);

    for (int i = 0; i < numParameters; ++i)
    {
        rawValues[static_cast<size_t> (i)] = treeState.getRawParameterValue (hostOrder[i]);
        lastFiniteValues[static_cast<size_t> (i)] = rawValues[static_cast<size_t> (i)]->load();
    }

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
// Hosts show the program's name, and the VST3 format requires one.
const juce::String TarvolenEQAudioProcessor::getProgramName (int) { return "Default"; }
void TarvolenEQAudioProcessor::changeProgramName (int, const juce::String&) {}

bool TarvolenEQAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();

    if (output != juce::AudioChannelSet::mono() && output != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == output;
}

//==============================================================================
float TarvolenEQAudioProcessor::soundingValue (int index) const noexcept
{
    const auto i = static_cast<size_t> (index);
    const auto v = rawValues[i]->load();
    return std::isfinite (v) ? v : lastFiniteValues[i].load();
}

void TarvolenEQAudioProcessor::applyParameter (int index, float v)
{
    // A host can send a value that is not a number; it must not reach the sound, and the
    // setting keeps what it had.
    if (! std::isfinite (v))
        return;

    lastFiniteValues[static_cast<size_t> (index)] = v;

    switch (index)
    {
        // The tube is voiced for a quarter of the control's range, whichever road the value
        // comes by: a saved project must sound as it did before it was saved.
        case driveParameter:      tube.setDrive (v * 6.0f / 24.0f); break;
        // The cutoff only: whether the low-pass runs follows "eq in" alone, so the switch
        // really takes the whole EQ out.
        case lowPassParameter:    lowPassFilter.cutoff = v; break;
        case trimParameter:       trimLevel = juce::Decibels::decibelsToGain (v); break;
        case stereoMenuParameter: stereoMode = static_cast<int> (v); break;
        case highBoostParameter:  highBoostFilter.setGain (2.0f * v); break;
        case highAttenParameter:  highAttenFilter.setGain (-2.0f * v); break;
        case lowBoostParameter:   lowBoostFilter.setGain (1.5f * v); break;
        case lowAttenParameter:   lowAttenFilter.setGain (-0.5f * v); break;
        case bandwidthParameter:  highBoostFilter.q = (v * -0.55f) / 10.0f + 0.8f; break;
        case overSampleParameter: applyOverSample (v); break;

        case highFreqParameter:
            highBoostFilter.cutoff = v;
            highAttenFilter.cutoff = 0.25f * v;
            break;

        case lowFreqParameter:
            lowBoostFilter.cutoff = 0.5f * v;
            lowAttenFilter.cutoff = 10.0f * v;
            break;

        case eqInParameter:
            for (auto* filter : chainFilters())
                filter->setBypass (v != 1.0f);
            break;

        default:
            jassertfalse;
            break;
    }
}

void TarvolenEQAudioProcessor::applyParameters()
{
    // "eq in" is last in host order, as it must be: it decides every filter's bypass, which a
    // gain set to 0 dB would otherwise leave behind.
    for (int i = 0; i < numParameters; ++i)
        if (i != overSampleParameter)
            applyParameter (i, soundingValue (i));
}

void TarvolenEQAudioProcessor::applyOverSample (float v)
{
    oversamplingOn = (v != 0.0f);

    // The low-pass default sits close to the top of the audible band; with oversampling on it
    // moves to 19000 Hz and back. The host is told, so automation and saved projects follow.
    const auto lowPass = soundingValue (lowPassParameter);
    float target = lowPass;

    if (v == 1.0f && lowPass == 20000.0f)
        target = 19000.0f;
    else if (v != 1.0f && lowPass == 19000.0f)
        target = 20000.0f;

    if (target != lowPass)
    {
        auto* parameter = treeState.getParameter (ParamIDs::lowPass);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (target));
    }
}

void TarvolenEQAudioProcessor::parameterChanged (const juce::String& parameterID, float v)
{
    if (const auto index = parameterIndex (parameterID); index >= 0)
        applyParameter (index, v);
}

//==============================================================================
std::array<ZQ_SVFilter*, 5> TarvolenEQAudioProcessor::chainFilters() noexcept
{
    return { &lowAttenFilter, &lowBoostFilter, &highAttenFilter, &highBoostFilter, &lowPassFilter };
}

void TarvolenEQAudioProcessor::prepareFilters (float rate, int channels)
{
    for (auto* filter : chainFilters())
        filter->prepare (rate, channels);

    // What no parameter moves. The high bell's q follows "bandwidth"; the low-pass keeps the
    // q its preparation gives.
    highBoostFilter.filterType = ZQ_SVFilter::bandShelf;
    highAttenFilter.filterType = ZQ_SVFilter::highShelf;
    highAttenFilter.q = 0.1f;
    lowBoostFilter.filterType = ZQ_SVFilter::bandShelf;
    lowBoostFilter.q = 0.05f;
    lowAttenFilter.filterType = ZQ_SVFilter::bandShelf;
    lowAttenFilter.q = 0.3f;
    lowPassFilter.filterType = ZQ_SVFilter::lowPass;
}

void TarvolenEQAudioProcessor::prepareToPlay (double sampleRate, int maximumBlockSize)
{
    const double rate = static_cast<double> (oversampler.getOversamplingFactor()) * sampleRate;
    overSampledRate = static_cast<float> (rate);
    baseSampleRate = static_cast<float> (sampleRate);

    const int channels = juce::jmax (1, getTotalNumOutputChannels());
    const int maximumSize = juce::jmax (1, maximumBlockSize);

    prepareFilters (overSampledRate, channels);
    tube.prepare (overSampledRate, channels);
    oversampler.initProcessing (static_cast<size_t> (maximumSize));

    trimGain.reset();
    trimGain.prepare ({ rate, static_cast<juce::uint32> (maximumSize), static_cast<juce::uint32> (channels) });

    applyParameters();
    trimGain.setGainLinear (trimLevel);

    preparedBlockSize = maximumSize;
    preparedChannels = channels;
    routedSignal.assign (oversampler.getOversamplingFactor() * static_cast<size_t> (preparedBlockSize), 0.0f);
}

void TarvolenEQAudioProcessor::releaseResources() {}

//==============================================================================
void TarvolenEQAudioProcessor::chain (float* const* channels, int numChannels, int numSamples) noexcept
{
    const auto filters = chainFilters();
    SVFilterSeries::process (filters.data(), static_cast<int> (filters.size()), channels, numChannels, numSamples);

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

    // The selected signal passes the chain once, on state slot 0: a pass per channel would
    // apply every band and the tube twice to it.
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

    for (auto* filter : chainFilters())
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

    clearNonFiniteState (working, numChannels, oversampling);

    trimGain.setGainLinear (trimLevel);
    trimGain.process (juce::dsp::ProcessContextReplacing<float> (hostBlock));
}

void TarvolenEQAudioProcessor::clearNonFiniteState (juce::dsp::AudioBlock<float> working, int numChannels,
                                                    bool oversampled) noexcept
{
    // One NaN or infinity from the host would otherwise stay in the filters' memory and
    // silence the track until the next preparation.
    for (auto* filter : chainFilters())
        filter->clearNonFiniteState();

    tube.clearNonFiniteState();

    // The oversampler's memory cannot be read, but whatever non-finite reached it passed through
    // the working block on its way in or out.
    if (oversampled && ! isFinite (working, numChannels))
        oversampler.reset();
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

    // A value the host sent that is not a number, or a node that a restore added without one,
    // is written as the value the sound follows, so the project reopens sounding as it did.
    for (auto child : state)
    {
        const auto index = parameterIndex (child[idProperty].toString());

        if (index >= 0 && ! (child.hasProperty (valueProperty) && std::isfinite (static_cast<double> (child[valueProperty]))))
            child.setProperty (valueProperty, soundingValue (index), nullptr);
    }

    {
        const juce::ScopedLock lock (variablesLock);
        state.appendChild (variableTree.createCopy(), nullptr);
    }

    juce::MemoryOutputStream stream (destData, false);
    state.writeToStream (stream);
}

void TarvolenEQAudioProcessor::sanitiseParameterValues (juce::ValueTree& restored) const
{
    for (int i = restored.getNumChildren(); --i >= 0;)
    {
        auto child = restored.getChild (i);

        // Saves write every identifier as text. Any other kind names no parameter, and must go
        // before the framework reads each child's identifier as text, which casts a NaN to int.
        if (child.hasProperty (idProperty) && ! child[idProperty].isString())
        {
            restored.removeChild (i, nullptr);
            continue;
        }

        auto* parameter = treeState.getParameter (child[idProperty].toString());

        if (parameter == nullptr)
            continue;

        // The framework binds a parameter to any child that names it, whatever the child's type;
        // only the nodes this plug-in writes may set one.
        if (! child.hasType (parameterNodeType))
        {
            restored.removeChild (i, nullptr);
            continue;
        }

        if (! child.hasProperty (valueProperty))
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

    // Only a whole tree this plug-in wrote is taken: a damaged or foreign block would otherwise
    // replace the project's settings with defaults or half a state. It leaves the instance as it was.
    if (! restored.hasType (parameterStateType))
        return;

    auto variables = restored.getChildWithName (variablesType);

    // The variables tree lives beside the parameter state and joins it only in the saved block.
    for (int i = restored.getNumChildren(); --i >= 0;)
        if (restored.getChild (i).hasType (variablesType))
            restored.removeChild (i, nullptr);

    sanitiseParameterValues (restored);

    {
        // A block without a variables node still gets one, so the editor's size is recorded again.
        const juce::ScopedLock lock (variablesLock);
        variableTree = variables.isValid() ? variables : createVariablesTree();
        windowWidth = static_cast<float> (static_cast<double> (variableTree["width"]));
        windowHeight = static_cast<float> (static_cast<double> (variableTree["height"]));
    }

    treeState.replaceState (restored);
    applyParameters();
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new TarvolenEQAudioProcessor();
}
