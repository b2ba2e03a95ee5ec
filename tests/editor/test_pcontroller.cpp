#include "editor/pcontroller.h"

#include <gtest/gtest.h>

TEST(ControllerRecord, QueuesAreIndependent)
{
    pcontroller controller;
    EXPECT_EQ(controller.editorrect.width, 920);
    EXPECT_EQ(controller.editorrect.height, 690);
    controller.guiqueue.post(pevrebuildgui, 1.0f);
    EXPECT_EQ(controller.audioqueue.size(), 0u);
    pevent out[peventqueue::capacity];
    ASSERT_EQ(controller.guiqueue.drain(out), 1u);
    EXPECT_EQ(out[0].code, pevrebuildgui);
    EXPECT_EQ(controller.guiqueue.size(), 0u);
}
