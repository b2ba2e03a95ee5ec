// The one place where JUCE's VST 2 code meets the free, ABI-compatible header from fst-dev.
#pragma once

#ifndef FST2VST
 #define FST2VST 1
#endif

// fst.h gives the opcodes it has not identified placeholder numbers (100000 and up), so a
// host's bypass, tail-size or MIDI-channel request would never reach the wrapper and the
// wrapper's latency change would never reach the host. Their numbers are fixed by the binary
// interface every host and plug-in share: keep fst's placeholders out of the way under other
// names and declare the real numbers below. Every opcode fst leaves unidentified is here;
// those fst identifies keep its values.
#define audioMasterIdle quill_fst_placeholder_audioMasterIdle
#define audioMasterPinConnected quill_fst_placeholder_audioMasterPinConnected
#define audioMasterSetTime quill_fst_placeholder_audioMasterSetTime
#define audioMasterGetNumAutomatableParameters quill_fst_placeholder_audioMasterGetNumAutomatableParameters
#define audioMasterGetParameterQuantization quill_fst_placeholder_audioMasterGetParameterQuantization
#define audioMasterIOChanged quill_fst_placeholder_audioMasterIOChanged
#define audioMasterNeedIdle quill_fst_placeholder_audioMasterNeedIdle
#define audioMasterGetInputLatency quill_fst_placeholder_audioMasterGetInputLatency
#define audioMasterGetOutputLatency quill_fst_placeholder_audioMasterGetOutputLatency
#define audioMasterGetPreviousPlug quill_fst_placeholder_audioMasterGetPreviousPlug
#define audioMasterGetNextPlug quill_fst_placeholder_audioMasterGetNextPlug
#define audioMasterWillReplaceOrAccumulate quill_fst_placeholder_audioMasterWillReplaceOrAccumulate
#define audioMasterGetAutomationState quill_fst_placeholder_audioMasterGetAutomationState
#define audioMasterOfflineStart quill_fst_placeholder_audioMasterOfflineStart
#define audioMasterOfflineRead quill_fst_placeholder_audioMasterOfflineRead
#define audioMasterOfflineWrite quill_fst_placeholder_audioMasterOfflineWrite
#define audioMasterOfflineGetCurrentPass quill_fst_placeholder_audioMasterOfflineGetCurrentPass
#define audioMasterOfflineGetCurrentMetaPass quill_fst_placeholder_audioMasterOfflineGetCurrentMetaPass
#define audioMasterSetOutputSampleRate quill_fst_placeholder_audioMasterSetOutputSampleRate
#define audioMasterGetOutputSpeakerArrangement quill_fst_placeholder_audioMasterGetOutputSpeakerArrangement
#define audioMasterVendorSpecific quill_fst_placeholder_audioMasterVendorSpecific
#define audioMasterSetIcon quill_fst_placeholder_audioMasterSetIcon
#define audioMasterGetLanguage quill_fst_placeholder_audioMasterGetLanguage
#define audioMasterOpenWindow quill_fst_placeholder_audioMasterOpenWindow
#define audioMasterCloseWindow quill_fst_placeholder_audioMasterCloseWindow
#define audioMasterGetDirectory quill_fst_placeholder_audioMasterGetDirectory
#define audioMasterUpdateDisplay quill_fst_placeholder_audioMasterUpdateDisplay
#define audioMasterOpenFileSelector quill_fst_placeholder_audioMasterOpenFileSelector
#define audioMasterCloseFileSelector quill_fst_placeholder_audioMasterCloseFileSelector
#define audioMasterEditFile quill_fst_placeholder_audioMasterEditFile
#define audioMasterGetChunkFile quill_fst_placeholder_audioMasterGetChunkFile
#define audioMasterGetInputSpeakerArrangement quill_fst_placeholder_audioMasterGetInputSpeakerArrangement
#define effEditDraw quill_fst_placeholder_effEditDraw
#define effEditMouse quill_fst_placeholder_effEditMouse
#define effEditTop quill_fst_placeholder_effEditTop
#define effEditSleep quill_fst_placeholder_effEditSleep
#define effConnectInput quill_fst_placeholder_effConnectInput
#define effConnectOutput quill_fst_placeholder_effConnectOutput
#define effSetBypass quill_fst_placeholder_effSetBypass
#define effGetTailSize quill_fst_placeholder_effGetTailSize
#define effIdle quill_fst_placeholder_effIdle
#define effKeysRequired quill_fst_placeholder_effKeysRequired
#define effBeginSetProgram quill_fst_placeholder_effBeginSetProgram
#define effEndSetProgram quill_fst_placeholder_effEndSetProgram
#define effGetNumMidiInputChannels quill_fst_placeholder_effGetNumMidiInputChannels
#define effGetNumMidiOutputChannels quill_fst_placeholder_effGetNumMidiOutputChannels

