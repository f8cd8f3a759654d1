#include "insight/statistics_charts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QHorizontalBarSeries>
#include <QPieSeries>
#include <QValueAxis>
#include <algorithm>

namespace insight {

namespace {

enum Chart { kByPublisher, kMostValuable, kByCondition, kTopSeries, kSpentPerYear };

QChart* NewChart(int index) {
    auto* chart = new QChart;
    chart->setTitle(ChartTitle(index));
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

// Category axis and money axis for a bar series already in the chart.
// Categories must be unique: the callers number or qualify them.
void AddAxes(QChart& chart, QAbstractBarSeries& series, const QStringList& categories,
             bool horizontal) {
    auto* names = new QBarCategoryAxis;
    names->append(categories);
    auto* amounts = new QValueAxis;
    amounts->setLabelFormat("%.2f");
    chart.addAxis(names, horizontal ? Qt::AlignLeft : Qt::AlignBottom);
    chart.addAxis(amounts, horizontal ? Qt::AlignBottom : Qt::AlignLeft);
    series.attachAxis(names);
    series.attachAxis(amounts);
    amounts->setMin(0);
    amounts->applyNiceNumbers();
}

QChart* ByPublisher(const CollectionStatistics& figures) {
    QChart* chart = NewChart(kByPublisher);
    auto* value = new QBarSet(QStringLiteral("Graded value"));
    auto* paid = new QBarSet(QStringLiteral("Price paid"));
    QStringList names;
    Cents otherValue = 0, otherPaid = 0;
    for (std::size_t i = 0; i < figures.publishers.size(); ++i) {
        const PublisherTotal& total = figures.publishers[i];
        if (i < kPublishersCharted) {
            names << (total.publisher.isEmpty() ? QStringLiteral("(no publisher)")
                                                : total.publisher);
            *value << FromCents(total.value);
            *paid << FromCents(total.paid);
        } else {
            otherValue += total.value;
            otherPaid += total.paid;
        }
    }
    if (figures.publishers.size() > kPublishersCharted) {
        names << QStringLiteral("%1 other publishers")
                     .arg(figures.publishers.size() - kPublishersCharted);
        *value << FromCents(otherValue);
        *paid << FromCents(otherPaid);
    }
    auto* series = new QBarSeries;
    series->append({value, paid});
    chart->addSeries(series);
    AddAxes(*chart, *series, names, false);
    return chart;
}

// Horizontal bars, the first of the list on top.
QChart* RankedBars(int index, const QString& setName, const QStringList& names,
                   const std::vector<double>& amounts) {
    QChart* chart = NewChart(index);
    auto* set = new QBarSet(setName);
    QStringList categories;
    for (std::size_t i = names.size(); i-- > 0;) {
        categories << names[static_cast<qsizetype>(i)];
        *set << amounts[i];
    }
    auto* series = new QHorizontalBarSeries;
    series->append(set);
    chart->addSeries(series);
    AddAxes(*chart, *series, categories, true);
    chart->legend()->hide();
    return chart;
}

QChart* MostValuable(const CollectionStatistics& figures) {
    QStringList names;
    std::vector<double> amounts;
    for (const ValuableBook& book : figures.mostValuable) {
        QString name =
            QStringLiteral("%1. %2 #%3").arg(names.size() + 1).arg(book.series, book.comicNo);
        if (!book.edition.isEmpty()) name += QStringLiteral(" (%1)").arg(book.edition);
        names << name + QStringLiteral("  %1").arg(MoneyText(book.value));
        amounts.push_back(FromCents(book.value));
    }
    return RankedBars(kMostValuable, QStringLiteral("Graded value of one copy"), names, amounts);
}

QChart* TopSeries(const CollectionStatistics& figures) {
    QStringList names;
    std::vector<double> amounts;
    for (const SeriesTotal& series : figures.topSeries) {
        names << QStringLiteral("%1. %2 (%3 %4)  %5")
                     .arg(names.size() + 1)
                     .arg(series.series)
                     .arg(series.books)
                     .arg(series.books == 1 ? "book" : "books", MoneyText(series.value));
        amounts.push_back(FromCents(series.value));
    }
    return RankedBars(kTopSeries, QStringLiteral("Graded value of the copies owned"), names,
                      amounts);
}

QChart* ByCondition(const CollectionStatistics& figures) {
    QChart* chart = NewChart(kByCondition);
    auto* series = new QPieSeries;
    for (const ConditionCount& count : figures.conditions) {
        if (count.books == 0) continue;
        QPieSlice* slice =
            series->append(QStringLiteral("%1: %2").arg(count.word).arg(count.books), count.books);
        slice->setLabelVisible(true);
    }
    chart->addSeries(series);
    chart->legend()->setAlignment(Qt::AlignRight);
    return chart;
}

QChart* SpentPerYear(const CollectionStatistics& figures) {
    if (figures.spentByYear.empty()) {
        QChart* chart = NewChart(kSpentPerYear);
        chart->setTitle(ChartTitle(kSpentPerYear) +
                        QStringLiteral(": no purchase dates are recorded"));
        return chart;
    }
    QChart* chart = NewChart(kSpentPerYear);
    auto* set = new QBarSet(QStringLiteral("Price paid for the copies bought that year"));
    QStringList years;
    for (const YearSpent& year : figures.spentByYear) {
        years << QString::number(year.year);
        *set << FromCents(year.paid);
    }
    auto* series = new QBarSeries;
    series->append(set);
    chart->addSeries(series);
    AddAxes(*chart, *series, years, false);
    return chart;
}

}  // namespace

QString ChartTitle(int index) {
    static const char* const titles[kChartCount] = {"Value by Publisher", "Ten Most Valuable Books",
                                                    "Books by Condition", "Top 20 Series by Value",
                                                    "Money Spent per Year"};
    return QString::fromLatin1(titles[std::clamp(index, 0, kChartCount - 1)]);
}

QChart* BuildChart(int index, const CollectionStatistics& figures) {
    switch (index) {
        case kByPublisher:
            return ByPublisher(figures);
        case kMostValuable:
            return MostValuable(figures);
        case kByCondition:
            return ByCondition(figures);
        case kTopSeries:
            return TopSeries(figures);
        default:
            return SpentPerYear(figures);
    }
}

}  // namespace insight
