#pragma once
// The single-instance guard.
//
// TPreviousInstance runs first thing at start-up: it takes the named mutex
// that carries the program file's name and records whether another copy
// already held it.  TJustOne32, built with the frame window, acts on that:
// in the first copy it makes the copy reachable (the running-copy channel,
// which only the same user can reach); in a second copy it asks the running
// copy to bring its frame window forward and ends the program at once with
// exit status 0, before any window of its own is shown.

#include <QObject>
#include <QString>

#include "platform/system/named_mutex.h"

class QWidget;
class TInstanceListener;

class TPreviousInstance {
public:
    // programPath is the program file's path as started (argument 0).
    explicit TPreviousInstance(const QString& programPath);

    QString FileName() const { return fileName_; }
    QString WindowName() const { return windowName_; }
    bool Existed() const { return existed_; }

    // The program file's name: the text after the last backslash, slash or
    // colon, at most 255 characters.
    static QString FileNameOf(const QString& programPath);
    // The file name without its last four characters when it contains
    // ".EXE" (in capitals, anywhere), else empty.
    static QString WindowNameOf(const QString& fileName);

private:
    QString fileName_;
    QString windowName_;
    TNamedMutex mutex_;
    bool existed_ = false;
};

class TJustOne32 : public QObject {
    Q_OBJECT

public:
    // In a second copy this never returns: the program ends with status 0.
    TJustOne32(QWidget* owner, const TPreviousInstance& instance);
    ~TJustOne32() override;

    QString About = QStringLiteral("Single-instance guard");

    // The channel through which a second copy reaches this one (first copy only).
    TInstanceListener* Listener() const { return listener_; }

private:
    TInstanceListener* listener_ = nullptr;
};
