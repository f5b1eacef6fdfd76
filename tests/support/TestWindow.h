#pragma once

#include "app/Controls.h"
#include "app/HeronF.h"
#include "link/platform/LinuxHid.h"
#include "sim/SimulatedHid.h"
#include "tests/support/FakeSerial.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace meterdesk::testing {

// A HID bus in memory whose notices and hand-overs go through Qt's event loop.
inline std::shared_ptr<sim::SimulatedHidBus> MakeTestHidBus() {
    return std::make_shared<sim::SimulatedHidBus>(link::QtMainThreadPoster());
}

// The window over a fixed locale, the given serial platform and the given
// HID devices (none when no bus is given).
inline std::unique_ptr<app::TFCOMM>
MakeTestWindow(base::ModelProfile profile = base::kBuildProfile,
               const FakeSerialPlatform& serial = FakeSerialPlatform(),
               std::shared_ptr<link::HidPlatform> hid = nullptr) {
    app::InstallFontSubstitutes();
    return std::make_unique<app::TFCOMM>(std::make_unique<base::FixedLocale>(), profile,
                                         serial.Platform(), hid ? hid : MakeTestHidBus());
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
