#include "StateBlock.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace
{
// Walks the layout that juce::ValueTree::writeToStream produces, never past the end.
class Walker
{
public:
    Walker (const void* data, size_t size, int& itemBudget)
        : bytes (static_cast<const juce::uint8*> (data)), end (size), itemsLeft (itemBudget) {}

    size_t position() const noexcept { return pos; }

    bool tree (int depth)
    {
        if (depth > maxDepth || ! item() || ! string (false))
            return false;

        int numProperties = 0;

        if (! count (numProperties))
            return false;

        for (int i = 0; i < numProperties; ++i)
            if (! item() || ! string (false) || ! variant (depth))
                return false;

        int numChildren = 0;

        if (! count (numChildren))
            return false;

        for (int i = 0; i < numChildren; ++i)
            if (! tree (depth + 1))
                return false;

        return true;
    }

private:
    // Matches the markers of juce::var's binary form.
    enum Marker : juce::uint8 { intMarker = 1, boolTrue = 2, boolFalse = 3, doubleMarker = 4,
                                stringMarker = 5, int64Marker = 6, arrayMarker = 7, binaryMarker = 8 };

    static constexpr int maxDepth = 32;

    size_t remaining() const noexcept { return end - pos; }

    bool item() noexcept { return --itemsLeft >= 0; }

    bool string (bool mayBeEmpty)
    {
        const auto* start = bytes + pos;
        const auto* terminator = static_cast<const juce::uint8*> (std::memchr (start, 0, remaining()));

        if (terminator == nullptr)
            return false;

        const auto length = static_cast<size_t> (terminator - start);
        pos += length + 1;

        return (mayBeEmpty || length > 0)
            && juce::CharPointer_UTF8::isValidString (reinterpret_cast<const char*> (start), (int) length);
    }

    bool compressedInt (int& result)
    {
        if (remaining() < 1)
            return false;

        const auto sizeByte = bytes[pos++];
        const auto numBytes = static_cast<size_t> (sizeByte & 0x7f);

        if (numBytes > 4 || remaining() < numBytes)
            return false;

        juce::uint32 magnitude = 0;

        for (size_t i = 0; i < numBytes; ++i)
            magnitude |= static_cast<juce::uint32> (bytes[pos + i]) << (8 * i);

        pos += numBytes;

        if (magnitude > static_cast<juce::uint32> (std::numeric_limits<int>::max()))
            return false;

        result = (sizeByte & 0x80) != 0 ? -static_cast<int> (magnitude) : static_cast<int> (magnitude);
        return true;
    }

    // A count of properties, children or array elements: never negative, and never more than
    // the bytes left could hold, so no loop runs longer than the block is long.
    bool count (int& result)
    {
        return compressedInt (result) && result >= 0 && static_cast<size_t> (result) <= remaining();
    }

    bool variant (int depth)
    {
        int numBytes = 0;

        if (! compressedInt (numBytes) || numBytes < 0 || static_cast<size_t> (numBytes) > remaining())
            return false;

        if (numBytes == 0)
            return true;

        const auto payloadEnd = pos + static_cast<size_t> (numBytes);
        const auto marker = bytes[pos++];
        const auto payload = static_cast<size_t> (numBytes - 1);

        switch (marker)
        {
            case intMarker:    if (payload != 4) return false; break;
            case int64Marker:
            case doubleMarker: if (payload != 8) return false; break;
            case boolTrue:
            case boolFalse:    if (payload != 0) return false; break;

            case stringMarker:
            {
                Walker inner (bytes + pos, payload, itemsLeft);

                if (! inner.string (true) || inner.remaining() != 0)
                    return false;

                break;
            }

            case arrayMarker:
            {
                if (depth > maxDepth)
                    return false;

                Walker inner (bytes + pos, payload, itemsLeft);
                int numElements = 0;

                if (! inner.count (numElements))
                    return false;

                for (int i = 0; i < numElements; ++i)
                    if (! inner.item() || ! inner.variant (depth + 1))
                        return false;

                if (inner.remaining() != 0)
                    return false;

                break;
            }

            default: break; // binary data and unknown kinds are skipped whole
        }

        pos = payloadEnd;
        return true;
    }

    const juce::uint8* bytes;
    size_t end;
    size_t pos = 0;
    int& itemsLeft;
};
} // namespace

size_t StateBlock::treeSize (const void* data, size_t sizeInBytes)
{
    if (data == nullptr || sizeInBytes == 0)
        return 0;

    // The walker never looks past the largest tree allowed, so a longer tree reads as cut short.
    int itemBudget = maximumItems;
    Walker walker (data, std::min (sizeInBytes, maximumTreeBytes), itemBudget);

    return walker.tree (0) ? walker.position() : 0;
}

juce::ValueTree StateBlock::read (const void* data, size_t sizeInBytes)
{
    const auto size = treeSize (data, sizeInBytes);
    return size > 0 ? juce::ValueTree::readFromData (data, size) : juce::ValueTree();
}
