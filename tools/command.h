#pragma once
// The subcommands of pkeep-admin.  Each lives in its own file and registers
// itself with a file-scope Registration:
//
//   namespace {
//   int run(admin::Context& context, const QStringList& args);
//   admin::Registration registration{
//       {"init", "init", "Create an empty collection in the alias directory", run}};
//   }
//
// run() gets the arguments after the subcommand's name, prints one summary
// line on success and returns 0; a failure is thrown (admin::UsageError for
// bad arguments, any Exception for the rest) and main() prints it.

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <vector>

#include "platform/base/exception.h"

namespace admin {

struct Context {
    QString directory;  // the collection directory (the alias PKEEP)
    QTextStream& out;
};

struct Command {
    const char* name;
    const char* usage;    // arguments after the name, e.g. "DIR"
    const char* summary;  // one line for the overview
    int (*run)(Context& context, const QStringList& args);
    const char* help = nullptr;  // more lines for "NAME --help"
};

class UsageError : public Exception {
public:
    using Exception::Exception;
};

// Every registered command, in registration order.
std::vector<Command>& Commands();

struct Registration {
    explicit Registration(const Command& command) { Commands().push_back(command); }
};

// Shared argument helpers: "--name VALUE" options, "--name" switches (and
// --help) that take no value, and positional words.
class Arguments {
public:
    Arguments(const QStringList& args, const QStringList& valueOptions,
              const QStringList& switches = {});
    bool has(const QString& option) const;
    QString value(const QString& option, const QString& fallback = QString()) const;
    // An option's value as a non-negative integer (UsageError otherwise).
    long long number(const QString& option, long long fallback) const;
    const QStringList& positional() const { return positional_; }

private:
    QStringList flags_;
    QStringList values_;  // pairs: option, value
    QStringList positional_;
};

}  // namespace admin
