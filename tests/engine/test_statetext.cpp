#include "engine/hostparams.h"
#include "engine/patchparams.h"
#include "eventmodel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cmath>
#include <functional>
#include <iomanip>
#include <limits>
#include <locale>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace
{
const std::string version = "QLT-VERSION:1.2a";
const std::string freshtext = version
                              + ",^PAR,0.500098,0.500000,0.000000,1.000000,0.000000,1.000000,0.500098,0.500098,1.000000"
                                ",^VOI,0.500000,0.500000,0.500000,0.000000,0.500000,0.500000,0.000000";

// Three voices, all four kinds, a free slot below the last used patch, shared assignments.
void buildrichmodel(pprojdata& m)
{
    m.newvoice();
    m.newvoice();
    // Patch slots: 0 modulator, 1 delay, 2 EQ, 3 harmony, 5 modulator; 4 stays free.
    for (int kind : {pkindmodulator, pkinddelay, pkindeq, pkindharmony, pkinddelay, pkindmodulator})
        m.newpatch(false, kind);
    m.params[pglobalvolume]->setnorm(0.123456789);
    m.patches[1]->params[ppatchfeedback]->setnorm(0.45);
    for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
        m.patches[2]->params[ppatchcurvefirst + i]->setnorm(static_cast<double>(i) / 63.0);
    m.patches[3]->params[ppatchsource]->setvalue(pharmonycustom);
    m.patches[3]->params[ppatchintervalfirst + 4]->setvalue(-7.0);
    m.recalcpatchstate(2);
    m.recalcpatchstate(3);
    using assignment =
        std::tuple<std::int32_t, std::uint64_t, std::uint64_t, std::int64_t>; // kind, voice, patch, target
    for (const auto& [kind, voice, patch, target] : {assignment{pkindmodulator, 0, 0, pvoicevolume},
                                                     {pkinddelay, 0, 1, 0},
                                                     {pkindeq, 1, 2, 0},
                                                     {pkindmodulator, 1, 0, pvoiceformantshift},
                                                     {pkindmodulator, 1, 5, pvoicepitch},
                                                     {pkindharmony, 2, 3, 0},
                                                     {pkinddelay, 2, 1, 0}})
        m.assignpatch(kind, voice, patch, target);
    m.voices[1]->assignments[2]->amount = -3.0;
    m.voices[1]->params[pvoicepitch]->setnorm(0.75);
}

std::string textof(const std::function<void(pprojdata&)>& build)
{
    eventmodel em;
    build(em.m());
    return em.write();
}

void restore(eventmodel& em, const std::string& text)
{
    em.m().restorestate(text.c_str(), static_cast<std::int64_t>(text.size() + 1));
}

std::string save(eventmodel& em)
{
    costringa out;
    em.m().savestate(out);
    return out.str();
}

// `count` comma-separated tokens taken from `pieces` in a scrambled order.
std::string tokens(std::vector<const char*> pieces, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += std::string(",") + pieces[(i * 7 + i / 5) % pieces.size()];
    return text;
}

// The structure, the first voice's pitch and the globals.
std::string summary(const pprojdata& m)
{
    std::ostringstream out;
    out << structure(m) << " | pitch " << m.voices[0]->params[pvoicepitch]->norm << " | globals";
    for (std::uint64_t g = 0; g < m.params.count; ++g)
        out << ' ' << std::setprecision(3) << m.params[g]->norm;
    return out.str();
}
} // namespace

TEST(StateWriter, WritesExactlyTheValuesAndPatchesUpToTheLastInUse)
{
    eventmodel em;
    pprojdata& m = em.m();
    m.newpatch(false, pkindeq); // unassigned: not written
    EXPECT_EQ(em.write(), freshtext);
    m.newpatch(false, pkindmodulator);
    m.newpatch(false, pkinddelay);
    m.assignpatch(pkindmodulator, 0, 1, pvoicepan);
    m.voices[0]->assignments[0]->amount = -2.9;
    const std::string text = em.write();
    // Free slot 0 is written as a placeholder, free slot 2 after the last used one is not.
    EXPECT_EQ(text.find(",^PAT,"), text.find(",^PAT,93003,"));
    EXPECT_EQ(text.find(",^PAT,93002"), std::string::npos);
    EXPECT_EQ(text.substr(text.find(",^VOI")), freshtext.substr(freshtext.find(",^VOI")) + ",^PAM,1,2,-2");
}

