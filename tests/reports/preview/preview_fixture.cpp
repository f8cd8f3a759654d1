#include "tests/reports/preview/preview_fixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QWidget>

#include "platform/db/table.h"
#include "reportengine/report_filer.h"
#include "store/collection.h"

TestCollection::TestCollection() {
    store::CreateCollection(dir_.path());
    store::RegisterAlias(dir_.path());
    QImage logo(32, 32, QImage::Format_RGB32);
    logo.fill(QColor(255, 0, 0));
    EXPECT_TRUE(logo.save(file("PKEEP20.BMP"), "BMP"));
}

void TestCollection::addSeries(int count, int favoriteEvery) {
    TTable table;
    table.SetDatabaseName("PKEEP");
    table.SetTableName("series.db");
    table.Open();
    for (int i = 1; i <= count; ++i) {
        const QString number = QString::number(i).rightJustified(3, '0');
        table.Append();
        table.FieldByName("SERIES")->SetAsString("SERIES " + number);
        table.FieldByName("PUBLISHER")->SetAsString("PUBLISHER " + number);
        table.FieldByName("FAVORITE")->SetAsBoolean(favoriteEvery > 0 && i % favoriteEvery == 0);
        table.Post();
    }
    table.SaveChanges();
    table.Close();
}

void RecordBoxesReport(const QString& fileName, int pages) {
    QWidget owner;  // measures text when no printer is installed
    TReportFiler filer(&owner);
    filer.FileName = fileName;
    filer.OnPrintPage = [pages](TBaseReport* sender, int&) {
        TBaseReport& report = *sender;
        report.SelectFont("Arial", 12);
        report.PositionAt(1.0, 1.5);
        report.PrintText(QString("PAGE %1 TEXT").arg(report.CurrentPage()));
        report.SelectPen(clBlack, psSolid, 1, pmCopy);
        report.SelectBrush(clBlack, bsSolid);
        report.Rectangle(1.0, 2.0, 3.0, 3.0);
        return report.CurrentPage() < pages;
    };
    filer.Run();
}

QRect ExpectedBox(int dpi) { return QRect(QPoint(dpi, 2 * dpi), QPoint(3 * dpi - 1, 3 * dpi - 1)); }

namespace {

QByteArray RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(30000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0)
        << program.toStdString() << ": " << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

QString PdfInfoField(const QString& pdf, const QString& field) {
    const QString info = QString::fromUtf8(RunTool("pdfinfo", {pdf}));
    for (const QString& line : info.split('\n')) {
        if (line.startsWith(field + ":")) return line.mid(field.size() + 1).trimmed();
    }
    return {};
}

QRect BoxWhere(const QImage& image, const QRect& region, bool (*match)(QRgb)) {
    QRect box;
    const QRect area = region.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (match(image.pixel(x, y))) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

}  // namespace

std::vector<std::pair<int, int>> PdfImages(const QString& pdf) {
    std::vector<std::pair<int, int>> images;
    const QStringList lines = QString::fromUtf8(RunTool("pdfimages", {"-list", pdf})).split('\n');
    for (const QString& line : lines.mid(2)) {
        const QStringList columns = line.split(' ', Qt::SkipEmptyParts);
        if (columns.size() > 10) images.emplace_back(columns[0].toInt(), columns[10].toInt());
    }
    return images;
}

QStringList PdfPageTexts(const QString& pdf) {
    QStringList pages = QString::fromUtf8(RunTool("pdftotext", {"-layout", pdf, "-"})).split('\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
    return pages;
}

std::vector<PdfWord> PdfWords(const QString& pdf) {
    const QString html = QString::fromUtf8(RunTool("pdftotext", {"-bbox", pdf, "-"}));
    static const QRegularExpression token(
        "<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
        "yMax=\"([\\d.]+)\">([^<]*)</word>");
    std::vector<PdfWord> words;
    int page = 0;
    for (auto it = token.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith("<page")) {
            ++page;
            continue;
        }
        words.push_back({page, m.captured(5), m.captured(1).toDouble(), m.captured(2).toDouble(),
                         m.captured(3).toDouble(), m.captured(4).toDouble()});
    }
    return words;
}

int PdfPageCount(const QString& pdf) { return PdfInfoField(pdf, "Pages").toInt(); }

QString PdfTitle(const QString& pdf) { return PdfInfoField(pdf, "Title"); }

QImage RenderPdfPage(const QString& pdf, int page, int dpi) {
    const QString prefix = pdf + QString("-page%1").arg(page);
    RunTool("pdftoppm", {"-r", QString::number(dpi), "-f", QString::number(page), "-l",
                         QString::number(page), "-png", "-singlefile", pdf, prefix});
    return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
}

QRect DarkBox(const QImage& image, const QRect& region) {
    return BoxWhere(image, region,
                    [](QRgb p) { return qRed(p) < 100 && qGreen(p) < 100 && qBlue(p) < 100; });
}

QRect RedBox(const QImage& image, const QRect& region) {
    return BoxWhere(image, region,
                    [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60; });
}
