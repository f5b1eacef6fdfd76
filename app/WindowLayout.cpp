// The window's own controls: the connection bar, the display area, the log
// toolbar and grid, the controls beyond the client area and the hidden ones.
#include "app/Controls.h"
#include "app/HeronF.h"
#include "decode/ui/LcdPanel.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>

#include <array>

namespace meterdesk::app {

namespace {

const QColor kBlack(0, 0, 0);

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

// The grid's row indicator column. Its width is fixed, so it needs no
// measuring of its sections, which Qt would redo for every batch of rows.
class RowIndicatorHeader final : public QHeaderView {
public:
    explicit RowIndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
        setSectionsClickable(true);
        setHighlightSections(true);
        setDefaultSectionSize(17);
        setFixedWidth(11);
    }
    QSize sizeHint() const override { return {width(), length()}; }
};

QToolButton* SpeedButton(QWidget* parent, const QString& caption, const QFont& font) {
    auto* button = new QToolButton(parent);
    button->setText(caption);
    button->setFont(font);
    button->setAutoRaise(false);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    SetTextColour(button, kBlack);
    return button;
}

QToolButton* GlyphButton(QWidget* parent, const QIcon& icon, const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setToolTip(hint);
    return button;
}

PanelButton* PortPanel(QWidget* parent, const char* name, const QString& caption) {
    auto* panel = Place(new PanelButton(caption, parent), name, 5, 3, 61, 24);
    panel->setFont(PixelFont(QStringLiteral("Arial"), 16, true));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SetTextColour(panel, kBlack);
    return panel;
}

// The blue "Connect" / "Exit" panels below the client area.
PanelButton* BluePanel(QWidget* parent, const char* name, const QString& caption, int left, int top,
                       int width) {
    auto* panel = Place(new PanelButton(caption, parent), name, left, top, width, 26);
    panel->setFont(PixelFont(QStringLiteral("Arial"), 19, true, true));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, QColor(0, 128, 255));
    palette.setColor(QPalette::WindowText, QColor(255, 255, 0));
    panel->setPalette(palette);
    return panel;
}

QCheckBox* CheckBox(QWidget* parent, const char* name, const QString& caption, int left, int top,
                    int width, int height) {
    auto* box = Place(new QCheckBox(caption, parent), name, left, top, width, height);
    SetTextColour(box, kBlack);
    return box;
}

} // namespace

void TFCOMM::BuildConnectionBar(QWidget* parent) {
    BtCOM1 = PortPanel(parent, "BtCOM1", QStringLiteral("COM 1"));
    BtCOM2 = PortPanel(parent, "BtCOM2", QStringLiteral("COM 2"));
    BtCOM3 = PortPanel(parent, "BtCOM3", QStringLiteral("COM 3"));
    BtCOM4 = PortPanel(parent, "BtCOM4", QStringLiteral("COM 4"));
    for (PanelButton* hidden : {BtCOM2, BtCOM3, BtCOM4}) {
        hidden->hide();
    }
    const QFont connectFont = PixelFont(QStringLiteral("Arial"), 13, true);
    COMCon = Place(SpeedButton(parent, QStringLiteral("COM Connect"), connectFont), "COMCon", 68, 4,
                   94, 25);
    USBCon = Place(SpeedButton(parent, QStringLiteral("USB Connect"), connectFont), "USBCon", 170,
                   4, 94, 25);
    // Its hint "USB Connect" is not shown, so it gets no tooltip.
    BitBtn1 = Place(new QPushButton(ThemeIcon("application-exit", QStyle::SP_DialogCloseButton),
                                    QStringLiteral("Exit"), parent),
                    "BitBtn1", 552, 3, 57, 25);
    BitBtn1->setFont(PixelFont(QStringLiteral("Arial"), 14, true));
    SetTextColour(BitBtn1, kBlack);
}

