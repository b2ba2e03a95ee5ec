// The state text: exact format of the writer, round trips, malformed texts, locale
// independence, and the hand-over of restored texts (generations, overflow, saving while a
// restore is pending, and the writer against the reload on another thread).
#include "eventmodel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <locale>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
const std::string version = "QLT-VERSION:1.2a";

// What a fresh model writes: nine global values, one default voice, nothing else.
const std::string freshglobals =
    "^PAR,0.500098,0.500000,0.000000,1.000000,0.000000,1.000000,0.500098,0.500098,1.000000";
const std::string freshvoice = "^VOI,0.500000,0.500000,0.500000,0.000000,0.500000,0.500000,0.000000";
const std::string freshtext = version + "," + freshglobals + "," + freshvoice;

std::vector<std::string> split(const std::string& text)
{
    std::vector<std::string> tokens;
    std::stringstream in(text);
    std::string token;
    while (std::getline(in, token, ','))
        tokens.push_back(token);
    return tokens;
}

std::uint64_t count(const std::string& text, const std::string& token)
{
    std::uint64_t n = 0;
    for (const std::string& t : split(text))
        n += t == token ? 1 : 0;
    return n;
}

// Voices, patches of all four kinds with odd values, a free slot below the last used
// patch, and assignments of every kind, some shared.
void buildrichmodel(pprojdata& m)
{
    m.newvoice();
    m.newvoice();
    const std::uint64_t mod = m.newpatch(false, pkindmodulator);
    const std::uint64_t delay = m.newpatch(false, pkinddelay);
    const std::uint64_t eq = m.newpatch(false, pkindeq);
    const std::uint64_t harmony = m.newpatch(false, pkindharmony);
    m.newpatch(false, pkinddelay); // stays free, below the last used patch
    const std::uint64_t mod2 = m.newpatch(false, pkindmodulator);

    m.params[pglobalvolume]->setnorm(0.123456789);
    m.params[pglobaldry]->setnorm(0.999);
    m.voices[1]->params[pvoicepitch]->setnorm(0.7083333);
    m.voices[2]->params[pvoicemode]->setvalue(2.0);
    m.patches[mod]->params[ppatchspeed]->setvalue(3.3);
    m.patches[delay]->params[ppatchfeedback]->setnorm(0.45);
    for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
        m.patches[eq]->params[ppatchcurvefirst + i]->setnorm(static_cast<double>(i) / 63.0);
    m.patches[harmony]->params[ppatchsource]->setvalue(3.0);
    m.patches[harmony]->params[ppatchintervalfirst + 4]->setvalue(-7.0);
    m.recalcpatchstate(eq);
    m.recalcpatchstate(harmony);

    m.assignpatch(pkindmodulator, 0, mod, pvoicevolume);
    m.assignpatch(pkinddelay, 0, delay, 0);
    m.assignpatch(pkindeq, 1, eq, 0);
    m.assignpatch(pkindmodulator, 1, mod, pvoiceformantshift);
    m.assignpatch(pkindmodulator, 1, mod2, pvoicepitch);
    m.assignpatch(pkindharmony, 2, harmony, 0);
    m.assignpatch(pkinddelay, 2, delay, 0);
}

void expectsamestructure(const pprojdata& a, const pprojdata& b)
{
    EXPECT_EQ(kindsof(a), kindsof(b));
    EXPECT_EQ(refcountsof(a), refcountsof(b));
    ASSERT_EQ(a.voices.count, b.voices.count);
    for (std::uint64_t v = 0; v < a.voices.count; ++v)
        EXPECT_EQ(assignmentsof(a, v), assignmentsof(b, v)) << "voice " << v;
}
} // namespace

// ---- writer ----

TEST(StateWriter, AFreshModelWritesTheVersionGlobalsAndOneVoice)
{
    eventmodel em;
    EXPECT_EQ(em.write(), freshtext);
}

TEST(StateWriter, WritesPatchesUpToTheLastOneInUse)
{
    eventmodel em;
    pprojdata& m = em.m();
    m.newvoice();
    m.newpatch(false, pkinddelay);
    m.newpatch(false, pkinddelay);
    m.newpatch(false, pkindmodulator);
    m.newpatch(false, pkinddelay);
    m.assignpatch(pkinddelay, 0, 0, 0);
    m.assignpatch(pkindmodulator, 0, 2, pvoicepitch);
    m.assignpatch(pkindmodulator, 1, 2, pvoicevolume);
    ASSERT_EQ(refcountsof(m), (std::vector<std::uint64_t>{1, 0, 2, 0}));

    const std::string text = em.write();
    EXPECT_EQ(count(text, "^PAT"), 3u);
    EXPECT_EQ(count(text, "93002"), 2u);
    EXPECT_EQ(count(text, "93001"), 1u);
}

