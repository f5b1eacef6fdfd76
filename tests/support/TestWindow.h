#pragma once

#include "app/Controls.h"
#include "app/HeronF.h"
#include "tests/support/FakeSerial.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace meterdesk::testing {

// The window over a fixed locale and the given serial platform.
inline std::unique_ptr<app::TFCOMM>
MakeTestWindow(app::ModelProfile profile = app::kBuildProfile,
               const FakeSerialPlatform& serial = FakeSerialPlatform()) {
    app::InstallFontSubstitutes();
    return std::make_unique<app::TFCOMM>(std::make_unique<app::FixedLocale>(), profile,
                                         serial.Platform());
}

// Answers the next modal message box with `button`, keeping its text.
inline void AnswerNextMessageBox(QMessageBox::StandardButton button, QString* text) {
    QTimer::singleShot(0, [button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        if (text != nullptr) {
            *text = box->text();
        }
        box->button(button)->click();
    });
}

} // namespace meterdesk::testing
