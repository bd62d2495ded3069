#include "PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Times setStateInformation on crafted blocks that a damaged or hostile project could hold, each
// of which must restore or be refused fast, with a normal saved state for reference. Blocks are
// written byte by byte in the binary value-tree layout: building them through the framework
// would cost what is being measured.
namespace
{
// Where the saved-block reader draws its lines: larger trees, or trees of more items (nodes,
// properties and array elements together), are refused.
constexpr int byteLimit = 64 * 1024;
constexpr int itemLimit = 1024;

// Every crafted block sets "trim" (default 0 dB) to this, so a restore can be told from a refusal.
constexpr double markerTrim = -7.0;

class BlockWriter
{
public:
    void string (const std::string& s)
    {
        bytes.insert (bytes.end(), s.begin(), s.end());
        bytes.push_back (0);
    }

    // juce::OutputStream::writeCompressedInt
    void compressedInt (int value)
    {
        auto magnitude = static_cast<std::uint32_t> (value < 0 ? -static_cast<std::int64_t> (value) : value);
        std::uint8_t data[5] = {};
        int num = 0;

        while (magnitude > 0)
        {
            data[++num] = static_cast<std::uint8_t> (magnitude);
            magnitude >>= 8;
        }

        data[0] = static_cast<std::uint8_t> (num | (value < 0 ? 0x80 : 0));
        bytes.insert (bytes.end(), data, data + num + 1);
    }

    // juce::var's binary forms.
    void voidValue() { compressedInt (0); }

    void doubleValue (double value)
    {
        compressedInt (9);
        bytes.push_back (4);
        const auto* raw = reinterpret_cast<const std::uint8_t*> (&value);
        bytes.insert (bytes.end(), raw, raw + sizeof (value));
    }

    void stringValue (const std::string& s)
    {
        compressedInt (static_cast<int> (s.size()) + 2);
        bytes.push_back (5);
        string (s);
    }

    void binaryValue (size_t size)
    {
        compressedInt (static_cast<int> (size) + 1);
        bytes.push_back (8);
        bytes.insert (bytes.end(), size, 0xa5);
    }

    // An array of arrays, depth levels deep, the innermost holding the given number of voids.
    void arrayValue (int depth, int numElements)
    {
        BlockWriter content;

        if (depth > 1)
        {
            content.compressedInt (1);
            content.arrayValue (depth - 1, numElements);
        }
        else
        {
            content.compressedInt (numElements);
            content.bytes.insert (content.bytes.end(), static_cast<size_t> (numElements), 0);
        }

        compressedInt (static_cast<int> (content.bytes.size()) + 1);
        bytes.push_back (7);
        bytes.insert (bytes.end(), content.bytes.begin(), content.bytes.end());
    }

    // The child that makes a restore visible: a "trim" parameter away from its default.
    void markerNode()
    {
        string ("PARAM");
        compressedInt (2);
        string ("id");
        stringValue ("trim");
        string ("value");
        doubleValue (markerTrim);
        compressedInt (0);
    }

