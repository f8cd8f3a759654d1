#include "maintenance/backup_form.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "maintenance/backup_archive.h"
#include "maintenance/backup_restore.h"
#include "maintenance/backup_schedule.h"
#include "maintenance/collection_check.h"
#include "platform/widgets/cursor_guard.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/frame_services.h"
#include "platform/widgets/hints.h"
#include "store/collection.h"

namespace {

enum Column { Time, Books, Series, Size, Verified, ColumnCount };

QString countText(const backup::Manifest* m, const char* table) {
    return m ? QString::number(m->rowCount(QLatin1String(table))) : QStringLiteral("?");
}

void showMessage(const QString& text, TMsgDlgType type) {
    TMessageRequest request;
    request.caption = QStringLiteral("Backups");
    request.text = text;
    request.type = type;
    ShowMessageBox(request);
}

bool confirm(const QString& caption, const QString& text) {
    TMessageRequest request;
    request.caption = caption;
    request.text = text;
    request.type = TMsgDlgType::mtConfirmation;
    request.buttons = mbYes | mbNo;
    return ShowMessageBox(request) == mrYes;
}

}  // namespace

TBackupsForm::TBackupsForm(QString collection, TBackupSchedule& schedule, QWidget* owner)
    : QDialog(owner), collection_(std::move(collection)), schedule_(schedule) {
    setObjectName(QStringLiteral("BackupsForm"));
    setWindowTitle(QStringLiteral("Backups"));
    List = new QTableWidget(0, ColumnCount, this);
    List->setObjectName(QStringLiteral("List"));
    List->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Books"),
                                     QStringLiteral("Series"), QStringLiteral("Size"),
                                     QStringLiteral("Verified")});
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->verticalHeader()->hide();
    List->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(this);
    BtnBackUp = buttons->addButton(QStringLiteral("&Back Up Now"), QDialogButtonBox::ActionRole);
    BtnVerify = buttons->addButton(QStringLiteral("&Verify"), QDialogButtonBox::ActionRole);
    BtnRestore = buttons->addButton(QStringLiteral("&Restore..."), QDialogButtonBox::ActionRole);
    BtnClose = buttons->addButton(QDialogButtonBox::Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List);
    layout->addWidget(buttons);
    resize(560, 320);
    connect(BtnBackUp, &QPushButton::clicked, this, &TBackupsForm::BtnBackUpClick);
    connect(BtnVerify, &QPushButton::clicked, this, &TBackupsForm::BtnVerifyClick);
    connect(BtnRestore, &QPushButton::clicked, this, &TBackupsForm::BtnRestoreClick);
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(&schedule_, &TBackupSchedule::Finished, this, &TBackupsForm::FillList);
    FillList();
}

void TBackupsForm::FillList() {
    const backup::BackupFolder folder(backup::BackupSettings::Load(collection_).folder);
    const QVector<backup::BackupEntry> entries = folder.list();
    List->setRowCount(static_cast<int>(entries.size()));
    for (int row = 0; row < entries.size(); ++row) {
        const backup::BackupEntry& entry = entries[row];
        std::optional<backup::Manifest> manifest;
        try {
            manifest = backup::ReadManifest(entry.path);
        } catch (const std::exception&) {
        }
        const std::optional<bool> verified = folder.knownVerified(entry);
        const QString cells[] = {
            QLocale().toString(entry.created.toLocalTime(), QLocale::ShortFormat),
            countText(manifest ? &*manifest : nullptr, "books.db"),
            countText(manifest ? &*manifest : nullptr, "series.db"),
            QLocale().formattedDataSize(entry.size),
            !manifest   ? QStringLiteral("damaged")
            : !verified ? QStringLiteral("not checked")
            : *verified ? QStringLiteral("yes")
                        : QStringLiteral("damaged")};
        for (int column = 0; column < ColumnCount; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setData(Qt::UserRole, entry.path);
            List->setItem(row, column, item);
        }
    }
    if (!entries.isEmpty()) List->selectRow(0);
    BtnVerify->setEnabled(!entries.isEmpty());
    BtnRestore->setEnabled(!entries.isEmpty());
}