TEST(StateWriter, WritesNoPatchWhenNoneIsInUse)
{
    eventmodel em;
    em.m().newpatch(false, pkindeq);
    EXPECT_EQ(em.write(), freshtext);
}

TEST(StateWriter, AssignmentsAreWrittenAsPatchTargetAndWholeAmount)
{
    eventmodel em;
    pprojdata& m = em.m();
    m.newpatch(false, pkindmodulator);
    m.assignpatch(pkindmodulator, 0, 0, pvoicepan);
    m.voices[0]->assignments[0]->amount = -2.9;
    const std::string text = em.write();
    const std::string tail = ",^VOI,0.500000,0.500000,0.500000,0.000000,0.500000,0.500000,0.000000,^PAM,0,2,-2";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

// ---- locale ----

// Restores the process locale (C and C++) when a test has changed it.
class CommaLocale : public ::testing::Test
{
protected:
    std::string oldc;
    std::locale oldcpp;

    void SetUp() override
    {
        oldc = std::setlocale(LC_ALL, nullptr);
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
            GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (locale-gen de_DE.UTF-8)";
        std::locale::global(std::locale("de_DE.UTF-8"));
        char check[16];
        std::snprintf(check, sizeof check, "%.1f", 0.5);
        ASSERT_STREQ(check, "0,5") << "the locale must really use a decimal comma";
    }

    void TearDown() override
    {
        std::locale::global(oldcpp);
        std::setlocale(LC_ALL, oldc.c_str());
    }
};

TEST_F(CommaLocale, WritingIgnoresTheDecimalComma)
{
    eventmodel em;
    EXPECT_EQ(em.write(), freshtext);
}

TEST_F(CommaLocale, ReadingIgnoresTheDecimalComma)
{
    eventmodel em;
    em.load(version + ",^PAR,0.250000,0.750000");
    EXPECT_DOUBLE_EQ(em.m().params[0]->norm, 0.25);
    EXPECT_DOUBLE_EQ(em.m().params[1]->norm, 0.75);
}

TEST_F(CommaLocale, ARichModelRoundTripsByteForByte)
{
    eventmodel a;
    buildrichmodel(a.m());
    const std::string text = a.write();
    EXPECT_NE(text.find("0.500000"), std::string::npos);
    eventmodel b;
    b.load(text);
    EXPECT_EQ(b.write(), text);
}

// ---- round trips ----

TEST(StateRoundTrip, WriteReadWriteGivesTheSameBytes)
{
    eventmodel a;
    buildrichmodel(a.m());
    const std::string first = a.write();

    eventmodel b;
    b.load(first);
    EXPECT_EQ(b.write(), first);
    expectsamestructure(a.m(), b.m());

    // Reading into the model that wrote it changes nothing either.
    a.load(first);
    EXPECT_EQ(a.write(), first);
}

TEST(StateRoundTrip, ValuesSurviveToSixDecimalsAndDerivedStateIsRebuilt)
{
    eventmodel a;
    buildrichmodel(a.m());
    eventmodel b;
    b.load(a.write());
    pprojdata& m = b.m();

    EXPECT_NEAR(m.params[pglobalvolume]->norm, 0.123457, 1e-9);
    EXPECT_NEAR(m.voices[1]->params[pvoicepitch]->norm, 0.708333, 1e-9);
    EXPECT_EQ(m.voices[2]->params[pvoicemode]->intvalue, 2);
    EXPECT_NEAR(m.patches[0]->params[ppatchspeed]->value, 3.3, 1e-5);
    // Harmony ratios and EQ gains come from the values, not from the text.
    EXPECT_NEAR(m.patches[3]->channels[0].buffer[4], std::pow(2.0, -7.0 / 12.0), 1e-5);
    EXPECT_NEAR(m.patches[2]->channels[0].buffer[0], a.m().patches[2]->channels[0].buffer[0], 1e-6);
    EXPECT_EQ(m.patches[4]->refcount, 0u) << "the free slot is loaded as free";
}

TEST(StateRoundTrip, TheFreeSlotIsReusedAfterReload)
{
    eventmodel a;
    buildrichmodel(a.m());
    eventmodel b;
    b.load(a.write());
    EXPECT_EQ(b.m().newpatch(true, pkindeq), 4u);
}

TEST(StateRoundTrip, ReloadKeepsTheSampleRateAndResetsTheSelections)
{
    eventmodel a;
    buildrichmodel(a.m());
    eventmodel b(96000.0);
    pprojdata& m = b.m();
    m.newvoice();
    m.selectedvoice = 1;
    m.page = ppagemix;
    m.mixoffset = 3;
    b.load(a.write());
    EXPECT_EQ(m.samplerate(), 96000.0);
    EXPECT_EQ(m.patches[2]->channels[0].bufferlength, 2048u) << "EQ gains at the 96 kHz FFT size";
    EXPECT_EQ(m.selectedvoice, 0u);
    EXPECT_EQ(m.page, ppagevoices);
    EXPECT_EQ(m.mixoffset, 0u);
    EXPECT_EQ(m.engines[0].voicestates.count, 3u);
}

// ---- malformed texts ----

namespace
{
struct malformedcase
{
    const char* name;
    std::string text;
    std::function<void(const pprojdata&)> expect;
};

// The model each case starts from: two voices, one assigned delay patch, a changed global.
void buildstartmodel(pprojdata& m)
{
    m.newvoice();
    m.newpatch(false, pkinddelay);
    m.assignpatch(pkinddelay, 1, 0, 0);
    m.params[pglobalin]->setnorm(0.8);
}

void onedefaultvoice(const pprojdata& m)
{
    ASSERT_EQ(m.voices.count, 1u);
    EXPECT_EQ(m.voices[0]->assignments.count, 0u);
    EXPECT_DOUBLE_EQ(m.voices[0]->params[pvoicepitch]->norm, 0.5);
}

void globalsunchanged(const pprojdata& m)
{
    EXPECT_DOUBLE_EQ(m.params[pglobalin]->norm, 0.8);
}

std::string garbage(std::size_t tokens, std::uint32_t seed)
{
    static const char* pieces[] = {"",   "x",   "1e",  "--1", "0.5.5", "^",    "^X",  "nan", "+",
                                   " 7", "-0",  "9999999999999999999999", "1e999", "\t", "abc", "^par"};
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof pieces / sizeof pieces[0] - 1);
    std::string text;
    for (std::size_t i = 0; i < tokens; ++i)
    {
        text += ',';
        text += pieces[pick(random)];
    }
    return text;
}

std::string repeat(const std::string& token, std::size_t times)
{
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += "," + token;
    return text;
}

std::vector<malformedcase> malformedcases()
{
    const std::string v = version;
    std::vector<malformedcase> cases;
    cases.push_back({"OnlyTheVersionToken", v, [](const pprojdata& m) {
                         // Not a state text: nothing changes.
                         EXPECT_EQ(m.voices.count, 2u);
                         EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{1}));
                         globalsunchanged(m);
                     }});
    cases.push_back({"EmptyText", "", [](const pprojdata& m) { EXPECT_EQ(m.voices.count, 2u); }});
    cases.push_back({"VersionAndTrailingComma", v + ",", [](const pprojdata& m) {
                         onedefaultvoice(m);
                         EXPECT_EQ(m.patches.count, 0u);
                         globalsunchanged(m);
                     }});
    cases.push_back({"OneGlobalValue", v + ",^PAR,0.250000", [](const pprojdata& m) {
                         EXPECT_DOUBLE_EQ(m.params[pglobalin]->norm, 0.25);
                         EXPECT_DOUBLE_EQ(m.params[pglobalvolume]->norm, 0.5);
                         onedefaultvoice(m);
                         EXPECT_EQ(m.patches.count, 0u);
                     }});
    cases.push_back({"TrailingCommaAfterAValue", v + ",^PAR,0.250000,", [](const pprojdata& m) {
                         EXPECT_DOUBLE_EQ(m.params[pglobalin]->norm, 0.25);
                         EXPECT_DOUBLE_EQ(m.params[pglobalvolume]->norm, 0.5) << "no empty token after it";
                     }});
    cases.push_back({"EmptyTokenReadsAsZero", v + ",^PAR,,0.3", [](const pprojdata& m) {
                         EXPECT_DOUBLE_EQ(m.params[pglobalin]->norm, 0.0);
                         EXPECT_DOUBLE_EQ(m.params[pglobalvolume]->norm, 0.3);
                     }});
    cases.push_back({"SurplusGlobalValuesIgnored", v + ",^PAR" + repeat("0.1", 20), [](const pprojdata& m) {
                         EXPECT_EQ(m.params.count, 9u);
                         EXPECT_DOUBLE_EQ(m.params[pglobalshownote]->norm, 0.1);
                     }});
    cases.push_back({"KindFiveIsAModulator", v + ",^PAT,5,0.1,0.2", [](const pprojdata& m) {
                         ASSERT_EQ(kindsof(m), (std::vector<std::uint64_t>{pkindmodulator}));
                         EXPECT_EQ(m.patches[0]->params.count, pmodulatorparamcount);
                         EXPECT_DOUBLE_EQ(m.patches[0]->params[0]->norm, 0.1);
                         EXPECT_DOUBLE_EQ(m.patches[0]->params[1]->norm, 0.2);
                         EXPECT_EQ(m.patches[0]->refcount, 0u);
                     }});
    cases.push_back({"HugeKindIsAModulator", v + ",^PAT,99999999999999999999", [](const pprojdata& m) {
                         EXPECT_EQ(kindsof(m), (std::vector<std::uint64_t>{pkindmodulator}));
                     }});
    cases.push_back({"AssignmentToPatchSevenOfThree",
                     v + ",^PAT,93001,^PAT,93002,^PAT,93003,^VOI,^PAM,7,0,1,^PAM,1,0,1",
                     [](const pprojdata& m) {
                         EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{0, 1, 0}));
                         EXPECT_EQ(assignmentsof(m, 0), (std::vector<assignview>{{1, pkinddelay, 0}}));
                     }});
    cases.push_back({"NegativeAndHugePatchIndexes",
                     v + ",^PAT,93002,^VOI,^PAM,-1,0,1,^PAM,4294967296,0,1,^PAM,99999999999999999999999,0,1",
                     [](const pprojdata& m) {
                         EXPECT_EQ(assignmentsof(m, 0).size(), 0u);
                         EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{0}));
                     }});
    cases.push_back({"AssignmentWithoutFieldsIsDropped", v + ",^PAT,93002,^VOI,^PAM,^PAM",
                     [](const pprojdata& m) {
                         EXPECT_EQ(assignmentsof(m, 0).size(), 0u);
                         EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{0}));
                     }});
    cases.push_back({"AssignmentBeforeAnyVoiceIsIgnored", v + ",^PAT,93002,^PAM,0,0,1,0.7",
                     [](const pprojdata& m) {
                         onedefaultvoice(m);
                         EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{0}));
                         // Its fields go nowhere, not into the patch before it.
                         EXPECT_DOUBLE_EQ(m.patches[0]->params[ppatchshape]->norm, 1.0 / 99.0);
                     }});
    cases.push_back({"ModulatorTargetOutsideTheVoiceIsDropped",
                     v + ",^PAT,93001,^VOI,^PAM,0,7,1,^PAM,0,-1,1,^PAM,0,5,1",
                     [](const pprojdata& m) {
                         EXPECT_EQ(assignmentsof(m, 0), (std::vector<assignview>{{0, pkindmodulator, 5}}));
                         EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{1}));
                     }});
    cases.push_back({"OtherKindsKeepTargetZero", v + ",^PAT,93003,^VOI,^PAM,0,4,1",
                     [](const pprojdata& m) {
                         EXPECT_EQ(assignmentsof(m, 0), (std::vector<assignview>{{0, pkindeq, 0}}));
                     }});
    cases.push_back({"LettersReadAsZero", v + ",^PAR,abc,^PAT,93001,^VOI,xyz,^PAM,qq,0,1",
                     [](const pprojdata& m) {
                         EXPECT_DOUBLE_EQ(m.params[pglobalin]->norm, 0.0);
                         EXPECT_DOUBLE_EQ(m.voices[0]->params[pvoicepitch]->norm, 0.0);
                         // An unreadable index is 0, as the established format reads it.
                         EXPECT_EQ(assignmentsof(m, 0), (std::vector<assignview>{{0, pkindmodulator, 0}}));
                     }});
    cases.push_back({"NotANumberAndInfinityReadAsZero",
                     v + ",^PAR,nan,inf,-inf,1e999,-nan,NAN,infinity,0.4", [](const pprojdata& m) {
                         for (std::uint64_t i = 0; i < 7; ++i)
                             EXPECT_DOUBLE_EQ(m.params[i]->norm, 0.0) << "global " << i;
                         EXPECT_DOUBLE_EQ(m.params[7]->norm, 0.4);
                     }});
    cases.push_back({"ValuesAreClamped", v + ",^PAR,7,-5,+0.5,  0.25,0.5xyz", [](const pprojdata& m) {
                         EXPECT_DOUBLE_EQ(m.params[0]->norm, 1.0);
                         EXPECT_DOUBLE_EQ(m.params[1]->norm, 0.0);
                         EXPECT_DOUBLE_EQ(m.params[2]->norm, 0.5);
                         EXPECT_DOUBLE_EQ(m.params[3]->norm, 0.25);
                         EXPECT_DOUBLE_EQ(m.params[4]->norm, 0.5);
                     }});
    cases.push_back({"LonePatchMarkerAtTheEnd", v + ",^VOI,0.1,^PAT", [](const pprojdata& m) {
                         EXPECT_EQ(m.patches.count, 0u);
                         EXPECT_DOUBLE_EQ(m.voices[0]->params[0]->norm, 0.1);
                     }});
    cases.push_back({"KindTokenLastMakesTheDefaultPatch", v + ",^PAT,93002", [](const pprojdata& m) {
                         ASSERT_EQ(kindsof(m), (std::vector<std::uint64_t>{pkinddelay}));
                         EXPECT_NEAR(m.patches[0]->params[ppatchdelay]->value, 0.05, 1e-12);
                     }});
    cases.push_back({"UnknownMarkersKeepTheSection", v + ",^VOI,0.1,^XYZ,0.2", [](const pprojdata& m) {
                         EXPECT_DOUBLE_EQ(m.voices[0]->params[0]->norm, 0.1);
                         EXPECT_DOUBLE_EQ(m.voices[0]->params[1]->norm, 0.2);
                     }});
    cases.push_back({"OtherVersionLoadsTheSame", "QLT-VERSION:9,^PAR,0.6", [](const pprojdata& m) {
                         EXPECT_DOUBLE_EQ(m.params[0]->norm, 0.6);
                     }});
    cases.push_back({"GarbageBeforeAnySection", v + garbage(100000, 1), [](const pprojdata& m) {
                         onedefaultvoice(m);
                         EXPECT_EQ(m.patches.count, 0u);
                         globalsunchanged(m);
                     }});
    cases.push_back({"GarbageInsideAVoice", v + ",^VOI" + garbage(100000, 2), [](const pprojdata& m) {
                         ASSERT_EQ(m.voices.count, 1u);
                         for (std::uint64_t i = 0; i < m.voices[0]->params.count; ++i)
                         {
                             const double n = m.voices[0]->params[i]->norm;
                             EXPECT_TRUE(n >= 0.0 && n <= 1.0) << "parameter " << i << " norm " << n;
                         }
                     }});
    cases.push_back({"AFloodOfVoicesIsBounded", v + repeat("^VOI", 100000), [](const pprojdata& m) {
                         EXPECT_EQ(m.voices.count, pprojdata::statemaxvoices);
                         EXPECT_EQ(m.engines[0].voicestates.count, pprojdata::statemaxvoices);
                     }});
    cases.push_back({"AFloodOfPatchesIsBounded", v + repeat("^PAT", 100000), [](const pprojdata& m) {
                         // Each marker takes the next one as its (unreadable) kind.
                         EXPECT_EQ(m.patches.count, pprojdata::statemaxpatches);
                         EXPECT_EQ(m.patches[0]->kind, static_cast<std::uint64_t>(pkindmodulator));
                     }});
    return cases;
}