// fst.h declares two records shorter than the layout hosts and plug-ins actually exchange;
// keep its declarations out of the way and give the full layouts both sides agree on.
#define VstSpeakerArrangement quill_fst_VstSpeakerArrangement_unused
#define VstPinProperties quill_fst_VstPinProperties_unused
#include <pluginterfaces/fst/fst.h>
#undef VstPinProperties
#undef VstSpeakerArrangement

#undef audioMasterIdle
#undef audioMasterPinConnected
#undef audioMasterSetTime
#undef audioMasterGetNumAutomatableParameters
#undef audioMasterGetParameterQuantization
#undef audioMasterIOChanged
#undef audioMasterNeedIdle
#undef audioMasterGetInputLatency
#undef audioMasterGetOutputLatency
#undef audioMasterGetPreviousPlug
#undef audioMasterGetNextPlug
#undef audioMasterWillReplaceOrAccumulate
#undef audioMasterGetAutomationState
#undef audioMasterOfflineStart
#undef audioMasterOfflineRead
#undef audioMasterOfflineWrite
#undef audioMasterOfflineGetCurrentPass
#undef audioMasterOfflineGetCurrentMetaPass
#undef audioMasterSetOutputSampleRate
#undef audioMasterGetOutputSpeakerArrangement
#undef audioMasterVendorSpecific
#undef audioMasterSetIcon
#undef audioMasterGetLanguage
#undef audioMasterOpenWindow
#undef audioMasterCloseWindow
#undef audioMasterGetDirectory
#undef audioMasterUpdateDisplay
#undef audioMasterOpenFileSelector
#undef audioMasterCloseFileSelector
#undef audioMasterEditFile
#undef audioMasterGetChunkFile
#undef audioMasterGetInputSpeakerArrangement
#undef effEditDraw
#undef effEditMouse
#undef effEditTop
#undef effEditSleep
#undef effConnectInput
#undef effConnectOutput
#undef effSetBypass
#undef effGetTailSize
#undef effIdle
#undef effKeysRequired
#undef effBeginSetProgram
#undef effEndSetProgram
#undef effGetNumMidiInputChannels
#undef effGetNumMidiOutputChannels

