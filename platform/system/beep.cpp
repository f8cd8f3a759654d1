#include "platform/system/beep.h"

#include <QApplication>

// The desktop offers one beep; every kind sounds it.
void MessageBeep(TBeepType) { QApplication::beep(); }
