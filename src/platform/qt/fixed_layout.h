#pragma once
// Helpers for the windows built from the layout tables, whose controls have fixed pixel
// sizes.

#include "app/controls.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringView>

#include <future>
#include <string_view>
#include <vector>

class QIcon;
class QWidget;

namespace quillet {

// How a window of fixed size keeps it. A Wayland compositor maximizes any window it is asked
// to, and Qt's own title bar there always offers it; a window that then stays smaller than
// the size it was given breaks the protocol, and the compositor ends the program. There the
// size is the least one, and the controls keep their places in the top left corner.
enum class SizeHold { Fixed, AtLeast };
SizeHold SizeHoldFor(QStringView platformName);
// For the platform the application runs on.
SizeHold CurrentSizeHold();
// Gives a top-level window its size, kept as `hold` says.
void HoldWindowSize(QWidget& window, QSize size, SizeHold hold);

QString ToQString(std::string_view text);
QRect PixelGeometry(const ControlLayout& layout);
// The program's icon, 16 to 256 pixels. Its PNGs are decoded when a pixmap is first needed,
// from the images provided beforehand if any (they may still be being read on a thread).
QIcon AppIcon();
std::vector<QImage> ReadAppIconImages(); // for any thread
// Gives the controls of `client` the largest font, of the platform's family, in which every
// caption fits its fixed box: the layout was made for a smaller font than many desktops use.
void FitFontToControls(QWidget* client);

} // namespace quillet