// Typed as fst's own opcode enumerations, so that JUCE can keep them in its typed records.
// Plug-in to host:
constexpr t_fstHostOpcode audioMasterIdle                        = static_cast<t_fstHostOpcode>(3);
constexpr t_fstHostOpcode audioMasterPinConnected                = static_cast<t_fstHostOpcode>(4);
constexpr t_fstHostOpcode audioMasterSetTime                     = static_cast<t_fstHostOpcode>(9);
constexpr t_fstHostOpcode audioMasterGetNumAutomatableParameters = static_cast<t_fstHostOpcode>(11);
constexpr t_fstHostOpcode audioMasterGetParameterQuantization    = static_cast<t_fstHostOpcode>(12);
constexpr t_fstHostOpcode audioMasterIOChanged                   = static_cast<t_fstHostOpcode>(13);
constexpr t_fstHostOpcode audioMasterNeedIdle                    = static_cast<t_fstHostOpcode>(14);
constexpr t_fstHostOpcode audioMasterGetInputLatency             = static_cast<t_fstHostOpcode>(18);
constexpr t_fstHostOpcode audioMasterGetOutputLatency            = static_cast<t_fstHostOpcode>(19);
constexpr t_fstHostOpcode audioMasterGetPreviousPlug             = static_cast<t_fstHostOpcode>(20);
constexpr t_fstHostOpcode audioMasterGetNextPlug                 = static_cast<t_fstHostOpcode>(21);
constexpr t_fstHostOpcode audioMasterWillReplaceOrAccumulate     = static_cast<t_fstHostOpcode>(22);
constexpr t_fstHostOpcode audioMasterGetAutomationState          = static_cast<t_fstHostOpcode>(24);
constexpr t_fstHostOpcode audioMasterOfflineStart                = static_cast<t_fstHostOpcode>(25);
constexpr t_fstHostOpcode audioMasterOfflineRead                 = static_cast<t_fstHostOpcode>(26);
constexpr t_fstHostOpcode audioMasterOfflineWrite                = static_cast<t_fstHostOpcode>(27);
constexpr t_fstHostOpcode audioMasterOfflineGetCurrentPass       = static_cast<t_fstHostOpcode>(28);
constexpr t_fstHostOpcode audioMasterOfflineGetCurrentMetaPass   = static_cast<t_fstHostOpcode>(29);
constexpr t_fstHostOpcode audioMasterSetOutputSampleRate         = static_cast<t_fstHostOpcode>(30);
constexpr t_fstHostOpcode audioMasterGetOutputSpeakerArrangement = static_cast<t_fstHostOpcode>(31);
constexpr t_fstHostOpcode audioMasterVendorSpecific              = static_cast<t_fstHostOpcode>(35);
constexpr t_fstHostOpcode audioMasterSetIcon                     = static_cast<t_fstHostOpcode>(36);
constexpr t_fstHostOpcode audioMasterGetLanguage                 = static_cast<t_fstHostOpcode>(38);
constexpr t_fstHostOpcode audioMasterOpenWindow                  = static_cast<t_fstHostOpcode>(39);
constexpr t_fstHostOpcode audioMasterCloseWindow                 = static_cast<t_fstHostOpcode>(40);
constexpr t_fstHostOpcode audioMasterGetDirectory                = static_cast<t_fstHostOpcode>(41);
constexpr t_fstHostOpcode audioMasterUpdateDisplay               = static_cast<t_fstHostOpcode>(42);
constexpr t_fstHostOpcode audioMasterOpenFileSelector            = static_cast<t_fstHostOpcode>(45);
constexpr t_fstHostOpcode audioMasterCloseFileSelector           = static_cast<t_fstHostOpcode>(46);
constexpr t_fstHostOpcode audioMasterEditFile                    = static_cast<t_fstHostOpcode>(47);
constexpr t_fstHostOpcode audioMasterGetChunkFile                = static_cast<t_fstHostOpcode>(48);
constexpr t_fstHostOpcode audioMasterGetInputSpeakerArrangement  = static_cast<t_fstHostOpcode>(49);
// Host to plug-in:
constexpr t_fstPluginOpcode effEditDraw                            = static_cast<t_fstPluginOpcode>(16);
constexpr t_fstPluginOpcode effEditMouse                           = static_cast<t_fstPluginOpcode>(17);
constexpr t_fstPluginOpcode effEditTop                             = static_cast<t_fstPluginOpcode>(20);
constexpr t_fstPluginOpcode effEditSleep                           = static_cast<t_fstPluginOpcode>(21);
constexpr t_fstPluginOpcode effConnectInput                        = static_cast<t_fstPluginOpcode>(31);
constexpr t_fstPluginOpcode effConnectOutput                       = static_cast<t_fstPluginOpcode>(32);
constexpr t_fstPluginOpcode effSetBypass                           = static_cast<t_fstPluginOpcode>(44);
constexpr t_fstPluginOpcode effGetTailSize                         = static_cast<t_fstPluginOpcode>(52);
constexpr t_fstPluginOpcode effIdle                                = static_cast<t_fstPluginOpcode>(53);
constexpr t_fstPluginOpcode effKeysRequired                        = static_cast<t_fstPluginOpcode>(57);
constexpr t_fstPluginOpcode effBeginSetProgram                     = static_cast<t_fstPluginOpcode>(67);
constexpr t_fstPluginOpcode effEndSetProgram                       = static_cast<t_fstPluginOpcode>(68);
constexpr t_fstPluginOpcode effGetNumMidiInputChannels             = static_cast<t_fstPluginOpcode>(78);
constexpr t_fstPluginOpcode effGetNumMidiOutputChannels            = static_cast<t_fstPluginOpcode>(79);

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
