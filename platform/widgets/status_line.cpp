#include "platform/widgets/status_line.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr int kHeight = 23;
}

TStatusLine::TStatusLine(QWidget* parent) : QFrame(parent), text_(new QLabel(this)) {
    setFixedHeight(kHeight);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->addWidget(text_);
    QPalette palette = text_->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    text_->setPalette(palette);
    text_->setTextFormat(Qt::PlainText);
}

QString TStatusLine::SimpleText() const { return text_->text(); }

// The line is one text line high: a hint of several lines is shown on one,
// its lines joined by spaces.
void TStatusLine::SetSimpleText(const QString& text) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    text_->setText(line);
}
