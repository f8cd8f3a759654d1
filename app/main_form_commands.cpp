// TMainForm: the command handlers of the menus and speed buttons.
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrintDialog>
#include <QPrinter>

#include "app/about_form.h"
#include "app/main_form.h"
#include "platform/base/exception.h"
#include "platform/graphics/printers.h"
#include "platform/system/help_viewer.h"
#include "platform/widgets/application.h"
#include "platform/widgets/cursor_guard.h"

void TMainForm::ComicCollectionClick() {
    TCursorGuard hourglass;
    if (!collectionWindow_.Create) return;  // no collection window in this build
    QWidget* form = collectionWindow_.Create();
    if (!form) return;
    ComicForm = form;
    AddChild(form, QPoint(3, 3));
    if (collectionWindow_.Shown) collectionWindow_.Shown(*form);
}

void TMainForm::CloseWindowClick() { ClientArea->closeActiveSubWindow(); }

void TMainForm::FileMenuClick() {
    const bool anyChild = ChildCount() > 0;
    CloseWindow->setEnabled(anyChild);
    RebuildFiles->setEnabled(!anyChild);
}

// The chosen printer and its settings become the program's printer object,
// which every report prints on.
void TMainForm::FilePrintSetup() {
    TPrinter& printer = Printer();
    QPrinter* device = printer.QtPrinter();
    if (!device) throw Exception("There are no printers installed.");
    const QString before = device->printerName();
    QPrintDialog dialog(device, this);
    dialog.setWindowTitle(QStringLiteral("Print Setup"));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, false);
    if (dialog.exec() != QDialog::Accepted) return;
    const QString chosen = device->printerName();
    if (chosen == before) return;  // the settings were made on the printer object itself
    // Another device: the printer object switches to it, keeping the settings.
    const TDeviceMode mode = printer.DeviceMode();
    const TPrinterOrientation orientation = printer.Orientation();
    printer.SetPrinter(chosen, QString(), QString(), mode);
    printer.SetOrientation(orientation);
}

void TMainForm::RebuildFilesClick() {
    if (!createRebuildForm_) return;  // no rebuild utility in this build
    std::unique_ptr<QDialog> dialog = createRebuildForm_();
    if (dialog) ShowCentred(*dialog);
}

void TMainForm::FileExit() { close(); }

void TMainForm::WindowTile() { ClientArea->tileSubWindows(); }

void TMainForm::WindowCascade() { ClientArea->cascadeSubWindows(); }

// Lines the minimised child windows up along the bottom of the client area,
// left to right, wrapping upwards when a row is full.
void TMainForm::WindowArrange() {
    const QRect area = ClientArea->viewport()->rect();
    int x = 0;
    int y = area.bottom() + 1;
    int rowHeight = 0;
    for (QMdiSubWindow* child : ClientArea->subWindowList()) {
        if (!child->isMinimized()) continue;
        const QSize size = child->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            y -= rowHeight;
            rowHeight = 0;
        }
        rowHeight = std::max(rowHeight, size.height());
        child->move(x, y - size.height());
        x += size.width();
    }
}

void TMainForm::sendHelpCommand(unsigned command, const QString& data) {
    const TApplication* app = TApplication::Instance();
    WinHelp(this, app ? app->HelpFile() : QString(), command, data);
}

void TMainForm::HelpContents() { sendHelpCommand(HELP_CONTENTS, QString()); }

void TMainForm::HelpSearch() { sendHelpCommand(HELP_PARTIALKEY, QString()); }

void TMainForm::HelpHowToUse() { sendHelpCommand(HELP_HELPONHELP, QString()); }

void TMainForm::HelpAbout() {
    TAboutForm about(this);
    ShowCentred(about);
}

void TMainForm::SBFindClick() {
    if (ComicForm && collectionWindow_.Find) collectionWindow_.Find(*ComicForm);
}
