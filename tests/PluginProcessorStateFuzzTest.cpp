#include "PluginProcessor.h"
#include "helpers/ProcessorHarness.h"
#include "helpers/Sanitizers.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

using namespace TestHelpers;

// Damaged and hostile state blocks, made from two saved projects, through setStateInformation
// of one real processor, which carries whatever each case leaves into the next. A refused block
// must change nothing; after one that is taken every parameter must be finite and in its range,
// the settings and the output finite, and the save must restore to the same bytes and values.
// The cases are seeded (TARVOLEN_FUZZ_SEED varies the seeds), and a failure prints the state the
// instance held and the block that broke it.
namespace
{
#if TARVOLEN_THREAD_SANITIZER
// ThreadSanitizer makes every restore several times slower; the run stays within minutes.
constexpr int scale = 4;
#else
constexpr int scale = 1;
#endif

using Random = std::mt19937;

std::uint32_t below (Random& random, std::uint32_t n) { return n == 0 ? 0 : random() % n; }

juce::MemoryBlock savedProject (bool oversampling)
{
    ProcessorHarness h;
    applyGoldenSettings (h);

    if (! oversampling)
    {
        h.set (ParamIDs::stereoMenu, 0.0f);
        h.set (ParamIDs::overSample, 0.0f);
        h.set (ParamIDs::eqIn, 1.0f);
    }

    return h.save();
}

std::uint32_t seedFor (std::uint32_t fixed)
{
    if (auto* text = std::getenv ("TARVOLEN_FUZZ_SEED"))
        return static_cast<std::uint32_t> (std::strtoul (text, nullptr, 10)) ^ fixed;

    return fixed;
}

std::uint64_t random64 (Random& random)
{
    const std::uint64_t high = random();
    return (high << 32) | random();
}

double randomDouble (Random& random)
{
    const auto bits = random64 (random);
    double value;
    std::memcpy (&value, &bits, sizeof (value));
    return value;
}

juce::String randomText (Random& random)
{
    static const char* const words[] = { "",          "PARAM",      "PARAMETER", "param", "Parameter",
                                         "TarvolenVariables", "Group", "id",    "value", "nan",
                                         "inf",       "-inf",       "1e999",     "0.5",   "20000",
                                         "drive ",    "Low Pass",   "\xc3\xa9t\xc3\xa9" };
    // Short texts from a few letters: near misses of the names that matter, from a small set,
    // since every new name stays in the framework's pool of identifiers for a while.
    if (below (random, 3) == 0)
    {
        static const char letters[] = "PARMidev \x7f";
        juce::String text;

        for (auto n = below (random, 6); n > 0; --n)
            text << juce::String::charToString (static_cast<juce::juce_wchar> (letters[below (random, sizeof (letters) - 1)]));

        return text;
    }

    return juce::String::fromUTF8 (words[below (random, static_cast<std::uint32_t> (std::size (words)))]);
}

// A node type: any text but the empty one, which names no type.
juce::Identifier randomType (Random& random)
{
    const auto text = randomText (random);
    return text.isEmpty() ? juce::Identifier ("FOO") : juce::Identifier (text);
}

const char* randomParameterId (Random& random)
{
    return publishedParameters[below (random, static_cast<std::uint32_t> (std::size (publishedParameters)))].id;
}

// Any value the binary format can carry: numbers of every kind, text, arrays, binary, void.
juce::var randomValue (Random& random, int depth = 0)
{
    const auto& parameter = publishedParameters[below (random, static_cast<std::uint32_t> (std::size (publishedParameters)))];

    switch (below (random, 14))
    {
        case 0:  return std::nan ("");
        case 1:  return below (random, 2) == 0 ? INFINITY : -INFINITY;
        case 2:  return randomDouble (random);
        case 3:  return parameter.minimum + (parameter.maximum - parameter.minimum) * static_cast<double> (below (random, 1001)) / 1000.0;
        case 4:  return parameter.maximum + 1.0e-3 * below (random, 1000000);
        case 5:  return static_cast<int> (random());
        case 6:  return static_cast<juce::int64> (random64 (random));
        case 7:  return below (random, 2) == 0;
        case 8:  return randomText (random);
        case 9:  return juce::var();
        case 10:
        {
            juce::MemoryBlock data (below (random, 16));

            for (size_t i = 0; i < data.getSize(); ++i)
                data[i] = static_cast<char> (random());

            return data;
        }
        case 11:
        {
            juce::Array<juce::var> elements;

            for (auto n = depth < 2 ? below (random, 4) : 0; n > 0; --n)
                elements.add (randomValue (random, depth + 1));

            return elements;
        }
        case 12: return std::numeric_limits<double>::denorm_min() * below (random, 100);
        default: return static_cast<double> (parameter.defaultValue);
    }
}

// Cases per run of the seeded kinds; the exhaustive kinds add about 22,600 more. Most
// random blocks are refused at once; every block taken costs two restores and two saves.
constexpr long flips = 8000, runs = 20000, randomBlocks = 50000, trees = 8000;

class PluginProcessorStateFuzz : public testing::Test
{
protected:
    PluginProcessorStateFuzz()
    {
        restore (held);

        for (size_t i = 0; i < std::size (publishedParameters); ++i)
            rawValues[i] = target.processor.treeState.getRawParameterValue (publishedParameters[i].id);
    }

