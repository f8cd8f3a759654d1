#pragma once
// The program's logo: a stack of comic books under a speech balloon that
// reads "PK", drawn at any size.

#include <QPixmap>

QPixmap PanelKeepLogo(int size);
