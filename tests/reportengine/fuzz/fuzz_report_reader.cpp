// libFuzzer target: the report stream reader fed arbitrary bytes.  Every
// input must end in a drawn page or a clear error (an Exception); anything
// else (a crash, a hang, a read out of bounds) is a finding.  Findings are
// kept in regressions/ and replayed by the regular tests.
#include <QApplication>
#include <QBuffer>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "tests/reportengine/report_test_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "fuzz_report_reader";
    static char* argv[] = {name, nullptr};
    // Deliberately immortal: libFuzzer ends the process with exit(), and a
    // QApplication torn down among the other statics crashes in Qt's
    // clean-up routines.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    UseNoPrinters();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    BitmapReplayer replayer(24);  // a small page keeps each run quick
    replayer.StreamMode = smUser;
    replayer.UserStream = &buffer;
    try {
        if (replayer.Start()) {
            for (int page : {1, 2, 99, 0}) replayer.Render(page);
        }
    } catch (const Exception&) {
        // The expected end of a damaged stream.
    }
    return 0;
}
