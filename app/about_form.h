#pragma once
// TAboutForm: the About box, a small fixed dialog with the logo, the
// program's name and version, a line of small print and an Ok button that
// Enter and Esc press as well.

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TAboutForm : public QDialog {
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* owner);

    QFrame* Bevel = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* Button1 = nullptr;

    void Button1Click();
};
