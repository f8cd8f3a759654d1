#include "maintenance/tutility_library.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "maintenance/tutility.h"

namespace {

const QString kLoadError = QStringLiteral("Unable to Load TUTIL32.DLL");

void* openModule(const QString& name) {
    QStringList candidates{name};
    if (!name.contains(QLatin1Char('/')) && QCoreApplication::instance()) {
        const QString dir = QCoreApplication::applicationDirPath();
        candidates << dir + QLatin1Char('/') + name << dir + QStringLiteral("/../lib/") + name;
    }
    for (const QString& candidate : candidates) {
        if (void* module = dlopen(QFile::encodeName(candidate).constData(), RTLD_NOW | RTLD_LOCAL))
            return module;
    }
    return nullptr;
}

}  // namespace

TTUtilityLibrary::TTUtilityLibrary(const QString& name) {
    module_ = openModule(name);
    if (!module_) throw EDLLLoadError(kLoadError.toStdString());
    try {
        resolve(TUInit, "TUInit");
        resolve(TUVerifyTable, "TUVerifyTable");
        resolve(TURebuildTable, "TURebuildTable");
        resolve(TUGetCRTblDescCount, "TUGetCRTblDescCount");
        resolve(TUFillCRTblDesc, "TUFillCRTblDesc");
        resolve(TUFillCURProps, "TUFillCURProps");
        resolve(TUExit, "TUExit");
        resolve(TUGetErrorString, "TUGetErrorString");
    } catch (...) {
        dlclose(module_);
        throw;
    }
}

TTUtilityLibrary::~TTUtilityLibrary() {
    if (module_) dlclose(module_);
}

template <class F>
void TTUtilityLibrary::resolve(F& entry, const char* name) {
    entry = reinterpret_cast<F>(dlsym(module_, name));
    if (!entry)
        throw EDLLLoadError(kLoadError.toStdString() + ": the entry point \"" + name +
                            "\" is missing");
}
