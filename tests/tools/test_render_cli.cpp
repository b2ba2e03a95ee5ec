// quill-render's command line, run as a user runs it: every file problem is named on
// standard error with a non-zero exit, and a bad state text is not one of them.
#include "renderfixture.h"

#include <gtest/gtest.h>

namespace
{
using rendertest::runrender;

constexpr int exitfailure = 1;
constexpr int exitusage = 2;

class RenderCommandLine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        input = dir.file("in.wav");
        rendertest::writewav(input, 44100, {rendertest::tone(220, 44100, 4410)});
    }

    rendertest::scratchdir dir;
    std::string input;
};

TEST_F(RenderCommandLine, MissingInputFile)
{
    const auto run = runrender({dir.file("nothing.wav"), dir.file("out.wav")});
    EXPECT_EQ(run.exitcode, exitfailure);
    EXPECT_NE(run.errors.find("input file not found: " + dir.file("nothing.wav")), std::string::npos) << run.errors;
}

TEST_F(RenderCommandLine, InputThatIsNotAudio)
{
    rendertest::writetext(dir.file("text.wav"), "this is not a WAV file\n");
    const auto run = runrender({dir.file("text.wav"), dir.file("out.wav")});
    EXPECT_EQ(run.exitcode, exitfailure);
    EXPECT_NE(run.errors.find("not an audio file"), std::string::npos) << run.errors;
}

TEST_F(RenderCommandLine, InputWithMoreThanTwoChannels)
{
    const std::vector<double> t = rendertest::tone(220, 44100, 441);
    rendertest::writewav(dir.file("three.wav"), 44100, {t, t, t});
    const auto run = runrender({dir.file("three.wav"), dir.file("out.wav")});
    EXPECT_EQ(run.exitcode, exitfailure);
    EXPECT_NE(run.errors.find("3 channels; mono or stereo expected"), std::string::npos) << run.errors;
}

TEST_F(RenderCommandLine, MissingStateAndMidiFiles)
{
    auto run = runrender({"--state", dir.file("none.txt"), input, dir.file("out.wav")});
    EXPECT_EQ(run.exitcode, exitfailure);
    EXPECT_NE(run.errors.find("state file not found or unreadable"), std::string::npos) << run.errors;

    run = runrender({"--state", dir.file(""), input, dir.file("out.wav")}); // a folder
    EXPECT_EQ(run.exitcode, exitfailure);

    run = runrender({"--midi", dir.file("none.mid"), input, dir.file("out.wav")});
    EXPECT_EQ(run.exitcode, exitfailure);
    EXPECT_NE(run.errors.find("MIDI file not found"), std::string::npos) << run.errors;
}

TEST_F(RenderCommandLine, MidiFileThatIsNotMidi)
{
    rendertest::writetext(dir.file("bad.mid"), "MThd but not really");
    const auto run = runrender({"-m", dir.file("bad.mid"), input, dir.file("out.wav")});
    EXPECT_EQ(run.exitcode, exitfailure);
    EXPECT_NE(run.errors.find("not a standard MIDI file"), std::string::npos) << run.errors;
}

TEST_F(RenderCommandLine, OutputFolderMissing)
{
    const auto run = runrender({input, dir.file("no/such/folder/out.wav")});
    EXPECT_EQ(run.exitcode, exitfailure);
    EXPECT_NE(run.errors.find("its folder does not exist"), std::string::npos) << run.errors;
}

TEST_F(RenderCommandLine, WrongArguments)
{
    EXPECT_EQ(runrender({}).exitcode, exitusage);
    EXPECT_EQ(runrender({input}).exitcode, exitusage);
    EXPECT_EQ(runrender({input, dir.file("a.wav"), dir.file("b.wav")}).exitcode, exitusage);
    EXPECT_EQ(runrender({"--bogus", input, dir.file("out.wav")}).exitcode, exitusage);
    EXPECT_EQ(runrender({input, dir.file("out.wav"), "--block"}).exitcode, exitusage);
    for (const char* block : {"0", "-5", "2.5", "abc", "99999999"})
    {
        const auto run = runrender({"--block", block, input, dir.file("out.wav")});
        EXPECT_EQ(run.exitcode, exitusage) << block;
        EXPECT_NE(run.errors.find("block size must be"), std::string::npos) << run.errors;
    }
    for (const char* rate : {"0", "-44100", "nan", "inf", "5", "1e9"})
        EXPECT_EQ(runrender({"--rate", rate, input, dir.file("out.wav")}).exitcode, exitusage) << rate;
    EXPECT_EQ(runrender({"--help"}).exitcode, 0);
}

// The engine reads any text as a state: garbage leaves the model as it was.
TEST_F(RenderCommandLine, MalformedStateTextStillRenders)
{
    rendertest::writetext(dir.file("garbage.txt"), "^PAT,^PAM,,zz,\x01\xff,^VOI,1e999,-3,^PAR,nan");
    const auto run = runrender({"--state", dir.file("garbage.txt"), input, dir.file("out.wav")});
    EXPECT_EQ(run.exitcode, 0) << run.errors;
    const auto out = rendertest::readwav(dir.file("out.wav"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].size(), 4410u + 2047u); // the input and the latency
}

TEST_F(RenderCommandLine, RenderReplacesAnExistingOutput)
{
    rendertest::writetext(dir.file("out.wav"), std::string(100000, 'x'));
    ASSERT_EQ(runrender({"-b", "17", input, dir.file("out.wav")}).exitcode, 0);
    const auto out = rendertest::readwav(dir.file("out.wav"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].size(), 4410u + 2047u); // the input and the latency
}
} // namespace
