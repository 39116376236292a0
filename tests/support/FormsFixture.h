#pragma once

#include "app/Startup.h"
#include "support/Gui.h"

#include <gtest/gtest.h>

// The editor's forms as at start-up, with message boxes recorded.
class FormsTest : public ::testing::Test {
protected:
    void SetUp() override { CreateForms(); }
    void TearDown() override
    {
        DestroyForms();
        testgui::Settle();
    }
    testgui::MessageRecorder messages;
};
