#pragma once
// Helpers for the windows built from the layout tables, whose controls have fixed pixel
// sizes.

#include "app/controls.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <future>
#include <string_view>
#include <vector>

class QIcon;
class QWidget;

namespace quillet {

QString ToQString(std::string_view text);
QRect PixelGeometry(const ControlLayout& layout);
// The program's icon, 16 to 256 pixels. Its PNGs are decoded when a pixmap is first needed,
// from the images provided beforehand if any (they may still be being read on a thread).
QIcon AppIcon();
std::vector<QImage> ReadAppIconImages(); // for any thread
void ProvideAppIconImages(std::shared_future<std::vector<QImage>> images);
// Gives the controls of `client` the largest font, of the platform's family, in which every
// caption fits its fixed box: the layout was made for a smaller font than many desktops use.
void FitFontToControls(QWidget* client);

} // namespace quillet
