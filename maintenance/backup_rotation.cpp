#include "maintenance/backup_rotation.h"

#include <QSet>

namespace backup {

namespace {

QDate mondayOf(const QDate& day) { return day.addDays(1 - day.dayOfWeek()); }

// Marks the newest backup of each period (`periodOf` maps a day to the
// period's first day) from `first` on.
void keepNewestPer(const QVector<QDateTime>& created, QVector<bool>& keep, const QDate& first,
                   QDate (*periodOf)(const QDate&)) {
    QSet<QDate> covered;
    for (qsizetype i = 0; i < created.size(); ++i) {
        const QDate day = created[i].toLocalTime().date();
        if (day < first) continue;
        const QDate period = periodOf(day);
        if (covered.contains(period)) continue;
        covered.insert(period);
        keep[i] = true;
    }
}

}  // namespace

QVector<bool> PolicyKeeps(const QVector<QDateTime>& created, const RotationPolicy& policy,
                          const QDateTime& now) {
    QVector<bool> keep(created.size(), false);
    for (qsizetype i = 0; i < created.size() && i < policy.keepLast; ++i) keep[i] = true;
    const QDate today = now.toLocalTime().date();
    keepNewestPer(created, keep, today.addDays(1 - policy.keepDays),
                  [](const QDate& day) { return day; });
    keepNewestPer(created, keep, mondayOf(today).addDays(7 * (1 - policy.keepWeeks)), mondayOf);
    return keep;
}

QVector<bool> BackupsToKeep(const QVector<QDateTime>& created, const RotationPolicy& policy,
                            const QDateTime& now, const std::function<bool(int)>& verifies) {
    QVector<bool> keep = PolicyKeeps(created, policy, now);
    for (qsizetype i = 0; i < created.size(); ++i)
        if (keep[i] && verifies(static_cast<int>(i))) return keep;
    for (qsizetype i = 0; i < created.size(); ++i)
        if (!keep[i] && verifies(static_cast<int>(i))) {
            keep[i] = true;
            break;
        }
    return keep;
}

}  // namespace backup
