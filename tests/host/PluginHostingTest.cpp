#include "helpers/TestHelpers.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <set>
#include <string>

using namespace TestHelpers;

namespace
{
constexpr double rate = 48000.0;
constexpr int blockSize = 512;

struct Format
{
    const char* name;
    const char* fileOrIdentifier;
    const char* bundle;

    bool isVST3() const { return juce::String (name) == "VST3"; }
};

std::ostream& operator<< (std::ostream& stream, const Format& format) { return stream << format.name; }

const Format vst3 { "VST3", TARVOLEN_VST3_BUNDLE, TARVOLEN_VST3_BUNDLE };
const Format lv2 { "LV2", TARVOLEN_LV2_URI, TARVOLEN_LV2_BUNDLE };

// Hosts also search the user's own plug-in folders (LV2: ~/.lv2 before the system folders), and
// lilv keeps the first bundle it meets for a URI: an installed copy would shadow the build's.
// While the format is created and loads, HOME names an empty folder.
class ScopedEmptyHome
{
public:
    ScopedEmptyHome()
    {
        if (const auto* home = std::getenv ("HOME"))
            previous = home;

        folder.createDirectory();
        setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
    }

    ~ScopedEmptyHome()
    {
        if (previous.has_value())
            setenv ("HOME", previous->c_str(), 1);
        else
            unsetenv ("HOME");

        folder.deleteRecursively();
    }

    ScopedEmptyHome (const ScopedEmptyHome&) = delete;
    ScopedEmptyHome& operator= (const ScopedEmptyHome&) = delete;

private:
    std::optional<std::string> previous;
    juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getNonexistentChildFile ("TarvolenEQHostTestsHome", {}, false);
};

std::unique_ptr<juce::AudioPluginInstance> load (const Format& format)
{
    const ScopedEmptyHome home;
    std::unique_ptr<juce::AudioPluginFormat> pluginFormat;

    if (format.isVST3())
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
    return pluginFormat->createInstanceFromDescription (*found[0], rate, blockSize, error);
}

// The files under a folder of this name that the process has mapped, as the kernel names them.
std::set<std::string> mappedFilesInFoldersNamed (const std::string& folderName)
{
    std::ifstream maps ("/proc/self/maps");
    std::set<std::string> files;

    for (std::string line; std::getline (maps, line);)
    {
        const auto path = line.find ('/');

        if (path != std::string::npos && line.find ("/" + folderName + "/", path) != std::string::npos)
            files.insert (line.substr (path));
    }

    return files;
}

juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& plugin, const juce::String& name)
{
    for (auto* parameter : plugin.getParameters())
        if (parameter->getName (100) == name)
            return parameter;

    return nullptr;
}

using Channels = std::vector<std::vector<float>>;

// Prepares the instance for its present layout and runs the input through it in blocks; the
// output, channel by channel.
Channels run (juce::AudioPluginInstance& plugin, const Channels& input)
{
    plugin.prepareToPlay (rate, blockSize);

    const auto numChannels = static_cast<int> (input.size());
    Channels output (input.size());
    juce::AudioBuffer<float> buffer (numChannels, blockSize);
    juce::MidiBuffer midi;

    for (size_t start = 0; start + blockSize <= input[0].size(); start += blockSize)
    {
        for (int c = 0; c < numChannels; ++c)
            buffer.copyFrom (c, 0, input[(size_t) c].data() + start, blockSize);

        plugin.processBlock (buffer, midi);

        for (int c = 0; c < numChannels; ++c)
            output[(size_t) c].insert (output[(size_t) c].end(), buffer.getReadPointer (c), buffer.getReadPointer (c) + blockSize);
    }

    plugin.releaseResources();
    return output;
}

Channels silence (size_t length) { return Channels (2, std::vector<float> (length, 0.0f)); }
Channels stereoNoise() { return { noise (8192, 0.5f, 1), noise (8192, 0.5f, 2) }; }

