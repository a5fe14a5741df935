#pragma once
// Helpers for the windows built from the layout tables, whose controls have fixed pixel
// sizes.

#include "app/controls.h"

#include <QRect>
#include <QString>

#include <string_view>

class QIcon;
class QWidget;

namespace quillet {

QString ToQString(std::string_view text);
QRect PixelGeometry(const ControlLayout& layout);
// The program's icon, 16 and 32 pixels.
QIcon AppIcon();
// Gives the controls of `client` the largest font, of the platform's family, in which every
// caption fits its fixed box: the layout was made for a smaller font than many desktops use.
void FitFontToControls(QWidget* client);

} // namespace quillet
