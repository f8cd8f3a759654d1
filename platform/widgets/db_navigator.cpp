#include "platform/widgets/db_navigator.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <algorithm>

#include "platform/widgets/dialogs.h"
#include "platform/widgets/hints.h"
#include "platform/widgets/speed_button.h"

namespace {

constexpr int kGlyphSize = 16;

int indexOf(TNavigateBtn button) { return static_cast<int>(button); }

// Arrow glyphs pointing left or right, with a bar for First and Last.
void drawArrow(QPainter& p, bool right, bool bar) {
    const qreal mid = kGlyphSize / 2.0;
    QPainterPath path;
    if (right) {
        path.moveTo(5, 3);
        path.lineTo(11, mid);
        path.lineTo(5, kGlyphSize - 3);
    } else {
        path.moveTo(11, 3);
        path.lineTo(5, mid);
        path.lineTo(11, kGlyphSize - 3);
    }
    path.closeSubpath();
    p.fillPath(path, Qt::black);
    if (bar)
        p.fillRect(right ? QRectF(11, 3, 2, kGlyphSize - 6) : QRectF(3, 3, 2, kGlyphSize - 6),
                   Qt::black);
}

QPixmap drawGlyph(TNavigateBtn button) {
    QPixmap pixmap(kGlyphSize, kGlyphSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (button) {
        case TNavigateBtn::nbFirst:
            drawArrow(p, false, true);
            break;
        case TNavigateBtn::nbPrior:
            drawArrow(p, false, false);
            break;
        case TNavigateBtn::nbNext:
            drawArrow(p, true, false);
            break;
        case TNavigateBtn::nbLast:
            drawArrow(p, true, true);
            break;
        case TNavigateBtn::nbInsert:
            p.fillRect(QRectF(3, 7, 10, 2), Qt::black);
            p.fillRect(QRectF(7, 3, 2, 10), Qt::black);
            break;
        case TNavigateBtn::nbDelete:
            p.fillRect(QRectF(3, 7, 10, 2), Qt::black);
            break;
        case TNavigateBtn::nbEdit:
            p.setPen(QPen(Qt::black, 2));
            p.drawLine(QPointF(4, 12), QPointF(12, 4));
            break;
        case TNavigateBtn::nbPost:
            p.setPen(QPen(QColor(0, 128, 0), 2));
            p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(7, 12), QPointF(13, 4)}));
            break;
        case TNavigateBtn::nbCancel:
            p.setPen(QPen(QColor(128, 0, 0), 2));
            p.drawLine(QPointF(4, 4), QPointF(12, 12));
            p.drawLine(QPointF(12, 4), QPointF(4, 12));
            break;
        case TNavigateBtn::nbRefresh:
            p.setPen(QPen(Qt::black, 2));
            p.drawArc(QRectF(3, 3, 10, 10), 30 * 16, 300 * 16);
            break;
    }
    return pixmap;
}

// The normal and the disabled image of a button.  Every navigator shows the
// same ten, so they are drawn once and kept in the application's pixmap cache
// (which goes with the application object).
void glyphsFor(TNavigateBtn button, QPixmap& normal, QPixmap& disabled) {
    const QString key = QStringLiteral("pk-navigator-%1").arg(indexOf(button));
    const QString disabledKey = key + QStringLiteral("-disabled");
    if (QPixmapCache::find(key, &normal) && QPixmapCache::find(disabledKey, &disabled)) return;
    normal = drawGlyph(button);
    disabled = TSpeedButton::DisabledImage(normal);
    QPixmapCache::insert(key, normal);
    QPixmapCache::insert(disabledKey, disabled);
}

}  // namespace

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent) {
    for (int i = 0; i < kNavigateButtonCount; ++i) {
        const auto kind = static_cast<TNavigateBtn>(i);
        auto* button = new TSpeedButton(this);
        QPixmap normal, disabled;
        glyphsFor(kind, normal, disabled);
        button->SetGlyph(normal, disabled);
        button->setAutoRaise(false);
        connect(button, &TSpeedButton::clicked, this, [this, kind] { BtnClick(kind); });
        buttons_[i] = button;
        visible_[i] = true;
    }
    DataChanged();
}