TEST(StateRoundTrip, WriteReadWriteGivesTheSameBytesAndRebuildsDerivedState)
{
    const std::string first = textof(buildrichmodel);
    eventmodel b(96000.0);
    pprojdata& m = b.m();
    m.newvoice();
    m.selectedvoice = 1;
    m.page = ppagemix;
    b.load(first);
    EXPECT_EQ(b.write(), first);
    EXPECT_EQ(m.selectedvoice.load(), 0u);
    EXPECT_EQ(m.page.load(), ppagevoices);
    // Harmony ratios and EQ gains come from the values, at the model's own rate.
    EXPECT_NEAR(m.patches[3]->channels[0].buffer[4], std::pow(2.0, -7.0 / 12.0), 1e-5);
    EXPECT_EQ(m.patches[2]->channels[0].bufferlength, 2048u);
    EXPECT_EQ(m.newpatch(true, pkindeq), 4u) << "the free slot is loaded as free";
}

TEST(StateText, IgnoresTheLocalesDecimalComma)
{
    const std::string oldc = std::setlocale(LC_ALL, nullptr);
    const std::locale oldcpp;
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (locale-gen de_DE.UTF-8)";
    std::locale::global(std::locale("de_DE.UTF-8"));
    char check[16];
    std::snprintf(check, sizeof check, "%.1f", 0.5);
    eventmodel em;
    const std::string fresh = em.write();
    em.load(version + ",^PAR,0.250000");
    const double read = em.m().params[0]->norm;
    std::locale::global(oldcpp);
    std::setlocale(LC_ALL, oldc.c_str());
    ASSERT_STREQ(check, "0,5") << "the locale must really use a decimal comma";
    EXPECT_EQ(fresh, freshtext);
    EXPECT_DOUBLE_EQ(read, 0.25);
}

TEST(StateReader, MalformedTextsGiveTheDocumentedModel)
{
    const std::string v = version;
    const std::string globals = " | globals 0.8 0.5 0 1 0 1 0.5 0.5 1";
    const std::string defaultmodel = "voices 1/1 | patches | assign | pitch 0.5" + globals;
    const std::vector<const char*> garbage = {
        "",   "x",     "1e",  "--1",  "0.5.5",
        "^",  "^X",    "nan", "+",    " 7",
        "-0", "1e999", "\t",  "^par", "9999999999999999999999",
    };
    // name, text, expected
    using row = std::tuple<const char*, std::string, std::string>;
    const row rows[] = {
        {"only the version token", v, "voices 2/2 | patches 93002:1 | assign 1>0/93002/0 | pitch 0.5" + globals},
        {"trailing comma", v + ",", defaultmodel},
        {"kind token 5 or huge is a modulator", v + ",^PAT,5,0.1,^PAT,99999999999999999999",
         "voices 1/1 | patches 93001:0 93001:0 | assign | pitch 0.5" + globals},
        {"patch 7 of 3", v + ",^PAT,93001,^PAT,93002,^PAT,93003,^VOI,^PAM,7,0,1,^PAM,1,0,1",
         "voices 1/1 | patches 93001:0 93002:1 93003:0 | assign 0>1/93002/0 | pitch 0.5" + globals},
        {"negative and huge indexes and targets",
         v
             + ",^PAT,93001,^VOI,^PAM,-1,0,1,^PAM,4294967296,0,1,^PAM,99999999999999999999999,0,1"
               ",^PAM,0,7,1,^PAM,0,-1,1,^PAM,0,5,1",
         "voices 1/1 | patches 93001:1 | assign 0>0/93001/5 | pitch 0.5" + globals},
        {"letters read as zero", v + ",^PAR,abc,^PAT,93001,^VOI,xyz,^PAM,qq,0,1",
         "voices 1/1 | patches 93001:1 | assign 0>0/93001/0 | pitch 0 | globals 0 0.5 0 1 0 1 0.5 0.5 1"},
        {"nan and infinity read as zero, values clamped", v + ",^PAR,nan,inf,-inf,1e999,-nan,NAN,7,-5",
         "voices 1/1 | patches | assign | pitch 0.5 | globals 0 0 0 0 0 0 1 0 1"},
        {"lone ^PAT at the end", v + ",^VOI,0.25,^PAT", "voices 1/1 | patches | assign | pitch 0.25" + globals},
        {"100 000 tokens of garbage", v + tokens(garbage, 100000), defaultmodel},
        {"a flood of voices is capped", v + tokens({"^VOI"}, 100000),
         "voices 1024/1024 | patches | assign | pitch 0.5" + globals},
        {"a flood of patches is capped", v + tokens({"^PAT"}, 100000),
         "voices 1/1 | patches 4096 | assign | pitch 0.5" + globals},
        {"a ^PAM without a voice moves no section or count", v + ",^PAR,0.1,^PAM,0.7,0,0,^VOI,0.25",
         "voices 1/1 | patches | assign | pitch 0.25 | globals 0.1 0.5 0 1 0 1 0.5 0.5 1"},
        {"one delay, EQ and harmony record per voice: the last",
         v
             + ",^PAT,93002,^PAT,93002,^PAT,93003,^PAT,93003,^PAT,93004,^PAT,93004,^PAT,93001,^PAT,93001,^VOI"
               ",^PAM,0,0,0,^PAM,1,0,0,^PAM,2,0,0,^PAM,3,0,0,^PAM,4,0,0,^PAM,5,0,0,^PAM,6,1,0,^PAM,7,2,0",
         "voices 1/1 | patches 93002:0 93002:1 93003:0 93003:1 93004:0 93004:1 93001:1 93001:1 | assign 0>1/93002/0"
         " 0>3/93003/0 0>5/93004/0 0>6/93001/1 0>7/93001/2 | pitch 0.5"
             + globals},
    };
    for (const auto& [name, text, expected] : rows)
    {
        SCOPED_TRACE(name);
        eventmodel em;
        eventmodel again;
        pprojdata& m = em.m();
        m.newvoice();
        m.newpatch(false, pkinddelay);
        m.assignpatch(pkinddelay, 1, 0, 0);
        m.params[pglobalin]->setnorm(0.8);
        em.rebuildsposted();
        em.load(text);
        EXPECT_EQ(summary(m), expected);
        EXPECT_EQ(em.rebuildsposted(), 1u) << "the editor rebuilds whatever the text held";
        again.load(em.write());
        EXPECT_EQ(again.write(), em.write());
    }
}

