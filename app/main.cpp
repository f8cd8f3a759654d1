// pkeep: the program's entry point.  Answers --help and --version before any
// window exists, then runs the program (app/start_up.h) until its frame
// window closes.
#include "app/start_up.h"
#include "platform/widgets/application.h"

int main(int argc, char** argv) {
    if (const std::optional<int> status = AnswerCommandLine(argc, argv)) return *status;
    TApplication app(argc, argv);
    return RunProgram(app, QString::fromLocal8Bit(argc > 0 ? argv[0] : ""));
}
