#pragma once

#include "app/StartUp.h"
#include "base/Clock.h"
#include "base/Locale.h"
#include "base/MeasurementState.h"
#include "base/ModelProfile.h"
#include "base/RefreshPace.h"
#include "chart/BarScale.h"
#include "chart/ChartControl.h"
#include "chart/JudgeDisplay.h"
#include "chart/Limits.h"
#include "decode/DisplayDecoder.h"
#include "decode/DisplayRefresh.h"
#include "decode/FrameAssembler.h"
#include "decode/PanelState.h"
#include "link/CommPortDriver.h"
#include "link/LinkWatch.h"
#include "link/SerialReconnect.h"
#include "link/UsbConnection.h"
#include "record/GridRefreshPace.h"
#include "record/Journal.h"
#include "record/MeasurementTable.h"
#include "record/Recorder.h"

#include <QMainWindow>
#include <QRect>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QFileDialog;
class QChartView;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QTableView;
class QTimer;
class QToolButton;

namespace meterdesk::decode {
class LcdPanel;
}
namespace meterdesk::record {
class MeasurementModel;
}
namespace meterdesk::chart {
class QtChartSurface;
class ScaleImage;
} // namespace meterdesk::chart

namespace meterdesk::app {

class PanelButton;
class LogGrid;
class FilePrompt;

// The program's one window. It owns every control, timer and component,
// binds each event to its handler and hands the work to the subsystem that
// owns it.
class TFCOMM : public QMainWindow, private StartUpWindow {
    Q_OBJECT
public:
    // Client area below the menu bar, in pixels at 96 dpi.
    static constexpr int kClientWidth = 620;
    static constexpr int kClientHeight = 407;

    explicit TFCOMM(std::unique_ptr<base::LocaleSource> locale = base::MakeSystemLocale(),
                    base::ModelProfile profile = base::kBuildProfile,
                    link::SerialPlatform serial = DefaultSerialPlatform(),
                    std::shared_ptr<link::HidPlatform> hid = DefaultHidPlatform());

    // Serial ports through Qt Serial Port, COMn being the n-th port present.
    static link::SerialPlatform DefaultSerialPlatform();
    // This computer's HID devices through hidraw and udev.
    static std::shared_ptr<link::HidPlatform> DefaultHidPlatform();
    ~TFCOMM() override;

    // Shows the window centred on its screen.
    void ShowCentred();

    base::MeasurementState& state() { return state_; }
    decode::PanelState& panelState() { return panelState_; }
    link::TCommPortDriver& comm2() { return COMM2; }
    decode::DisplayDecoder& decoder() { return decoder_; }
    StartUpHooks& startUpHooks() { return hooks_; }
    link::TJvHidDeviceController& hidCtl() { return HidCtl; }
    link::UsbConnection& usb() { return *usb_; }

    // Handlers of the window's own controls.
    void BitBtn1Click();
    void BtExit1Click();
    void FormResize() {}
    // The views' refresh: the replica, the bar, the reading with its
    // verdict, the trace and the grid take what the frames changed.
    void ViewRefreshTimer();

    // The measurement log.
    void INDataToTable();
    void TrecordTimer();
    void RecordSITimeChange();
    void RecordNewClick();
    void N10001Click();
    void N50001Click();
    void N100001Click();
    void N500001Click();
    void N1000001Click();
    void limitessClick();
    record::MeasurementTable& table() { return cds1; }

    // The chart pager and its toolbar, the bar scale, the limits and judge.
    void BtFillClick();
    void BtFirstClick();
    void BTPreviousClick();
    void BtNextClick();
    void BTlastClick();
    void MaxrecordChange();
    void Timer2Timer();
    void TbFdClick();
    void ChtshowMouseWheel() {} // the wheel is swallowed where it is bound
    void KDsetup();
    void KDrun(std::int32_t position);
    void KdFdClick();
    void KDResize();
    void SetmaxExit();
    void SetMinExit();
    void SetmaxKeyPress(char& Key);
    void T1HIChange();
    void T1LOChange();
    void T1HIKeyPress(char& Key);
    void Timer4Timer();
    void Timer5Timer();
    void RecordSITimeKeyPress(char& Key);
    // Judges a recorded reading Pass or Fail; T1VALUE shows it with its
    // verdict at the view refresh.
    void JudgeStep();
    chart::TChartControl* chartControl() { return ChartControl.get(); }
    chart::QtChartSurface* chartSurface() { return chartSurface_; }

