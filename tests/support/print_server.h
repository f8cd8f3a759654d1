#pragma once
// A private CUPS print server for one test or benchmark: cupsd started on a
// socket of its own in a temporary directory, with one raw queue whose
// backend writes each job it receives to a file, and this process's printing
// pointed at it (CUPS_SERVER).  The system's own print server, if any, is
// never touched.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class TestPrintServer {
public:
    // Starts the server; Ready() tells whether it runs, Problem() why not.
    TestPrintServer();
    // Stops the server and points printing back at the default server.
    ~TestPrintServer();
    TestPrintServer(const TestPrintServer&) = delete;
    TestPrintServer& operator=(const TestPrintServer&) = delete;

    bool Ready() const { return problem_.isEmpty(); }
    QString Problem() const { return problem_; }
    // The one queue, which is also the default printer.
    static QString Queue() { return "PanelKeepTest"; }

    // The files of the jobs that reached the queue's device, oldest first.
    QStringList JobFiles() const;
    // Waits until `count` jobs have reached the device; false on timeout.
    bool WaitForJobs(int count, int timeoutMs = 20000) const;
    // How many requests of an IPP operation (e.g. "CUPS-Get-Printers",
    // "Print-Job") the server has answered so far, from its access log.
    int Requests(const QString& operation) const;

private:
    QString Path(const QString& name) const { return dir_.path() + "/" + name; }
    bool WriteConfiguration();
    void Start();

    QTemporaryDir dir_;
    QProcess cupsd_;
    QString problem_;
    QByteArray previousServer_;
    bool hadServer_ = false;
};
