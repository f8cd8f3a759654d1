#include "app/previous_instance.h"

#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/system/instance_channel.h"

namespace {
constexpr int kMaxMutexName = 255;
constexpr int kExtensionLength = 4;  // ".EXE"

[[noreturn]] void endProgram() {
    std::fflush(nullptr);
    std::_Exit(0);
}
}  // namespace

QString TPreviousInstance::FileNameOf(const QString& programPath) {
    const qsizetype cut = std::max({programPath.lastIndexOf(QLatin1Char('\\')),
                                    programPath.lastIndexOf(QLatin1Char('/')),
                                    programPath.lastIndexOf(QLatin1Char(':'))});
    return programPath.mid(cut + 1).left(kMaxMutexName);
}

QString TPreviousInstance::WindowNameOf(const QString& fileName) {
    if (!fileName.contains(QStringLiteral(".EXE"), Qt::CaseSensitive)) return {};
    return fileName.left(std::max<qsizetype>(0, fileName.size() - kExtensionLength));
}

TPreviousInstance::TPreviousInstance(const QString& programPath)
    : fileName_(FileNameOf(programPath)), windowName_(WindowNameOf(fileName_)) {
    // A mutex that cannot be made lets the program run as a first copy.
    existed_ = mutex_.Create(fileName_) == TNamedMutex::Result::AlreadyExists;
}

TJustOne32::TJustOne32(QWidget* owner, const TPreviousInstance& instance) : QObject(owner) {
    if (!instance.Existed()) {
        listener_ = new TInstanceListener(instance.FileName(), owner, this);
        return;
    }
    // The answer does not matter: the second copy ends either way.
    ActivateRunningInstance(instance.FileName());
    endProgram();
}

TJustOne32::~TJustOne32() = default;
