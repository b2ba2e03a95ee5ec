// The demo's harmony set-up as shipped.
#include "tools/demo-input/demostate.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace
{
// resources/demo/demo-state.txt is the writer's output for the demo set-up: a change of either shows.
TEST(Demo, StateFileMatchesTheWriter)
{
    std::ifstream file(std::string(QUILL_SOURCE_DIR) + "/resources/demo/demo-state.txt", std::ios::binary);
    ASSERT_TRUE(file.is_open());
    const std::string stored((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(stored, quilldemo::demostatetext());
}
} // namespace
