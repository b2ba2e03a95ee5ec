#include "plugin/pmididecode.h"

namespace pmididecode
{
namespace
{
constexpr std::uint8_t databits = 0x7F;
constexpr std::uint8_t channelbits = 0x0F;
constexpr std::uint32_t firstsystemstatus = 0xF0;
constexpr std::uint32_t polypressure = 0xA0;
constexpr std::uint32_t programchange = 0xC0;
constexpr std::uint32_t bendmsbweight = 128;
} // namespace

bool decode(const std::uint8_t* bytes, int size, int position, krvstmidievent& record)
{
    if (bytes == nullptr || size < 1)
        return false;
    const std::uint32_t status = bytes[0] & static_cast<std::uint8_t>(~channelbits);
    // A data byte in the status position (running status) or a system message.
    if (status < kmidinoteoff || status >= firstsystemstatus || status == polypressure || status == programchange)
        return false;

    const int needed = status == kmidichannelpressure ? 2 : 3;
    if (size < needed)
        return false;
    const std::uint32_t data1 = bytes[1] & databits;
    const std::uint32_t data2 = needed > 2 ? (bytes[2] & databits) : 0u;

    record.status = status;
    record.sampleoffset = position;
    switch (status)
    {
    case kmidinoteoff:
    case kmidinoteon:
        record.number = static_cast<std::int32_t>(data1);
        record.rawvalue = data2;
        record.value = static_cast<double>(data2);
        break;
    case kmidicontroller:
        record.number = static_cast<std::int32_t>(data1);
        record.rawvalue = data2;
        record.value = static_cast<double>(data2) / sevenbitmax;
        break;
    case kmidichannelpressure:
        record.number = kmidinumberpressure;
        record.rawvalue = data1;
        record.value = static_cast<double>(data1) / sevenbitmax;
        break;
    default: // kmidipitchbend
        record.number = kmidinumberbend;
        record.rawvalue = data1 + bendmsbweight * data2;
        record.value = static_cast<double>(record.rawvalue) / fourteenbitmax;
        break;
    }
    return record.number < firstdroppednumber || record.number > lastdroppednumber;
}
} // namespace pmididecode
