#include "app/placement.h"

#include <QWidget>
#include <QWindow>

#include "platform/system/ini_file.h"

namespace {
const QString kFlags = QStringLiteral("PlaceFlags");
const QString kShowCmd = QStringLiteral("PlaceShowCmd");
const QString kMinPosX = QStringLiteral("PlaceMinPosX");
const QString kMinPosY = QStringLiteral("PlaceMinPosY");
const QString kMaxPosX = QStringLiteral("PlaceMaxPosX");
const QString kMaxPosY = QStringLiteral("PlaceMaxPosY");
const QString kNormPosL = QStringLiteral("PlaceNormPosL");
const QString kNormPosT = QStringLiteral("PlaceNormPosT");
const QString kNormPosR = QStringLiteral("PlaceNormPosR");
const QString kNormPosB = QStringLiteral("PlaceNormPosB");

}  // namespace

TPlacement::TPlacement(QWidget* owner) : QObject(owner), owner_(owner) {}

QString TPlacement::section() const {
    return Section.isEmpty() && owner_ ? owner_->objectName() : Section;
}

TWindowPlacement TPlacement::PlacementOf(const QWidget& window) {
    if (!window.isWindow() || !window.testAttribute(Qt::WA_WState_Created)) throw EPlacementAbort();
    TWindowPlacement placement;
    const Qt::WindowStates state = window.windowState();
    placement.showCmd = state & Qt::WindowMinimized   ? SW_SHOWMINIMIZED
                        : state & Qt::WindowMaximized ? SW_SHOWMAXIMIZED
                                                      : SW_SHOWNORMAL;
    // The restored rectangle is the client area's, as the window stood before
    // it was maximised or minimised: the window manager draws the frame, and
    // its size is not known before the window is mapped, so a rectangle that
    // included it could not be put back exactly.
    const bool restored = placement.showCmd == SW_SHOWNORMAL;
    const QRect normal = restored || !window.normalGeometry().isValid() ? window.geometry()
                                                                        : window.normalGeometry();
    placement.normalLeft = normal.left();
    placement.normalTop = normal.top();
    placement.normalRight = normal.left() + normal.width();
    placement.normalBottom = normal.top() + normal.height();
    if (placement.showCmd == SW_SHOWMAXIMIZED) placement.maxPosition = window.pos();
    return placement;
}

void TPlacement::ApplyPlacement(QWidget& window, const TWindowPlacement& placement) {
    const QRect rect(QPoint(placement.normalLeft, placement.normalTop),
                     QPoint(placement.normalRight - 1, placement.normalBottom - 1));
    window.setWindowState(Qt::WindowNoState);
    window.setGeometry(rect);
    if (placement.showCmd == SW_SHOWMAXIMIZED)
        window.setWindowState(Qt::WindowMaximized);
    else if (placement.showCmd == SW_SHOWMINIMIZED)
        window.setWindowState(Qt::WindowMinimized);
}

void TPlacement::Restore() {
    if (IniFileName.isEmpty() || !owner_) return;
    const TIniFile ini(IniFileName);
    const QString s = section();
    TWindowPlacement placement;
    placement.flags = ini.ReadInteger(s, kFlags, 0);
    placement.showCmd = ini.ReadInteger(s, kShowCmd, SW_SHOWNORMAL);
    placement.minPosition = {ini.ReadInteger(s, kMinPosX, 0), ini.ReadInteger(s, kMinPosY, 0)};
    placement.maxPosition = {ini.ReadInteger(s, kMaxPosX, 0), ini.ReadInteger(s, kMaxPosY, 0)};
    placement.normalLeft = ini.ReadInteger(s, kNormPosL, 0);
    placement.normalTop = ini.ReadInteger(s, kNormPosT, 0);
    placement.normalRight = ini.ReadInteger(s, kNormPosR, 0);
    placement.normalBottom = ini.ReadInteger(s, kNormPosB, 0);
    if (placement.normalRight > placement.normalLeft) ApplyPlacement(*owner_, placement);
}

void TPlacement::Save() {
    if (IniFileName.isEmpty() || !owner_) return;
    const TWindowPlacement placement = PlacementOf(*owner_);
    TIniFile ini(IniFileName);
    const QString s = section();
    ini.WriteInteger(s, kFlags, placement.flags);
    ini.WriteInteger(s, kShowCmd, placement.showCmd);
    ini.WriteInteger(s, kMinPosX, placement.minPosition.x());
    ini.WriteInteger(s, kMinPosY, placement.minPosition.y());
    ini.WriteInteger(s, kMaxPosX, placement.maxPosition.x());
    ini.WriteInteger(s, kMaxPosY, placement.maxPosition.y());
    ini.WriteInteger(s, kNormPosL, placement.normalLeft);
    ini.WriteInteger(s, kNormPosT, placement.normalTop);
    ini.WriteInteger(s, kNormPosR, placement.normalRight);
    ini.WriteInteger(s, kNormPosB, placement.normalBottom);
    ini.UpdateFile();
}
