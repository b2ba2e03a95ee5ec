// The only translation unit of the host that sees the VST 2 declarations: fst.h carries
// #warning lines and deprecated placeholders of its own, so this file is built with those two
// diagnostics off and everything else goes through the small functions below.
#include "tools/vsthost/vsthost.h"

#include <cstring>

namespace Vst2
{
struct AEffect;
#include <pluginterfaces/vst2.x/aeffect.h>
#include <pluginterfaces/vst2.x/aeffectx.h>
} // namespace Vst2

namespace vsthost
{
namespace
{
Vst2::AEffect* effectof(juce::AudioPluginInstance& plugin)
{
    if (plugin.getPluginDescription().pluginFormatName != "VST")
        return nullptr;
    return static_cast<Vst2::AEffect*>(plugin.getPlatformSpecificData());
}

bool arrangementtype(const juce::AudioChannelSet& set, int& type)
{
    if (set.isDisabled())
        type = Vst2::kSpeakerArrEmpty;
    else if (set == juce::AudioChannelSet::mono())
        type = Vst2::kSpeakerArrMono;
    else if (set == juce::AudioChannelSet::stereo())
        type = Vst2::kSpeakerArrStereo;
    else if (set == juce::AudioChannelSet::create5point1())
        type = Vst2::kSpeakerArr51;
    else
        return false;
    return true;
}

bool fillarrangement(const juce::AudioChannelSet& set, Vst2::VstSpeakerArrangement& arrangement)
{
    std::memset(&arrangement, 0, sizeof(arrangement));
    int type = 0;
    if (!arrangementtype(set, type) || set.size() > 8)
        return false;
    arrangement.type = type;
    arrangement.numChannels = set.size();
    return true;
}
} // namespace

effectfields readeffect(juce::AudioPluginInstance& plugin)
{
    effectfields fields;
    const auto* effect = effectof(plugin);
    if (effect == nullptr)
        return fields;
    fields.valid = true;
    fields.version = effect->version;
    fields.uniqueid = effect->uniqueID;
    fields.initialdelay = effect->initialDelay;
    fields.numparams = effect->numParams;
    fields.numinputs = effect->numInputs;
    fields.numoutputs = effect->numOutputs;
    fields.programchunks = (effect->flags & Vst2::effFlagsProgramChunks) != 0;
    fields.haseditor = (effect->flags & Vst2::effFlagsHasEditor) != 0;
    fields.issynth = (effect->flags & Vst2::effFlagsIsSynth) != 0;
    fields.canreplacing = (effect->flags & Vst2::effFlagsCanReplacing) != 0;
    return fields;
}

bool requestarrangement(juce::AudioPluginInstance& plugin, const juce::AudioChannelSet& input,
                        const juce::AudioChannelSet& output)
{
    if (effectof(plugin) == nullptr)
        return false;
    Vst2::VstSpeakerArrangement in{};
    Vst2::VstSpeakerArrangement out{};
    if (!fillarrangement(input, in) || !fillarrangement(output, out))
        return false;
    return juce::VSTPluginFormat::dispatcher(&plugin, Vst2::effSetSpeakerArrangement, 0,
                                             reinterpret_cast<juce::pointer_sized_int>(&in), &out, 0.0f)
           != 0;
}

bool processreplacing(juce::AudioPluginInstance& plugin, float** inputs, float** outputs, int n)
{
    auto* effect = effectof(plugin);
    if (effect == nullptr || effect->processReplacing == nullptr)
        return false;
    effect->processReplacing(effect, inputs, outputs, n);
    return true;
}

int vendorversion(juce::AudioPluginInstance& plugin)
{
    if (effectof(plugin) == nullptr)
        return 0;
    return static_cast<int>(juce::VSTPluginFormat::dispatcher(&plugin, Vst2::effGetVendorVersion, 0, 0, nullptr, 0.0f));
}
} // namespace vsthost
