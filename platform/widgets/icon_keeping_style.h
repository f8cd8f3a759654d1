#pragma once
// The platform's style, keeping its standard icons once loaded.  The toolkit
// reads them from image files on every request, and each child window asks
// for half a dozen as it is created (its title bar and system menu).
// Menus also highlight their disabled items, so that the status line shows
// what such an item would do.
#include <QIcon>
#include <QProxyStyle>
#include <cstddef>
#include <map>
#include <tuple>

class TIconKeepingStyle : public QProxyStyle {
public:
    // Wraps `base` (owned from here on) or, when null, the platform's default.
    explicit TIconKeepingStyle(QStyle* base = nullptr);

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    // How many icons are kept.
    std::size_t KeptCount() const { return kept_.size(); }

private:
    using Key = std::tuple<int, int, int>;  // icon, application and window direction
    mutable std::map<Key, QIcon> kept_;
};
