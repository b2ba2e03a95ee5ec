// The state text: the whole user-visible model as one comma-separated line, written when the
// host saves and read back on the audio thread when the host restores.
//
// Numbers go through std::to_chars and std::from_chars, never printf, atof or a stream, so
// the text is byte for byte the same whatever locale the host process runs in.
#include "engine/pprojdata.h"
#include "foundation/conumber.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace
{
constexpr std::string_view versiontoken = "QLT-VERSION:1.2a";
constexpr std::string_view markerparams = "^PAR";
constexpr std::string_view markerpatch = "^PAT";
constexpr std::string_view markervoice = "^VOI";
constexpr std::string_view markerassign = "^PAM";
constexpr char markerlead = '^';
constexpr char separator = ',';
constexpr int valuedecimals = 6;

// Room for any value token (a norm is 0..1, but the formatter must not depend on that)
// and any 32-bit integer.
constexpr std::size_t numberbuffer = 64;

// ---- writing ----

void appendvalue(std::string& text, double norm)
{
    // Stored as single precision, as saved states always have been.
    const double stored = static_cast<double>(static_cast<float>(norm));
    char buffer[numberbuffer];
    const auto result = std::to_chars(buffer, buffer + numberbuffer, stored, std::chars_format::fixed, valuedecimals);
    text.push_back(separator);
    text.append(buffer, result.ptr);
}

void appendinteger(std::string& text, std::int32_t value)
{
    char buffer[numberbuffer];
    const auto result = std::to_chars(buffer, buffer + numberbuffer, value);
    text.push_back(separator);
    text.append(buffer, result.ptr);
}

void appendtoken(std::string& text, std::string_view token)
{
    text.push_back(separator);
    text.append(token);
}

// The amount is written as a whole number; a value beyond 32 bits saturates instead of
// overflowing the conversion.
std::int32_t amounttoken(double amount)
{
    if (!std::isfinite(amount))
        return 0;
    const double whole = std::trunc(amount);
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(whole < lowest ? lowest : (whole > highest ? highest : whole));
}

// ---- reading ----

// What atof and atoi skip in the C locale before the number.
bool isleadingspace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The token with leading white space removed and an explicit "+" dropped; false when what
// follows the "+" cannot start a number.
bool numberstart(std::string_view token, std::string_view& digits)
{
    while (!token.empty() && isleadingspace(token.front()))
        token.remove_prefix(1);
    if (!token.empty() && token.front() == '+')
    {
        token.remove_prefix(1);
        if (!token.empty() && (token.front() == '+' || token.front() == '-'))
            return false;
    }
    digits = token;
    return true;
}

// The leading number of a value token. Anything unreadable, and anything that is not a
// finite double (nan, inf, 1e999), reads as 0.
double readvalue(std::string_view token)
{
    return coreadnumber(token);
}

// The leading integer of a token. Unreadable text reads as 0, as the established format
// expects; a number that does not fit 32 bits is rejected (false) rather than wrapped.
bool readinteger(std::string_view token, std::int64_t& value)
{
    value = 0;
    std::string_view digits;
    if (!numberstart(token, digits))
        return true;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::invalid_argument)
    {
        value = 0;
        return true;
    }
    if (result.ec != std::errc{})
        return false;
    return value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
}

// The tokens after the version token. A comma that ends the text yields no empty token.
class ptokenizer
{
public:
    explicit ptokenizer(std::string_view rest) : remaining(rest), finished(rest.empty()) {}

    bool next(std::string_view& token)
    {
        if (finished)
            return false;
        const std::size_t comma = remaining.find(separator);
        if (comma == std::string_view::npos)
        {
            token = remaining;
            finished = true;
            return true;
        }
        token = remaining.substr(0, comma);
        remaining.remove_prefix(comma + 1);
        finished = remaining.empty();
        return true;
    }

private:
    std::string_view remaining;
    bool finished;
};

