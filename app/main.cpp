#include "app/CommandLine.h"
#include "app/Controls.h"
#include "app/DemoMeter.h"
#include "app/HandlerGuard.h"
#include "app/HeronF.h"
#include "link/PortNames.h"
#include "link/platform/LinuxHid.h"
#include "link/platform/QtSerialLink.h"
#include "record/Journal.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    using namespace meterdesk;
    // Help and version need no display: answer them before Qt looks for one.
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h" || argument == "--version") {
            std::printf("%s", argument == "--version" ? "meterdesk " MD_VERSION "\n"
                                                      : app::Usage().c_str());
            return 0;
        }
    }
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QString());

    std::vector<std::string> arguments;
    for (const QString& argument : QApplication::arguments().mid(1)) {
        arguments.push_back(argument.toLocal8Bit().toStdString());
    }
    const app::CommandLine options = app::ParseCommandLine(arguments);
    if (!options.error.empty()) {
        std::fprintf(stderr, "meterdesk: %s\n\n%s", options.error.c_str(), app::Usage().c_str());
        return 2;
    }
    auto ports = std::make_shared<link::ListedPortDirectory>(link::ListSystemSerialPorts);
    for (const auto& [port, path] : options.portPaths) {
        ports->Override(port, path);
    }
    std::unique_ptr<app::DemoMeter> demo;
    if (options.demo) {
        try {
            demo = std::make_unique<app::DemoMeter>();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "meterdesk: no virtual meter: %s\n", error.what());
            return 1;
        }
        ports->Override("COM1", demo->DevicePath());
    }

    // The demo's virtual cable joins the real HID devices, after them.
    std::shared_ptr<link::HidPlatform> hid = link::MakeLinuxHidPlatform();
    if (demo) {
        hid = demo->HidPlatform(hid);
    }

    app::InstallFontSubstitutes();
    app::TFCOMM window(base::MakeSystemLocale(), base::kBuildProfile,
                       link::MakeQtSerialPlatform(ports), hid);
    window.OpenJournal(record::JournalDirectory());
    window.ShowCentred();
    QTimer::singleShot(0, &window, app::Guarded([&window] { window.OfferLeftJournals(); }));
    return QApplication::exec();
}