    void TearDown() override
    {
        RecordProperty ("blocks", static_cast<int> (cases));
        RecordProperty ("taken", static_cast<int> (accepted));

        if (failures > 0)
            ADD_FAILURE() << failures << " of " << cases << " cases failed; the first " << reported << " are shown above";
    }

    // Restores the damaged block into the instance as the cases before left it. A block that
    // is refused must change nothing; one that is taken must leave every parameter finite and
    // in its range, finite settings and output, and a state whose save restores to the same
    // bytes and values.
    void check (const juce::MemoryBlock& damaged, const char* kind, std::uint32_t seed, long index,
                bool mustBeRefused = false)
    {
        ++cases;
        auto& p = target.processor;
        const auto stateBefore = p.treeState.state;
        const auto valuesBefore = values();
        const auto widthBefore = p.windowWidth.load();
        restore (damaged);

        auto fail = [&] (const juce::String& what)
        {
            if (++failures <= maxReported)
            {
                ++reported;
                ADD_FAILURE() << kind << " (seed " << seed << ", case " << index << "): " << what
                              << "\n  instance restored from (base64) " << base64 (held)
                              << "\n  then given (base64) " << base64 (damaged);
            }

            // The next cases start again from a known project.
            held = projects[0];
            restore (held);
        };

        if (auto inRange = parametersAreFiniteAndInRange (p); ! inRange)
            return fail (inRange.message());

        if (p.treeState.state == stateBefore)
        {
            if (values() != valuesBefore || p.windowWidth.load() != widthBefore)
                return fail ("a refused block changed the state");

            return;
        }

        if (mustBeRefused)
            return fail ("a block cut short was taken");

        ++accepted;

        if (p.oversamplingOn.load() != (target.get (ParamIDs::overSample) == 1.0f))
            return fail ("oversampling runs against what \"over sample\" shows");

        if (auto output = target.process ({ input, input }); ! allFinite (output))
            return fail (juce::String ("output: ") + allFinite (output).message());

        if (auto settings = dspSettingsAreFinite (p); ! settings)
            return fail (settings.message());

        const auto restoredValues = values();
        const auto saved = target.save();
        restore (saved);

        if (target.save() != saved)
            return fail ("its save restores to other bytes: " + base64 (saved) + " gives " + base64 (target.save()));

        if (values() != restoredValues)
            return fail ("its save restores to other values: " + base64 (saved));

        held = saved;
    }

    void restore (const juce::MemoryBlock& block)
    {
        target.processor.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
    }

    std::array<float, std::size (publishedParameters)> values() const
    {
        std::array<float, std::size (publishedParameters)> result;

        for (size_t i = 0; i < result.size(); ++i)
            result[i] = rawValues[i]->load();

        return result;
    }

    static std::string base64 (const juce::MemoryBlock& block)
    {
        return juce::Base64::toBase64 (block.getData(), block.getSize()).toStdString();
    }

    static constexpr long maxReported = 3;

