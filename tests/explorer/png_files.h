// PNG files built byte by byte for the tests of Open and Open View: good
// ones and hostile ones (chunks that claim more than the file has, image
// data far beyond or far below what the header needs).
#pragma once

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <zlib.h>

#include <functional>
#include <vector>

namespace testing_support::png {

inline QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

// One chunk; `claimed` replaces the length field when given.
inline QByteArray chunk(const char* type, const QByteArray& body, qint64 claimed = -1)
{
    const QByteArray typed = QByteArray(type, 4) + body;
    const quint32 crc =
        quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size())));
    return be32(claimed < 0 ? quint32(body.size()) : quint32(claimed)) + typed + be32(crc);
}

inline QByteArray header(quint32 w, quint32 h, int depth = 8, int colourType = 2)
{
    return chunk("IHDR", be32(w) + be32(h) + QByteArray(1, char(depth)) +
                             QByteArray(1, char(colourType)) + QByteArray(3, '\0'));
}

// Deflates what `rows` produces, row by row, so that a large picture never
// needs its whole filtered data in memory.
inline QByteArray deflateRows(int rows, const std::function<QByteArray(int)>& row, int level = 6)
{
    z_stream z{};
    deflateInit(&z, level);
    QByteArray out;
    std::vector<char> buffer(1 << 16);
    const auto pump = [&](int flush) {
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer.data());
            z.avail_out = uInt(buffer.size());
            deflate(&z, flush);
            out.append(buffer.data(), qsizetype(buffer.size() - z.avail_out));
        } while (z.avail_out == 0);
    };
    for (int r = 0; r < rows; ++r) {
        const QByteArray data = row(r);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
        z.avail_in = uInt(data.size());
        pump(Z_NO_FLUSH);
    }
    pump(Z_FINISH);
    deflateEnd(&z);
    return out;
}

inline const QByteArray Signature = QByteArrayLiteral("\x89PNG\r\n\x1a\n");

// A w x h 8-bit RGB picture of one colour, each row filtered with "none";
// `extraRows` more rows of zeros follow the picture in the stream.
inline QByteArray rgbPicture(int w, int h, const QList<QByteArray>& before = {}, int extraRows = 0)
{
    const QByteArray row = QByteArray(1, '\0') + QByteArray(3 * w, char(0x40));
    const QByteArray data =
        deflateRows(h + extraRows, [&](int r) { return r < h ? row : QByteArray(1 << 16, 0); });
    QByteArray file = Signature + header(quint32(w), quint32(h));
    for (const QByteArray& c : before)
        file += c;
    return file + chunk("IDAT", data) + chunk("IEND", {});
}

// A text chunk of each kind: tEXt, zTXt (deflated), iTXt (uncompressed).
inline QByteArray textChunk(const char* type, const QByteArray& key, const QByteArray& text)
{
    const QByteArray k = key + QByteArray(1, '\0');
    if (QByteArray(type) == "zTXt")
        return chunk(type, k + QByteArray(1, '\0') + qCompress(text).mid(4));
    if (QByteArray(type) == "iTXt")
        return chunk(type, k + QByteArray(2, '\0') + QByteArray(2, '\0') + text);
    return chunk(type, k + text);
}

} // namespace testing_support::png