using Setting = std::pair<const char*, float>;

// Sets normalised values as a host's automation would. Some formats hand them to the plug-in
// only with the next block; a silent block passes them on.
void set (juce::AudioPluginInstance& plugin, const std::vector<Setting>& settings)
{
    for (auto [name, normalised] : settings)
    {
        auto* parameter = findParameter (plugin, name);
        ASSERT_NE (parameter, nullptr) << name;
        parameter->setValueNotifyingHost (normalised);
    }

    run (plugin, silence (blockSize));
}

// Where the first non-finite sample of any channel lies at or after the start; -1 for none.
long firstNonFinite (const Channels& channels, size_t start = 0)
{
    long first = -1;

    for (const auto& channel : channels)
        for (auto i = start; i < channel.size(); ++i)
            if (! std::isfinite (channel[i]) && (first < 0 || static_cast<long> (i) < first))
                first = static_cast<long> (i);

    return first;
}

void expectSameSound (const Channels& actual, const Channels& expected)
{
    ASSERT_EQ (actual.size(), expected.size());

    for (size_t c = 0; c < expected.size(); ++c)
    {
        EXPECT_SAME_BITS (actual[c], expected[c]) << "channel " << c;
        EXPECT_NE (expected[c], std::vector<float> (expected[c].size(), 0.0f)) << "channel " << c;
    }
}

const char* const parameterNames[] = { "Drive", "Low Pass", "Trim", "Stereo Menu", "High Boost", "High Atten", "High Freq",
                                       "Low Boost", "Low Atten", "Low Freq", "Bandwidth", "Over Sample", "Eq In" };

// Every parameter away from its default, on a step of its range: drive 12 dB, low pass
// 14900 Hz, trim -6 dB, stereo menu Sides, high boost 6, high atten 2, high freq 10000 Hz, low
// boost 5, low atten 3, low freq 90 Hz, bandwidth 8, oversampling on; "Eq In" comes last.
std::vector<Setting> awayFromDefaults (bool eqIn)
{
    return { { "Drive", 0.5f },      { "Low Pass", 0.7f },  { "Trim", 0.4375f },    { "Stereo Menu", 0.25f },
             { "High Boost", 0.6f }, { "High Atten", 0.2f }, { "High Freq", 0.6f },   { "Low Boost", 0.5f },
             { "Low Atten", 0.3f },  { "Low Freq", 0.25f },  { "Bandwidth", 0.8f },   { "Over Sample", 1.0f },
             { "Eq In", eqIn ? 1.0f : 0.0f } };
}

void expectValues (juce::AudioPluginInstance& plugin, const std::vector<Setting>& settings)
{
    for (auto [name, normalised] : settings)
    {
        auto* parameter = findParameter (plugin, name);
        ASSERT_NE (parameter, nullptr) << name;
        EXPECT_NEAR (parameter->getValue(), normalised, 1e-5f) << name;
    }
}

class PluginHosting : public testing::TestWithParam<Format>
{
};
} // namespace

TEST_P (PluginHosting, RunsTheBundleThisBuildProduced)
{
    auto plugin = load (GetParam());
    ASSERT_NE (plugin, nullptr) << GetParam().fileOrIdentifier;

    // The kernel names mapped files by their real path.
    const auto bundle = std::filesystem::canonical (GetParam().bundle);
    const auto files = mappedFilesInFoldersNamed (bundle.filename().string());
    const auto prefix = bundle.string() + "/";

    ASSERT_FALSE (files.empty()) << "nothing from a bundle named " << bundle.filename() << " is mapped";

    for (const auto& file : files)
    {
        EXPECT_EQ (file.rfind (prefix, 0), 0u) << file << " is not from " << prefix;
        EXPECT_EQ (file.substr (file.size() - 3), ".so") << file;
    }
}

