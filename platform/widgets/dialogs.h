#pragma once
// Message and input boxes.  Every box the program shows goes through
// ShowMessageBox or ShowInputBox, so that a test can install an answerer and
// run the code path without a person at the screen.

#include <QPoint>
#include <QString>
#include <functional>
#include <optional>

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Buttons of a message box, combined with |.
enum TMsgDlgBtn : unsigned {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
};
using TMsgDlgButtons = unsigned;
inline constexpr TMsgDlgButtons mbYesNoCancel = mbYes | mbNo | mbCancel;
inline constexpr TMsgDlgButtons mbOKCancel = mbOK | mbCancel;

// The answer of a modal box: which button closed it.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
};

struct TMessageRequest {
    QString caption;
    QString text;
    TMsgDlgType type = TMsgDlgType::mtInformation;
    TMsgDlgButtons buttons = mbOK;
    std::optional<QPoint> position;  // top-left corner on the screen; centred when absent
};

struct TInputRequest {
    QString caption;
    QString prompt;
    QString value;  // the starting text; holds the typed text after an OK
};

// Shows the box (or asks the installed answerer) and returns the button pressed.
int ShowMessageBox(const TMessageRequest& request);
// Shows the input box; true when the user pressed OK, with request.value updated.
bool ShowInputBox(TInputRequest& request);

using TMessageAnswerer = std::function<int(const TMessageRequest&)>;
using TInputAnswerer = std::function<bool(TInputRequest&)>;

// Installs an answerer for as long as the object lives, then puts back the
// previous one.  Tests use it to answer boxes and to record what was asked.
class TScopedMessageAnswerer {
public:
    explicit TScopedMessageAnswerer(TMessageAnswerer answerer);
    ~TScopedMessageAnswerer();
    TScopedMessageAnswerer(const TScopedMessageAnswerer&) = delete;
    TScopedMessageAnswerer& operator=(const TScopedMessageAnswerer&) = delete;

private:
    TMessageAnswerer previous_;
};

class TScopedInputAnswerer {
public:
    explicit TScopedInputAnswerer(TInputAnswerer answerer);
    ~TScopedInputAnswerer();
    TScopedInputAnswerer(const TScopedInputAnswerer&) = delete;
    TScopedInputAnswerer& operator=(const TScopedInputAnswerer&) = delete;

private:
    TInputAnswerer previous_;
};

// The classic conveniences, all built on the two functions above.
void ShowMessage(const QString& text);
int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons);
int MessageDlgPos(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, QPoint topLeft);
QString InputBox(const QString& caption, const QString& prompt, const QString& defaultValue);
bool InputQuery(const QString& caption, const QString& prompt, QString& value);

// The caption a message box of the given type carries ("Confirm", "Error", ...).
QString MessageCaption(TMsgDlgType type);
