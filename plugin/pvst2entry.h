// What the plug-in's VST 2 entry point asks the processor through the framework adapter's
// vendor-specific opcode: "is an editor open on this, the message thread?" (1 or 0). Both
// numbers together, so that no host's own vendor-specific call is taken for it.
#pragma once

#include <cstdint>

namespace pvst2entry
{
inline constexpr std::int32_t editoropenquery = 0x516c6564; // 'Qled'
inline constexpr std::int32_t editoropenvalue = 0x4f70656e; // 'Open'
} // namespace pvst2entry