void TFCOMM::BuildDisplayArea(QWidget* parent) {
    Panel1 = new decode::LcdPanel(panelState_, parent);
    Panel1->move(3, 31);
    PBar2 = decode::MakeBarGraph(parent);
}

void TFCOMM::BuildLogToolbar(QWidget* parent) {
    const QFont boxFont = PixelFont(QStringLiteral("Arial"), 11);
    RepeatSet = CheckBox(parent, "RepeatSet", QStringLiteral("Repeat"), 3, 186, 54, 20);
    RepeatSet->setChecked(true);
    RepeatSet->setFont(boxFont);
    RecordSI = CheckBox(parent, "RecordSI", QStringLiteral("Sampling Interval           'S"), 57,
                        186, 143, 20);
    RecordSI->setFont(boxFont);
    // Lies over the blanks of the check box's caption, which so reads "'S"
    // after the number as its unit.
    RecordSITime =
        Place(new QLineEdit(QStringLiteral("1"), parent), "RecordSITime", 159, 186, 27, 21);
    RecordNew =
        Place(GlyphButton(parent, ThemeIcon("document-close", QStyle::SP_DialogDiscardButton),
                          QStringLiteral("Close Data")),
              "RecordNew", 200, 186, 23, 21);
    OpenDataFiles =
        Place(GlyphButton(parent, ThemeIcon("document-open", QStyle::SP_DialogOpenButton),
                          QStringLiteral("Open old data files")),
              "OpenDataFiles", 222, 186, 23, 21);
    saveas = Place(GlyphButton(parent, ThemeIcon("document-save-as", QStyle::SP_DialogSaveButton),
                               QStringLiteral("Save data files")),
                   "saveas", 244, 186, 23, 21);
    BtPrint =
        Place(GlyphButton(parent, ThemeIcon("document-print", QStyle::SP_FileDialogDetailedView),
                          QString()),
              "BtPrint", 266, 186, 22, 21);

    logGrid_ = Place(new LogGrid(parent), "DBGrid1", 3, 208, 284, 196);
    DBGrid1 = logGrid_;
    DBGrid1->setFont(PixelFont(QStringLiteral("Arial"), 12));
    DBGrid1->horizontalHeader()->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setVerticalHeader(new RowIndicatorHeader(DBGrid1));
    DBGrid1->setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical, DBGrid1));
    auto* columns = new QStandardItemModel(0, 6, DBGrid1);
    columns->setHorizontalHeaderLabels({QStringLiteral("No"), QStringLiteral("Time"),
                                        QStringLiteral("DC/AC"), QStringLiteral("Value"),
                                        QStringLiteral("Unit"), QStringLiteral("Auto")});
    DBGrid1->setModel(columns);
    logGrid_->SetColumnWidths();
}

