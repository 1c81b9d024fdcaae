// Bitmap checks by hand, ahead of Qt's BMP reader: the headers (dimensions
// first, so that a hostile header cannot make the reader allocate
// gigabytes), where the pixel data starts, and a walk over run-length
// encoded data that stops at its end-of-bitmap marker.
#include "bitmap_check.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "runtime_error.h"

namespace tk {

namespace {

[[noreturn]] void invalidPicture(const QString& fileName, const QString& why)
{
    throw RuntimeError(ErrInvalidPicture,
                       QStringLiteral("Invalid picture: '%1' %2").arg(fileName, why));
}

[[noreturn]] void cutShort(const QString& fileName)
{
    invalidPicture(fileName, QStringLiteral("is cut short: its header promises more "
                                            "pixels than the file holds."));
}

[[noreturn]] void garbled(const QString& fileName, const QString& why)
{
    invalidPicture(fileName, QStringLiteral("is not a Windows bitmap: %1.").arg(why));
}

// The file's bytes from some offset on, read a block at a time.
class ByteSource {
public:
    explicit ByteSource(QIODevice& device) : device_(device) {}
    bool next(quint8& byte)
    {
        if (at_ == block_.size()) {
            block_ = device_.read(64 * 1024);
            at_ = 0;
            if (block_.isEmpty())
                return false;
        }
        byte = quint8(block_[at_++]);
        return true;
    }
    bool skip(qint64 count)
    {
        quint8 ignored;
        for (; count > 0; --count)
            if (!next(ignored))
                return false;
        return true;
    }

private:
    QIODevice& device_;
    QByteArray block_;
    qsizetype at_ = 0;
};

// Walks run-length encoded pixel data (RLE8 when `nibbles` is false, RLE4
// when it is true) as the reader decodes it, up to its end-of-bitmap
// marker. A picture whose data ends before the marker is cut short. An
// absolute run that goes past its row's end, or a run or jump beyond the
// last row, is refused: the reader would cut the run short and then decode
// the rest of its pixels as commands. Encoded runs past the row's end only
// repeat a value, which readers drop beyond the edge; encoders that pad
// each row to a multiple of four pixels write them, so they are let through.
void checkRunLengthData(ByteSource& data, qint64 width, qint64 height, bool nibbles,
                        const QString& fileName)
{
    qint64 x = 0, y = 0; // y counts rows in the order they are stored
    for (;;) {
        quint8 count, value;
        if (!data.next(count) || !data.next(value))
            cutShort(fileName);
        if (count != 0) {
            if (y >= height)
                garbled(fileName, QStringLiteral("a run of pixels lies below the last row"));
            x += count;
            continue;
        }
        switch (value) {
        case 0: // end of line
            if (y >= height)
                garbled(fileName, QStringLiteral("it has more rows than its header says"));
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return;
        case 2: { // jump right and down
            quint8 dx, dy;
            if (!data.next(dx) || !data.next(dy))
                cutShort(fileName);
            x += dx;
            y += dy;
            if (x > width || y > height)
                garbled(fileName, QStringLiteral("it jumps outside the picture"));
            break;
        }
        default: { // absolute run of `value` pixels, padded to a 16-bit boundary
            if (y >= height || x + value > width)
                garbled(fileName, QStringLiteral("a run of pixels is longer than its row"));
            qint64 bytes = nibbles ? (value + 1) / 2 : value;
            bytes += bytes & 1;
            if (!data.skip(bytes))
                cutShort(fileName);
            x += value;
            break;
        }
        }
    }
}

} // namespace

// The file header ("BM", 14 bytes) and the info header, whose size tells its
// kind: 12 bytes (OS/2 core header) has 16-bit unsigned dimensions, the
// larger ones 32-bit signed (a negative height is a picture stored
// top-down). Pictures of 8 bits or fewer carry a colour table after the
// info header, and a 40-byte header with bit-field masks has the masks
// there; the pixels come after both. An uncompressed picture must hold all
// its rows.
void CheckBitmap(QIODevice& file, const QString& fileName)
{
    const QByteArray head = file.peek(54);
    if (head.size() < 30 || head[0] != 'B' || head[1] != 'M')
        invalidPicture(fileName, QStringLiteral("is not a Windows bitmap."));
    const auto* p = reinterpret_cast<const uchar*>(head.constData());
    const quint32 dataOffset = qFromLittleEndian<quint32>(p + 10);
    const quint32 infoSize = qFromLittleEndian<quint32>(p + 14);
    qint64 width, height;
    int bitsPerPixel;
    quint32 compression = 0, coloursUsed = 0;
    if (infoSize == 12) {
        width = qFromLittleEndian<quint16>(p + 18);
        height = qFromLittleEndian<quint16>(p + 20);
        bitsPerPixel = qFromLittleEndian<quint16>(p + 24);
    } else if (infoSize >= 16 && infoSize <= 124) {
        width = qFromLittleEndian<qint32>(p + 18);
        height = std::llabs(qFromLittleEndian<qint32>(p + 22));
        bitsPerPixel = qFromLittleEndian<quint16>(p + 28);
        if (infoSize >= 20 && head.size() >= 34)
            compression = qFromLittleEndian<quint32>(p + 30);
        if (infoSize >= 36 && head.size() >= 50)
            coloursUsed = qFromLittleEndian<quint32>(p + 46);
    } else {
        invalidPicture(fileName, QStringLiteral("has an unknown bitmap header."));
    }
    if (width <= 0 || height <= 0)
        invalidPicture(fileName, QStringLiteral("has no pixels."));
    if (width > MaxPictureSide || height > MaxPictureSide || width * height > MaxPicturePixels)
        invalidPicture(fileName, QStringLiteral("is %1 x %2 pixels, larger than this program "
                                                "opens (%3 pixels on a side, %4 megapixels).")
                                     .arg(width)
                                     .arg(height)
                                     .arg(MaxPictureSide)
                                     .arg(MaxPicturePixels / (1024 * 1024)));

    const qint64 headersEnd = 14 + qint64(infoSize);
    if (dataOffset < headersEnd)
        garbled(fileName, QStringLiteral("its pixel data would start inside its header"));
    // The reader takes the pixels from the data offset, or from the end of
    // the colour table or masks when the offset points before that.
    qint64 tablesEnd = headersEnd;
    if (infoSize == 40 && (compression == 3 || compression == 6))
        tablesEnd += compression == 3 ? 12 : 16;
    if (bitsPerPixel <= 8)
        tablesEnd +=
            qint64(coloursUsed != 0 ? std::min<quint32>(coloursUsed, 256) : 1u << bitsPerPixel) *
            (infoSize == 12 ? 3 : 4);
    const qint64 pixelStart = std::max<qint64>(dataOffset, tablesEnd);
    const qint64 fileSize = file.size();
    if (pixelStart >= fileSize)
        cutShort(fileName);

    // Uncompressed (BI_RGB) or with bit-field masks: rows padded to 4 bytes.
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (uncompressed && bitsPerPixel > 0 && bitsPerPixel <= 32) {
        const qint64 rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
        if (pixelStart + rowBytes * height > fileSize)
            cutShort(fileName);
    }
    const bool rle8 = compression == 1 && bitsPerPixel == 8;
    const bool rle4 = compression == 2 && bitsPerPixel == 4;
    if (rle8 || rle4) {
        if (!file.seek(pixelStart))
            cutShort(fileName);
        ByteSource data(file);
        checkRunLengthData(data, width, height, rle4, fileName);
        file.seek(0);
    }
}

} // namespace tk
