#pragma once
// TBackupsForm: the File, Backups... window.  Lists the collection's backups
// (time, books, series, size, verified), takes one now, checks the selected
// one, and restores it after the user confirms.  installBackups adds the
// window and the Verify Collection command to the frame's File menu and
// starts the automatic backups.

#include <QDialog>

class QPushButton;
class QTableWidget;
class TBackupSchedule;
class TFrameServices;

class TBackupsForm : public QDialog {
    Q_OBJECT

public:
    TBackupsForm(QString collection, TBackupSchedule& schedule, QWidget* owner = nullptr);

    QTableWidget* List = nullptr;
    QPushButton* BtnBackUp = nullptr;
    QPushButton* BtnVerify = nullptr;
    QPushButton* BtnRestore = nullptr;
    QPushButton* BtnClose = nullptr;

    void FillList();
    void BtnBackUpClick();
    void BtnVerifyClick();
    void BtnRestoreClick();

private:
    QString selectedArchive() const;

    QString collection_;
    TBackupSchedule& schedule_;
};

// Runs the collection check and shows its report; offers the recount when
// owned counts are wrong.
void VerifyCollectionCommand(const QString& collection);

void installBackups(TFrameServices& frame);
