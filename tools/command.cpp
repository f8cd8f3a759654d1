#include "tools/command.h"

namespace admin {

std::vector<Command>& Commands() {
    static std::vector<Command> commands;
    return commands;
}

Arguments::Arguments(const QStringList& args, const QStringList& valueOptions,
                     const QStringList& switches) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            positional_ << arg;
        } else if (valueOptions.contains(arg)) {
            if (i + 1 >= args.size())
                throw UsageError("option " + arg.toStdString() + " needs a value");
            values_ << arg << args[++i];
        } else if (switches.contains(arg) || arg == QLatin1String("--help")) {
            flags_ << arg;
        } else {
            throw UsageError("unknown option " + arg.toStdString());
        }
    }
}

bool Arguments::has(const QString& option) const {
    return flags_.contains(option) || values_.contains(option);
}

QString Arguments::value(const QString& option, const QString& fallback) const {
    for (int i = 0; i + 1 < values_.size(); i += 2)
        if (values_[i] == option) return values_[i + 1];
    return fallback;
}

long long Arguments::number(const QString& option, long long fallback) const {
    if (!has(option)) return fallback;
    bool ok = false;
    long long n = value(option).toLongLong(&ok);
    if (!ok || n < 0)
        throw UsageError(option.toStdString() + " needs a whole number of 0 or more, not '" +
                         value(option).toStdString() + "'");
    return n;
}

}  // namespace admin
