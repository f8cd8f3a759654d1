#include "platform/widgets/icon_keeping_style.h"

#include <QGuiApplication>
#include <QWidget>

TIconKeepingStyle::TIconKeepingStyle(QStyle* base) : QProxyStyle(base) {}

QIcon TIconKeepingStyle::standardIcon(StandardPixmap icon, const QStyleOption* option,
                                      const QWidget* widget) const {
    // An option carries state the icon may be drawn for: those are not kept.
    if (option) return QProxyStyle::standardIcon(icon, option, widget);
    // Arrows are mirrored for right-to-left layouts, the application's or the window's.
    const Key key{icon, QGuiApplication::layoutDirection(),
                  widget ? widget->layoutDirection() : Qt::LeftToRight};
    const auto found = kept_.find(key);
    if (found != kept_.end()) return found->second;
    QIcon loaded = QProxyStyle::standardIcon(icon, option, widget);
    kept_.emplace(key, loaded);
    return loaded;
}

int TIconKeepingStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                 QStyleHintReturn* returnData) const {
    if (hint == SH_Menu_AllowActiveAndDisabled) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
