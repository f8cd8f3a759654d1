#include "platform/widgets/hints.h"

#include <QAction>
#include <QVariant>
#include <QWidget>

namespace {
constexpr char kHintProperty[] = "hint";
}

QString GetShortHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.left(bar);
}

QString GetLongHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

void SetHint(QWidget* widget, const QString& hint) {
    widget->setProperty(kHintProperty, hint);
    widget->setToolTip(GetShortHint(hint));
}

void SetHint(QAction* action, const QString& hint) {
    action->setProperty(kHintProperty, hint);
    // A menu sends the status tip of the item under the selection as a status
    // tip event; the application's hint tracking turns that into its hint.
    action->setStatusTip(GetLongHint(hint));
    action->setToolTip(GetShortHint(hint));
}

QString HintOf(const QObject* object) {
    return object ? object->property(kHintProperty).toString() : QString();
}

QString InheritedHint(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        const QString hint = HintOf(widget);
        if (!hint.isEmpty()) return hint;
        if (widget->isWindow()) break;
    }
    return {};
}
