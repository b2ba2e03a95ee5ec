#include "kit/pkimages.h"

#include "BinaryData.h"

#include <map>
#include <string>

namespace
{
// Not the framework's image cache: that cache runs a purge timer, and the framework's GUI
// shutdown, which a host brings about on its own thread when it closes the last instance,
// would destroy it with the timer still running. This store has no timer; the shutdown
// deletes it like the framework's other singletons, before anything checks for leaks.
class pkimagestore : public juce::DeletedAtShutdown
{
public:
    ~pkimagestore() override { clearSingletonInstance(); }

    const juce::Image& get(const char* name, const void* data, int size)
    {
        auto [entry, added] = images.try_emplace(name);
        if (added)
            entry->second = juce::ImageFileFormat::loadFrom(data, static_cast<std::size_t>(size));
        return entry->second;
    }

    JUCE_DECLARE_SINGLETON_SINGLETHREADED_MINIMAL(pkimagestore)

private:
    std::map<std::string, juce::Image> images;
};

JUCE_IMPLEMENT_SINGLETON(pkimagestore)
} // namespace

juce::Image* pkloadimage(const char* name)
{
    int size = 0;
    const void* data = name != nullptr ? BinaryData::getNamedResource(name, size) : nullptr;
    if (data == nullptr || size <= 0)
        return new juce::Image();
    return new juce::Image(pkimagestore::getInstance()->get(name, data, size));
}
