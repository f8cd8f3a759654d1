#include "maintenance/backup_schedule.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include "maintenance/backup_service.h"
#include "platform/paradox/table.h"

TBackupSchedule::TBackupSchedule(QString collection, QObject* parent)
    : QObject(parent), collection_(std::move(collection)) {
    paradox::SetChangeObserver([this](const std::string&) { noteChange(); });
    connect(qApp, &QCoreApplication::aboutToQuit, this, &TBackupSchedule::quitting);
}

TBackupSchedule::~TBackupSchedule() {
    paradox::SetChangeObserver(nullptr);
    Wait();
}

// Runs inside the engine's change: the backup starts once the change (and
// whatever batch it belongs to) has returned to the event loop.
void TBackupSchedule::noteChange() {
    changed_ = true;
    if (dailyCheckedOn_ == QDate::currentDate()) return;
    dailyCheckedOn_ = QDate::currentDate();
    QTimer::singleShot(0, this, [this] {
        if (backup::DailyBackupDue(collection_)) BackupNow(QStringLiteral("daily"));
    });
}

void TBackupSchedule::BackupNow(const QString& reason) {
    if (worker_) return;
    auto pending = std::make_shared<backup::PendingBackup>();
    try {
        *pending = backup::StartBackup(collection_, reason);
    } catch (const std::exception& e) {
        if (OnMessage) OnMessage(QString::fromUtf8(e.what()));
        return;
    }
    changed_ = false;
    workerArchive_.clear();
    workerError_.clear();
    worker_.reset(QThread::create([this, pending] {
        try {
            workerArchive_ = backup::FinishBackup(*pending).archive;
        } catch (const std::exception& e) {
            workerError_ = QString::fromUtf8(e.what());
        }
    }));
    connect(worker_.get(), &QThread::finished, this, &TBackupSchedule::workerDone);
    worker_->start();
}

void TBackupSchedule::Wait() {
    if (!worker_) return;
    worker_->wait();
    workerDone();
}

void TBackupSchedule::workerDone() {
    if (!worker_) return;
    worker_.reset();
    if (!workerError_.isEmpty()) {
        changed_ = true;  // still to be backed up
        if (OnMessage) OnMessage(workerError_);
    }
    emit Finished(workerArchive_, workerError_);
}

void TBackupSchedule::quitting() {
    Wait();
    if (!changed_) return;
    BackupNow(QStringLiteral("closing"));
    Wait();
}
