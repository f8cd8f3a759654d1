#pragma once
// Checking a collection: every table opened through the engine (which checks
// the header, the primary index against the data blocks and every memo
// pointer), then the rules between the tables: each series' owned count is
// the sum of its books' quantities, and every book's series exists.  Each
// kind of problem is reported once, with how many rows it touches and what
// repairs it.

#include <QString>
#include <QVector>

namespace backup {

struct CheckProblem {
    QString text;    // what is wrong, naming the file
    int count = 0;   // rows affected (1 for a damaged file)
    QString repair;  // the command that repairs it
};

struct CheckReport {
    qint64 series = 0;
    qint64 books = 0;
    QVector<CheckProblem> problems;
    bool ownedCountsWrong = false;  // a recount repairs them
    bool ok() const { return problems.isEmpty(); }
    QString text() const;  // the problems, or that all is well
};

CheckReport CheckCollection(const QString& collection);

// Sets every series' owned count to the sum of its books' quantities;
// returns how many series changed.
int RecountOwned(const QString& collection);

}  // namespace backup
