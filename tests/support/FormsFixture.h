#pragma once

#include "app/Form_main.h"
#include "app/Startup.h"
#include "raster/Screen.h"
#include "support/Gui.h"
#include "support/Images.h"

#include <QDir>

#include <gtest/gtest.h>

// The editor's forms as at start-up, with message boxes recorded.
class FormsTest : public ::testing::Test {
protected:
    void SetUp() override { CreateForms(); }
    void TearDown() override
    {
        testgui::CancelModalActions();
        DestroyForms();
        testgui::Settle();
        // The arrow that a command leaves as the application's cursor goes
        // with the test.
        Screen->SetCursor(crDefault);
    }
    testgui::MessageRecorder messages;
};

// The editor's forms as at start-up, run from a fresh empty folder, where a
// file saved under a bare name lands.
class FormsInFolderTest : public FormsTest {
protected:
    void SetUp() override
    {
        FormsTest::SetUp();
        dir = testimg::TempDir();
        previous = QDir::currentPath();
        QDir::setCurrent(dir);
    }
    void TearDown() override
    {
        QDir::setCurrent(previous);
        FormsTest::TearDown();
    }
    QString dir;
    QString previous;
};

// The editor's forms made once for a whole suite; the wells are back to black
// and white before each test.
class FormsSuiteTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CreateForms(); }
    static void TearDownTestSuite()
    {
        testgui::CancelModalActions();
        DestroyForms();
        testgui::Settle();
    }
    void SetUp() override
    {
        frm_main->Stxt_coul_1->SetColor(clBlack);
        frm_main->Stxt_coul_2->SetColor(clWhite);
    }
};
