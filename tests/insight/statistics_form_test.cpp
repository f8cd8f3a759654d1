// The Statistics window on the small collection, offscreen: opened from its
// menu command, its charts carry the figures, each chart is saved as a real
// PNG and PDF and printed through the program's printer (to a PDF file and
// to a private CUPS queue), and Cancel stops the pass.
#include "insight/statistics_form.h"

#include <gtest/gtest.h>

#include <QAbstractBarSeries>
#include <QApplication>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPieSeries>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>

#include "app/main_form.h"
#include "insight/statistics_charts.h"
#include "platform/base/exception.h"
#include "platform/graphics/printers.h"
#include "tests/insight/small_collection.h"
#include "tests/support/print_server.h"
#include "tests/support/temp_dir.h"

namespace {

QString PdfText(const QString& path) {
    QProcess process;
    process.start("pdftotext", {path, "-"});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The height in points of the first word `word` on the PDF's page: a chart
// drawn at the device's resolution instead of the screen's has text a
// fraction of a point high.
double WordHeight(const QString& path, const QString& word) {
    QProcess process;
    process.start("pdftotext", {"-bbox", path, "-"});
    process.waitForFinished(30000);
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    const QRegularExpression box("yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"([0-9.]+)\">" +
                                 QRegularExpression::escape(word) + "<");
    const QRegularExpressionMatch match = box.match(html);
    return match.hasMatch() ? match.captured(2).toDouble() - match.captured(1).toDouble() : 0.0;
}

class StatisticsFormTest : public ::testing::Test {
protected:
    void SetUp() override { small_collection::Write(dir.path()); }

    // The window as the Reports menu opens it.
    TStatisticsForm* OpenFromMenu() {
        InstallStatisticsCommand(
            menu, [this](QWidget* form) { opened = form; }, [this] { return dir.path(); });
        QAction* item = menu.findChild<QAction*>("StatisticsItem");
        EXPECT_TRUE(item);
        if (item) item->trigger();
        return qobject_cast<TStatisticsForm*>(opened);
    }

    TestDir dir;
    QMenu menu;
    QPointer<QWidget> opened;
};

TEST_F(StatisticsFormTest, TheMenuCommandOpensAllChartsWithTheFigures) {
    std::unique_ptr<TStatisticsForm> form(OpenFromMenu());
    ASSERT_TRUE(form);
    ASSERT_TRUE(form->Figures().has_value());
    EXPECT_TRUE(form->Totals->text().contains("9 books owned"))
        << form->Totals->text().toStdString();
    EXPECT_TRUE(form->Totals->text().contains("$1,091.74"));
    EXPECT_TRUE(form->Note->text().contains("Profit/Investment Summary"));
    ASSERT_EQ(form->Charts->count(), insight::kChartCount);
    for (int i = 0; i < insight::kChartCount; ++i)
        ASSERT_EQ(form->ChartView(i)->chart()->series().size(), 1) << i;

    // Value by publisher: graded value and price paid of ZENITH, ACME, none.
    auto* publishers =
        qobject_cast<QAbstractBarSeries*>(form->ChartView(0)->chart()->series().first());
    ASSERT_TRUE(publishers);
    ASSERT_EQ(publishers->barSets().size(), 2);
    QBarSet* value = publishers->barSets()[0];
    QBarSet* paid = publishers->barSets()[1];
    ASSERT_EQ(value->count(), 3);
    EXPECT_DOUBLE_EQ(value->at(0), 950.00);
    EXPECT_DOUBLE_EQ(value->at(1), 137.74);
    EXPECT_DOUBLE_EQ(paid->at(1), 132.70);

    // Books by condition: one slice per word that has books.
    auto* conditions = qobject_cast<QPieSeries*>(form->ChartView(2)->chart()->series().first());
    ASSERT_TRUE(conditions);
    EXPECT_EQ(conditions->count(), 6);
    EXPECT_DOUBLE_EQ(conditions->sum(), 9);

    // Money spent per year: 2019 and 2021.
    auto* years = qobject_cast<QAbstractBarSeries*>(form->ChartView(4)->chart()->series().first());
    ASSERT_TRUE(years);
    EXPECT_DOUBLE_EQ(years->barSets()[0]->at(0), 32.50);
    EXPECT_DOUBLE_EQ(years->barSets()[0]->at(1), 1.00);

    // In the frame at its design size the window fits the client area and
    // its charts are tall enough to read.
    TMainForm frame;
    frame.show();
    QMdiSubWindow* child = frame.AddChild(form.release(), QPoint(0, 0));
    QApplication::processEvents();
    EXPECT_TRUE(frame.ChildArea().rect().contains(child->geometry()))
        << child->width() << "x" << child->height();
    EXPECT_GE(qobject_cast<TStatisticsForm*>(child->widget())->ChartView(0)->height(), 200);
}

TEST_F(StatisticsFormTest, EachChartIsSavedAsPngAndPdfAndPrinted) {
    std::unique_ptr<TStatisticsForm> form(OpenFromMenu());
    ASSERT_TRUE(form);
    form->show();
    for (int i = 0; i < insight::kChartCount; ++i) {
        const QString png = dir.path() + QStringLiteral("/chart%1.png").arg(i);
        form->Charts->setCurrentIndex(i);
        form->AskSaveFile = [&](const QString&) { return png; };
        form->SaveButton->click();
        const QImage picture(png);
        ASSERT_FALSE(picture.isNull()) << i;
        EXPECT_GE(picture.width(), 1200);
        EXPECT_NE(picture.convertToFormat(QImage::Format_Grayscale8)
                      .scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .pixelColor(0, 0),
                  QColor(Qt::white))
            << "chart " << i << " drew nothing";

        const QString pdf = dir.path() + QStringLiteral("/chart%1.pdf").arg(i);
        form->SaveChart(i, pdf);
        EXPECT_TRUE(PdfText(pdf).contains(insight::ChartTitle(i))) << i;
    }
    EXPECT_GT(WordHeight(dir.path() + "/chart0.pdf", "ZENITH"), 4.0);

    EXPECT_THROW(form->SaveChart(0, dir.path() + "/no such folder/chart.png"), Exception);
    SetInstalledPrinters(std::make_unique<TNoPrinters>());
    EXPECT_THROW(form->PrintChart(0), Exception);

    const QString printed = dir.path() + "/printed.pdf";
    SetInstalledPrinters(std::make_unique<TPdfFilePrinters>(printed));
    form->ExecPrintDialog = [](QPrintDialog&) { return true; };
    form->Charts->setCurrentIndex(3);
    form->PrintButton->click();
    SetInstalledPrinters(std::make_unique<TNoPrinters>());
    const QString text = PdfText(printed);
    EXPECT_TRUE(text.contains("Top 20 Series by Value")) << text.toStdString();
    EXPECT_GT(WordHeight(printed, "GAMMA"), 4.0);
}

// The user's path to paper: Print Chart... on the system's printers, here a
// private CUPS queue, and the chart is the job that reaches its device.
TEST_F(StatisticsFormTest, PrintChartSendsTheChartToTheQueue) {
    TestPrintServer server;
    if (!server.Ready())
        GTEST_SKIP() << "no private print server: " << server.Problem().toStdString();
    SetInstalledPrinters(std::make_unique<TSystemPrinters>());
    std::unique_ptr<TStatisticsForm> form(OpenFromMenu());
    ASSERT_TRUE(form);
    form->show();
    form->ExecPrintDialog = [](QPrintDialog&) { return true; };
    form->Charts->setCurrentIndex(3);
    form->PrintButton->click();
    SetInstalledPrinters(std::make_unique<TNoPrinters>());
    ASSERT_TRUE(server.WaitForJobs(1));
    const QString text = PdfText(server.JobFiles().first());
    EXPECT_TRUE(text.contains("Top 20 Series by Value")) << text.toStdString();
    EXPECT_TRUE(text.contains("GAMMA")) << text.toStdString();
}

TEST_F(StatisticsFormTest, CancelStopsThePassAndLeavesNoFigures) {
    TStatisticsForm form(dir.path());
    form.show();
    QTimer::singleShot(0, form.CancelButton, &QPushButton::click);
    EXPECT_FALSE(form.Calculate());
    EXPECT_FALSE(form.Figures().has_value());
    EXPECT_TRUE(form.Totals->text().contains("Cancelled"));
    EXPECT_FALSE(form.SaveButton->isEnabled());
    EXPECT_FALSE(form.PrintButton->isEnabled());
    EXPECT_TRUE(form.ChartView(0)->chart()->series().isEmpty());
    // Recalculate runs the pass again, whole.
    form.RecalculateButton->click();
    EXPECT_TRUE(form.Figures().has_value());
    EXPECT_TRUE(form.SaveButton->isEnabled());
}

TEST(StatisticsFormFailureTest, AMissingCollectionIsSaidInTheWindowAndRaised) {
    TestDir dir;
    TStatisticsForm form(dir.path());
    EXPECT_THROW(form.Calculate(), Exception);
    EXPECT_TRUE(form.Totals->text().contains("series.db")) << form.Totals->text().toStdString();
    EXPECT_TRUE(form.RecalculateButton->isEnabled());
}

}  // namespace