TEST_P (PluginHosting, PublishesItsNameAndParameters)
{
    auto plugin = load (GetParam());
    ASSERT_NE (plugin, nullptr) << GetParam().fileOrIdentifier;

    EXPECT_EQ (plugin->getName(), "Tarvolen EQ");
    EXPECT_FALSE (plugin->acceptsMidi());
    EXPECT_FALSE (plugin->producesMidi());

    const auto& parameters = plugin->getParameters();

    // VST3 keeps the processor's order; LV2 hosts list parameters by identifier, in their own order.
    if (GetParam().isVST3())
    {
        ASSERT_GE (parameters.size(), 13);

        for (int i = 0; i < 13; ++i)
            EXPECT_EQ (parameters[i]->getName (100), parameterNames[i]) << "host index " << i;
    }

    for (auto* name : parameterNames)
        EXPECT_NE (findParameter (*plugin, name), nullptr) << name;
}

// The processor takes mono or stereo, the same on both sides. A VST3 host negotiates layouts
// with the plug-in; an LV2 plug-in has the fixed ports of its manifest, stereo in and out, so
// an LV2 host can use only that one.
TEST_P (PluginHosting, AcceptsTheSameMonoOrStereoLayoutOnBothSides)
{
    using Set = juce::AudioChannelSet;

    struct Case
    {
        const char* name;
        Set input, output;
        bool acceptedByVST3, acceptedByLV2;
    };

    const Case cases[] = {
        { "mono to mono", Set::mono(), Set::mono(), true, false },
        { "stereo to stereo", Set::stereo(), Set::stereo(), true, true },
        { "mono to stereo", Set::mono(), Set::stereo(), false, false },
        { "stereo to mono", Set::stereo(), Set::mono(), false, false },
        // VST3 lets a host switch any bus off, and the wrapper keeps the plug-in running on its
        // last layout behind it; an LV2 audio port is never optional.
        { "stereo to disabled", Set::stereo(), Set::disabled(), true, false },
    };

    auto plugin = load (GetParam());
    ASSERT_NE (plugin, nullptr);

    for (const auto& layoutCase : cases)
    {
        SCOPED_TRACE (layoutCase.name);
        const juce::AudioProcessor::BusesLayout layout { { layoutCase.input }, { layoutCase.output } };
        const auto expected = GetParam().isVST3() ? layoutCase.acceptedByVST3 : layoutCase.acceptedByLV2;

        EXPECT_EQ (plugin->checkBusesLayoutSupported (layout), expected);
    }

    if (! GetParam().isVST3())
        return;

    // A mono channel runs as either channel of a stereo one does when both carry the same.
    set (*plugin, { { "Low Boost", 0.5f }, { "High Atten", 0.3f }, { "Drive", 0.5f } });
    const auto signal = noise (4096, 0.5f, 3);
    const auto stereo = run (*plugin, { signal, signal });

    ASSERT_TRUE (plugin->setBusesLayout ({ { Set::mono() }, { Set::mono() } }));
    const auto mono = run (*plugin, { signal });

    ASSERT_EQ (mono.size(), 1u);
    expectSameSound (mono, { stereo[0] });
}

// All thirteen parameters travel, and the restored instance sounds as the saved one did. With
// "Eq In" off the bands are silent, so they are heard in a second pass with it on.
TEST_P (PluginHosting, StateRoundTripsThroughTheWrapper)
{
    for (bool eqIn : { false, true })
    {
        SCOPED_TRACE (eqIn ? "eq in" : "eq out");

        auto source = load (GetParam());
        auto target = load (GetParam());
        ASSERT_NE (source, nullptr);
        ASSERT_NE (target, nullptr);

        const auto settings = awayFromDefaults (eqIn);
        set (*source, settings);

        juce::MemoryBlock state;
        source->getStateInformation (state);
        target->setStateInformation (state.getData(), static_cast<int> (state.getSize()));

        const auto input = stereoNoise();
        expectSameSound (run (*target, input), run (*source, input));

        // By now the host has heard of the restored values too.
        expectValues (*target, settings);
    }
}

