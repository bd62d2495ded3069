#include "StateBlock.h"
#include "helpers/ProcessorHarness.h"

#include <gtest/gtest.h>

#include <functional>
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

    EXPECT_EQ (StateBlock::treeSize (block.getData(), block.getSize()), block.getSize());

    block.append ("trailing", 8);
    EXPECT_TRUE (read (block).isEquivalentTo (tree)) << "bytes after the tree are ignored";
    EXPECT_EQ (StateBlock::treeSize (block.getData(), block.getSize()), block.getSize() - 8);
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
    // The framework reads an array's elements and goes on right after them, so bytes left in
    // the payload would be read as the rest of the tree: here as a count of three children.
    cases.push_back ({ "array with bytes after its elements",
                       Writer().text ("T").count (1).text ("p").count (4).byte (7).count (0).count (3).count (0).done() });
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

TEST (StateBlock, AcceptedDamagedBlocksEndWhereTheFrameworkEnds)
{
    const auto original = blockOf (sampleTree());
    std::mt19937 generator (42);
    int accepted = 0;

    for (int round = 0; round < 5000; ++round)
    {
        auto damaged = original;
        auto* bytes = static_cast<juce::uint8*> (damaged.getData());

        for (int flips = 1 + round % 4; --flips >= 0;)
            bytes[generator() % damaged.getSize()] = static_cast<juce::uint8> (generator());

        const auto size = StateBlock::treeSize (damaged.getData(), damaged.getSize());
        ASSERT_EQ (read (damaged).isValid(), size > 0) << "round " << round;

        if (size == 0)
            continue;

        // The walker and the framework's reader must agree on where the tree ends: a walker that
        // misjudges a length lets the framework read bytes it never checked.
        ++accepted;
        juce::MemoryInputStream stream (damaged.getData(), damaged.getSize(), false);
        juce::ValueTree::readFromStream (stream);
        ASSERT_EQ (static_cast<size_t> (stream.getPosition()), size) << "round " << round;
    }

    EXPECT_GT (accepted, 500) << "too few damaged blocks stay readable for the comparison to say much";
}

TEST (StateBlock, RefusesTreesBeyondItsLimits)
{
    // A tree of one node whose string property brings the block to exactly the given size.
    auto treeOfSize = [] (size_t size)
    {
        juce::ValueTree tree ("T");
        auto block = blockOf (tree);

        // Each pass corrects the length by what the last one missed, the length field included.
        for (int length = 0; block.getSize() != size;)
        {
            length -= static_cast<int> (block.getSize()) - static_cast<int> (size);
            tree.setProperty ("p", juce::String::repeatedString ("x", length), nullptr);
            block = blockOf (tree);
        }

        return block;
    };

    // A root and its children, each child with the given number of properties: every node and
    // every property is one item.
    auto treeOfItems = [] (int children, int propertiesEach)
    {
        juce::ValueTree root ("T");

        for (int c = 0; c < children; ++c)
        {
            juce::ValueTree child ("C");

            for (int i = 0; i < propertiesEach; ++i)
                child.setProperty (juce::Identifier ("p" + juce::String (i)), i, nullptr);

            root.appendChild (child, nullptr);
        }

        return blockOf (root);
    };

    // A root whose one property holds an array: two items and one per element.
    auto treeWithArray = [] (int elements)
    {
        juce::Array<juce::var> array;

        for (int i = 0; i < elements; ++i)
            array.add (i);

        juce::ValueTree tree ("T");
        tree.setProperty ("list", array, nullptr);
        return blockOf (tree);
    };

    struct Case { const char* what; juce::MemoryBlock block; bool accepted; };
    const Case cases[] = {
        { "exactly 64 KiB", treeOfSize (65536), true },
        { "one byte over 64 KiB", treeOfSize (65537), false },
        { "1024 items: 1023 children", treeOfItems (1023, 0), true },
        { "1025 items: 1024 children", treeOfItems (1024, 0), false },
        { "1024 items: one node of 1022 properties", treeOfItems (1, 1022), true },
        { "1025 items: one node of 1023 properties", treeOfItems (1, 1023), false },
        { "1024 items: 31 nodes of 32 properties", treeOfItems (31, 32), true },
        { "1025 items: 32 nodes of 31 properties", treeOfItems (32, 31), false },
        { "1024 items: an array of 1022", treeWithArray (1022), true },
        { "1025 items: an array of 1023", treeWithArray (1023), false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto size = StateBlock::treeSize (c.block.getData(), c.block.getSize());
        EXPECT_EQ (size, c.accepted ? c.block.getSize() : 0u);
        EXPECT_EQ (read (c.block).isValid(), c.accepted);
    }
}

TEST (StateBlock, ARealSavedStateIsWellInsideTheLimits)
{
    // Everything the item limit counts: nodes, properties and array elements.
    std::function<int (const juce::ValueTree&)> items = [&] (const juce::ValueTree& tree)
    {
        int count = 1 + tree.getNumProperties();

        for (int i = 0; i < tree.getNumProperties(); ++i)
            if (auto* array = tree[tree.getPropertyName (i)].getArray())
                count += array->size();

        for (const auto& child : tree)
            count += items (child);

        return count;
    };

    TestHelpers::ProcessorHarness h;
    h.processor.storeEditorSize (1234, 617);
    const auto block = h.save();

    EXPECT_EQ (StateBlock::treeSize (block.getData(), block.getSize()), block.getSize());
    EXPECT_LT (block.getSize(), 65536u / 16) << "a saved project must stay far from the size limit";
    EXPECT_LT (items (read (block)), 1024 / 8) << "a saved project must stay far from the item limit";
}
