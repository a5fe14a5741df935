#pragma once
// Files written with Qt: whole files that replace the old one only when complete, and the
// canvas as a Windows bitmap. The window and the command-line tool share them, so that both
// write the same bytes; they need no window.

#include "platform/surface.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QString>

#include <optional>
#include <string>

namespace quillet {

QString FromPath(const std::string& path);
std::string ToPath(const QString& path);

// The reason in the user's words on failure; the old file stays byte for byte. A name Qt
// cannot hold (one that is not UTF-8) is written by its bytes all the same.
std::optional<std::string> WriteFileAtomicallyQt(const std::string& path, QByteArrayView bytes);

// The canvas pixels as a 24-bit image.
QImage ToQImage(const Surface& image);
// The image in a file format Qt writes ("bmp", "png"); empty on failure.
QByteArray EncodeImage(const QImage& image, const char* format);
// Bitmaps say 96 dpi whatever screen they were made on, so that the same drawing gives the
// same file in the window and in the tool.
inline constexpr int BITMAP_DOTS_PER_METRE = 3780;
// The image as a Windows bitmap at that resolution, whatever the image's own.
QByteArray EncodeBitmap(QImage image);
// The canvas as a 24-bit Windows bitmap.
QByteArray EncodeBitmap(const Surface& image);
std::optional<std::string> ExportBitmapQt(const Surface& image, const std::string& path);

} // namespace quillet