    // The serial link: port choice, connect and disconnect, the link watch.
    void COM11Click();
    void COM21Click();
    void COM31Click();
    void COM41Click();
    void COMConClick();
    void BTCon1Click();
    void BtDiscon1Click();
    void ConTimerTimer();

    // The USB link: the HID controller's handlers, the bridge's report
    // handlers and the buttons (app/UsbLink.cpp).
    void HidCtlDeviceChange(link::TJvHidDeviceController& Sender);
    bool HidCtlEnumerate(link::TJvHidDevice& HidDev, std::int32_t Idx);
    void HidCtlArrival(link::TJvHidDevice& HidDev);
    void HidCtlRemoval(link::TJvHidDevice& HidDev);
    void HidCtlDeviceDataError(link::TJvHidDevice& HidDev, std::uint32_t Error);
    std::string DeviceCaption(link::TJvHidDevice& HidDev);
    void HidHeronRData(link::TJvHidDevice& HidDev, std::uint8_t ReportID, const std::uint8_t* Data,
                       std::uint16_t Size);
    void HidPipitRData(link::TJvHidDevice& HidDev, std::uint8_t ReportID, const std::uint8_t* Data,
                       std::uint16_t Size);
    void USBConClick();
    void SetFeatureClick();
    void ReadBtnClick();
    void ClearBtnClick();
    void InfoBtnClick();
    // A link broke off: the frame in progress dropped, `why` traced, the
    // indicator greyed while the device is waited for.
    void ShowLinkWait(bool waiting, const std::string& why);

    // Data files, the chart picture and the printed table (app/FileLink.cpp).
    void OpenDataFilesClick();
    void saveasClick();
    void BtPrintClick();
    void PrintClick() {}
    void BtSaveClick();
    void TableToFile(record::MeasurementTable& table, const std::string& name);
    void FileToTable(const std::string& name, record::MeasurementTable& table, bool emptyFirst);
    // Where the window asks for file names (the dialogs unless replaced).
    void SetFilePrompt(std::unique_ptr<FilePrompt> prompt);

    // The journal of the log (app/JournalLink.cpp): logged rows are kept in
    // `directory` until the log is saved, cleared or the exit confirmed.
    void OpenJournal(const std::string& directory);
    // Asks about each log a run left there unsaved, and restores it.
    void OfferLeftJournals();
    record::Journal* journal() { return journal_.get(); }

private:
    // StartUpWindow
    void SetCaption(const std::string& caption) override;
    void SetSerialSpeed(std::int32_t baudRate) override;
    void BindReceiveHandler(base::ReceiveHandler handler) override;
    void SetFirstDigitCaption(const std::string& caption) override;
    void WriteCountClassTexts(const base::CountClassRow& row) override;

    void BuildConnectionBar(QWidget* client);
    void BuildDisplayArea(QWidget* client);
    void BuildLogToolbar(QWidget* client);
    void BuildControlsBeyondClientArea(QWidget* client);
    void BuildHiddenControls(QWidget* client);
    void BuildJudgePanel(QWidget* client);
    void BuildLimitsPanel(QWidget* client);
    void BuildChart(QWidget* client);
    void BuildBarScale(QWidget* client);
    void BuildMenu();
    void BuildTimers();
    void BindHandlers();
    void BindDecoding();
    void FitScrollRange();
    void TraceFrame(const std::string& frameText);
    void ScheduleViewRefresh();
    void ShowTrace(const std::vector<std::string>& lines);
    // Marks the grid for the next view refresh, which shows the rows waiting
    // and moves the current row to the last (after a person's own doing;
    // logged rows keep the grid's pace).
    void ScheduleGridRefresh();
    void RefreshGrid();
    // Keeps the grid's rows out from under the window's scroll bar.
    void KeepGridRowsInSight();
    // Says once, in the status text, that the row limit stops the log.
    void TellRowLimitReached();
    void EndRowLimitNotice();
    void RunFormCreate();
    void ChoosePort(link::TComPortNumber port);
    void BindChart();
    void BindRecord();
    record::RecordSettings CurrentRecordSettings() const;
    void PlotReading();
    void ShowJudgement(const chart::JudgeLook& look);
    void ChooseRecordLimit(QAction* item, std::int32_t limit);
    void ShowPage(std::int32_t page);
    void SetAlarm(QLineEdit* box, float& limit);
    void EnterSerialState(bool connected);
    void SerialPortVanished();
    void LinkIdle();
    void BindSerialReturn();
    void BindUsbLink();
    void BindFiles();
    void Tell(const QString& text);
    bool MayReplace(const std::string& chosen, const std::string& fixed);
    std::optional<std::string> SaveChartPicture(const std::string& name);
    void PlotRestored(const std::string& valueText);
    void JournalRow();
    void JournalCleared();
    void JournalSaved(std::size_t savedRows);