class MalformedText : public ::testing::TestWithParam<malformedcase>
{
};
} // namespace

TEST_P(MalformedText, LoadsWithoutHarmAndGivesTheDocumentedModel)
{
    eventmodel em;
    pprojdata& m = em.m();
    buildstartmodel(m);
    em.takegui();

    m.loadstate(GetParam().text.c_str());

    GetParam().expect(m);
    EXPECT_EQ(em.rebuildsposted(), 1u) << "the editor rebuilds whatever the text held";
    // Whatever was read, the model is one the writer and reader agree on.
    ASSERT_GE(m.voices.count, 1u);
    for (std::uint64_t v = 0; v < m.voices.count; ++v)
        for (std::uint64_t j = 0; j < m.voices[v]->assignments.count; ++j)
        {
            const ppatchassign* a = m.voices[v]->assignments[j];
            ASSERT_NE(m.patchat(a->patch), nullptr);
            EXPECT_EQ(static_cast<std::uint64_t>(a->kind), m.patches[a->patch]->kind);
        }
    const std::string text = em.write();
    eventmodel again;
    again.load(text);
    EXPECT_EQ(again.write(), text);
}

INSTANTIATE_TEST_SUITE_P(Table, MalformedText, ::testing::ValuesIn(malformedcases()),
                         [](const ::testing::TestParamInfo<malformedcase>& info) { return info.param.name; });