// Each delay patch in use holds 2 s of line per channel: the editor, the state text and the audio path
// all stop at maxdelaylines of them.
TEST(DelayLines, AtMostTheCapAreInUseAndHoldALine)
{
    constexpr std::uint64_t cap = pprojdata::maxdelaylines;
    constexpr std::uint64_t asked = cap + 8;
    std::string text = version + ",^PAR";
    for (std::uint64_t i = 0; i < asked; ++i)
        text += ",^PAT,93002";
    for (std::uint64_t i = 0; i < asked; ++i) // each assignment twice: counted once
        text += ",^VOI,^PAM," + std::to_string(i) + ",0,0,^PAM," + std::to_string(i) + ",0,0";
    eventmodel read, edited, forced;
    read.load(text);
    EXPECT_EQ(read.m().delaypatchesinuse(), cap);
    EXPECT_EQ(read.m().voices[cap]->assignments.count, 0u);
    for (std::uint64_t i = 0; i < asked; ++i)
    {
        edited.m().newvoice();
        edited.m().assignpatch(pkinddelay, i, edited.m().newpatch(false, pkinddelay), 0);
    }
    EXPECT_EQ(edited.m().delaypatchesinuse(), cap);
    // Records made past both guards: the audio path still makes only cap lines and cap + 1 buses.
    pprojdata& m = forced.m();
    for (std::uint64_t i = 0; i < asked; ++i)
    {
        m.newvoice();
        m.newpatch(false, pkinddelay);
        m.voices[i]->assignments.append(new ppatchassign{pkinddelay, i, 0, 1.0});
        ++m.patches[i]->refcount;
    }
    std::vector<double> left(256, 0.1), right(256, 0.1), out0(256), out1(256);
    double* in[2] = {left.data(), right.data()};
    double* out[2] = {out0.data(), out1.data()};
    m.process(in, 256, out, 2);
    std::uint64_t lines = 0;
    for (std::uint64_t i = 0; i < asked; ++i)
        lines += m.patches[i]->channels[0].bufferlength > 0 ? 1 : 0;
    EXPECT_EQ(lines, cap);
    EXPECT_EQ(m.engines[0].busoutputs.count, cap + 1);
    EXPECT_EQ(m.patches[asked - 1]->channels[0].busindex, 0u);
}

