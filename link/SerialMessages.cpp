#include "link/SerialMessages.h"

namespace meterdesk::link {

std::string DescribeOpenFailure(const std::string& portName, const std::string& devicePath,
                                const OpenResult& result, const PortDoctor& doctor) {
    if (devicePath.empty()) {
        return portName +
               " cannot be opened: this computer has no serial port for it.\n\n"
               "Plug in the USB-RS232 adapter, or choose another port." +
               doctor.Explain(DeviceKind::SerialPort, {});
    }
    std::string text = portName + " (" + devicePath + ") cannot be opened: " + result.reason + ".";
    switch (result.failure) {
    case OpenFailure::PermissionDenied:
        text += "\n\nYour user may not use serial ports. Add it to the dialout group "
                "(sudo usermod -aG dialout $USER), then log out and in again.";
        break;
    case OpenFailure::Busy:
        text += "\n\nAnother program may be using the port; close it and try again.";
        break;
    case OpenFailure::NotFound:
        text += "\n\nIs the adapter plugged in?";
        break;
    case OpenFailure::None:
    case OpenFailure::Other:
        break;
    }
    return text + doctor.Explain(DeviceKind::SerialPort, devicePath);
}

std::string DescribeLinkLost(const std::string& portName, const std::string& devicePath) {
    return portName + " (" + devicePath +
           ") has gone away: the adapter was unplugged or the device closed. Waiting for it to "
           "come back.";
}

std::string DescribeLinkBack(const std::string& portName, const std::string& devicePath) {
    return portName + " (" + devicePath + ") is back; logging goes on.";
}

} // namespace meterdesk::link
