// The judge panel, the hidden limits and bar-scale panels, and the chart
// with its toolbar, as the window lays them out.
#include "app/Controls.h"
#include "app/HeronF.h"
#include "chart/ui/QtChartSurface.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

namespace meterdesk::app {

namespace {

QLabel* Label(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
              int height, const QFont& font) {
    auto* label = Place(new QLabel(text, parent), name, left, top, width, height);
    label->setFont(font);
    // A label is as wide as its caption: the substitute font runs a pixel
    // wider than the one the widths were taken from.
    label->resize(std::max(width, label->sizeHint().width()), height);
    return label;
}

QColor InfoColour(const QWidget* widget) {
    return widget->palette().color(QPalette::ToolTipBase);
}

QLabel* Picture(QWidget* parent, const char* name, const QIcon& icon, int left, int top, int size) {
    auto* image = Place(new QLabel(parent), name, left, top, size, size);
    image->setPixmap(icon.pixmap(size - 4, size - 4));
    image->setAlignment(Qt::AlignCenter);
    return image;
}

QToolButton* ToolbarButton(QWidget* parent, const char* name, const QIcon& icon,
                           const QString& hint, int left, int width) {
    auto* button = Place(new QToolButton(parent), name, left, 3, width, 21);
    button->setIcon(icon);
    button->setToolTip(hint);
    return button;
}

// An image the user clicks: a flat button showing the picture.
QToolButton* ClickableImage(QWidget* parent, const char* name, const QIcon& icon, int left,
                            int top) {
    auto* image = Place(new QToolButton(parent), name, left, top, 25, 25);
    image->setIcon(icon);
    image->setIconSize(QSize(21, 21));
    image->setAutoRaise(true);
    return image;
}

} // namespace

void TFCOMM::BuildJudgePanel(QWidget* parent) {
    Panel4 = Place(new QFrame(parent), "Panel4", 289, 32, 329, 137);
    Panel4->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel4->setLineWidth(2);
    Panel4->setAutoFillBackground(true);
    QPalette panelPalette = Panel4->palette();
    panelPalette.setColor(QPalette::Window, panelPalette.color(QPalette::Base));
    Panel4->setPalette(panelPalette);

    const QFont font11 = PixelFont(QStringLiteral("MS Sans Serif"), 11);
    Label(Panel4, "T1_HI", QStringLiteral("Set High Limit:"), 14, 36, 68, 13, font11);
    T1HI = Place(new QLineEdit(QStringLiteral("6000"), Panel4), "T1HI", 88, 32, 81, 21);
    Label(Panel4, "T1_Value", QStringLiteral("Measure Value:"), 8, 66, 74, 13, font11);
    T1VALUE = Place(new QLineEdit(QStringLiteral("0"), Panel4), "T1VALUE", 88, 62, 81, 21);
    T1VALUE->setReadOnly(true);
    Label(Panel4, "T1_LO", QStringLiteral("Set Low Limit:"), 16, 97, 66, 13, font11);
    T1LO = Place(new QLineEdit(QStringLiteral("-6000"), Panel4), "T1LO", 88, 92, 81, 21);
    for (QLineEdit* box : {T1HI, T1VALUE, T1LO}) {
        box->setFont(font11);
    }
    for (QLineEdit* limit : {T1HI, T1LO}) {
        limit->setToolTip(QStringLiteral("Please enter a number here."));
    }
    QPalette infoPalette = T1VALUE->palette();
    infoPalette.setColor(QPalette::Base, InfoColour(T1VALUE));
    T1VALUE->setPalette(infoPalette);

    // The verdict circle: a round frame filled with the info colour.
    Shape1 = Place(new QFrame(Panel4), "Shape1", 216, 24, 97, 97);
    Shape1->setStyleSheet(QStringLiteral("QFrame#Shape1 { background: %1; border: 1px solid black;"
                                         " border-radius: 48px; }")
                              .arg(InfoColour(Shape1).name()));
    judge = Label(Panel4, "judge", QString(), 237, 56, 65, 29,
                  PixelFont(QStringLiteral("MS Sans Serif"), 24, true));
    judge->setAlignment(Qt::AlignCenter);
    judge->setAutoFillBackground(true);
    QPalette judgePalette = judge->palette();
    judgePalette.setColor(QPalette::Window, InfoColour(judge));
    judge->setPalette(judgePalette);

    CONokN = Picture(Panel4, "CONokN", ThemeIcon("network-offline", QStyle::SP_MessageBoxWarning),
                     293, 9, 25);
    CONokN->resize(25, 24);
    CONok =
        Picture(Panel4, "CONok",
                ThemeIcon("network-transmit-receive", QStyle::SP_DialogApplyButton), 293, 9, 25);
    CONok->resize(25, 24);
    CONok->hide();
    auto* image1 = Picture(Panel4, "Image1", QIcon(), 8, 8, 16);
    image1->hide();
    Picture(Panel4, "Image2", QIcon(), 390, 21, 16);
}

void TFCOMM::BuildLimitsPanel(QWidget* parent) {
    Panel3 = Place(new QFrame(parent), "Panel3", 19, 527, 285, 56);
    Panel3->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel3->setAutoFillBackground(true);
    QPalette silver = Panel3->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    Panel3->setPalette(silver);
    Panel3->hide();

    // Unit texts and these labels show segment-font symbols; the glyph
    // painter takes them over with the min/max display.
    const QFont symbolFont = PixelFont(QStringLiteral("Arial"), 12, true);
    Label(Panel3, "Label11", QStringLiteral("MIN: "), 8, 9, 33, 14, symbolFont);
    Label(Panel3, "Label12", QStringLiteral("MAX: "), 8, 29, 37, 14, symbolFont);
    const QFont valueFont = PixelFont(QStringLiteral("Arial"), 14, false, true);
    MinText = Label(Panel3, "MinText", QStringLiteral("4001"), 48, 9, 32, 16, valueFont);
    MaxText = Label(Panel3, "MaxText", QStringLiteral("-4001"), 48, 29, 37, 16, valueFont);
    const QFont unitFont = PixelFont(QStringLiteral("Arial"), 14);
    MinTextU = Label(Panel3, "MinTextU", QString(), 96, 9, 9, 16, unitFont);
    MaxTextU = Label(Panel3, "MaxTextU", QString(), 96, 29, 9, 16, unitFont);
    for (QLabel* unit : {MinTextU, MaxTextU}) {
        ShowSymbolText(unit, "*"); // the ohm sign
    }
    SetMaxB = Place(new QCheckBox(QStringLiteral("SetMax:"), Panel3), "SetMaxB", 140, 6, 68, 17);
    SetMinB = Place(new QCheckBox(QStringLiteral("SetMin: "), Panel3), "SetMinB", 140, 29, 65, 17);
    Setmax = Place(new QLineEdit(QStringLiteral("4000"), Panel3), "Setmax", 208, 3, 65, 21);
    SetMin = Place(new QLineEdit(QStringLiteral("-4000"), Panel3), "SetMin", 208, 26, 65, 21);
}

void TFCOMM::BuildChart(QWidget* parent) {
    auto* trend = new QChart();
    trend->setTitle(QStringLiteral("  "));
    trend->setMargins(QMargins(3, 0, 0, 2));
    chartSurface_ = new chart::QtChartSurface(trend);
    Chtshow = Place(new QChartView(trend, parent), "Chtshow", 288, 171, 329, 233);
    Chtshow->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Chtshow->setRenderHint(QPainter::Antialiasing);

    auto* bevel = Place(new QFrame(Chtshow), "Bevel1", 2, 2, 40, 20);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    BtFill = Place(new QCheckBox(QStringLiteral("Fill"), Chtshow), "BtFill", 5, 5, 36, 17);
    BtFill->setChecked(true);
    BtFill->setToolTip(QStringLiteral("Graphic Fill"));
    Maxrecord = Place(new QLineEdit(QStringLiteral("100"), Chtshow), "Maxrecord", 48, 3, 41, 21);
    BtNew = ToolbarButton(Chtshow, "BtNew", ThemeIcon("document-new", QStyle::SP_FileIcon),
                          QStringLiteral("New"), 91, 35);
    BtSave =
        ToolbarButton(Chtshow, "BtSave", ThemeIcon("document-save", QStyle::SP_DialogSaveButton),
                      QStringLiteral("Save"), 125, 35);
    BtFirst = ToolbarButton(Chtshow, "BtFirst", ThemeIcon("go-first", QStyle::SP_MediaSkipBackward),
                            QStringLiteral("First"), 163, 25);
    BTPrevious =
        ToolbarButton(Chtshow, "BTPrevious", ThemeIcon("go-previous", QStyle::SP_MediaSeekBackward),
                      QStringLiteral("Previous"), 187, 25);
    Bt10 = ToolbarButton(Chtshow, "Bt10", QIcon(), QStringLiteral("Page No."), 211, 25);
    Bt10->setText(QStringLiteral("1"));
    QPalette blue = Bt10->palette();
    blue.setColor(QPalette::ButtonText, QColor(0, 0, 255));
    Bt10->setPalette(blue);
    BtNext = ToolbarButton(Chtshow, "BtNext", ThemeIcon("go-next", QStyle::SP_MediaSeekForward),
                           QStringLiteral("Next"), 235, 25);
    BTlast = ToolbarButton(Chtshow, "BTlast", ThemeIcon("go-last", QStyle::SP_MediaSkipForward),
                           QStringLiteral("last"), 259, 25);
    TbFd =
        ClickableImage(Chtshow, "TbFd", ThemeIcon("zoom-in", QStyle::SP_TitleBarMaxButton), 288, 3);
    TbFd->setToolTip(QStringLiteral("Graphic Enlarge"));
    TbSx = ClickableImage(Chtshow, "TbSx", ThemeIcon("zoom-out", QStyle::SP_TitleBarNormalButton),
                          288, 3);
    TbSx->setToolTip(QStringLiteral("Graphic Restore"));
    TbSx->hide();
    ComboBox1 = Place(new QComboBox(Chtshow), "ComboBox1", 160, 200, 60, 21);
    ComboBox1->addItems({QStringLiteral("atile"), QStringLiteral("btile")});
    ComboBox1->hide();
}

void TFCOMM::BuildBarScale(QWidget* parent) {
    KD = Place(new QFrame(parent), "KD", 290, 88, 0, 0);
    KD->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    KD->hide();
    KD1 = Place(new QLabel(KD), "KD1", 0, 0, 0, 0);
    KD1->setScaledContents(true);
    KdFd = ClickableImage(KD, "KdFd", ThemeIcon("zoom-in", QStyle::SP_TitleBarMaxButton), 264, 5);
    KdSx =
        ClickableImage(KD, "KdSx", ThemeIcon("zoom-out", QStyle::SP_TitleBarNormalButton), 288, 5);
    oltext = Label(KD, "oltext", QStringLiteral("OL !!"), 109, 72, 113, 49,
                   PixelFont(QStringLiteral("Arial"), 35, true));
    for (QWidget* hidden : std::initializer_list<QWidget*>{KdFd, KdSx, oltext}) {
        hidden->hide();
    }
}

} // namespace meterdesk::app
