#pragma once

// Image bodies for the image cache's tests and benchmark: real PNGs, and a valid PNG far
// larger than anything the cache should decode. Header-only, so that the shared test
// library needs no Qt Gui.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QtEndian>

namespace tanvill::test {

// The image as a file body in `format` ("PNG", "JPEG", ...).
inline QByteArray encodedImage(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

inline QByteArray pngOf(const QImage &image)
{
    return encodedImage(image, "PNG");
}

inline QByteArray pngBytes(const QColor &color, int side = 64)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(color);
    // A little detail keeps the files from being trivially small.
    for (int i = 0; i < side; ++i)
        image.setPixelColor(i, i, QColor(Qt::black));
    return pngOf(image);
}

inline QByteArray jpegBytes(const QColor &color, int side = 64)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(color);
    return encodedImage(image, "JPEG");
}

inline quint32 pngCrc(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

inline QByteArray pngChunk(const char *type, const QByteArray &data)
{
    const QByteArray typed = QByteArray(type) + data;
    QByteArray chunk(4, '\0');
    qToBigEndian(quint32(data.size()), chunk.data());
    chunk += typed;
    QByteArray crc(4, '\0');
    qToBigEndian(pngCrc(typed), crc.data());
    return chunk + crc;
}

// A valid one-bit grey PNG of side × side pixels whose body stays small.
inline QByteArray hugePngBytes(int side = 12000)
{
    QByteArray header(13, '\0');
    qToBigEndian(quint32(side), header.data());
    qToBigEndian(quint32(side), header.data() + 4);
    header[8] = 1; // bit depth
    header[9] = 0; // greyscale
    const qsizetype rowBytes = 1 + (side + 7) / 8;
    const QByteArray raw(rowBytes * side, '\0');
    // qCompress puts a four-byte length before the zlib stream PNG wants.
    const QByteArray compressed = qCompress(raw, 9).mid(4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header)
        + pngChunk("IDAT", compressed) + pngChunk("IEND", {});
}

} // namespace tanvill::test
