// The one place where JUCE's VST 2 code meets the free, ABI-compatible header from fst-dev.
#pragma once

#ifndef FST2VST
 #define FST2VST 1
#endif

// fst.h declares two records shorter than the layout hosts and plug-ins actually exchange;
// keep its declarations out of the way and give the full layouts both sides agree on.
#define VstSpeakerArrangement quill_fst_VstSpeakerArrangement_unused
#define VstPinProperties quill_fst_VstPinProperties_unused
#include <pluginterfaces/fst/fst.h>
#undef VstPinProperties
#undef VstSpeakerArrangement

// fst.h declares the speaker list as a flexible array (sizeof 8), but JUCE's hosting code
// allocates the arrangement as if it held eight entries.
struct VstSpeakerArrangement
{
    int type;
    int numChannels;
    VstSpeakerProperties speakers[8];
};

// fst.h stops after shortLabel. A pin's short label is written with its terminating NUL
// (kVstMaxShortLabelLen + 1 bytes) and hosts reserve 48 bytes behind it, so without them
// a plug-in answering effGetInputProperties writes past the end of the host's record.
struct VstPinProperties
{
    char label[kVstMaxLabelLen];
    int flags;
    int arrangementType;
    char shortLabel[kVstMaxShortLabelLen];
    char future[48];
};
