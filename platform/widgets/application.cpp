#include "platform/widgets/application.h"

#include <QAbstractButton>
#include <QEvent>
#include <QMenu>
#include <QProxyStyle>
#include <QStatusTipEvent>
#include <QStyleFactory>
#include <QWidget>

#include "platform/base/exception.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/hints.h"

namespace {

bool insideOpenMenu(QMenu* menu) {
    for (QObject* holder : menu->menuAction()->associatedObjects()) {
        auto* parentMenu = qobject_cast<QMenu*>(holder);
        if (parentMenu && parentMenu->isVisible()) return true;
    }
    return false;
}

// The platform's style, with menus that highlight their disabled items too,
// so that the status line shows what such an item would do.
class MenuHintStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Menu_AllowActiveAndDisabled) return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The style chosen by the platform, the command line or the environment.
    setStyle(new MenuHintStyle(QStyleFactory::create(style()->name())));
}

TApplication::~TApplication() = default;

TApplication* TApplication::Instance() {
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}

void TApplication::SetHint(const QString& hint) {
    if (hint == hint_) return;
    hint_ = hint;
    if (OnHint) OnHint();
}

void TApplication::ShowException(const std::exception& error) {
    if (dynamic_cast<const EAbort*>(&error)) return;
    const QString text = QString::fromUtf8(error.what());
    ShowMessageBox({Instance() ? Instance()->Title() : QString(), text, TMsgDlgType::mtError, mbOK,
                    std::nullopt});
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        trackHint(receiver, event);
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowException(Exception("Unknown error"));
    }
    return true;
}

void TApplication::trackHint(QObject* receiver, QEvent* event) {
    switch (event->type()) {
        case QEvent::Enter:
            if (auto* widget = qobject_cast<QWidget*>(receiver))
                SetHint(GetLongHint(InheritedHint(widget)));
            break;
        case QEvent::Leave:
            // The mouse goes back to the parent (or to a sibling, whose Enter
            // follows); leaving the window leaves no hint.
            // A menu keeps its selection's hint while the mouse is away.
            if (auto* widget = qobject_cast<QWidget*>(receiver);
                widget && !qobject_cast<QMenu*>(widget))
                SetHint(widget->isWindow() ? QString()
                                           : GetLongHint(InheritedHint(widget->parentWidget())));
            break;
        case QEvent::StatusTip:
            // A menu reports its highlighted item this way (empty for none).
            if (qobject_cast<QMenu*>(receiver) || receiver->inherits("QMenuBar"))
                SetHint(static_cast<QStatusTipEvent*>(event)->tip());
            break;
        case QEvent::Hide:
            // The menu selection ends; a submenu closing inside a menu that
            // stays open leaves the hint of that menu's selection standing.
            if (auto* menu = qobject_cast<QMenu*>(receiver); menu && !insideOpenMenu(menu))
                SetHint(QString());
            break;
        default:
            break;
    }
}
