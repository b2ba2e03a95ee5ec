#include "kit/pkimages.h"

#include "BinaryData.h"

juce::Image* pkloadimage(const char* name)
{
    int size = 0;
    const void* data = name != nullptr ? BinaryData::getNamedResource(name, size) : nullptr;
    if (data == nullptr || size <= 0)
        return new juce::Image();
    return new juce::Image(juce::ImageCache::getFromMemory(data, size));
}
