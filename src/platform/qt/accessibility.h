#pragma once
// What assistive technology gets from the window's own widgets: the roles and actions of the
// colour boxes and the canvas, the names of the colours, and the focus frame they draw.

#include "platform/surface.h"

#include <QString>

#include <span>

class QFrame;

namespace quillet {

// Lets screen readers see the colour boxes as buttons or images and the canvas as a canvas;
// needed once, before the first of them is looked at.
void InstallAccessibleInterfaces();

// "Rood, RGB 255, 0, 0" for a swatch of the palette.
QString SwatchAccessibleName(int index, Colour colour);
// "Huidige kleur: rood, RGB 255, 0, 0": the colour is named after the first standard swatch
// that shows it, any other is the custom colour.
QString CurrentColourAccessibleName(Colour colour, std::span<const Colour> palette);

// Draws the focus over the frame's border, never over what it frames.
void PaintFocusFrame(QFrame& frame);

} // namespace quillet
