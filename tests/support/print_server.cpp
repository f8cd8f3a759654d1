#include "tests/support/print_server.h"

#include <cups/cups.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCollator>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <cstdlib>

namespace {

const char* const kCupsd = "/usr/sbin/cupsd";

bool WriteFile(const QString& path, const QByteArray& text, QFile::Permissions permissions = {}) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) return false;
    file.close();
    return permissions == QFile::Permissions{} || file.setPermissions(permissions);
}

// The device: "keep:DIR" writes job N to DIR/job-N, whole or not at all.
const QByteArray kBackend = R"(#!/bin/sh
[ $# -eq 0 ] && exit 0
dir="${DEVICE_URI#keep:}"
if [ -n "$6" ]; then cat "$6"; else cat; fi >"$dir/job-$1.part" || exit 1
mv "$dir/job-$1.part" "$dir/job-$1"
)";

// Whether a server accepts connections on the Unix socket at path.
bool Answers(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof(address.sun_path)) return false;
    std::copy(name.begin(), name.end(), address.sun_path);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return connected;
}

}  // namespace

TestPrintServer::TestPrintServer() : dir_(QDir::tempPath() + "/pkeep-cups-XXXXXX") {
    if (!QFileInfo(kCupsd).isExecutable()) {
        problem_ = QString("no CUPS server here (%1 is missing)").arg(kCupsd);
        return;
    }
    if (!dir_.isValid() || !WriteConfiguration()) {
        problem_ = "cannot write the print server's configuration in " + dir_.path();
        return;
    }
    Start();
    if (!Ready()) return;
    // Printing in this process goes to this server from now on, also where
    // the CUPS library has already settled on a server.
    hadServer_ = qEnvironmentVariableIsSet("CUPS_SERVER");
    previousServer_ = qgetenv("CUPS_SERVER");
    qputenv("CUPS_SERVER", QFile::encodeName(Path("cups.sock")));
    cupsSetServer(QFile::encodeName(Path("cups.sock")).constData());
}

TestPrintServer::~TestPrintServer() {
    if (cupsd_.state() != QProcess::NotRunning) {
        cupsd_.terminate();
        if (!cupsd_.waitForFinished(10000)) cupsd_.kill();
        cupsd_.waitForFinished(5000);
    }
    if (!Ready()) return;
    if (hadServer_) {
        qputenv("CUPS_SERVER", previousServer_);
    } else {
        qunsetenv("CUPS_SERVER");
    }
    cupsSetServer(nullptr);
}

bool TestPrintServer::WriteConfiguration() {
    QDir root(dir_.path());
    for (const char* folder : {"conf", "spool", "spool/tmp", "cache", "state", "log", "jobs", "bin",
                               "bin/backend", "bin/filter"}) {
        if (!root.mkpath(folder)) return false;
    }
    // cupsd runs its helpers from its ServerBin: the system's, and the backend.
    if (!QFile::link("/usr/lib/cups/daemon", Path("bin/daemon"))) return false;
    const QByteArray dir = QFile::encodeName(dir_.path());
    const QByteArray server = "Listen " + dir +
                              "/cups.sock\n"
                              "LogLevel warn\n"
                              "AccessLogLevel all\n"
                              "Browsing No\n"
                              "WebInterface No\n"
                              "DefaultAuthType None\n"
                              "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n";
    const QByteArray files = "ServerRoot " + dir +
                             "/conf\n"
                             "ServerBin " +
                             dir +
                             "/bin\n"
                             "RequestRoot " +
                             dir +
                             "/spool\n"
                             "TempDir " +
                             dir +
                             "/spool/tmp\n"
                             "CacheDir " +
                             dir +
                             "/cache\n"
                             "StateDir " +
                             dir +
                             "/state\n"
                             "ErrorLog " +
                             dir +
                             "/log/error_log\n"
                             "AccessLog " +
                             dir +
                             "/log/access_log\n"
                             "PageLog " +
                             dir + "/log/page_log\n";
    // A raw queue (no driver): each job reaches the device as it was sent.
    const QByteArray printers = "<DefaultPrinter " + Queue().toLatin1() +
                                ">\n"
                                "Info Panel-Keep test queue\n"
                                "State Idle\n"
                                "Accepting Yes\n"
                                "DeviceURI keep:" +
                                dir +
                                "/jobs\n"
                                "</DefaultPrinter>\n";
    return WriteFile(Path("conf/cupsd.conf"), server) &&
           WriteFile(Path("conf/cups-files.conf"), files) &&
           WriteFile(Path("conf/printers.conf"), printers) &&
           WriteFile(Path("bin/backend/keep"), kBackend,
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestPrintServer::Start() {
    cupsd_.setProcessChannelMode(QProcess::MergedChannels);
    cupsd_.start(kCupsd, {"-f", "-c", Path("conf/cupsd.conf"), "-s", Path("conf/cups-files.conf")});
    if (!cupsd_.waitForStarted(10000)) {
        problem_ = "cupsd did not start: " + cupsd_.errorString();
        return;
    }
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        if (cupsd_.state() == QProcess::NotRunning) break;
        if (Answers(Path("cups.sock"))) return;
        QThread::msleep(50);
    }
    QFile log(Path("log/error_log"));
    log.open(QIODevice::ReadOnly);
    problem_ = "cupsd is not answering on its socket: " +
               QString::fromLocal8Bit(cupsd_.readAll() + log.readAll()).right(600);
}

QStringList TestPrintServer::JobFiles() const {
    QStringList names = QDir(Path("jobs")).entryList({"job-*"}, QDir::Files);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& name) { return name.endsWith(".part"); }),
                names.end());
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(names.begin(), names.end(), numeric);
    for (QString& name : names) name = Path("jobs/" + name);
    return names;
}

bool TestPrintServer::WaitForJobs(int count, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    while (JobFiles().size() < count) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(50);
    }
    return true;
}

int TestPrintServer::Requests(const QString& operation) const {
    QFile log(Path("log/access_log"));
    if (!log.open(QIODevice::ReadOnly)) return 0;
    const QByteArray needle = " " + operation.toLatin1() + " ";
    int count = 0;
    while (!log.atEnd()) {
        if (log.readLine().contains(needle)) ++count;
    }
    return count;
}
