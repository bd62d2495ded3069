#pragma once

#include <juce_data_structures/juce_data_structures.h>

/** Reading saved state blocks that may be damaged or come from anywhere.

    The framework's reader trusts the counts and lengths it finds: a damaged block can make it
    allocate gigabytes, recurse until the stack runs out, or hand back half a tree. This walks
    the binary value-tree layout first, within the block's bounds, and reads the tree only when
    the block holds one complete, well-formed tree.

    A saved state is under a kilobyte with a few dozen nodes and properties. Trees far larger
    than that are refused too: the framework's reader searches and pools every property name,
    so a crafted block with many thousands of names would hold the restoring thread for
    seconds.
*/
namespace StateBlock
{
    /** The most bytes a tree may take. */
    inline constexpr size_t maximumTreeBytes = 64 * 1024;

    /** The most nodes, properties and array elements a tree may hold, counted together. */
    inline constexpr int maximumItems = 1024;

    /** The length in bytes of the complete, well-formed tree at the start of the block, within
        the limits above; 0 when there is none. Any thread. */
    size_t treeSize (const void* data, size_t sizeInBytes);

    /** Returns the tree the block holds, or an invalid tree for anything that is not one
        complete, well-formed tree within the limits (bytes after the tree are ignored).
        Any thread. */
    juce::ValueTree read (const void* data, size_t sizeInBytes);
}
