#include "app/HeronF.h"

#include "app/Controls.h"
#include "app/FilePrompt.h"
#include "app/HandlerGuard.h"
#include "chart/ui/QtChartSurface.h"
#include "chart/ui/ScaleImage.h"
#include "decode/ui/LcdPanel.h"
#include "link/PortNames.h"
#include "link/platform/QtSerialLink.h"
#include "record/ui/MeasurementModel.h"

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTableView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

namespace meterdesk::app {

link::SerialPlatform TFCOMM::DefaultSerialPlatform() {
    return link::MakeQtSerialPlatform(
        std::make_shared<link::ListedPortDirectory>(link::ListSystemSerialPorts));
}

TFCOMM::TFCOMM(std::unique_ptr<base::LocaleSource> locale, base::ModelProfile profile,
               link::SerialPlatform serial, std::shared_ptr<link::HidPlatform> hid)
    : profile_(profile), locale_(std::move(locale)), ports_(serial.directory), COMM2(serial),
      CommPortDriver1(serial), serialReturn_(COMM2, serial.makeTimer()), HidCtl(std::move(hid)) {
    // As laid out: both on COM1, the serial link at 2400 baud until the
    // profile sets its speed.
    COMM2.SetComPort(link::TComPortNumber::pnCOM1);
    COMM2.SetComPortSpeed(link::TComPortBaudRate::br2400);
    CommPortDriver1.SetComPort(link::TComPortNumber::pnCOM1);
    setObjectName(QStringLiteral("FCOMM"));
    setWindowIcon(MeterIcon());
    // System menu and minimize only; the window keeps its size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11, true));

    scrollBox = new QScrollArea(this);
    scrollBox->setObjectName(QStringLiteral("ClientArea"));
    scrollBox->setFrameShape(QFrame::NoFrame);
    scrollBox->setWidgetResizable(false);
    client = new QWidget();
    client->setObjectName(QStringLiteral("FCOMMClient"));
    // Creation order is stacking order: the chart lies above the grid and
    // panels, and Panel4 above the chart.
    BuildConnectionBar(client);
    BuildDisplayArea(client);
    BuildLogToolbar(client);
    BuildBarScale(client);
    BuildLimitsPanel(client);
    BuildChart(client);
    BuildJudgePanel(client);
    BuildControlsBeyondClientArea(client);
    BuildHiddenControls(client);
    scrollBox->setWidget(client);
    setCentralWidget(scrollBox);
    BuildMenu();
    BuildTimers();
    FitScrollRange();
    BindDecoding();
    BindChart();
    BindRecord();
    BindHandlers();
    BindUsbLink();
    BindFiles();
    ChoosePort(link::TComPortNumber::pnCOM1);
    RunFormCreate();
}

TFCOMM::~TFCOMM() {
    // The HID readers hand their reports to this window: they stop first.
    usb_->StopReading();
}

void TFCOMM::FitScrollRange() {
    // The scroll range covers every shown control; the bars take their room
    // from the fixed client area.
    QRect extent(0, 0, kClientWidth, kClientHeight);
    for (QWidget* child : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isHidden()) {
            extent = extent.united(child->geometry());
        }
    }
    client->setFixedSize(extent.right() + 1, extent.bottom() + 1);
    // The status text below the client area says what stopped or arrived
    // without a box that would hold up the link.
    statusBar()->setSizeGripEnabled(false);
    setFixedSize(kClientWidth,
                 kClientHeight + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
}

void TFCOMM::ShowCentred() {
    const QScreen* screen = QApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(width() / 2, height() / 2));
    }
    show();
}

