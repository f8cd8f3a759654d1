#include "platform/widgets/cursor_guard.h"

#include <QApplication>
#include <QCursor>

TCursorGuard::TCursorGuard() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

TCursorGuard::~TCursorGuard() { QApplication::restoreOverrideCursor(); }