TEST(StateReader, ANullTextChangesNothing)
{
    eventmodel em;
    buildstartmodel(em.m());
    const std::string before = em.write();
    em.takegui();
    em.m().loadstate(nullptr);
    EXPECT_EQ(em.write(), before);
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST(StateReader, ARecordNumberRestartsWhenTheSectionChanges)
{
    // A second run of patch records after a voice starts counting at 0 again: its values go
    // to patch 0 while the new patch keeps its defaults.
    eventmodel em;
    em.load(version + ",^PAT,93001,0.1,^VOI,^PAT,93001,0.9");
    pprojdata& m = em.m();
    ASSERT_EQ(m.patches.count, 2u);
    EXPECT_DOUBLE_EQ(m.patches[0]->params[0]->norm, 0.9);
    EXPECT_DOUBLE_EQ(m.patches[1]->params[0]->norm, 0.5);
}

// ---- hand-over between the host and the audio thread ----

namespace
{
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
} // namespace

TEST(StateHandOver, ARestoredTextIsAppliedByTheNextDrain)
{
    eventmodel em;
    const std::string rich = textof(buildrichmodel);
    restore(em, rich);
    EXPECT_EQ(em.controller->audioqueue.size(), 1u);
    EXPECT_EQ(em.write(), freshtext) << "nothing changes before the audio thread reloads";

    EXPECT_EQ(em.m().doaudioevents(), 1u);
    EXPECT_EQ(em.write(), rich);
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST(StateHandOver, AnOverflowNeverRollsTheModelBack)
{
    eventmodel em;
    pprojdata& m = em.m();
    restore(em, textof(buildrichmodel));
    m.doaudioevents();

    // The user goes on editing, then the audio queue overflows.
    em.controller->audioqueue.post(pevaddvoice, 1.0f);
    m.doaudioevents();
    ASSERT_EQ(m.voices.count, 4u);
    m.patches[1]->params[ppatchdelaymix]->setnorm(0.2);
    const std::string edited = em.write();
    for (int i = 0; i < 70; ++i)
        em.controller->audioqueue.post(pevpatchtype, 1.0f); // ignored by the dispatcher
    em.takegui();

    EXPECT_EQ(m.doaudioevents(), 64u);
    EXPECT_EQ(em.write(), edited);
    EXPECT_EQ(em.rebuildsposted(), 1u) << "the editor resynchronises";
}

TEST(StateHandOver, AnOverflowResynchronisesDerivedState)
{
    eventmodel em;
    pprojdata& m = em.m();
    const std::uint64_t h = m.newpatch(false, pkindharmony);
    m.patches[h]->params[ppatchsource]->setvalue(3.0);
    m.patches[h]->params[ppatchintervalfirst]->setvalue(12.0); // written without an event
    for (int i = 0; i < 64; ++i)
        em.controller->audioqueue.post(pevpatchtype, 1.0f);
    em.controller->audioqueue.post(pevpatchtype, 1.0f);
    m.doaudioevents();
    EXPECT_NEAR(m.patches[h]->channels[0].buffer[0], 2.0, 1e-12);
}

TEST(StateHandOver, ARestoreIntoAFullQueueIsStillApplied)
{
    eventmodel em;
    for (int i = 0; i < 64; ++i)
        em.controller->audioqueue.post(pevpatchtype, 1.0f);
    const std::string rich = textof(buildrichmodel);
    restore(em, rich);
    em.m().doaudioevents();
    EXPECT_EQ(em.write(), rich);
}

TEST(StateHandOver, TwoRestoresBeforeABlockLeaveTheSecondText)
{
    eventmodel em;
    const std::string first = textof([](pprojdata& m) { m.newvoice(); });
    const std::string second = textof(buildrichmodel);
    restore(em, first);
    restore(em, second);
    EXPECT_EQ(em.m().doaudioevents(), 2u);
    EXPECT_EQ(em.write(), second);
}

TEST(StateHandOver, SavingWhileARestoreIsPendingReturnsThePendingText)
{
    eventmodel em;
    const std::string partial = version + ",^PAR,0.250000";
    restore(em, partial);
    EXPECT_EQ(save(em), partial) << "a host that restores and saves at once loses nothing";

    em.m().doaudioevents();
    const std::string saved = save(em);
    EXPECT_NE(saved, partial);
    EXPECT_EQ(saved.substr(0, version.size() + 14), version + ",^PAR,0.250000");
    EXPECT_EQ(saved, em.write());
}

TEST(StateHandOver, SavingWithAPendingTextThatIsNoStateWritesTheModel)
{
    eventmodel em;
    restore(em, version); // no comma: the reload will leave the model as it is
    EXPECT_EQ(save(em), freshtext);
}

TEST(StateHandOver, TheBlockIsCutAtItsFirstNul)
{
    eventmodel em;
    const std::string block = version + ",^PAR,0.3" + std::string(1, '\0') + ",0.9";
    em.m().restorestate(block.data(), static_cast<std::int64_t>(block.size()));
    em.m().doaudioevents();
    EXPECT_DOUBLE_EQ(em.m().params[0]->norm, 0.3);
    EXPECT_DOUBLE_EQ(em.m().params[1]->norm, 0.5);
}

TEST(StateHandOver, ABlockWithoutTrailingNulIsAccepted)
{
    eventmodel em;
    const std::string text = version + ",^PAR,0.3";
    em.m().restorestate(text.data(), static_cast<std::int64_t>(text.size()));
    em.m().doaudioevents();
    EXPECT_DOUBLE_EQ(em.m().params[0]->norm, 0.3);
}

TEST(StateHandOver, AnEmptyOrNullBlockLeavesTheModelAndRebuilds)
{
    eventmodel em;
    buildstartmodel(em.m());
    const std::string before = em.write();
    em.takegui();
    em.m().restorestate(nullptr, 10);
    em.m().restorestate("x", 0);
    em.m().doaudioevents();
    EXPECT_EQ(em.write(), before);
    EXPECT_GE(em.rebuildsposted(), 1u);
}

// The host saves and restores on its thread while the audio thread drains and reloads and
// the editor holds the model mutex now and then. Every saved text must be one complete
// state: the model never shows half a reload to the writer.
TEST(StateHandOverThreads, SavesSeeOnlyWholeModels)
{
    eventmodel em;
    pprojdata& m = em.m();
    const std::string texts[] = {freshtext, textof(buildrichmodel),
                                 textof([](pprojdata& p) {
                                     p.newvoice();
                                     p.newpatch(false, pkindeq);
                                     p.assignpatch(pkindeq, 1, 0, 0);
                                 })};
    const std::set<std::string> valid(std::begin(texts), std::end(texts));

    std::atomic<bool> done{false};
    std::thread audio([&] {
        while (!done.load())
        {
            m.doaudioevents();
            em.takegui();
            std::this_thread::yield();
        }
    });
    std::thread editor([&] {
        while (!done.load())
        {
            std::lock_guard<std::mutex> held(m.modelmutex);
            std::uint64_t records = 0;
            for (std::uint64_t v = 0; v < m.voices.count; ++v)
                records += m.voices[v]->assignments.count;
            EXPECT_LE(records, 16u);
        }
    });

    int invalid = 0;
    for (int i = 0; i < 2000; ++i)
    {
        restore(em, texts[i % 3]);
        if (valid.count(save(em)) == 0)
            ++invalid;
        std::this_thread::yield();
    }
    done = true;
    audio.join();
    editor.join();
    EXPECT_EQ(invalid, 0);

    m.doaudioevents();
    EXPECT_EQ(em.write(), texts[1999 % 3]);
}
