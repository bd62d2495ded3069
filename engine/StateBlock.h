#pragma once

#include <juce_data_structures/juce_data_structures.h>

/** Reading saved state blocks that may be damaged or come from anywhere.

    The framework's reader trusts the counts and lengths it finds: a damaged block can make it
    allocate gigabytes, recurse until the stack runs out, or hand back half a tree. This walks
    the binary value-tree layout first, within the block's bounds, and reads the tree only when
    the block holds one complete, well-formed tree.
*/
namespace StateBlock
{
    /** Returns the tree the block holds, or an invalid tree for anything that is not one
        complete, well-formed tree (bytes after the tree are ignored). Any thread. */
    juce::ValueTree read (const void* data, size_t sizeInBytes);
}