void TFCOMM::BindDecoding() {
    decode::DecodeHandOffs& handOffs = decoder_.handOffs;
    handOffs.FrameSeen = [this] {
        if (CONok->isHidden() || !CONokN->isHidden()) { // showing costs even when shown
            CONok->show();
            CONokN->hide();
        }
    };
    handOffs.TraceFrame = [this](const std::string& frameText) { TraceFrame(frameText); };
    // Repaint rate apart from data rate: what frames change waits for one
    // single-shot refresh, started by the first change after the last.
    viewRefresh_ = new QTimer(this);
    viewRefresh_->setObjectName(QStringLiteral("ViewRefresh"));
    viewRefresh_->setSingleShot(true); // started with the pace's delay
    connect(viewRefresh_, &QTimer::timeout, this, [this] { ViewRefreshTimer(); });
    chartSurface_->SetRefreshDriver([this] { ScheduleViewRefresh(); });
    handOffs.PanelChanged = [this] {
        displayRefresh_.PanelChanged();
        ScheduleViewRefresh();
    };
    handOffs.BarGraphAt = [this](std::int32_t position) {
        displayRefresh_.BarAt(position);
        ScheduleViewRefresh();
    };
    assembler_.sink.HistoryLine = [this](const std::string& line) {
        if (static_cast<std::size_t>(HistoryListBox->count()) >= decode::kHistoryLineLimit) {
            delete HistoryListBox->takeItem(0);
        }
        HistoryListBox->addItem(QString::fromLatin1(line.c_str()));
        HistoryListBox->setCurrentRow(HistoryListBox->count() - 1);
    };
    assembler_.sink.UsbText = [this](const std::string& text) {
        USBtxt->setText(QString::fromLatin1(text.c_str()));
    };
}

void TFCOMM::TraceFrame(const std::string& frameText) {
    displayRefresh_.TraceFrame(frameText);
    ScheduleViewRefresh();
}

void TFCOMM::ScheduleViewRefresh() {
    if (!viewRefresh_->isActive()) {
        viewRefresh_->start(viewPace_.Delay());
    }
}

void TFCOMM::ViewRefreshTimer() {
    viewPace_.Refreshed();
    // Every view is painted and sent to the screen in one pass after this:
    // the chart first, since its scene takes its changes on a queued call,
    // and no view repaints at once.
    if (chartSurface_->RefreshWanted()) {
        chartSurface_->RefreshNow();
    }
    if (gridPace_.TakeDue()) {
        RefreshGrid();
    } else if (gridPace_.Waiting()) {
        viewRefresh_->start(viewPace_.Delay()); // the grid's turn comes at a later pass
    }
    const decode::DisplayUpdate display = displayRefresh_.Take();
    if (display.bar && *display.bar != PBar2->value()) {
        // A progress bar repaints itself at once when its value moves.
        PBar2->setUpdatesEnabled(false);
        PBar2->setValue(*display.bar);
        PBar2->setUpdatesEnabled(true); // a repaint with the rest
    }
    if (const auto look = judgeDisplay_.Take()) {
        ShowJudgement(*look);
    }
    if (display.panel) {
        Panel1->Draw(panelState_);
    }
    ShowTrace(display.trace);
}

