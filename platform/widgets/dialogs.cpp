#include "platform/widgets/dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <utility>

#include "platform/widgets/application.h"

namespace {

TMessageAnswerer& messageAnswerer() {
    static TMessageAnswerer answerer;
    return answerer;
}

TInputAnswerer& inputAnswerer() {
    static TInputAnswerer answerer;
    return answerer;
}

QMessageBox::Icon iconFor(TMsgDlgType type) {
    switch (type) {
        case TMsgDlgType::mtWarning:
            return QMessageBox::Warning;
        case TMsgDlgType::mtError:
            return QMessageBox::Critical;
        case TMsgDlgType::mtInformation:
            return QMessageBox::Information;
        case TMsgDlgType::mtConfirmation:
            return QMessageBox::Question;
        case TMsgDlgType::mtCustom:
            return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}

struct ButtonChoice {
    TMsgDlgBtn flag;
    QMessageBox::StandardButton standard;
    int result;
};

// In the order the buttons appear and the first one present is the default.
constexpr ButtonChoice kButtons[] = {
    {mbYes, QMessageBox::Yes, mrYes},
    {mbNo, QMessageBox::No, mrNo},
    {mbOK, QMessageBox::Ok, mrOk},
    {mbCancel, QMessageBox::Cancel, mrCancel},
    {mbAbort, QMessageBox::Abort, mrAbort},
    {mbRetry, QMessageBox::Retry, mrRetry},
    {mbIgnore, QMessageBox::Ignore, mrIgnore},
};

int runMessageBox(const TMessageRequest& request) {
    QMessageBox box(iconFor(request.type), request.caption, request.text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    QAbstractButton* escapeButton = nullptr;
    bool haveDefault = false;
    for (const ButtonChoice& choice : kButtons) {
        if (!(request.buttons & choice.flag)) continue;
        QPushButton* button = box.addButton(choice.standard);
        if (!haveDefault) {
            box.setDefaultButton(button);
            haveDefault = true;
        }
        if (choice.flag == mbCancel || (choice.flag == mbNo && !escapeButton))
            escapeButton = button;
    }
    if (!haveDefault) box.setDefaultButton(box.addButton(QMessageBox::Ok));
    if (escapeButton) box.setEscapeButton(escapeButton);
    if (request.position) {
        box.adjustSize();
        box.move(*request.position);
    }
    box.exec();
    const auto pressed = box.standardButton(box.clickedButton());
    for (const ButtonChoice& choice : kButtons)
        if (choice.standard == pressed) return choice.result;
    return escapeButton ? mrCancel : mrOk;
}

bool runInputBox(TInputRequest& request) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(QApplication::activeWindow(), request.caption, request.prompt,
                              QLineEdit::Normal, request.value, &ok);
    if (ok) request.value = text;
    return ok;
}

QString applicationTitle() {
    const TApplication* app = TApplication::Instance();
    return app && !app->Title().isEmpty() ? app->Title() : QCoreApplication::applicationName();
}

}  // namespace

int ShowMessageBox(const TMessageRequest& request) {
    if (messageAnswerer()) return messageAnswerer()(request);
    return runMessageBox(request);
}

bool ShowInputBox(TInputRequest& request) {
    if (inputAnswerer()) return inputAnswerer()(request);
    return runInputBox(request);
}

TScopedMessageAnswerer::TScopedMessageAnswerer(TMessageAnswerer answerer)
    : previous_(std::exchange(messageAnswerer(), std::move(answerer))) {}

TScopedMessageAnswerer::~TScopedMessageAnswerer() { messageAnswerer() = std::move(previous_); }

TScopedInputAnswerer::TScopedInputAnswerer(TInputAnswerer answerer)
    : previous_(std::exchange(inputAnswerer(), std::move(answerer))) {}

TScopedInputAnswerer::~TScopedInputAnswerer() { inputAnswerer() = std::move(previous_); }

QString MessageCaption(TMsgDlgType type) {
    switch (type) {
        case TMsgDlgType::mtWarning:
            return QStringLiteral("Warning");
        case TMsgDlgType::mtError:
            return QStringLiteral("Error");
        case TMsgDlgType::mtInformation:
            return QStringLiteral("Information");
        case TMsgDlgType::mtConfirmation:
            return QStringLiteral("Confirm");
        case TMsgDlgType::mtCustom:
            return applicationTitle();
    }
    return applicationTitle();
}

void ShowMessage(const QString& text) {
    ShowMessageBox({applicationTitle(), text, TMsgDlgType::mtCustom, mbOK, std::nullopt});
}

int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    return ShowMessageBox({MessageCaption(type), text, type, buttons, std::nullopt});
}

int MessageDlgPos(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, QPoint topLeft) {
    return ShowMessageBox({MessageCaption(type), text, type, buttons, topLeft});
}

QString InputBox(const QString& caption, const QString& prompt, const QString& defaultValue) {
    TInputRequest request{caption, prompt, defaultValue};
    return ShowInputBox(request) ? request.value : defaultValue;
}

bool InputQuery(const QString& caption, const QString& prompt, QString& value) {
    TInputRequest request{caption, prompt, value};
    if (!ShowInputBox(request)) return false;
    value = request.value;
    return true;
}
