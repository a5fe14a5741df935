#include "platform/qtgui/file_output.h"

#include "platform/file_write.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>

namespace quillet {

QString FromPath(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

std::string ToPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::optional<std::string> WriteFileAtomicallyQt(const std::string& path, QByteArrayView bytes) {
    // One writer for every path: QSaveFile always replaces the file by a new one, so it splits
    // hard links, gives other users' files to the saver, replaces FIFOs and devices, cannot
    // make a temporary name beside a name of 250 bytes or more, and takes names as UTF-8 text.
    return WriteFileAtomicallyStd(
        path, std::string_view(bytes.data(), static_cast<std::size_t>(bytes.size())));
}

QImage ToQImage(const Surface& image) {
    const int w = image.ScaleWidth();
    const int h = image.ScaleHeight();
    QImage bitmap(w, h, QImage::Format_RGB888);
    const std::vector<Colour>& pixels = image.Pixels();
    for (int y = 0; y < h; ++y) {
        uchar* line = bitmap.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const Colour c = pixels[static_cast<std::size_t>(y) * w + x];
            line[3 * x] = static_cast<uchar>(c & 0xFFu);
            line[3 * x + 1] = static_cast<uchar>((c >> 8) & 0xFFu);
            line[3 * x + 2] = static_cast<uchar>((c >> 16) & 0xFFu);
        }
    }
    return bitmap;
}

QByteArray EncodeImage(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image)) {
        return {};
    }
    return bytes;
}

QByteArray EncodeBitmap(QImage image) {
    // A new QImage takes the screen's resolution, or 100 dpi without a screen.
    image.setDotsPerMeterX(BITMAP_DOTS_PER_METRE);
    image.setDotsPerMeterY(BITMAP_DOTS_PER_METRE);
    return EncodeImage(image, "bmp");
}

QByteArray EncodeBitmap(const Surface& image) {
    return EncodeBitmap(ToQImage(image));
}

std::optional<std::string> ExportBitmapQt(const Surface& image, const std::string& path) {
    // Encoded in memory, so the file goes through the one checked write.
    const QByteArray bytes = EncodeBitmap(image);
    if (bytes.isEmpty()) {
        return std::string("Kan de afbeelding niet maken.");
    }
    return WriteFileAtomicallyQt(path, bytes);
}

} // namespace quillet