    const juce::MemoryBlock projects[2] { savedProject (false), savedProject (true) };
    const juce::ValueTree projectTrees[2] { juce::ValueTree::readFromData (projects[0].getData(), projects[0].getSize()),
                                            juce::ValueTree::readFromData (projects[1].getData(), projects[1].getSize()) };
    ProcessorHarness target;
    juce::MemoryBlock held = projects[0];
    std::atomic<float>* rawValues[std::size (publishedParameters)] {};
    const std::vector<float> input = noise (32, 0.5f);
    long cases = 0, accepted = 0, failures = 0, reported = 0;
};
} // namespace

TEST_F (PluginProcessorStateFuzz, EveryTruncationIsRefused)
{
    for (const auto& project : projects)
        for (size_t length = 0; length < project.getSize(); ++length)
            check (juce::MemoryBlock (project.getData(), length), "truncation", 0, static_cast<long> (length), true);
}

TEST_F (PluginProcessorStateFuzz, BitFlips)
{
    // Every single bit of both projects.
    for (const auto& project : projects)
    {
        for (size_t bit = 0; bit < project.getSize() * 8; ++bit)
        {
            auto damaged = project;
            damaged[bit / 8] = static_cast<char> (damaged[bit / 8] ^ (1 << (bit % 8)));
            check (damaged, "single bit flipped", 0, static_cast<long> (bit));
        }
    }

    // Several bits at once, anywhere.
    const auto seed = seedFor (1001);
    Random random (seed);

    for (long index = 0; index < flips / scale; ++index)
    {
        auto damaged = projects[index % 2];

        for (auto n = 2 + below (random, 15); n > 0; --n)
        {
            const auto bit = below (random, static_cast<std::uint32_t> (damaged.getSize() * 8));
            damaged[bit / 8] = static_cast<char> (damaged[bit / 8] ^ (1 << (bit % 8)));
        }

        check (damaged, "several bits flipped", seed, index);
    }
}

TEST_F (PluginProcessorStateFuzz, ByteEdits)
{
    const auto seed = seedFor (2002);
    Random random (seed);
    long index = 0;

    // Every byte of both projects set to the values that mean most to the format (0 ends a
    // name, 5 marks a string, 0x80 and 0xff sit on the sign and size of counts) and to a
    // random one.
    for (const auto& project : projects)
    {
        for (size_t position = 0; position < project.getSize(); ++position)
        {
            for (int value : { 0, 5, 0x80, 0xff, static_cast<int> (below (random, 256)) })
            {
                auto damaged = project;
                damaged[position] = static_cast<char> (value);
                check (damaged, "byte edited", seed, index++);
            }
        }
    }
}

TEST_F (PluginProcessorStateFuzz, InsertedAndRemovedBytes)
{
    const auto seed = seedFor (3003);
    Random random (seed);
    long index = 0;

    // A random byte in at, and one byte out of, every position of both projects.
    for (const auto& project : projects)
    {
        for (size_t position = 0; position <= project.getSize(); ++position)
        {
            auto inserted = project;
            const auto byte = static_cast<char> (random());
            inserted.insert (&byte, 1, position);
            check (inserted, "byte inserted", seed, index++);

            if (position < project.getSize())
            {
                auto removed = project;
                removed.removeSection (position, 1);
                check (removed, "byte removed", seed, index++);
            }
        }
    }

    // Runs of random bytes in, runs out, and runs copied elsewhere, which repeats and
    // interleaves whole nodes.
    for (long run = 0; run < runs / scale; ++run)
    {
        const auto& project = projects[run % 2];
        auto damaged = project;
        const auto size = static_cast<std::uint32_t> (damaged.getSize());
        const auto position = below (random, size);
        const auto length = 1 + below (random, 64);

        if (run % 3 == 0)
        {
            juce::MemoryBlock bytes (length);

            for (size_t i = 0; i < bytes.getSize(); ++i)
                bytes[i] = static_cast<char> (random());

            damaged.insert (bytes.getData(), bytes.getSize(), position);
        }
        else if (run % 3 == 1)
        {
            damaged.removeSection (position, length);
        }
        else
        {
            const auto from = below (random, size);
            const auto* start = static_cast<const char*> (project.getData()) + from;
            damaged.insert (start, juce::jmin<size_t> (length * 4, size - from), below (random, size + 1));
        }

        check (damaged, "bytes inserted, removed or copied", seed, index++);
    }
}