TEST(StateHandOver, TheNextDrainAppliesTheLastRestoredTextCutAtItsFirstNul)
{
    eventmodel em;
    const std::string first = textof([](pprojdata& m) { m.newvoice(); });
    const std::string rich = textof(buildrichmodel);
    restore(em, first);
    restore(em, rich);
    EXPECT_EQ(em.write(), freshtext) << "nothing changes before the audio thread reloads";
    EXPECT_EQ(save(em), rich) << "a save while a restore is pending returns the pending text";
    EXPECT_EQ(em.m().doaudioevents(), 2u);
    EXPECT_EQ(em.write(), rich);
    EXPECT_EQ(save(em), rich);
    EXPECT_EQ(em.rebuildsposted(), 1u); // two requests in a row are one
    for (int i = 0; i < 64; ++i)        // a full queue still takes the restore
        em.m().audioqueue.post(pevpatchtype, 1.0f);
    restore(em, first);
    em.m().doaudioevents();
    EXPECT_EQ(em.write(), first);
    restore(em, version); // no state: the reload will leave the model as it is
    EXPECT_EQ(save(em), first);
    // A block is cut at its first NUL; empty blocks change nothing.
    const std::string block = version + ",^PAR,0.3" + std::string(1, '\0') + ",0.9";
    em.m().restorestate(block.data(), static_cast<std::int64_t>(block.size()));
    em.m().doaudioevents();
    em.m().restorestate(nullptr, 10);
    em.m().restorestate("x", 0);
    em.m().doaudioevents();
    const std::string state = summary(em.m());
    EXPECT_EQ(state.substr(state.find("globals")), "globals 0.3 0.5 0 1 0 1 0.5 0.5 1");
}

TEST(StateHandOver, AnOverflowNeverRollsTheModelBack)
{
    eventmodel em;
    pprojdata& m = em.m();
    restore(em, textof(buildrichmodel));
    m.doaudioevents();
    em.m().audioqueue.post(pevaddvoice, 1.0f);
    m.doaudioevents();
    ASSERT_EQ(m.voices.count, 4u);
    // An edit written without an event is picked up by the resynchronisation.
    m.patches[3]->params[ppatchintervalfirst]->setvalue(12.0);
    const std::string edited = em.write();
    for (int i = 0; i < 70; ++i)
        em.m().audioqueue.post(pevvoicemode, 1.0f); // ignored by the dispatcher
    em.rebuildsposted();
    EXPECT_EQ(m.doaudioevents(), 64u);
    EXPECT_EQ(em.write(), edited);
    EXPECT_NEAR(m.patches[3]->channels[0].buffer[0], 2.0, 1e-12);
    EXPECT_EQ(em.rebuildsposted(), 1u) << "the editor resynchronises";
}

// The host saves and restores while the audio thread reloads: every saved text is one whole state.
TEST(StateHandOverThreads, SavesSeeOnlyWholeModels)
{
    eventmodel em;
    pprojdata& m = em.m();
    const std::string texts[] = {freshtext, textof(buildrichmodel), textof([](pprojdata& p) { p.newvoice(); })};
    const std::set<std::string> valid(std::begin(texts), std::end(texts));
    std::atomic<bool> done{false};
    std::thread audio([&] {
        for (; !done.load(); std::this_thread::yield())
        {
            m.doaudioevents();
            em.rebuildsposted();
        }
    });
    int invalid = 0;
    for (int i = 0; i < 2000; ++i, std::this_thread::yield())
    {
        restore(em, texts[i % 3]);
        invalid += valid.count(save(em)) == 0 ? 1 : 0;
    }
    done = true;
    audio.join();
    EXPECT_EQ(invalid, 0);
    m.doaudioevents();
    EXPECT_EQ(em.write(), texts[1999 % 3]);
}

// The chunk's host-parameter trailer, and the reload that hands every host value to the new
// modulators.
namespace
{
const std::string statetext = "QLT-VERSION:1.2a,^PAR,0.5";
const std::string tag = "QLT-HOSTPARAMS:1";

std::string values(const char* first, const char* rest, int count = hostparamcount)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::string(",") + (i == 0 ? first : rest);
    return text;
}

std::string chunkwith(const std::string& trailer)
{
    return statetext + std::string(1, '\0') + trailer;
}

// "rejected", or the first two values and the mask of finite ones.
std::string readback(const std::string& chunk)
{
    float v[hostparamcount];
    for (float& x : v)
        x = -1.0f;
    std::uint32_t present = 0;
    if (!phosttrailer::read(chunk.data(), chunk.size(), v, present))
        return "rejected";
    char text[96];
    std::snprintf(text, sizeof text, "%g %g %08x", static_cast<double>(v[0]), static_cast<double>(v[1]), present);
    return text;
}

