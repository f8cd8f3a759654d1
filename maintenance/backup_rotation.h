#pragma once
// Which backups to keep.  By default: the last 10, the newest of each of the
// last 7 days and the newest of each of the last 8 weeks (about two months).
// Whatever the policy says, the newest backup that verifies is never deleted
// when no kept backup verifies.

#include <QDateTime>
#include <QVector>
#include <functional>

namespace backup {

struct RotationPolicy {
    int keepLast = 10;
    int keepDays = 7;
    int keepWeeks = 8;
};

// For backups taken at `created` (newest first), whether the policy keeps
// each one at `now`.  Days and weeks (starting on Monday) are local ones.
QVector<bool> PolicyKeeps(const QVector<QDateTime>& created, const RotationPolicy& policy,
                          const QDateTime& now);

// The policy's choice, then the safety rule: when no kept backup verifies,
// the newest one that does is kept as well.  `verifies` is asked newest
// first and only as far as needed (it reads a whole archive).
QVector<bool> BackupsToKeep(const QVector<QDateTime>& created, const RotationPolicy& policy,
                            const QDateTime& now, const std::function<bool(int)>& verifies);

}  // namespace backup
