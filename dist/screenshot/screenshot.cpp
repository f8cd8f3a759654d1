// Takes the AppStream screenshot: the program, run as pkeep runs it, with the
// collection window open on the collection in $PKEEP_DIR, drawn offscreen and
// saved as the PNG named on the command line.
#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/main_form.h"
#include "app/start_up.h"
#include "platform/widgets/application.h"

namespace {

TMainForm* Frame() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* frame = qobject_cast<TMainForm*>(window)) return frame;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pkeep-screenshot OUTPUT.png\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TApplication app(argc, argv);
    // The program makes the collection folder its current directory.
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    int status = 1;
    QTimer::singleShot(0, [&] {
        TMainForm* frame = Frame();
        frame->setGeometry(0, 0, 800, 500);
        frame->ComicCollectionClick();
        QTimer::singleShot(500, [&, frame] {  // once the windows are laid out and painted
            status = frame->grab().toImage().save(output) ? 0 : 1;
            if (status) std::fprintf(stderr, "pkeep-screenshot: cannot write %s\n", argv[1]);
            QApplication::exit(status);
        });
    });
    RunProgram(app, QStringLiteral("pkeep-screenshot"));
    return status;
}