void TDBNavigator::SetVisibleButtons(std::initializer_list<TNavigateBtn> buttons) {
    visible_.fill(false);
    for (TNavigateBtn button : buttons) visible_[indexOf(button)] = true;
    for (int i = 0; i < kNavigateButtonCount; ++i) buttons_[i]->setVisible(visible_[i]);
    layoutButtons();
}

bool TDBNavigator::IsButtonVisible(TNavigateBtn button) const { return visible_[indexOf(button)]; }

void TDBNavigator::SetHints(const QStringList& hints) {
    qsizetype next = 0;
    for (int i = 0; i < kNavigateButtonCount && next < hints.size(); ++i)
        if (visible_[i]) SetHint(buttons_[i], hints[next++]);
}

void TDBNavigator::SetDataSource(TNavigatorSource* source) {
    source_ = source;
    DataChanged();
}

TSpeedButton* TDBNavigator::Button(TNavigateBtn button) const { return buttons_[indexOf(button)]; }

void TDBNavigator::BtnClick(TNavigateBtn button) {
    if (!source_ || !source_->Active()) return;
    switch (button) {
        case TNavigateBtn::nbFirst:
            source_->First();
            break;
        case TNavigateBtn::nbPrior:
            source_->Prior();
            break;
        case TNavigateBtn::nbNext:
            source_->Next();
            break;
        case TNavigateBtn::nbLast:
            source_->Last();
            break;
        case TNavigateBtn::nbInsert:
            source_->Insert();
            break;
        case TNavigateBtn::nbDelete:
            if (!ConfirmDelete ||
                MessageDlg("Delete record?", TMsgDlgType::mtConfirmation, mbOKCancel) == mrOk)
                source_->Delete();
            break;
        case TNavigateBtn::nbEdit:
            source_->Edit();
            break;
        case TNavigateBtn::nbPost:
            source_->Post();
            break;
        case TNavigateBtn::nbCancel:
            source_->Cancel();
            break;
        case TNavigateBtn::nbRefresh:
            source_->Refresh();
            break;
    }
    DataChanged();
}

bool TDBNavigator::buttonUsable(TNavigateBtn button) const {
    if (!isEnabled() || !source_ || !source_->Active()) return false;
    const bool editing = source_->Editing();
    const bool empty = source_->Bof() && source_->Eof();
    switch (button) {
        case TNavigateBtn::nbFirst:
        case TNavigateBtn::nbPrior:
            return !source_->Bof();
        case TNavigateBtn::nbNext:
        case TNavigateBtn::nbLast:
            return !source_->Eof();
        case TNavigateBtn::nbInsert:
            return source_->CanModify();
        case TNavigateBtn::nbDelete:
            return source_->CanModify() && !empty;
        case TNavigateBtn::nbEdit:
            return source_->CanModify() && !editing;
        case TNavigateBtn::nbPost:
        case TNavigateBtn::nbCancel:
            return editing;
        case TNavigateBtn::nbRefresh:
            return !editing;
    }
    return false;
}

void TDBNavigator::DataChanged() {
    for (int i = 0; i < kNavigateButtonCount; ++i)
        buttons_[i]->setEnabled(buttonUsable(static_cast<TNavigateBtn>(i)));
}

void TDBNavigator::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) DataChanged();
}

void TDBNavigator::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutButtons();
}

// The visible buttons share the width; the first ones take the spare pixels.
void TDBNavigator::layoutButtons() {
    const int count = static_cast<int>(std::count(visible_.begin(), visible_.end(), true));
    if (count == 0) return;
    const int base = width() / count;
    int spare = width() - base * count;
    int x = 0;
    for (int i = 0; i < kNavigateButtonCount; ++i) {
        if (!visible_[i]) continue;
        const int w = base + (spare-- > 0 ? 1 : 0);
        buttons_[i]->setFixedSize(w, height());
        buttons_[i]->move(x, 0);
        x += w;
    }
}
