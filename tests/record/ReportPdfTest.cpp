// Scope: the printed table as a PDF: paper, the bands on every page, rows in
// table order, nothing printed for an empty table (read back with poppler's
// pdftotext and pdfinfo).
#include "record/ui/TableReport.h"

#include <QDir>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace meterdesk::record {
namespace {

QString RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

struct ReportPdf : ::testing::Test {
    QTemporaryDir folder;
    QString pdf = folder.filePath(QStringLiteral("report.pdf"));

    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        }
    }

    // The text of each page.
    QStringList Print(const MeasurementTable& table) {
        QPrinter printer(QPrinter::HighResolution);
        TableReport::Configure(printer);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        TableReport::Paint(printer, table, table.RowCount());
        QStringList pages = RunTool(QStringLiteral("pdftotext"),
                                    {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
                                .split(QLatin1Char('\f'));
        pages.removeLast(); // after the last page's form feed
        return pages;
    }
};

TEST_F(ReportPdf, EveryPageCarriesTitleHeadingsAndFooterAroundItsRowsInOrder) {
    MeasurementTable table;
    for (int i = 1; i <= 40; ++i) {
        table.Append({i, QStringLiteral("10:%1:00").arg(i, 2, 10, QLatin1Char('0')).toStdString(),
                      i % 2 != 0 ? "DC" : "AC", std::to_string(i) + ".5", "mV", "AUTO"});
    }
    const QStringList pages = Print(table);
    ASSERT_EQ(pages.size(), 2);
    EXPECT_TRUE(RunTool(QStringLiteral("pdfinfo"), {pdf}).contains(QStringLiteral("(A4)")));
    for (const QString& page : pages) {
        for (const char* text :
             {"Test Data", "No", "Time", "DC/AC", "Value", "Unit", "AUTO", "The Data Print Foot"}) {
            EXPECT_TRUE(page.contains(QString::fromLatin1(text))) << text;
        }
        EXPECT_LT(page.indexOf(QStringLiteral("Test Data")), page.indexOf(QStringLiteral("DC/AC")));
        EXPECT_GT(page.indexOf(QStringLiteral("The Data Print Foot")),
                  page.indexOf(QStringLiteral("10:")));
    }
    qsizetype last = -1;
    for (int i = 1; i <= 40; ++i) {
        const QString& page = pages[i <= 35 ? 0 : 1];
        const qsizetype at =
            page.indexOf(QStringLiteral("10:%1:00").arg(i, 2, 10, QLatin1Char('0')));
        ASSERT_GE(at, 0) << i;
        EXPECT_TRUE(i == 36 || at > last) << i;
        last = at;
    }
    EXPECT_TRUE(pages[1].contains(QStringLiteral("40.5")));
    EXPECT_FALSE(pages[1].contains(QStringLiteral("10:35:00")));
}

TEST_F(ReportPdf, AnEmptyTablePrintsNoBand) {
    const QStringList pages = Print(MeasurementTable());
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].trimmed().isEmpty()) << pages[0].toStdString();
}

} // namespace
} // namespace meterdesk::record