void TFCOMM::ShowTrace(const std::vector<std::string>& lines) {
    if (lines.empty()) {
        return;
    }
    // The lines are appended as new blocks, and the oldest cut to keep the
    // trace's length, by positions alone: moving a cursor by blocks, as
    // appending and the document's own block limit do, lays every block it
    // passes out, which at line rate cost more than the rest of the refresh.
    QTextDocument* trace = Memo1->document();
    QString text;
    for (const std::string& line : lines) {
        if (!text.isEmpty() || !trace->isEmpty()) {
            text += QChar::ParagraphSeparator;
        }
        text += QString::fromLatin1(line.c_str());
    }
    // The cut and the append are two edits: as one, the document would
    // relay out every block between them.
    QTextCursor cursor(trace);
    const int blocksAfter =
        trace->blockCount() - (trace->isEmpty() ? 1 : 0) + static_cast<int>(lines.size());
    const int excess = blocksAfter - trace->maximumBlockCount();
    if (trace->maximumBlockCount() > 0 && excess > 0) {
        const QTextBlock firstKept = trace->findBlockByNumber(excess);
        if (firstKept.isValid()) {
            cursor.setPosition(firstKept.position(), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        } else { // every line now is new
            cursor.setPosition(trace->characterCount() - 1, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            text = text.mid(text.indexOf(QChar::ParagraphSeparator) + 1);
        }
    }
    cursor.setPosition(trace->characterCount() - 1);
    cursor.insertText(text);
}

namespace {

template <typename Sender, typename Signal, typename Handler>
void Bind(Sender* sender, Signal signal, QObject* context, Handler handler) {
    QObject::connect(sender, signal, context, Guarded(std::move(handler)));
}

} // namespace

void TFCOMM::BindHandlers() {
    Bind(BtCOM1, &PanelButton::clicked, this, [this] { COM21Click(); });
    Bind(BtCOM2, &PanelButton::clicked, this, [this] { COM31Click(); });
    Bind(BtCOM3, &PanelButton::clicked, this, [this] { COM41Click(); });
    Bind(BtCOM4, &PanelButton::clicked, this, [this] { COM11Click(); });
    Bind(COM11, &QAction::triggered, this, [this] { COM11Click(); });
    Bind(COM21, &QAction::triggered, this, [this] { COM21Click(); });
    Bind(COM31, &QAction::triggered, this, [this] { COM31Click(); });
    Bind(COM41, &QAction::triggered, this, [this] { COM41Click(); });
    // COMCon, USBCon and ReadBtn are one set of toggles that may all be up.
    for (QToolButton* toggle : {COMCon, USBCon, ReadBtn}) {
        toggle->setCheckable(true);
        connect(toggle, &QToolButton::toggled, this, [this, toggle](bool down) {
            for (QToolButton* other : {COMCon, USBCon, ReadBtn}) {
                if (down && other != toggle) {
                    other->setChecked(false);
                }
            }
        });
    }
    Bind(USBCon, &QToolButton::clicked, this, [this] { USBConClick(); });
    Bind(ReadBtn, &QToolButton::clicked, this, [this] { ReadBtnClick(); });
    Bind(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    Bind(BtExit, &PanelButton::clicked, this, [this] { BtExit1Click(); });
    Bind(EXIT1, &QAction::triggered, this, [this] { BtExit1Click(); });
    Bind(BTCon, &PanelButton::clicked, this, [this] { BTCon1Click(); });
    Bind(START1, &QAction::triggered, this, [this] { BTCon1Click(); });
    Bind(BtDiscon, &PanelButton::clicked, this, [this] { BtDiscon1Click(); });
    Bind(STOP1, &QAction::triggered, this, [this] { BtDiscon1Click(); });
    Bind(SetFeature, &QPushButton::clicked, this, [this] { SetFeatureClick(); });
    Bind(ClearBtn, &QToolButton::clicked, this, [this] { ClearBtnClick(); });
    Bind(InfoBtn, &QToolButton::clicked, this, [this] { InfoBtnClick(); });
    Bind(ConTimer, &QTimer::timeout, this, [this] { ConTimerTimer(); });
    Bind(COMCon, &QToolButton::clicked, this, [this] { COMConClick(); });
    BindSerialReturn();

    Bind(RecordSITime, &QLineEdit::textChanged, this, [this] { RecordSITimeChange(); });
    FilterKeyPresses(RecordSITime, [this](char& key) { RecordSITimeKeyPress(key); });
    FilterKeyPresses(Maxrecord, [this](char& key) { RecordSITimeKeyPress(key); });
    for (QToolButton* button : {RecordNew, BtNew}) {
        Bind(button, &QToolButton::clicked, this, [this] { RecordNewClick(); });
    }
    Bind(New1, &QAction::triggered, this, [this] { RecordNewClick(); });
    Bind(Trecord, &QTimer::timeout, this, [this] { TrecordTimer(); });
    Bind(N10001, &QAction::triggered, this, [this] { N10001Click(); });
    Bind(N50001, &QAction::triggered, this, [this] { N50001Click(); });
    Bind(N100001, &QAction::triggered, this, [this] { N100001Click(); });
    Bind(N500001, &QAction::triggered, this, [this] { N500001Click(); });
    Bind(N1000001, &QAction::triggered, this, [this] { N1000001Click(); });
    Bind(limitess, &QAction::triggered, this, [this] { limitessClick(); });
    Bind(OpenDataFiles, &QToolButton::clicked, this, [this] { OpenDataFilesClick(); });
    Bind(saveas, &QToolButton::clicked, this, [this] { saveasClick(); });
    Bind(BtPrint, &QToolButton::clicked, this, [this] { BtPrintClick(); });
    Bind(Print, &QToolButton::clicked, this, [this] { PrintClick(); });
    Bind(BtSave, &QToolButton::clicked, this, [this] { BtSaveClick(); });

    Bind(Setmax, &QLineEdit::textChanged, this, [this] { SetmaxExit(); });
    Bind(SetMaxB, &QCheckBox::clicked, this, [this] { SetmaxExit(); });
    Bind(SetMin, &QLineEdit::textChanged, this, [this] { SetMinExit(); });
    Bind(SetMinB, &QCheckBox::clicked, this, [this] { SetMinExit(); });
    FilterKeyPresses(Setmax, [this](char& key) { SetmaxKeyPress(key); });
    FilterKeyPresses(SetMin, [this](char& key) { SetmaxKeyPress(key); });
    Bind(T1HI, &QLineEdit::textChanged, this, [this] { T1HIChange(); });
    Bind(T1LO, &QLineEdit::textChanged, this, [this] { T1LOChange(); });
    FilterKeyPresses(T1HI, [this](char& key) { T1HIKeyPress(key); });
    FilterKeyPresses(T1LO, [this](char& key) { T1HIKeyPress(key); });
    Bind(Timer4, &QTimer::timeout, this, [this] { Timer4Timer(); });
    Bind(Timer5, &QTimer::timeout, this, [this] { Timer5Timer(); });

    Bind(KdFd, &QToolButton::clicked, this, [this] { KdFdClick(); });
    Bind(KdSx, &QToolButton::clicked, this, [this] { KdFdClick(); });
    WatchEvent(KD, QEvent::Resize, [this] {
        Guarded([this] { KDResize(); })();
        return false;
    });
    Bind(TbFd, &QToolButton::clicked, this, [this] { TbFdClick(); });
    Bind(TbSx, &QToolButton::clicked, this, [this] { TbFdClick(); });
    Bind(BtFill, &QCheckBox::clicked, this, [this] { BtFillClick(); });
    Bind(BtFirst, &QToolButton::clicked, this, [this] { BtFirstClick(); });
    Bind(BTPrevious, &QToolButton::clicked, this, [this] { BTPreviousClick(); });
    Bind(BtNext, &QToolButton::clicked, this, [this] { BtNextClick(); });
    Bind(BTlast, &QToolButton::clicked, this, [this] { BTlastClick(); });
    Bind(Maxrecord, &QLineEdit::textChanged, this, [this] { MaxrecordChange(); });
    Bind(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
    // The wheel over the chart neither scrolls nor zooms it.
    WatchEvent(Chtshow->viewport(), QEvent::Wheel, [this] {
        Guarded([this] { ChtshowMouseWheel(); })();
        return true;
    });
}

void TFCOMM::RunFormCreate() {
    FormCreate(state_, *locale_, profile_, *this, hooks_);
}

void TFCOMM::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromLocal8Bit(caption.c_str()));
}

void TFCOMM::SetSerialSpeed(std::int32_t baudRate) {
    if (const auto speed = link::SpeedOfBitRate(baudRate)) {
        COMM2.SetComPortSpeed(*speed);
    }
}

void TFCOMM::BindReceiveHandler(base::ReceiveHandler handler) {
    switch (handler) {
    case base::ReceiveHandler::HHeronRData:
        COMM2.OnReceiveData = [this](link::TCommPortDriver&, const std::uint8_t* bytes,
                                     std::int32_t size) {
            assembler_.HHeronRData(bytes, static_cast<std::uint32_t>(size));
        };
        break;
    case base::ReceiveHandler::HPipitRData:
        COMM2.OnReceiveData = [this](link::TCommPortDriver&, const std::uint8_t* bytes,
                                     std::int32_t size) {
            assembler_.HPipitRData(bytes, static_cast<std::uint32_t>(size));
        };
        break;
    case base::ReceiveHandler::None:
        COMM2.OnReceiveData = nullptr;
        break;
    }
}

void TFCOMM::SetFirstDigitCaption(const std::string& caption) {
    panelState_.digitCaptions[0] = caption;
    Panel1->Draw(panelState_);
}

void TFCOMM::WriteCountClassTexts(const base::CountClassRow& row) {
    const auto text = [](std::string_view view) {
        return QString::fromLatin1(view.data(), static_cast<qsizetype>(view.size()));
    };
    Setmax->setText(text(row.SetmaxText));
    SetMin->setText(text(row.SetMinText));
    MinText->setText(text(row.MinTextText));
    MaxText->setText(text(row.MaxTextText));
}

void TFCOMM::BitBtn1Click() {
    QMessageBox question(QMessageBox::Information, QStringLiteral("Information"),
                         QStringLiteral("Are you ensure to exit the program\uFF1F"),
                         QMessageBox::Yes | QMessageBox::No, this);
    if (question.exec() == QMessageBox::Yes) {
        // Only this exit lets the journal go: any other leaves it for the next start.
        if (journal_) {
            journal_->Done();
        }
        close();
    }
}

void TFCOMM::BtExit1Click() {
    close();
}

} // namespace meterdesk::app
