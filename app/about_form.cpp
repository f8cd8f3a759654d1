#include "app/about_form.h"

#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "app/logo.h"

namespace {

QLabel* boldLabel(QWidget* parent, const QString& text, int pixelHeight, QPoint at) {
    auto* label = new QLabel(text, parent);
    // Where MS Sans Serif is not installed, Arial's metrics (fontconfig's
    // Liberation Sans) keep the texts the width the box was laid out for.
    const QString family = QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif"))
                               ? QStringLiteral("MS Sans Serif")
                               : QStringLiteral("Arial");
    QFont font(family);
    font.setBold(true);
    font.setPixelSize(pixelHeight);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    label->adjustSize();
    label->move(at);
    return label;
}

}  // namespace

TAboutForm::TAboutForm(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About Panel-Keep v2.0"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(289, 200);

    Bevel = new QFrame(this);
    Bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel->setGeometry(8, 8, 273, 185);

    Image1 = new QLabel(this);
    Image1->setGeometry(16, 24, 81, 81);
    Image1->setScaledContents(true);
    Image1->setPixmap(PanelKeepLogo(162));

    Label1 = boldLabel(this, QStringLiteral("Panel-Keep"), 32, {100, 16});
    Label2 = boldLabel(this, QStringLiteral("v2.0b"), 19, {165, 56});
    Label3 = boldLabel(this, QStringLiteral("32-Bit for Windows 95"), 13, {110, 88});
    Label4 = new QLabel(QStringLiteral("Your comics, catalogued and kept safe."), this);
    Label4->adjustSize();
    Label4->move(22, 144);

    Button1 = new QPushButton(QStringLiteral("&Ok"), this);
    Button1->setGeometry(107, 160, 75, 25);
    Button1->setToolTip(QStringLiteral("Return to Program"));
    Button1->setDefault(true);  // Enter presses it; QDialog's Esc closes the box too
    connect(Button1, &QPushButton::clicked, this, &TAboutForm::Button1Click);
}

void TAboutForm::Button1Click() { accept(); }
