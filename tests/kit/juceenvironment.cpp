// Keeps the framework's GUI side initialised for the whole test program, as a host's message
// thread would: widgets and images are made without a display.
#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <optional>

namespace
{
struct juceenvironment : ::testing::Environment
{
    std::optional<juce::ScopedJuceInitialiser_GUI> gui;
    void SetUp() override { gui.emplace(); }
    void TearDown() override { gui.reset(); }
};

[[maybe_unused]] ::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new juceenvironment);
} // namespace
