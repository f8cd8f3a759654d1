#pragma once
// Reaching the running copy of the program.  The copy that holds the
// single-instance mutex listens on a local socket in the user's runtime
// directory, reachable by the same user only; a second copy connects and asks
// it to bring its window forward.
//
// Protocol, one exchange per connection, lines of UTF-8:
//   caller -> listener   "ACTIVATE\n"
//   listener -> caller   "OK\n" once the window was shown and raised
// Anything else is answered with "ERROR\n" and changes nothing.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QLocalServer;
class QWidget;

class TInstanceListener : public QObject {
    Q_OBJECT

public:
    // Starts listening for the channel of that name on behalf of window.
    TInstanceListener(const QString& name, QWidget* window, QObject* parent = nullptr);
    ~TInstanceListener() override;

    bool Listening() const;
    // Called after a caller's request brought the window forward.
    std::function<void()> OnActivated;

private:
    void acceptConnection();

    QLocalServer* server_;
    QPointer<QWidget> window_;
};

// Asks the running copy to bring its window forward; true when it confirmed
// within the time allowed.  Retries while the running copy is still starting.
bool ActivateRunningInstance(const QString& name, int timeoutMs = 3000);

// Shows the window: restored when minimised, otherwise raised to the top.
void BringForward(QWidget* window);

// The socket file of the channel of that name.
QString InstanceChannelPath(const QString& name);