TEST(HostTrailer, WrittenAfterTheTextsNulAndReadBackExactly)
{
    float v[hostparamcount];
    for (int i = 0; i < hostparamcount; ++i)
        v[i] = static_cast<float>(i) / 31.0f;
    v[2] = 7.0f, v[3] = -2.0f, v[4] = std::nanf("");
    std::string chunk = statetext;
    chunk.push_back('\0');
    phosttrailer::write(v, chunk);
    const std::string expected = tag + ",0.000000,0.032258,1.000000,0.000000,0.500000,0.161290";
    EXPECT_EQ(chunk.substr(statetext.size() + 1, expected.size()), expected);
    EXPECT_EQ(chunk.back(), '\0');
    float back[hostparamcount] = {};
    std::uint32_t present = 0;
    ASSERT_TRUE(phosttrailer::read(chunk.data(), chunk.size(), back, present));
    EXPECT_EQ(present, 0xFFFFFFFFu);
    for (int i = 5; i < hostparamcount; ++i)
        EXPECT_NEAR(back[i], v[i], 5e-7) << i;
}

TEST(HostTrailer, OnlyAWholeTrailerOfThisVersionIsRead)
{
    // chunk, expected
    using row = std::tuple<std::string, const char*>;
    const row cases[] = {
        {chunkwith(tag + values("0.25", "0.75") + std::string(1, '\0')), "0.25 0.75 ffffffff"},
        {chunkwith(tag + values("0.25", "0.75")), "rejected"}, // no closing NUL: truncated
        {chunkwith(tag + values("0.25", "0.75").substr(0, 40)), "rejected"},
        {chunkwith(tag + values("0.25", "0.75", 31) + std::string(1, '\0')), "rejected"}, // 31 values
        {chunkwith(tag + values("0.25", "0.75", 33) + std::string(1, '\0')), "rejected"}, // 33 values
        {chunkwith("QLT-HOSTPARAMS:2" + values("0.25", "0.75") + std::string(1, '\0')), "rejected"},
        {chunkwith("QLT-HOSTPARAMS:" + values("0.25", "0.75") + std::string(1, '\0')), "rejected"},
        {chunkwith("QLT-HOSTPARAMZ:1" + values("0.25", "0.75") + std::string(1, '\0')), "rejected"},
        {chunkwith(tag + values("0.25x", "0.75") + std::string(1, '\0')), "rejected"}, // garbage in a number
        {chunkwith(tag + values("", "0.75") + std::string(1, '\0')), "rejected"},
        {chunkwith(tag + values(" 0.25", "0.75") + std::string(1, '\0')), "rejected"},
        {chunkwith(tag + values("0.25", std::string(60, '1').c_str()) + std::string(1, '\0')), "rejected"},
        {chunkwith(tag + values("1e-3", "7") + std::string(1, '\0')), "0.001 1 ffffffff"},  // clamped
        {chunkwith(tag + values("-0.5", "1e999") + std::string(1, '\0')), "0 -1 00000001"}, // too big: not finite
        {chunkwith(tag + values("nan", "inf") + std::string(1, '\0')), "-1 -1 00000000"},   // left alone
        {chunkwith(tag + values("0.5", "0.5") + std::string(1, '\0') + "later bytes"), "0.5 0.5 ffffffff"},
        {chunkwith(""), "rejected"},
        {statetext, "rejected"}, // no NUL at all
        {std::string(), "rejected"},
    };
    for (const auto& [chunk, expected] : cases)
        EXPECT_EQ(readback(chunk), expected) << chunk.substr(statetext.size());
}

// The host holds parameter 1 at 0.8 and parameter 2 at 0.3; a state restored afterwards makes
// new modulators listening to them, which start from those values, not from 0.
TEST(HostTrailer, ReloadHandsEveryHostValueToTheNewModulators)
{
    eventmodel em;
    em.m().hostparams.post(0, 0.8f);
    em.m().hostparams.post(1, 0.3f);
    em.m().applyhostparams(); // nobody listens yet: the values stay in the mailbox
    const std::string modulator = ",^PAT,93001,0.000000,1.000000,0.020202,0.010101,0.050000,0.000000,0.000000,";
    const std::string text = "QLT-VERSION:1.2a,^PAR,0.5,0.5,0,1,0,1,0.5,0.5,1" + modulator + "0.007874" + modulator
                             + "0.015748,^VOI,0.5,0.5,0.5,0,0.5,0.5,0,^PAM,0,1,1,^PAM,1,2,1";
    em.m().restorestate(text.c_str(), static_cast<std::int64_t>(text.size() + 1));
    em.m().doaudioevents();
    em.m().applyhostparams();
    ASSERT_EQ(em.m().patches.count, 2u);
    EXPECT_NEAR(em.m().patches[0]->channels[0].modoutput.load(), 0.8, 1e-6);
    EXPECT_NEAR(em.m().patches[1]->channels[1].modoutput.load(), 0.3, 1e-6);
}
} // namespace