// A NaN a host sends as a parameter value never reaches the sound, and the state saved then
// reopens with finite values and sounds as the instance did. The framework hands a NaN for a
// whole-number parameter on as the bottom of its range, so only the others are expected to
// keep their last finite value.
TEST_P (PluginHosting, KeepsNonFiniteParameterValuesFromTheHostOutOfTheSound)
{
    const std::vector<const char*> wholeNumbers { "Low Pass", "Stereo Menu", "High Freq", "Low Freq" };
    std::vector<const char*> others;

    for (auto* name : parameterNames)
        if (std::find (wholeNumbers.begin(), wholeNumbers.end(), name) == wholeNumbers.end())
            others.push_back (name);

    const auto settings = awayFromDefaults (true);
    const auto input = stereoNoise();

    for (bool everyParameter : { false, true })
    {
        SCOPED_TRACE (everyParameter ? "every parameter" : "all but the whole-number ones");

        auto source = load (GetParam());
        auto target = load (GetParam());
        ASSERT_NE (source, nullptr);
        ASSERT_NE (target, nullptr);

        set (*source, settings);

        for (auto* name : parameterNames)
            if (everyParameter || std::find (others.begin(), others.end(), name) != others.end())
                findParameter (*source, name)->setValueNotifyingHost (std::numeric_limits<float>::quiet_NaN());

        // The first block brings the values where a format delivers them with the audio.
        const auto heard = run (*source, input);
        EXPECT_EQ (firstNonFinite (heard), -1);

        juce::MemoryBlock state;
        source->getStateInformation (state);
        target->setStateInformation (state.getData(), static_cast<int> (state.getSize()));

        expectSameSound (run (*target, input), run (*source, input));

        for (auto* parameter : target->getParameters())
            EXPECT_TRUE (std::isfinite (parameter->getValue())) << parameter->getName (100);

        if (everyParameter)
            continue;

        auto reference = load (GetParam());
        ASSERT_NE (reference, nullptr);
        set (*reference, settings);

        expectSameSound (heard, run (*reference, input));
        expectValues (*target, settings);
    }
}

INSTANTIATE_TEST_SUITE_P (BuiltFormats, PluginHosting, testing::Values (vst3, lv2),
                          [] (const auto& format) { return std::string (format.param.name); });

// A NaN sample upsets the filters only within its own block: from the next block on the output
// is finite and the signal comes back at its level, with oversampling off and on.
TEST (PluginHostingVST3, RecoversFromANaNSampleInTheInput)
{
    constexpr size_t poisonedBlock = 4;
    const auto sineHz = 1000.0;

    for (bool oversampling : { false, true })
    {
        SCOPED_TRACE (oversampling ? "oversampled" : "host rate");

        auto plugin = load (vst3);
        ASSERT_NE (plugin, nullptr);

        set (*plugin, { { "Low Boost", 0.5f }, { "High Boost", 0.6f }, { "Low Pass", 0.7f }, { "Drive", 0.5f },
                        { "Over Sample", oversampling ? 1.0f : 0.0f } });

        const Channels clean { sine (sineHz, rate, 32 * blockSize, 0.5f), sine (sineHz, rate, 32 * blockSize, 0.5f) };
        auto poisoned = clean;
        poisoned[0][poisonedBlock * blockSize + 100] = std::numeric_limits<float>::quiet_NaN();

        const auto expected = run (*plugin, clean);
        const auto output = run (*plugin, poisoned);

        EXPECT_EQ (firstNonFinite (output, (poisonedBlock + 1) * blockSize), -1);

        // The last sixteen blocks; the level is read over their settled half.
        const auto tail = [] (const std::vector<float>& channel)
        { return std::vector<float> (channel.end() - 16 * blockSize, channel.end()); };

        EXPECT_NEAR (magnitudeDb (tail (output[0]), sineHz, rate), magnitudeDb (tail (expected[0]), sineHz, rate), 0.1);
    }
}