    // Shared state and the decoding chain
    base::ModelProfile profile_;
    std::unique_ptr<base::LocaleSource> locale_;
    base::MeasurementState state_;
    decode::PanelState panelState_;
    decode::DisplayDecoder decoder_{state_, panelState_, profile_, *locale_};
    decode::FrameAssembler assembler_{state_, decoder_};
    std::shared_ptr<link::PortDirectory> ports_;
    link::TCommPortDriver COMM2;
    link::TCommPortDriver CommPortDriver1;
    link::SerialReconnect serialReturn_;
    StartUpHooks hooks_;
    record::MeasurementTable cds1;
    record::MeasurementModel* gridModel_ = nullptr; // owned by the grid
    LogGrid* logGrid_ = nullptr;                    // DBGrid1
    bool rowLimitTold_ = false;
    // The row the grid goes to at its next refresh instead of the last one.
    std::optional<int> gridTargetRow_;
    std::unique_ptr<record::Recorder> recorder_;
    chart::QtChartSurface* chartSurface_ = nullptr; // owned by the chart
    std::unique_ptr<chart::TChartControl> ChartControl;
    chart::BarScale barScale_;
    std::unique_ptr<chart::ScaleImage> scaleCanvas_;
    QRect ChartRestoreBounds;
    QRect ScaleRestoreBounds;
    // What the views take at their next refresh.
    QTimer* viewRefresh_ = nullptr;
    std::unique_ptr<base::SteadyClock> clock_ = base::MakeSteadyClock();
    decode::DisplayRefresh displayRefresh_;
    chart::JudgeDisplay judgeDisplay_;
    record::GridRefreshPace gridPace_{*clock_};
    base::RefreshPace viewPace_{*clock_, base::kViewRefreshDelay, base::kStreamRefreshPeriod};
    link::LinkWatch linkWatch_{state_, [this] { LinkIdle(); }};
    std::unique_ptr<FilePrompt> fileNames_;
    bool previewOpen_ = false;
    // The longest wait a row may have before its commit: each commit syncs
    // the disk, so once a second and no more often.
    static constexpr int kJournalCommitMs = 1000;
    std::string journalDirectory_;
    std::unique_ptr<record::Journal> journal_;
    QTimer* journalCommit_ = nullptr;
    // The USB link. The controller is destroyed first, so the devices the
    // list gives back afterwards are not rebuilt on the way out.
    std::unique_ptr<link::UsbLinkView> usbView_;
    std::unique_ptr<link::UsbConnection> usb_;
    link::TJvHidDeviceController HidCtl;

public:
    // Controls, named as the handlers and the other parts know them.
    QScrollArea* scrollBox = nullptr;
    QWidget* client = nullptr;
    // Connection bar
    PanelButton* BtCOM1 = nullptr;
    PanelButton* BtCOM2 = nullptr;
    PanelButton* BtCOM3 = nullptr;
    PanelButton* BtCOM4 = nullptr;
    QToolButton* COMCon = nullptr;
    QToolButton* USBCon = nullptr;
    QPushButton* BitBtn1 = nullptr;
    // Display
    decode::LcdPanel* Panel1 = nullptr;
    QProgressBar* PBar2 = nullptr;
    // Log toolbar and grid
    QCheckBox* RepeatSet = nullptr;
    QCheckBox* RecordSI = nullptr;
    QLineEdit* RecordSITime = nullptr;
    QToolButton* RecordNew = nullptr;
    QToolButton* OpenDataFiles = nullptr;
    QToolButton* saveas = nullptr;
    QToolButton* BtPrint = nullptr;
    QTableView* DBGrid1 = nullptr;
    // Judge panel
    QFrame* Panel4 = nullptr;
    QLineEdit* T1HI = nullptr;
    QLineEdit* T1VALUE = nullptr;
    QLineEdit* T1LO = nullptr;
    QFrame* Shape1 = nullptr;
    QLabel* judge = nullptr;
    QLabel* CONok = nullptr;
    QLabel* CONokN = nullptr;
    // Limits and min/max (hidden)
    QFrame* Panel3 = nullptr;
    QLabel* MinText = nullptr;
    QLabel* MaxText = nullptr;
    QLabel* MinTextU = nullptr;
    QLabel* MaxTextU = nullptr;
    QCheckBox* SetMaxB = nullptr;
    QCheckBox* SetMinB = nullptr;
    QLineEdit* Setmax = nullptr;
    QLineEdit* SetMin = nullptr;
    // Chart and its toolbar
    QChartView* Chtshow = nullptr;
    QCheckBox* BtFill = nullptr;
    QLineEdit* Maxrecord = nullptr;
    QToolButton* BtNew = nullptr;
    QToolButton* BtSave = nullptr;
    QToolButton* BtFirst = nullptr;
    QToolButton* BTPrevious = nullptr;
    QToolButton* Bt10 = nullptr;
    QToolButton* BtNext = nullptr;
    QToolButton* BTlast = nullptr;
    QToolButton* TbFd = nullptr;
    QToolButton* TbSx = nullptr;
    QComboBox* ComboBox1 = nullptr;
    // Bar scale (hidden)
    QFrame* KD = nullptr;
    QLabel* KD1 = nullptr;
    QToolButton* KdFd = nullptr;
    QToolButton* KdSx = nullptr;
    QLabel* oltext = nullptr;
    // Beyond the client area, and hidden
    PanelButton* BTCon = nullptr;
    PanelButton* BtDiscon = nullptr;
    PanelButton* BtExit = nullptr;
    QPushButton* SetFeature = nullptr;
    QToolButton* ReadBtn = nullptr;
    QToolButton* ClearBtn = nullptr;
    QToolButton* InfoBtn = nullptr;
    QListWidget* DevListBox = nullptr;
    QListWidget* HistoryListBox = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* USBtxt = nullptr;
    QToolButton* Print = nullptr;
    // Dialogs, built when first used: each brings a file-system model and a
    // tree of widgets that start-up need not wait for.
    QFileDialog* SaveDialog2();
    QFileDialog* OpenDialog1();
    QFileDialog* SavePictureDialog1();

private:
    QFileDialog* saveDialog2_ = nullptr;
    QFileDialog* openDialog1_ = nullptr;
    QFileDialog* savePictureDialog1_ = nullptr;

public:
    // Model profile flags, in their test order, then the others
    QCheckBox* IFWren = nullptr;
    QCheckBox* Kite = nullptr;
    QCheckBox* IFHeron = nullptr;
    QCheckBox* IFFinch = nullptr;
    QCheckBox* IFOsprey = nullptr;
    QCheckBox* IFPlover = nullptr;
    QCheckBox* IFTern = nullptr;
    QCheckBox* IFLark = nullptr;
    QCheckBox* IFRobin = nullptr;
    QCheckBox* IFSwift = nullptr;
    QCheckBox* IFEgret = nullptr;
    QCheckBox* IFIbis = nullptr;
    QCheckBox* Crane = nullptr;
    // Menu
    QMenu* ComSetup1 = nullptr;
    QMenu* Connect1 = nullptr;
    QMenu* Graphic = nullptr;
    QMenu* Record1 = nullptr;
    QAction* COM11 = nullptr;
    QAction* COM21 = nullptr;
    QAction* COM31 = nullptr;
    QAction* COM41 = nullptr;
    QAction* START1 = nullptr;
    QAction* STOP1 = nullptr;
    QAction* New1 = nullptr;
    QAction* N10001 = nullptr;
    QAction* N50001 = nullptr;
    QAction* N100001 = nullptr;
    QAction* N500001 = nullptr;
    QAction* N1000001 = nullptr;
    QAction* limitess = nullptr;
    QAction* EXIT1 = nullptr;
    // Timers
    QTimer* ConTimer = nullptr;
    QTimer* Trecord = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer4 = nullptr;
    QTimer* Timer5 = nullptr;
};

} // namespace meterdesk::app
