#include "app/CommandLine.h"
#include "app/Controls.h"
#include "app/DemoMeter.h"
#include "app/HeronF.h"
#include "link/LinuxHid.h"
#include "link/PortNames.h"
#include "link/QtSerialLink.h"

#include <QApplication>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    using namespace meterdesk;
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
    if (options.help || options.version) {
        std::printf("%s", options.help ? app::Usage().c_str() : "meterdesk " MD_VERSION "\n");
        return 0;
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
    app::TFCOMM window(app::MakeSystemLocale(), app::kBuildProfile,
                       link::MakeQtSerialPlatform(ports), hid);
    window.ShowCentred();
    return QApplication::exec();
}
