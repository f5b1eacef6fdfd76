#include "app/Controls.h"
#include "app/HeronF.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QString());
    meterdesk::app::InstallFontSubstitutes();
    meterdesk::app::TFCOMM window;
    window.ShowCentred();
    return QApplication::exec();
}
