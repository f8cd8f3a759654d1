#pragma once
// The program's start-up: the command-line help, the application icon that
// every window carries, the classic start-up of the frame window, and the
// first start on a machine without a collection.

#include <QIcon>
#include <QString>
#include <optional>

class TApplication;

// The text of "pkeep --help" (the manual page pkeep.1 describes the same).
QString ProgramUsage();
// The line of "pkeep --version".
QString ProgramVersion();
// Answers --help or --version on standard output and gives the exit status;
// empty for any other command line, which the program ignores as before.
// Runs before the application object exists, so it needs no display.
std::optional<int> AnswerCommandLine(int argc, char** argv);

// The program's own icon, drawn in every size of the hicolor theme.
QIcon ProgramIcon();

// When `directory` holds no collection, offers to create one there, empty or
// filled with a sample, and says where it is.  False when the user declined or
// creating failed (the message says why): the program then ends.  An existing
// collection, even a damaged one, is left for the windows to open.
bool EnsureCollection(const QString& directory);

// The program after its application object exists: takes the single-instance
// mutex, sets the title, icon and help file, makes the collection folder the
// current directory, builds the frame window, offers a collection on the
// first start and runs the event loop until the frame closes.  A second copy
// ends inside the frame's constructor.
int RunProgram(TApplication& app, const QString& programPath);
