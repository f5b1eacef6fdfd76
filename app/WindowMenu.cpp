// The main menu and the timers of the window.
#include "app/HeronF.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace meterdesk::app {

namespace {

QAction* Item(QMenu* menu, const char* name, const QString& caption, bool checked = false) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    if (checked) {
        action->setCheckable(true);
        action->setChecked(true);
    }
    return action;
}

QMenu* Submenu(QMenuBar* bar, const char* name, const QString& caption, bool shown) {
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setVisible(shown);
    return menu;
}

QTimer* Timer(QObject* owner, const char* name, int interval, bool enabled) {
    auto* timer = new QTimer(owner);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(interval);
    if (enabled) {
        timer->start();
    }
    return timer;
}

} // namespace

void TFCOMM::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    // Everything but "Record" exists hidden.
    ComSetup1 = Submenu(bar, "ComSetup1", QStringLiteral("ComSetup"), false);
    COM11 = Item(ComSetup1, "COM11", QStringLiteral("COM1"), true);
    COM21 = Item(ComSetup1, "COM21", QStringLiteral("COM2"));
    COM31 = Item(ComSetup1, "COM31", QStringLiteral("COM3"));
    COM41 = Item(ComSetup1, "COM41", QStringLiteral("COM4"));
    Connect1 = Submenu(bar, "Connect1", QStringLiteral("Connect"), false);
    START1 = Item(Connect1, "START1", QStringLiteral("START"));
    STOP1 = Item(Connect1, "STOP1", QStringLiteral("STOP"));
    for (QAction* checkable : {COM21, COM31, COM41, START1, STOP1}) {
        checkable->setCheckable(true);
    }
    STOP1->setEnabled(false);
    bar->addAction(QString())->setVisible(false);
    Graphic = Submenu(bar, "Graphic", QStringLiteral("Graphic"), false);
    for (const char* name : {"First", "Previous", "Next", "Last"}) {
        Item(Graphic, name, QString::fromLatin1(name));
    }
    Graphic->addSeparator()->setObjectName(QStringLiteral("N1"));
    Item(Graphic, "New", QStringLiteral("New"));
    Item(Graphic, "Save", QStringLiteral("Save"));
    Graphic->addSeparator()->setObjectName(QStringLiteral("N2"));
    Item(Graphic, "Fill", QStringLiteral("Fill"), true);

    Record1 = Submenu(bar, "Record1", QStringLiteral("Record"), true);
    New1 = Item(Record1, "New1", QStringLiteral("New"));
    QAction* save1 = Item(Record1, "Save1", QStringLiteral("Save"));
    QAction* n3 = Record1->addSeparator();
    n3->setObjectName(QStringLiteral("N3"));
    for (QAction* hidden : {New1, save1, n3}) {
        hidden->setVisible(false);
    }
    N10001 = Item(Record1, "N10001", QStringLiteral("1000"));
    N50001 = Item(Record1, "N50001", QStringLiteral("5000"));
    N100001 = Item(Record1, "N100001", QStringLiteral("10000"), true);
    N500001 = Item(Record1, "N500001", QStringLiteral("50000"));
    N1000001 = Item(Record1, "N1000001", QStringLiteral("100000"));
    limitess = Item(Record1, "limitess", QStringLiteral("limitless"));
    for (QAction* limit : {N10001, N50001, N500001, N1000001, limitess}) {
        limit->setCheckable(true);
    }
    bar->addAction(QString())->setVisible(false);
    EXIT1 = bar->addAction(QStringLiteral("Exit"));
    EXIT1->setObjectName(QStringLiteral("EXIT1"));
    EXIT1->setVisible(false);
}

void TFCOMM::BuildTimers() {
    ConTimer = Timer(this, "ConTimer", 100, true);
    Trecord = Timer(this, "Trecord", 1000, true);
    Timer2 = Timer(this, "Timer2", 2000, true);
    Timer4 = Timer(this, "Timer4", 2000, false);
    Timer5 = Timer(this, "Timer5", 2000, false);
}

} // namespace meterdesk::app
