#pragma once
// Hint texts "short|long": the short part is the tooltip, the long part goes
// to the status line.  A hint without a bar serves as both.  A widget's or
// menu item's whole hint is kept in its "hint" property, where the
// application's hint tracking (application.h) finds it.

#include <QString>

class QAction;
class QObject;
class QWidget;

QString GetShortHint(const QString& hint);
QString GetLongHint(const QString& hint);

// Stores the hint and shows its short part as the tooltip.
void SetHint(QWidget* widget, const QString& hint);
// Stores the hint of a menu item; its long part is what the status line shows
// while the item is highlighted.
void SetHint(QAction* action, const QString& hint);

// The stored hint of the object, empty when it has none.
QString HintOf(const QObject* object);
// The hint that applies to a widget: its own, else its nearest parent's.
QString InheritedHint(const QWidget* widget);