void TFCOMM::BuildControlsBeyondClientArea(QWidget* parent) {
    BtDiscon = BluePanel(parent, "BtDiscon", QStringLiteral("Disconnect"), 40, 506, 105);
    BtDiscon->hide();
    BTCon = BluePanel(parent, "BTCon", QStringLiteral("Connect"), 40, 506, 105);
    BtExit = BluePanel(parent, "BtExit", QStringLiteral("Exit"), 48, 546, 65);

    // The model profile flags. Those the window shows lie down here, reached
    // only by scrolling; the others exist hidden.
    struct Flag {
        QCheckBox** box;
        const char* name;
        const char* caption;
        bool base::ModelProfile::*field;
        int left;
        int top;
        bool shown;
    };
    const std::array<Flag, 13> flags{{
        {&IFWren, "IFWren", "Wren", &base::ModelProfile::IFWren, 8, 440, false},
        {&Kite, "Kite", "Kite", &base::ModelProfile::Kite, 368, 432, true},
        {&IFHeron, "IFHeron", "Heron", &base::ModelProfile::IFHeron, 8, 464, false},
        {&IFFinch, "IFFinch", "Finch", &base::ModelProfile::IFFinch, 8, 488, false},
        {&IFOsprey, "IFOsprey", "Osprey", &base::ModelProfile::IFOsprey, 184, 440, false},
        {&IFPlover, "IFPlover", "Plover", &base::ModelProfile::IFPlover, 184, 560, true},
        {&IFTern, "IFTern", "IFTern", &base::ModelProfile::IFTern, 272, 440, true},
        {&IFLark, "IFLark", "IFLark", &base::ModelProfile::IFLark, 184, 464, false},
        {&IFRobin, "IFRobin", "IFRobin", &base::ModelProfile::IFRobin, 272, 464, true},
        {&IFSwift, "IFSwift", "IFSwift", &base::ModelProfile::IFSwift, 272, 496, true},
        {&IFEgret, "IFEgret", "IFEgret", &base::ModelProfile::IFEgret, 272, 528, true},
        {&IFIbis, "IFIbis", "IFIbis", &base::ModelProfile::IFIbis, 272, 560, true},
        {&Crane, "Crane", "Crane", &base::ModelProfile::Crane, 368, 464, true},
    }};
    for (const Flag& flag : flags) {
        QCheckBox* box = CheckBox(parent, flag.name, QString::fromLatin1(flag.caption), flag.left,
                                  flag.top, 97, 17);
        box->setChecked(profile_.*flag.field);
        box->setVisible(flag.shown);
        // A flag checked by hand changes only the later consultations.
        const auto field = flag.field;
        connect(box, &QCheckBox::toggled, this, [this, field](bool on) { profile_.*field = on; });
        *flag.box = box;
    }

    SetFeature = Place(new QPushButton(QStringLiteral("SetFeature"), parent), "SetFeature", 968,
                       376, 81, 25);
    const QFont windowFont = font();
    ReadBtn =
        Place(SpeedButton(parent, QStringLiteral("Read"), windowFont), "ReadBtn", 656, 355, 81, 22);
    ClearBtn = Place(SpeedButton(parent, QStringLiteral("Clear"), windowFont), "ClearBtn", 744, 188,
                     81, 22);
    InfoBtn =
        Place(SpeedButton(parent, QStringLiteral("Info"), windowFont), "InfoBtn", 752, 164, 57, 22);
    DevListBox = Place(new QListWidget(parent), "DevListBox", 728, 432, 5, 25);
    HistoryListBox = Place(new QListWidget(parent), "HistoryListBox", 608, 480, 5, 3);
}

void TFCOMM::BuildHiddenControls(QWidget* parent) {
    Memo1 = Place(new QPlainTextEdit(parent), "Memo1", 312, 567, 305, 41);
    // The trace keeps the last thousand frames; an unbounded box would grow
    // for as long as the meter talks.
    Memo1->setMaximumBlockCount(static_cast<int>(decode::kTraceLines));
    Memo1->setReadOnly(true);
    USBtxt = Place(new QLabel(parent), "USBtxt", 272, 9, 120, 16);
    USBtxt->setFont(PixelFont(QStringLiteral("Arial"), 12, false, true));
    SetTextColour(USBtxt, QColor(0, 255, 255));
    Print =
        Place(GlyphButton(parent, ThemeIcon("document-print", QStyle::SP_FileDialogDetailedView),
                          QStringLiteral("Print")),
              "Print", 112, 447, 23, 22);
    auto* reportHolder = Place(new QFrame(parent), "QuickRep1Holder", 128, 592, 81, 41);
    for (QWidget* hidden : std::initializer_list<QWidget*>{Memo1, USBtxt, Print, reportHolder}) {
        hidden->hide();
    }
    for (const char* name : {"Label1", "Label2", "Label3"}) {
        auto* note = Place(new QLabel(parent), name, 8, 600, 100, 13);
        note->hide();
    }
    auto* kd2 = Place(new QLabel(parent), "KD2", 294, 39, 0, 0);
    kd2->setScaledContents(true);
    kd2->hide();
}

} // namespace meterdesk::app
