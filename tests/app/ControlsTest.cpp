// Scope: the window's own controls that the layout leaves to Qt's look.
#include "app/Controls.h"

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace meterdesk::app {
namespace {

class PaintCounter final : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

void Settle() {
    for (int pass = 0; pass < 3; ++pass) {
        QCoreApplication::processEvents();
    }
}

TEST(SteadyScrollBar, RepaintsOnlyWhenTheSliderMovesAndShowsWhatTheStockOneDoes) {
    // Side by side in one window, so both take the same palette.
    QWidget window;
    window.setGeometry(300, 300, 40, 183); // away from the pointer, which would light one up
    auto* bar = new SteadyScrollBar(Qt::Vertical, &window);
    auto* stock = new QScrollBar(Qt::Vertical, &window);
    stock->move(20, 0);
    for (QScrollBar* each : {static_cast<QScrollBar*>(bar), stock}) {
        each->resize(14, 183);
        each->setPageStep(14);
        each->setRange(0, 1000);
        each->setValue(1000);
    }
    const auto same = [&] {
        stock->setRange(bar->minimum(), bar->maximum());
        stock->setValue(bar->value());
        Settle();
        return bar->grab().toImage() == stock->grab().toImage();
    };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    Settle();
    PaintCounter counter;
    bar->installEventFilter(&counter);

    // A grid following its newest row: the range grows, then the value
    // follows; the slider goes up and back down within each step.
    constexpr int kSteps = 200;
    for (int step = 0; step < kSteps; ++step) {
        bar->setMaximum(bar->maximum() + 7);
        bar->setValue(bar->maximum());
        Settle();
    }
    EXPECT_EQ(counter.paints, 0);
    EXPECT_TRUE(same());

    // A move to the top, or a step off either end, changes what it shows.
    for (const int value : {0, 1, bar->maximum(), bar->maximum() - 1}) {
        const int before = counter.paints;
        bar->setValue(value);
        Settle();
        EXPECT_GT(counter.paints, before) << value;
        EXPECT_TRUE(same()) << value;
    }
    // So does a range that makes the slider longer.
    const int before = counter.paints;
    bar->setRange(0, 20);
    Settle();
    EXPECT_GT(counter.paints, before);
    EXPECT_TRUE(same());
}

} // namespace
} // namespace meterdesk::app
