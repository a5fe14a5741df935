#include "platform/qtgui/file_output.h"

#include "platform/file_write.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

#include <cerrno>

namespace quillet {

namespace {

// Why a write failed, for the user: the system's error when one was seen, else Qt's text.
std::string WriteErrorReason(int errorNumber, const QString& qtReason) {
    return errorNumber != 0 ? DescribeWriteError(errorNumber) : qtReason.toStdString();
}

} // namespace

QString FromPath(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

std::string ToPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::optional<std::string> WriteFileAtomicallyQt(const std::string& path, QByteArrayView bytes) {
    if (ToPath(FromPath(path)) != path) {
        // Qt holds names as UTF-8 text and would write another file (U+FFFD for each odd
        // byte); the headless writer takes the bytes and gives the same guarantees.
        return WriteFileAtomicallyStd(
            path, std::string_view(bytes.data(), static_cast<std::size_t>(bytes.size())));
    }
    // Every step is checked here, since commit() reports success even when its own final
    // flush fails and would then replace the old file with a truncated one. The reason is
    // taken before cancelWriting(), which replaces Qt's error text.
    const QString name = FromPath(path);
    if (QFileInfo(name).isDir()) {
        // Qt refuses it with an English text of its own.
        return DescribeWriteError(EISDIR);
    }
    QSaveFile file(name);
    const auto fail = [&file](int errorNumber) {
        const std::string reason = WriteErrorReason(errorNumber, file.errorString());
        file.cancelWriting();
        return reason;
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        return WriteErrorReason(errno, file.errorString());
    }
    errno = 0;
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        return fail(errno);
    }
    errno = 0;
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        return fail(errno);
    }
    errno = 0;
    if (!file.commit()) {
        return WriteErrorReason(errno, file.errorString());
    }
    return std::nullopt;
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
