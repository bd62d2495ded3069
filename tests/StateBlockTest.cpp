#include "StateBlock.h"
#include "helpers/ProcessorHarness.h"

#include <gtest/gtest.h>

#include <random>

using TestHelpers::blockOf;

namespace
{
juce::ValueTree read (const juce::MemoryBlock& block) { return StateBlock::read (block.getData(), block.getSize()); }

juce::ValueTree sampleTree()
{
    juce::ValueTree root ("PARAMETER");

    for (auto name : { "drive", "low pass" })
    {
        juce::ValueTree node ("PARAM");
        node.setProperty ("id", name, nullptr);
        node.setProperty ("value", 1.5, nullptr);
        root.appendChild (node, nullptr);
    }

    juce::ValueTree variables ("TarvolenVariables");
    variables.setProperty ("width", 900, nullptr);
    variables.setProperty ("flag", true, nullptr);
    variables.setProperty ("big", static_cast<juce::int64> (1) << 40, nullptr);
    variables.setProperty ("list", juce::Array<juce::var> { 1, "two", 3.0 }, nullptr);
    variables.setProperty ("blob", juce::MemoryBlock ("abc", 3), nullptr);
    variables.setProperty ("empty", juce::var(), nullptr);
    root.appendChild (variables, nullptr);
    return root;
}

// Raw pieces of the binary tree layout, for blocks the framework's writer would never make.
struct Writer
{
    Writer& text (const char* s) { stream.write (s, std::strlen (s) + 1); return *this; }
    Writer& count (int n) { stream.writeCompressedInt (n); return *this; }
    Writer& byte (int b) { stream.writeByte (static_cast<char> (b)); return *this; }
    Writer& int32 (int v) { stream.writeInt (v); return *this; }

    juce::MemoryBlock block;
    juce::MemoryOutputStream stream { block, false };

    juce::MemoryBlock done() { stream.flush(); return block; }
};
} // namespace

TEST (StateBlock, ReadsWhateverTheFrameworkWrites)
{
    const auto tree = sampleTree();
    auto block = blockOf (tree);

    EXPECT_TRUE (read (block).isEquivalentTo (tree));

    block.append ("trailing", 8);
    EXPECT_TRUE (read (block).isEquivalentTo (tree)) << "bytes after the tree are ignored";
}

TEST (StateBlock, RefusesEmptyAndCutShortBlocks)
{
    EXPECT_FALSE (StateBlock::read (nullptr, 10).isValid());
    EXPECT_FALSE (read (juce::MemoryBlock()).isValid());
    EXPECT_FALSE (read (juce::MemoryBlock (4, true)).isValid());

    const auto block = blockOf (sampleTree());

    for (size_t cut = 1; cut < block.getSize(); ++cut)
        ASSERT_FALSE (StateBlock::read (block.getData(), cut).isValid()) << "cut at " << cut;
}

TEST (StateBlock, RefusesBlocksThatWouldExhaustTheReader)
{
    struct Case { const char* what; juce::MemoryBlock block; };
    std::vector<Case> cases;

    cases.push_back ({ "two billion children", Writer().text ("T").count (0).count (0x7fffffff).done() });
    cases.push_back ({ "two billion properties", Writer().text ("T").count (0x7fffffff).done() });
    cases.push_back ({ "negative child count", Writer().text ("T").count (0).count (-3).done() });
    cases.push_back ({ "two-gigabyte binary value",
                       Writer().text ("T").count (1).text ("p").count (0x7fffffff).byte (8).done() });
    cases.push_back ({ "array of two billion",
                       Writer().text ("T").count (1).text ("p").count (6).byte (7).count (0x7fffffff).done() });
    cases.push_back ({ "int with a wrong length", Writer().text ("T").count (1).text ("p").count (3).byte (1).int32 (7).count (0).done() });
    cases.push_back ({ "count longer than four bytes", Writer().text ("T").byte (5).int32 (1).byte (0).done() });
    cases.push_back ({ "invalid UTF-8 name", Writer().text ("\xff\xfe").count (0).count (0).done() });

    Writer deep;
    for (int i = 0; i < 100000; ++i)
        deep.text ("T").count (0).count (1);
    cases.push_back ({ "nesting deeper than the stack", deep.done() });

    for (auto& c : cases)
        EXPECT_FALSE (read (c.block).isValid()) << c.what;
}

TEST (StateBlock, SurvivesRandomDamage)
{
    const auto original = blockOf (sampleTree());
    std::mt19937 generator (42);

    for (int round = 0; round < 5000; ++round)
    {
        auto damaged = original;
        auto* bytes = static_cast<juce::uint8*> (damaged.getData());

        for (int flips = 1 + round % 4; --flips >= 0;)
            bytes[generator() % damaged.getSize()] = static_cast<juce::uint8> (generator());

        // Whatever it makes of the bytes, it must return, and a tree it accepts must be whole.
        const auto tree = read (damaged);

        if (tree.isValid())
        {
            EXPECT_TRUE (juce::ValueTree::readFromData (damaged.getData(), damaged.getSize()).isEquivalentTo (tree));
        }
    }
}
