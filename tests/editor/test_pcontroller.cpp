#include "editor/pcontroller.h"
#include "editor/pkcomponente.h"

#include <gtest/gtest.h>

TEST(ControllerRecord, StartValues)
{
    pcontroller controller;
    EXPECT_EQ(controller.editorrect.x, 0);
    EXPECT_EQ(controller.editorrect.y, 0);
    EXPECT_EQ(controller.editorrect.width, 920);
    EXPECT_EQ(controller.editorrect.height, 690);
    EXPECT_EQ(controller.audioqueue.size(), 0u);
    EXPECT_EQ(controller.guiqueue.size(), 0u);
    EXPECT_EQ(controller.inidle, 0);
    EXPECT_EQ(controller.model, nullptr);
    EXPECT_EQ(controller.tools.controls.count, 0u);
}

TEST(ControllerRecord, QueuesAreIndependent)
{
    pcontroller controller;
    controller.guiqueue.post(pevrebuildgui, 1.0f);
    EXPECT_EQ(controller.audioqueue.size(), 0u);
    pevent out[peventqueue::capacity];
    ASSERT_EQ(controller.guiqueue.drain(out), 1u);
    EXPECT_EQ(out[0].code, pevrebuildgui);
}

TEST(RootControl, NoWindowBeforeOpen)
{
    pkComponentE root;
    pcontroller controller;
    controller.tools.rootcontrol = &root;
    EXPECT_EQ(root.component, nullptr);
    EXPECT_EQ(root.getValue(), 0.0);
    EXPECT_EQ(root.getType(), pctlcomponent);
    root.setValue(1.0f);
    EXPECT_EQ(root.getValue(), 0.0);
    root.componenttag = 4;
    EXPECT_EQ(root.getTag(), 4);
}
