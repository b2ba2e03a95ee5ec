// The one place where JUCE's VST 2 code meets the free, ABI-compatible header from fst-dev.
#pragma once

#ifndef FST2VST
 #define FST2VST 1
#endif

// fst.h declares the speaker list as a flexible array (sizeof 8), but JUCE's hosting
// code allocates the arrangement as if it held eight entries; keep fst.h's declaration
// out of the way and give the fixed-size layout that both sides agree on.
#define VstSpeakerArrangement quill_fst_VstSpeakerArrangement_unused
#include <pluginterfaces/fst/fst.h>
#undef VstSpeakerArrangement

struct VstSpeakerArrangement
{
    int type;
    int numChannels;
    VstSpeakerProperties speakers[8];
};
