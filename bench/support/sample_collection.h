#pragma once
// The sample collection the benchmarks time: a new collection in
// `directory` filled by pkeep-admin's demo command, run in this process.

#include <QString>
#include <QTextStream>

#include "store/collection.h"
#include "tools/command.h"

namespace bench {

inline void FillSampleCollection(const QString& directory, int series, int books) {
    store::CreateCollection(directory);
    QTextStream out(stdout);
    admin::Context context{directory, out};
    for (const admin::Command& command : admin::Commands())
        if (QString(command.name) == "demo")
            command.run(context,
                        {"--series", QString::number(series), "--books", QString::number(books)});
}

}  // namespace bench