// Rebuilds voices, patches and assignments from the tokens into an emptied model.
class pstatereader
{
public:
    explicit pstatereader(pprojdata& m) : model(m) {}

    void read(ptokenizer& tokens)
    {
        std::string_view token;
        while (tokens.next(token))
        {
            if (token == markerparams || token == markerpatch || token == markervoice || token == markerassign)
                skipping = false;
            if (token == markerparams)
                startparams();
            else if (token == markerpatch)
            {
                if (!startpatch(tokens))
                    return; // "^PAT" was the last token
            }
            else if (token == markervoice)
                startvoice();
            else if (token == markerassign)
                startassign();
            else if (!token.empty() && token.front() == markerlead)
                continue; // unknown marker: section and counters stay
            else
                value(token);
        }
    }

private:
    enum class section
    {
        none,
        params,
        patch,
        voice,
        assign,
    };

    void startparams()
    {
        current = section::params;
        valueindex = 0;
    }

    bool startpatch(ptokenizer& tokens)
    {
        record = current == section::patch ? record + 1 : 0;
        std::string_view kindtoken;
        if (!tokens.next(kindtoken))
            return false;
        std::int64_t kind = 0;
        if (!readinteger(kindtoken, kind) || !ispatchkind(kind))
            kind = pkindmodulator;
        if (model.patches.count < pprojdata::statemaxpatches)
            model.newpatch(false, static_cast<int>(kind));
        current = section::patch;
        valueindex = 0;
        return true;
    }

    void startvoice()
    {
        record = (current == section::voice || current == section::assign) ? record + 1 : 0;
        if (model.voices.count < pprojdata::statemaxvoices)
            model.newvoice();
        current = section::voice;
        valueindex = 0;
    }

    void startassign()
    {
        assigned = nullptr;
        assignvoice = model.voiceat(record);
        if (assignvoice == nullptr)
        {
            // No voice to hold it: the record and its fields are skipped, and the section
            // stays, so the next "^VOI" numbers its voice as if this had not been here.
            skipping = true;
            return;
        }
        valueindex = current == section::assign ? valueindex + 1 : 0;
        // The record is only made once its patch index proves valid; until then its fields
        // go nowhere.
        current = section::assign;
        field = 0;
    }

    void value(std::string_view token)
    {
        if (skipping)
            return;
        switch (current)
        {
        case section::params: setnorm(model.params, token); break;
        case section::patch:
            if (ppatchmod* p = model.patchat(record))
                setnorm(p->params, token);
            break;
        case section::voice:
            if (pparvoice* v = model.voiceat(record))
                setnorm(v->params, token);
            break;
        case section::assign: assignfield(token); break;
        case section::none: break;
        }
    }

    void setnorm(ocarray::ArrayPtr<pparam>& list, std::string_view token)
    {
        if (valueindex < list.count)
            list[valueindex]->setnorm(readvalue(token));
        ++valueindex;
    }

    void assignfield(std::string_view token)
    {
        const std::uint64_t f = field++;
        if (f == 0)
            assignpatchindex(token);
        else if (f == 1)
            assigntarget(token);
        else if (f == 2 && assigned != nullptr)
            assigned->amount = readvalue(token);
    }

    // A record whose index names no patch is dropped: nothing downstream may look a patch up
    // through it.
    void assignpatchindex(std::string_view token)
    {
        std::int64_t index = 0;
        if (assignvoice == nullptr || !readinteger(token, index) || index < 0)
            return;
        ppatchmod* p = model.patchat(static_cast<std::uint64_t>(index));
        if (p == nullptr)
            return;
        // Checked before an earlier record is released: a record dropped for the cap leaves
        // the voice as it was.
        if (p->kind == pkinddelay && p->refcount == 0 && delaysinuse >= pprojdata::maxdelaylines)
            return;
        if (p->kind != pkindmodulator)
            releaseearlier(static_cast<std::int32_t>(p->kind));
        // After the release: the earlier record may have named this same patch.
        if (p->kind == pkinddelay && p->refcount == 0)
            ++delaysinuse;
        auto* made = new ppatchassign;
        made->kind = static_cast<std::int32_t>(p->kind);
        made->patch = static_cast<std::uint64_t>(index);
        made->target = 0;
        made->amount = 0.0;
        assignvoice->assignments.append(made);
        ++p->refcount;
        assigned = made;
    }

