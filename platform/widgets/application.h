#pragma once
// The application object: title, help file, the application hint and the
// top-level exception handler.
//
// Handlers do not catch the program's exceptions.  An exception leaving any
// event handler reaches notify(), which shows its message in a message box
// and returns to the event loop; EAbort is shown by nobody.  The application
// hint follows the mouse (the long hint of the widget it enters) and the
// menu selection (the long hint of the highlighted item); each change calls
// OnHint, which the frame window points at its status line.

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>

class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // The running application object, or null when the QApplication is not ours.
    static TApplication* Instance();

    // The program's title: the caption of its message boxes.
    QString Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }

    QString HelpFile() const { return helpFile_; }
    void SetHelpFile(const QString& path) { helpFile_ = path; }

    QString Hint() const { return hint_; }
    void SetHint(const QString& hint);
    std::function<void()> OnHint;

    // Shows the message of the exception; EAbort and its kin are silent.
    static void ShowException(const std::exception& error);

    bool notify(QObject* receiver, QEvent* event) override;

    // Lets pending window messages (paint, input, timers) be handled, so that
    // windows stay responsive inside a long operation.
    static void ProcessMessages() { QCoreApplication::processEvents(); }

private:
    void trackHint(QObject* receiver, QEvent* event);

    QString title_;
    QString helpFile_;
    QString hint_;
};
