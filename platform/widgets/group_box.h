#pragma once
// A group box as the classic toolkit draws one: an etched frame, with the
// caption, if there is one, set into its top line.  The controls inside are
// placed by hand.  The toolkit's own group box draws its frame by scaling a
// picture on every paint, which costs several times the paint of everything
// inside it.
#include <QString>
#include <QWidget>

class TGroupBox : public QWidget {
public:
    explicit TGroupBox(const QString& caption = QString(), QWidget* parent = nullptr);

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);

    // Where the caption is drawn; empty without one.
    QRect CaptionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};
