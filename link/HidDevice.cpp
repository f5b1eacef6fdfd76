#include "link/HidController.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

namespace meterdesk::link {

namespace {

// String buffers hold 254 UTF-16 units (508 bytes).
constexpr std::size_t kStringUnits = 254;
using StringBuffer = std::array<char16_t, kStringUnits>;

std::u16string UpToZero(const StringBuffer& buffer) {
    const auto end = std::find(buffer.begin(), buffer.end(), u'\0');
    return {buffer.begin(), end};
}

} // namespace

TJvHidDevice::TJvHidDevice(std::shared_ptr<const TJvHidPnPInfo> info,
                           TJvHidDeviceController& controller)
    : Controller(&controller), platform_(controller.platform_), handOver_(controller.handOver_),
      PlugInfo(std::move(info)) {
    SetDataHandler(controller.OnDeviceData_);
    UnplugHandler_ = controller.OnDeviceUnplug_;
    // Read errors are worth reporting for every device, also for the fresh
    // objects that take the place of given-back ones.
    DataErrorHandler_ = controller.OnDeviceDataError_;
    HidOpenResult opened = platform_->Open(PlugInfo->InterfacePath(), HidAccess::ReadWrite);
    FullAccess_ = opened.handle != nullptr;
    if (!opened.handle) {
        opened = platform_->Open(PlugInfo->InterfacePath(), HidAccess::NoAccess);
    }
    if (!opened.handle) {
        throw EControllerError("device cannot be opened");
    }
    SharedHandle = std::move(opened.handle);
    if (!SharedHandle->GetAttributes(Attributes_)) {
        throw EControllerError("device cannot be identified");
    }
    CloseShared();
}

TJvHidDevice::~TJvHidDevice() {
    const TJvHidDataEvent dataHandler = DataHandler_;
    const TJvHidPlugEvent unplugHandler = UnplugHandler_;
    SetDataHandler(nullptr);
    UnplugHandler_ = nullptr;
    CloseShared();
    CloseReading();
    PreparsedData.reset();
    if (Controller != nullptr) {
        Controller->TakeBack(*this, dataHandler, unplugHandler);
    }
}

bool TJvHidDevice::OpenShared() {
    if (Accessible() && !SharedHandle) {
        HidOpenResult opened = platform_->Open(PlugInfo->InterfacePath(), HidAccess::ReadWrite);
        FullAccess_ = opened.handle != nullptr;
        if (!opened.handle) {
            opened = platform_->Open(PlugInfo->InterfacePath(), HidAccess::NoAccess);
        }
        SharedHandle = std::move(opened.handle);
        if (SharedHandle) {
            if (SharedInputBuffers != 0) {
                SharedHandle->SetNumInputBuffers(SharedInputBuffers);
            }
            SharedHandle->GetNumInputBuffers(SharedInputBuffers);
        }
    }
    return SharedHandle != nullptr;
}

void TJvHidDevice::CloseShared() {
    SharedHandle.reset();
    SharedInputBuffers = 0;
}

std::shared_ptr<HidHandle> TJvHidDevice::OpenReading(std::uint32_t& error) {
    if (!Accessible()) {
        error = ENODEV;
        return nullptr;
    }
    std::lock_guard lock(readMutex_);
    if (!ReadHandle) {
        HidOpenResult opened = platform_->Open(PlugInfo->InterfacePath(), HidAccess::Read);
        if (!opened.handle) {
            error = opened.error;
            return nullptr;
        }
        ReadHandle = std::move(opened.handle);
        if (ReadInputBuffers != 0) {
            ReadHandle->SetNumInputBuffers(ReadInputBuffers);
        }
        ReadHandle->GetNumInputBuffers(ReadInputBuffers);
    }
    return ReadHandle;
}

void TJvHidDevice::CloseReading() {
    std::lock_guard lock(readMutex_);
    ReadHandle.reset();
    ReadInputBuffers = 0;
}

void TJvHidDevice::SetReadInputBuffers(std::uint32_t count) {
    std::lock_guard lock(readMutex_);
    ReadInputBuffers = count;
}

std::u16string TJvHidDevice::ReadProductText() {
    if (ProductText.empty() && OpenShared()) {
        StringBuffer buffer{};
        if (SharedHandle->GetProductString(buffer.data(), sizeof buffer)) {
            ProductText = UpToZero(buffer);
        }
        CloseShared();
    }
    return ProductText;
}

std::u16string TJvHidDevice::ReadSerialText() {
    if (SerialText.empty() && OpenShared()) {
        StringBuffer serial{};
        if (SharedHandle->GetSerialNumberString(serial.data(), sizeof serial)) {
            // A device without a serial number may answer with its language
            // list: a serial text equal to it counts as none.
            StringBuffer languages;
            languages.fill(0xFFFF);
            SharedHandle->GetIndexedString(0, languages.data(), sizeof languages);
            std::size_t n = 0;
            for (std::size_t i = kStringUnits; i-- > 0;) {
                if (languages[i] != 0xFFFF) {
                    n = languages[i] == 0 ? i : i + 1;
                    break;
                }
            }
            if (!std::equal(serial.begin(), serial.begin() + static_cast<std::ptrdiff_t>(n),
                            languages.begin())) {
                SerialText = UpToZero(serial);
            }
        }
        CloseShared();
    }
    return SerialText;
}

void TJvHidDevice::ReadPreparsed() {
    if (!PreparsedData && OpenShared()) {
        HidCaps caps;
        if (SharedHandle->GetCaps(caps)) {
            PreparsedData = caps;
        }
        CloseShared();
    }
}

HidCaps TJvHidDevice::ReadCapabilities() {
    ReadPreparsed();
    return PreparsedData.value_or(HidCaps{});
}

bool TJvHidDevice::SendFeatureReport(const std::uint8_t* buffer, std::size_t length) {
    if (!OpenShared()) {
        return false;
    }
    return SharedHandle->SetFeature(buffer, length);
}

void TJvHidDevice::SetDataHandler(TJvHidDataEvent handler) {
    if (!handler) {
        StopReader();
    }
    DataHandler_ = handler;
    StartReader();
}

void TJvHidDevice::SetReaderSleep(std::int32_t value) {
    if (value >= 10 && value <= 10000) {
        ReaderSleep_ = value;
    }
}

void TJvHidDevice::StartReader() {
    if (!DataHandler_ || !Present_ || !Lent_ || !FullAccess_ || Reader) {
        return;
    }
    const std::size_t length = ReadCapabilities().InputReportByteLength;
    if (length == 0) {
        return; // a device without input reports has nothing to read
    }
    Reader = std::make_unique<TJvHidDeviceReadThread>(*this, length);
    Reader->Start();
}

void TJvHidDevice::StopReader() {
    if (!Reader) {
        return;
    }
    // From here on the device has no reader, also for handlers that run
    // while this one waits.
    std::unique_ptr<TJvHidDeviceReadThread> reader = std::move(Reader);
    reader->Terminate();
    if (handOver_->Running(reader.get())) {
        // Called from inside this reader's own hand-over (a handler's nested
        // event loop): waiting here would wait for ourselves. The reader
        // ends as soon as that hand-over returns, and is joined then.
        std::shared_ptr<TJvHidDeviceReadThread> retired = std::move(reader);
        handOver_->AfterRunning(retired.get(), [retired] { retired->Join(); });
        return;
    }
    reader->WaitFor();
}

void TJvHidDevice::Unplug() {
    CloseShared();
    CloseReading();
    Present_ = false;
    const TJvHidPlugEvent handler = UnplugHandler_;
    UnplugHandler_ = nullptr;
    if (handler) {
        handler(*this);
    }
}

} // namespace meterdesk::link