TEST_F (PluginProcessorStateFuzz, RandomBytesAndLengths)
{
    const auto seed = seedFor (4004);
    Random random (seed);
    const char rootType[] = "PARAMETER";

    for (long index = 0; index < randomBlocks / scale; ++index)
    {
        juce::MemoryBlock damaged;
        size_t keep = 0;

        if (index % 3 == 0) // noise
        {
            damaged.setSize (below (random, 2048));
        }
        else if (index % 3 == 1) // the right root type, then noise
        {
            damaged.append (rootType, sizeof (rootType));
            keep = damaged.getSize();
            damaged.setSize (keep + below (random, 256));
        }
        else // the start of a project, then noise
        {
            const auto& project = projects[(index / 3) % 2];
            keep = below (random, static_cast<std::uint32_t> (project.getSize()));
            damaged.append (project.getData(), keep);
            damaged.setSize (keep + below (random, 512));
        }

        for (auto i = keep; i < damaged.getSize(); ++i)
            damaged[i] = static_cast<char> (random());

        check (damaged, "random bytes", seed, index);
    }
}

TEST_F (PluginProcessorStateFuzz, ForeignChildrenAndOddValues)
{
    const auto seed = seedFor (5005);
    Random random (seed);

    for (long index = 0; index < trees / scale; ++index)
    {
        auto tree = projectTrees[index % 2].createCopy();

        for (auto edits = 1 + below (random, 4); edits > 0; --edits)
        {
            const auto numChildren = static_cast<std::uint32_t> (tree.getNumChildren());
            auto someChild = tree.getChild (static_cast<int> (below (random, numChildren)));

            switch (below (random, 8))
            {
                case 0:
                case 1:
                case 2: // a child of any type, mostly naming a parameter, anywhere
                {
                    juce::ValueTree foreign (below (random, 4) == 0 ? juce::Identifier ("FOO") : randomType (random));
                    foreign.setProperty ("id", below (random, 8) == 0 ? juce::var (randomText (random))
                                                                      : juce::var (randomParameterId (random)), nullptr);

                    if (below (random, 8) != 0)
                        foreign.setProperty ("value", randomValue (random), nullptr);

                    for (auto extra = below (random, 3); extra > 0; --extra)
                        foreign.setProperty (juce::Identifier ("p" + juce::String (extra)), randomValue (random), nullptr);

                    if (below (random, 4) == 0)
                    {
                        juce::ValueTree nested ("PARAM");
                        nested.setProperty ("id", randomParameterId (random), nullptr);
                        nested.setProperty ("value", randomValue (random), nullptr);
                        foreign.appendChild (nested, nullptr);
                    }

                    tree.addChild (foreign, static_cast<int> (below (random, numChildren + 1)), nullptr);
                    break;
                }
                case 3: // a node's value of any kind, or none
                    if (below (random, 6) == 0)
                        someChild.removeProperty ("value", nullptr);
                    else
                        someChild.setProperty ("value", randomValue (random), nullptr);
                    break;
                case 4: // a node naming another parameter, or no parameter
                    someChild.setProperty ("id", below (random, 4) == 0 ? randomValue (random)
                                                                        : juce::var (randomParameterId (random)), nullptr);
                    break;
                case 5: // a node gone, or there twice
                    if (someChild.isValid() && below (random, 2) == 0)
                        tree.removeChild (someChild, nullptr);
                    else if (someChild.isValid())
                        tree.addChild (someChild.createCopy(), static_cast<int> (below (random, numChildren + 1)), nullptr);
                    break;
                case 6: // a node of another type
                    if (someChild.isValid())
                    {
                        juce::ValueTree renamed (randomType (random));
                        renamed.copyPropertiesAndChildrenFrom (someChild, nullptr);
                        const auto at = tree.indexOf (someChild);
                        tree.removeChild (at, nullptr);
                        tree.addChild (renamed, at, nullptr);
                    }
                    break;
                default: // odd properties on the root or the variables node
                {
                    auto owner = below (random, 2) == 0 ? tree : tree.getChildWithName ("TarvolenVariables");
                    const auto name = below (random, 2) == 0 ? juce::String ("width") : "q" + juce::String (below (random, 4));
                    owner.setProperty (juce::Identifier (name), randomValue (random), nullptr);
                    break;
                }
            }
        }

        check (blockOf (tree), "foreign children and odd values", seed, index);
    }
}
