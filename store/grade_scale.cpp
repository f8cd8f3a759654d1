#include "store/grade_scale.h"

#include <QStringList>
#include <cmath>

namespace store {

QString StandardGrade::text() const {
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

QString StandardGrade::name() const { return text() + QLatin1Char(' ') + QLatin1String(abbrev); }

const std::vector<StandardGrade>& StandardGrades() {
    static const std::vector<StandardGrade> grades = {
        {100, "GM", "Gem Mint", 100},
        {99, "MT", "Mint", 100},
        {98, "NM/M", "Near Mint/Mint", 95},
        {96, "NM+", "Near Mint+", 95},
        {94, "NM", "Near Mint", 95},
        {92, "NM-", "Near Mint-", 95},
        {90, "VF/NM", "Very Fine/Near Mint", 90},
        {85, "VF+", "Very Fine+", 90},
        {80, "VF", "Very Fine", 85},
        {75, "VF-", "Very Fine-", 80},
        {70, "FN/VF", "Fine/Very Fine", 75},
        {65, "FN+", "Fine+", 70},
        {60, "FN", "Fine", 65},
        {55, "FN-", "Fine-", 60},
        {50, "VG/FN", "Very Good/Fine", 55},
        {45, "VG+", "Very Good+", 50},
        {40, "VG", "Very Good", 45},
        {35, "VG-", "Very Good-", 40},
        {30, "GD/VG", "Good/Very Good", 35},
        {25, "GD+", "Good+", 30},
        {20, "GD", "Good", 25},
        {18, "GD-", "Good-", 20},
        {15, "FR/GD", "Fair/Good", 15},
        {10, "FR", "Fair", 10},
        {5, "PR", "Poor", 5},
    };
    return grades;
}

namespace {

// The grade times ten when `text` is a decimal number with at most one
// significant decimal; nullopt otherwise.
std::optional<int> tenthsOf(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    const double tenths = value * 10;
    if (std::fabs(tenths - std::round(tenths)) > 1e-6) return std::nullopt;
    return static_cast<int>(std::lround(tenths));
}

}  // namespace

std::optional<StandardGrade> FindStandardGrade(const QString& text) {
    const std::optional<int> tenths = tenthsOf(text);
    if (!tenths) return std::nullopt;
    for (const StandardGrade& grade : StandardGrades())
        if (grade.tenths == *tenths) return grade;
    return std::nullopt;
}

QString StandardGradeProblem(const QString& text) {
    if (text.trimmed().isEmpty() || FindStandardGrade(text)) return {};
    QStringList steps;
    for (const StandardGrade& grade : StandardGrades()) steps << grade.text();
    return QStringLiteral("\"%1\" is not a grade of the standard scale; choose one of %2.")
        .arg(text.trimmed(), steps.join(QStringLiteral(", ")));
}

}  // namespace store