    // Only a modulator moves a target, and only one of the voice's parameters; other kinds
    // keep target 0 whatever the text says.
    void assigntarget(std::string_view token)
    {
        if (assigned == nullptr)
            return;
        std::int64_t target = 0;
        const bool readable = readinteger(token, target);
        if (assigned->kind != pkindmodulator)
            return;
        if (readable && target >= 0 && static_cast<std::uint64_t>(target) < pvoiceparamcount)
            assigned->target = target;
        else
            dropassigned();
    }

    // One delay, EQ and harmony record per voice: a later one replaces the earlier, which is
    // the one the audio path would have ignored.
    void releaseearlier(std::int32_t kind)
    {
        ocarray::ArrayPtr<ppatchassign>& list = assignvoice->assignments;
        for (std::uint64_t i = 0; i < list.count; ++i)
        {
            if (list[i]->kind != kind)
                continue;
            if (ppatchmod* p = model.patchat(list[i]->patch); p != nullptr && p->refcount > 0)
            {
                --p->refcount;
                if (p->kind == pkinddelay && p->refcount == 0)
                    --delaysinuse;
            }
            delete list.remove(i);
            return;
        }
    }

    void dropassigned()
    {
        ocarray::ArrayPtr<ppatchassign>& list = assignvoice->assignments;
        // The record under construction is always the voice's newest.
        if (list.count == 0 || list[list.count - 1] != assigned)
            return;
        if (ppatchmod* p = model.patchat(assigned->patch); p != nullptr && p->refcount > 0)
            --p->refcount;
        delete list.remove(list.count - 1);
        assigned = nullptr;
    }

    pprojdata& model;
    section current = section::none;
    std::uint64_t record = 0;     // r: the patch or voice the values belong to
    std::uint64_t valueindex = 0; // j
    std::uint64_t field = 0;      // f, within an assignment
    pparvoice* assignvoice = nullptr;
    ppatchassign* assigned = nullptr;
    bool skipping = false;         // inside a "^PAM" whose voice does not exist
    std::uint64_t delaysinuse = 0; // delay patches with a record so far
};

bool holdsseparator(const costringa& text)
{
    return text.length > 0 && std::memchr(text.c_str(), separator, text.length) != nullptr;
}
} // namespace

void pprojdata::writestate(costringa& out) const
{
    std::string text;
    text.append(versiontoken);

    appendtoken(text, markerparams);
    for (std::uint64_t i = 0; i < params.count; ++i)
        appendvalue(text, params[i]->norm);

    // Free patches below the last used one are written too, so that indexes stay valid.
    std::uint64_t written = 0;
    for (std::uint64_t i = 0; i < patches.count; ++i)
        if (patches[i]->refcount != 0)
            written = i + 1;
    for (std::uint64_t i = 0; i < written; ++i)
    {
        const ppatchmod* p = patches[i];
        appendtoken(text, markerpatch);
        appendinteger(text, static_cast<std::int32_t>(p->kind));
        for (std::uint64_t j = 0; j < p->params.count; ++j)
            appendvalue(text, p->params[j]->norm);
    }

    for (std::uint64_t i = 0; i < voices.count; ++i)
    {
        const pparvoice* v = voices[i];
        appendtoken(text, markervoice);
        for (std::uint64_t j = 0; j < v->params.count; ++j)
            appendvalue(text, v->params[j]->norm);
        for (std::uint64_t j = 0; j < v->assignments.count; ++j)
        {
            const ppatchassign* a = v->assignments[j];
            appendtoken(text, markerassign);
            appendinteger(text, static_cast<std::int32_t>(a->patch));
            appendinteger(text, static_cast<std::int32_t>(a->target));
            appendinteger(text, amounttoken(a->amount));
        }
    }

    out.assign(text.data(), text.size());
}

