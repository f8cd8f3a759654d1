#pragma once
// Where a printer document goes while it is drawn: a spool file of its own.
// When the document ends, the spool file is handed over, renamed to the
// printer's output file or sent to the printer's CUPS queue; when it is
// aborted, the spool file is deleted.  Qt's print engines cannot abort a
// document (ending the painter always delivers it), so this is what keeps a
// cancelled document out of the queue and leaves an earlier output file as
// it was.

#include <QString>

class QPrinter;

class TPrintSpool {
public:
    // Points the printer's output at a new spool file.  False, with Error()
    // set, when no spool file can be made.
    bool Begin(QPrinter& printer);
    // After the painter has ended: hands the spool file over and gives the
    // printer its output back.  False, with Error() set, when it could not.
    bool Deliver(QPrinter& printer);
    // After the painter has ended: deletes the spool file and gives the
    // printer its output back.
    void Discard(QPrinter& printer);
    QString Error() const { return error_; }

private:
    bool SendToQueue(const QPrinter& printer);
    bool MoveToOutputFile();
    void RestoreOutput(QPrinter& printer);

    QString spoolFile_;
    QString outputFile_;  // empty: the document goes to the printer's queue
    QString error_;
};