QString TBackupsForm::selectedArchive() const {
    const QTableWidgetItem* item = List->item(List->currentRow(), Time);
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void TBackupsForm::BtnBackUpClick() {
    const TCursorGuard busy;
    schedule_.BackupNow(QStringLiteral("manual"));
    schedule_.Wait();
}

void TBackupsForm::BtnVerifyClick() {
    const backup::BackupFolder folder(backup::BackupSettings::Load(collection_).folder);
    for (const backup::BackupEntry& entry : folder.list()) {
        if (entry.path != selectedArchive()) continue;
        QString why;
        bool ok = false;
        {
            const TCursorGuard busy;
            ok = folder.verify(entry, &why);
        }
        FillList();
        showMessage(
            ok ? QStringLiteral("%1 is complete and matches its manifest.").arg(entry.fileName)
               : why,
            ok ? TMsgDlgType::mtInformation : TMsgDlgType::mtError);
    }
}

void TBackupsForm::BtnRestoreClick() {
    const QString archive = selectedArchive();
    if (archive.isEmpty()) return;
    const QString when = List->item(List->currentRow(), Time)->text();
    if (!confirm(QStringLiteral("Restore"),
                 QStringLiteral("Replace the collection with the backup of %1?\n\nThe collection "
                                "as it is now is backed up first, so this can be undone.")
                     .arg(when)))
        return;
    schedule_.Wait();
    backup::RestoreResult result;
    {
        const TCursorGuard busy;
        result = backup::RestoreArchive(collection_, archive);
    }
    FillList();
    showMessage(QStringLiteral("Restored the backup of %1 (%2 series, %3 books).\nThe collection "
                               "as it was is kept in the backup %4.")
                    .arg(when)
                    .arg(result.manifest.rowCount(QStringLiteral("series.db")))
                    .arg(result.manifest.rowCount(QStringLiteral("books.db")))
                    .arg(result.undoArchive),
                TMsgDlgType::mtInformation);
}

void VerifyCollectionCommand(const QString& collection) {
    backup::CheckReport report;
    {
        const TCursorGuard busy;
        report = backup::CheckCollection(collection);
    }
    if (report.ownedCountsWrong &&
        confirm(QStringLiteral("Verify Collection"),
                report.text() + QStringLiteral("\nRecount the owned counts now?"))) {
        backup::RecountOwned(collection);
        report = backup::CheckCollection(collection);
    }
    showMessage(report.text(), report.ok() ? TMsgDlgType::mtInformation : TMsgDlgType::mtWarning);
}

void installBackups(TFrameServices& frame) {
    const QString collection = store::CollectionDirectory();
    backup::RecoverRestore(collection);
    QWidget& window = frame.Window();
    auto* schedule = new TBackupSchedule(collection, &window);
    schedule->OnMessage = [](const QString& text) { showMessage(text, TMsgDlgType::mtWarning); };
    auto* backups = new QAction(QStringLiteral("&Backups..."), &window);
    backups->setObjectName(QStringLiteral("BackupsItem"));
    SetHint(backups, QStringLiteral("List, take and restore backups of the collection"));
    auto* verify = new QAction(QStringLiteral("&Verify Collection"), &window);
    verify->setObjectName(QStringLiteral("VerifyItem"));
    SetHint(verify, QStringLiteral("Check the tables, indexes, memos and owned counts"));
    frame.AddFileCommands({backups, verify});
    QObject::connect(backups, &QAction::triggered, &window, [&frame, collection, schedule] {
        TBackupsForm form(collection, *schedule, &frame.Window());
        frame.ShowCentred(form);
    });
    QObject::connect(verify, &QAction::triggered, &window,
                     [collection] { VerifyCollectionCommand(collection); });
}
