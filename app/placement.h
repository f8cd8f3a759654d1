#pragma once
// TPlacement: keeps a window's placement (position, size, and whether it is
// maximised or minimised) in a section of an INI file.  The owner restores it
// when it is created and saves it when it closes, while its window still exists.
//
// The section holds ten integer keys, written in this order as decimal
// numbers (read back in decimal, or hexadecimal after 0x):
//   PlaceFlags      flags                                     default 0
//   PlaceShowCmd    1 normal, 2 minimised, 3 maximised        default 1
//   PlaceMinPosX/Y  top-left corner of the minimised window   default 0
//   PlaceMaxPosX/Y  top-left corner of the maximised window   default 0
//   PlaceNormPosL/T/R/B  the restored window's client rectangle,
//                   right and bottom exclusive               default 0
// A value that is not a number reads as its default.  Nothing is applied
// unless the restored rectangle's right edge lies past its left edge.

#include <QObject>
#include <QRect>
#include <QString>

#include "platform/base/exception.h"

class QWidget;

// The placement of a window, field for field as the INI section keeps it.
struct TWindowPlacement {
    int flags = 0;
    int showCmd = 1;
    QPoint minPosition;
    QPoint maxPosition;
    int normalLeft = 0;
    int normalTop = 0;
    int normalRight = 0;
    int normalBottom = 0;
};

inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;

// The placement cannot be read from the window; silent like every abort.
class EPlacementAbort : public EAbort {
public:
    const char* what() const noexcept override { return "Unable to retrieve window placement"; }
};

class TPlacement : public QObject {
    Q_OBJECT

public:
    explicit TPlacement(QWidget* owner);

    QString IniFileName;  // empty switches the store off
    QString Section;      // empty: the owner's object name

    virtual void Restore();
    virtual void Save();

    // The placement of a window as the platform reports it; throws
    // EPlacementAbort when the window has none to report.
    static TWindowPlacement PlacementOf(const QWidget& window);
    // Applies position, size and show state at once.
    static void ApplyPlacement(QWidget& window, const TWindowPlacement& placement);

private:
    QString section() const;
    QWidget* owner_;
};
