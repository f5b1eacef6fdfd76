#include "app/HandlerGuard.h"

#include <QApplication>
#include <QMessageBox>

namespace meterdesk::app {

void ShowError(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                    QString::fromLocal8Bit(text.c_str()), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

} // namespace meterdesk::app
