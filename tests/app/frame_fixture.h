#pragma once
// A frame window of its own for each test, with the configuration folder
// (where the placement INI file goes) in a temporary directory.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/main_form.h"
#include "platform/widgets/application.h"
#include "platform/widgets/dialogs.h"
#include "tests/support/temp_dir.h"

inline const QString kProgramHelpFile =
    QStringLiteral("C:\\Project Source\\PanelKeep 2.0\\Panlkeep.hlp");

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", dir.str().c_str(), 1);
        TApplication::Instance()->SetHelpFile(kProgramHelpFile);
        form = std::make_unique<TMainForm>();
    }

    QString iniPath() const { return dir.path() + "/pkeep20.ini"; }

    TestDir dir;
    std::vector<TMessageRequest> boxes;
    TScopedMessageAnswerer answerer{[this](const TMessageRequest& r) {
        boxes.push_back(r);
        return static_cast<int>(mrOk);
    }};
    std::unique_ptr<TMainForm> form;
};