void pprojdata::loadstate(const char* text)
{
    const char* comma = text != nullptr ? std::strchr(text, separator) : nullptr;
    if (comma == nullptr)
    {
        // Not a state text: the model stays as it is.
        postgui(pevrebuildgui, 1.0f);
        return;
    }

    initpbm(currentrate);
    voices.clearAndDestroy();
    patches.clearAndDestroy();
    mixoffset = 0;

    // The version token is never compared: older and newer texts load the same way.
    ptokenizer tokens(std::string_view(comma + 1));
    pstatereader reader(*this);
    reader.read(tokens);

    if (voices.count == 0)
        newvoice();
    for (std::uint64_t i = 0; i < patches.count; ++i)
        recalcpatchstate(i);
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::savestate(costringa& out)
{
    std::lock_guard<std::mutex> held(modelmutex);
    {
        // A restore the audio thread has not applied yet is what the host expects back.
        std::lock_guard<pspinlock> pending(pendinglock);
        if (pendinggeneration != appliedgeneration && holdsseparator(pendingtext))
        {
            out.assign(pendingtext.c_str(), pendingtext.length);
            return;
        }
    }
    writestate(out);
}

void pprojdata::restorestate(const void* data, std::int64_t size)
{
    // Built outside the lock; the lock only swaps buffers, so the audio thread never waits
    // for an allocation.
    costringa incoming;
    if (data != nullptr && size > 0)
    {
        const auto* bytes = static_cast<const char*>(data);
        const void* nul = std::memchr(bytes, '\0', static_cast<std::size_t>(size));
        const std::uint64_t n = nul != nullptr ? static_cast<std::uint64_t>(static_cast<const char*>(nul) - bytes)
                                               : static_cast<std::uint64_t>(size);
        incoming.assign(bytes, n);
    }
    {
        std::lock_guard<pspinlock> pending(pendinglock);
        std::swap(pendingtext.length, incoming.length);
        std::swap(pendingtext.capacity, incoming.capacity);
        std::swap(pendingtext.data, incoming.data);
        ++pendinggeneration;
    }
    // After the text is in place, so the reload always finds it.
    audioqueue.post(pevloadstate, 1.0f);
}

void pprojdata::doloadstate()
{
    bool fresh = false;
    std::uint64_t generation = 0;
    for (;;)
    {
        std::uint64_t needed = 0;
        {
            std::lock_guard<pspinlock> pending(pendinglock);
            if (pendinggeneration == appliedgeneration)
                break;
            if (reloadtext.capacity() >= pendingtext.length)
            {
                reloadtext.assign(pendingtext.c_str(), pendingtext.length);
                generation = pendinggeneration;
                fresh = true;
                break;
            }
            needed = pendingtext.length;
        }
        // Grow outside the lock, then look again: the host may have handed over yet
        // another text meanwhile.
        reloadtext.reserve(needed);
    }

    if (!fresh)
    {
        // Nothing new from the host: this 91001 comes from a queue overflow. Reloading the
        // last text would throw away every change made since, so only bring what events may
        // have missed back in line with the model.
        resyncstate();
        return;
    }
    appliedgeneration = generation;
    loadstate(reloadtext.c_str());
    // The reload made new modulators with output 0: each host parameter's current value
    // reaches the one that follows it at once, not when the host next moves it.
    hostparams.markall();
}

void pprojdata::resyncstate()
{
    for (std::uint64_t i = 0; i < patches.count; ++i)
        recalcpatchstate(i);
    postgui(pevrebuildgui, 1.0f);
}
