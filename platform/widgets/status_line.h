#pragma once
// The frame's status line: one simple panel of text along the window's
// bottom edge.

#include <QFrame>
#include <QString>

class QLabel;

class TStatusLine : public QFrame {
    Q_OBJECT

public:
    explicit TStatusLine(QWidget* parent = nullptr);

    QString SimpleText() const;
    void SetSimpleText(const QString& text);

private:
    QLabel* text_;
};