    std::vector<std::uint8_t> bytes;
};

// Property names no earlier block used, as short as that allows: letters that number the
// block, then the index in decimal. The framework pools every name it reads, once.
std::string distinctName (int serial, int index)
{
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string name;

    do
    {
        name.insert (name.begin(), letters[serial % 52]);
        serial /= 52;
    } while (serial > 0);

    return name + std::to_string (index);
}

// The root, with the properties written by the callback, then the marker and the given nodes.
template <typename Properties, typename Children>
std::vector<std::uint8_t> parameterTree (int numProperties, Properties&& properties, int numChildren, Children&& children)
{
    BlockWriter w;
    w.string ("PARAMETER");
    w.compressedInt (numProperties);
    properties (w);
    w.compressedInt (numChildren + 1);
    w.markerNode();
    children (w);
    return std::move (w.bytes);
}

const auto noProperties = [] (BlockWriter&) {};
const auto noChildren = [] (BlockWriter&) {};

// The root carries the names, each with a void value: the smallest property there is. Names
// are padded to the given length, the first few to one byte more.
std::vector<std::uint8_t> distinctNamesInOneNode (int serial, int numNames, size_t nameLength = 0, int numLonger = 0)
{
    return parameterTree (numNames, [&] (BlockWriter& w)
    {
        for (int i = 0; i < numNames; ++i)
        {
            auto name = distinctName (serial, i);
            const auto length = nameLength + (i < numLonger ? 1 : 0);
            name.insert (0, length > name.size() ? length - name.size() : 0, '_');
            w.string (name);
            w.voidValue();
        }
    }, 0, noChildren);
}

std::vector<std::uint8_t> distinctNamesOverNodes (int serial, int numNames, int numNodes)
{
    return parameterTree (0, noProperties, numNodes, [&] (BlockWriter& w)
    {
        const int perNode = numNames / numNodes;

        for (int n = 0; n < numNodes; ++n)
        {
            w.string ("NODE");
            w.compressedInt (perNode);

            for (int i = 0; i < perNode; ++i)
            {
                w.string (distinctName (serial, n * perNode + i));
                w.voidValue();
            }

            w.compressedInt (0);
        }
    });
}

std::vector<std::uint8_t> emptyNodes (int numNodes)
{
    return parameterTree (0, noProperties, numNodes, [&] (BlockWriter& w)
    {
        for (int n = 0; n < numNodes; ++n)
        {
            w.string ("NODE");
            w.compressedInt (0);
            w.compressedInt (0);
        }
    });
}

// A chain of nodes, each the only child of the one before.
std::vector<std::uint8_t> nested (int depth)
{
    return parameterTree (0, noProperties, 1, [&] (BlockWriter& w)
    {
        for (int level = 0; level < depth; ++level)
        {
            w.string ("NODE");
            w.compressedInt (0);
            w.compressedInt (level + 1 < depth ? 1 : 0);
        }
    });
}

template <typename Value>
std::vector<std::uint8_t> oneProperty (Value&& value)
{
    return parameterTree (1, [&] (BlockWriter& w)
    {
        w.string ("big");
        value (w);
    }, 0, noChildren);
}

// Items: the root, the marker and its two properties, then what the block adds.
constexpr int markerItems = 4;

// A string padded so the whole tree takes exactly the given number of bytes.
std::vector<std::uint8_t> treeOfBytes (size_t size)
{
    auto withPadding = [] (size_t padding) { return oneProperty ([&] (BlockWriter& w) { w.stringValue (std::string (padding, 'x')); }); };

    // The string's length field is one to three bytes long; one of these paddings fits.
    for (size_t padding = size - withPadding (0).size(); padding > 0; --padding)
        if (auto block = withPadding (padding); block.size() == size)
            return block;

    return {};
}

// As many distinct names as the item count allows, long enough to fill the byte limit exactly.
std::vector<std::uint8_t> namesAtTheLimits (int serial, int numItems)
{
    const int numNames = numItems - markerItems;
    auto nameLength = static_cast<size_t> (byteLimit / numNames);
    auto block = distinctNamesInOneNode (serial, numNames, nameLength);

    while (block.size() > static_cast<size_t> (byteLimit))
        block = distinctNamesInOneNode (serial, numNames, --nameLength);

    return distinctNamesInOneNode (serial, numNames, nameLength, static_cast<int> (byteLimit - block.size()));
}

std::vector<std::uint8_t> savedState()
{
    TarvolenEQAudioProcessor processor;

    for (auto* parameter : processor.getParameters())
        parameter->setValueNotifyingHost (0.3f);

    processor.storeEditorSize (900, 600);

    juce::MemoryBlock state;
    processor.getStateInformation (state);
    const auto* data = static_cast<const std::uint8_t*> (state.getData());
    return { data, data + state.getSize() };
}

struct Block
{
    std::string name;
    std::function<std::vector<std::uint8_t> (int serial)> make;
    // Blocks whose cost lies in new names get new names for every restore, as a host opening
    // them would; a block read before would find its names pooled already.
    bool newNamesEachTime = false;
    // Blocks that took seconds before the reader drew its lines run only a few times.
    int iterations = 0;
};

int nextSerial = 0;

bool restores (const std::vector<std::uint8_t>& block)
{
    TarvolenEQAudioProcessor processor;
    processor.setStateInformation (block.data(), static_cast<int> (block.size()));
    return processor.treeState.getRawParameterValue (ParamIDs::trim)->load() != 0.0f;
}

void restoreBenchmark (benchmark::State& state, const Block& block)
{
    // Names pooled by earlier blocks would otherwise make this one cheaper or dearer.
    juce::StringPool::getGlobalPool().garbageCollect();

    auto bytes = block.make (nextSerial++);
    const auto restored = restores (bytes);
    TarvolenEQAudioProcessor processor;

    for (auto _ : state)
    {
        if (block.newNamesEachTime)
        {
            state.PauseTiming();
            bytes = block.make (nextSerial++);
            state.ResumeTiming();
        }

        processor.setStateInformation (bytes.data(), static_cast<int> (bytes.size()));
        benchmark::ClobberMemory();
    }

    // The size goes in the label: counters are printed to six digits only.
    state.SetLabel (std::string (restored ? "restored" : "refused") + " " + std::to_string (bytes.size()));
}

std::vector<Block> blocks()
{
    return {
        { "saved state (reference)", [] (int) { return savedState(); } },

        { "100000 distinct names in one node", [] (int s) { return distinctNamesInOneNode (s, 100000); }, true, 1 },
        { "300000 distinct names in one node", [] (int s) { return distinctNamesInOneNode (s, 300000); }, true, 1 },
        { "300000 distinct names over 1000 nodes", [] (int s) { return distinctNamesOverNodes (s, 300000, 1000); }, true, 1 },
        { "500000 empty nodes", [] (int) { return emptyNodes (500000); }, false, 3 },
        { "nodes nested 32 deep", [] (int) { return nested (32); } },
        { "nodes nested 100000 deep", [] (int) { return nested (100000); } },
        { "2.6 MB string", [] (int) { return oneProperty ([] (BlockWriter& w) { w.stringValue (std::string (2600000, 'x')); }); } },
        { "1000 names of 2600 bytes", [] (int s) { return distinctNamesInOneNode (s, 1000, 2600); }, true, 3 },
        { "array of 2600000 elements", [] (int) { return oneProperty ([] (BlockWriter& w) { w.arrayValue (1, 2600000); }); }, false, 3 },
        { "arrays nested 32 deep", [] (int) { return oneProperty ([] (BlockWriter& w) { w.arrayValue (32, 1); }); } },
        { "16 MB binary value", [] (int) { return oneProperty ([] (BlockWriter& w) { w.binaryValue (16 * 1024 * 1024); }); }, false, 3 },

        { "64 KiB and 1024 items: distinct names", [] (int s) { return namesAtTheLimits (s, itemLimit); }, true, 50 },
        { "64 KiB and 1025 items: distinct names", [] (int s) { return namesAtTheLimits (s, itemLimit + 1); }, true, 50 },
        { "1024 items: nodes", [] (int) { return emptyNodes (itemLimit - markerItems); } },
        { "1025 items: nodes", [] (int) { return emptyNodes (itemLimit + 1 - markerItems); } },
        { "1024 items: array elements",
          [] (int) { return oneProperty ([] (BlockWriter& w) { w.arrayValue (1, itemLimit - markerItems - 1); }); } },
        { "1025 items: array elements",
          [] (int) { return oneProperty ([] (BlockWriter& w) { w.arrayValue (1, itemLimit + 1 - markerItems - 1); }); } },
        { "64 KiB: one string", [] (int) { return treeOfBytes (byteLimit); } },
        { "64 KiB + 1 byte: one string", [] (int) { return treeOfBytes (byteLimit + 1); } },
    };
}
} // namespace

int main (int argc, char** argv)
{
    // The parameter state needs the message manager that a host provides.
    juce::ScopedJuceInitialiser_GUI juce;

    static const auto all = blocks();

    for (const auto& block : all)
    {
        auto name = "StateRestore/" + block.name;
        auto* benchmark = benchmark::RegisterBenchmark (name.c_str(), [&block] (benchmark::State& s) { restoreBenchmark (s, block); })
                              ->Unit (benchmark::kMillisecond);

        if (block.iterations > 0)
            benchmark->Iterations (block.iterations);
    }

    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
