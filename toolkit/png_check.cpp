// The PNG chunk walk: lengths against the file, the header against the
// limits, image data against what the header can need, and the text chunks
// read with bounded inflation. Nothing here allocates more than the file's
// own size plus a few text chunks of MaxPngTextBytes and the long texts a
// reader allows (LongPngTexts).
#include "png_check.h"

#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <utility>

#include "bitmap_check.h"
#include "runtime_error.h"

namespace tk {

namespace {

[[noreturn]] void refuse(const QString& fileName, const QString& why)
{
    throw RuntimeError(ErrInvalidPicture,
                       QStringLiteral("Invalid picture: '%1' %2").arg(fileName, why));
}

quint32 bigEndian32(const char* p)
{
    return qFromBigEndian<quint32>(p);
}

int channelsOf(int colourType)
{
    switch (colourType) {
    case 0:
        return 1; // grey
    case 2:
        return 3; // RGB
    case 3:
        return 1; // palette index
    case 4:
        return 2; // grey and alpha
    case 6:
        return 4; // RGBA
    default:
        return 0;
    }
}

bool validDepth(int colourType, int depth)
{
    switch (colourType) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

// Inflates at most `limit` bytes of a zlib stream; a longer text is cut
// there, and `cut` says so.
QByteArray boundedInflate(const char* data, qsizetype size, qsizetype limit, bool& cut)
{
    QByteArray out(limit, Qt::Uninitialized);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return {};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = uInt(size);
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int status = inflate(&z, Z_FINISH);
    const qsizetype produced = out.size() - qsizetype(z.avail_out);
    inflateEnd(&z);
    if (status != Z_STREAM_END && status != Z_BUF_ERROR && status != Z_OK)
        return {};
    cut = status != Z_STREAM_END && z.avail_out == 0;
    out.truncate(produced);
    return out;
}

// A text chunk's keyword, or nothing for a malformed one (the PNG keyword
// has 1 to 79 bytes and ends with a zero byte).
std::optional<QString> keywordOf(const char* p, qsizetype n)
{
    const char* nul =
        static_cast<const char*>(std::memchr(p, 0, std::size_t(std::min<qsizetype>(n, 80))));
    if (!nul || nul == p)
        return std::nullopt;
    return QString::fromLatin1(p, nul - p);
}

// A text chunk's keyword and text, or nothing for a malformed one; its
// text inflated to at most `limit` bytes.
std::optional<std::pair<QString, QString>> readText(const char type[4], const char* p, qsizetype n,
                                                    qsizetype limit, bool& cut)
{
    const char* end = p + n;
    const auto key = keywordOf(p, n);
    if (!key)
        return std::nullopt;
    const char* rest = p + key->size() + 1;
    if (std::memcmp(type, "tEXt", 4) == 0)
        return std::pair{*key, QString::fromLatin1(rest, end - rest)};
    if (std::memcmp(type, "zTXt", 4) == 0) {
        if (end - rest < 1 || *rest != 0)
            return std::nullopt;
        return std::pair{*key,
                         QString::fromLatin1(boundedInflate(rest + 1, end - rest - 1, limit, cut))};
    }
    // iTXt: compression flag and method, language tag, translated keyword.
    if (end - rest < 2)
        return std::nullopt;
    const bool compressed = rest[0] != 0;
    rest += 2;
    for (int skip = 0; skip < 2; ++skip) {
        const char* z = static_cast<const char*>(std::memchr(rest, 0, std::size_t(end - rest)));
        if (!z)
            return std::nullopt;
        rest = z + 1;
    }
    const QByteArray text =
        compressed ? boundedInflate(rest, end - rest, limit, cut) : QByteArray(rest, end - rest);
    return std::pair{*key, QString::fromUtf8(text)};
}

bool isOneOf(const char type[4], std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (std::memcmp(type, name, 4) == 0)
            return true;
    return false;
}

} // namespace

namespace {

// The rows as the encoder filtered them, before compression: each with its
// filter byte; interlaced rows of the seven passes each round up and carry
// their own filter byte, at most two bytes more per row and pass.
qint64 filteredSize(int width, int height, int bitDepth, int colourType, bool interlaced)
{
    const qint64 rowBytes = (qint64(width) * channelsOf(colourType) * bitDepth + 7) / 8;
    return qint64(height) * (1 + rowBytes) + (interlaced ? 14 * qint64(height) + 16 : 0);
}

// Deflate packs at most 258 bytes into one code of at least 1 bit and some
// framing: no stream inflates to more than about 1032 times its size.
constexpr qint64 MaxDeflateRatio = 1032;

// One text chunk into `png`: a long text's keyword gets its own limit while
// `room` (what is left of the long texts' total) lasts, any other the
// common one. Over the limit, the keyword is noted as overlong.
void readTextChunk(CheckedPng& png, const char type[4], const char* body, qsizetype length,
                   const LongPngTexts& longTexts, qint64& room)
{
    const auto key = keywordOf(body, length);
    if (!key || png.texts.count(*key) || png.overlongTexts.count(*key))
        return; // the first of a keyword counts
    const bool isLong = std::find(longTexts.keywords.begin(), longTexts.keywords.end(), *key) !=
                        longTexts.keywords.end();
    const qsizetype limit = isLong ? qsizetype(std::clamp<qint64>(room, 0, longTexts.bytes))
                                   : qsizetype(MaxPngTextBytes);
    // A chunk's bytes are its keyword and header (under 100 bytes besides
    // the language tags of iTXt) and text no larger than the text itself
    // once compressed, give or take deflate's framing.
    const qsizetype chunkLimit = isLong ? limit + limit / 64 + 1024 : qsizetype(MaxPngTextBytes);
    if (length > chunkLimit) {
        png.overlongTexts.insert(*key);
        return;
    }
    bool cut = false;
    auto text = readText(type, body, length, limit, cut);
    if (!text)
        return;
    if (cut || (isLong && text->second.size() > limit)) {
        png.overlongTexts.insert(*key);
        if (isLong)
            return; // no part of a long text is worth having
    }
    if (isLong)
        room -= text->second.size();
    png.texts.emplace(std::move(*text));
}

} // namespace

qint64 MaxPngImageData(int width, int height, int bitDepth, int colourType)
{
    const qint64 filtered = filteredSize(width, height, bitDepth, colourType, true);
    // What deflate adds when it cannot compress at all, and slack.
    return filtered + filtered / 1024 + 1024;
}

qint64 MaxPngFileSize(const QByteArray& start)
{
    if (start.size() < 33 || !start.startsWith(PngSignature) ||
        std::memcmp(start.constData() + 12, "IHDR", 4) != 0)
        return 0;
    // Larger sides are refused by the walk; here they only must not overflow.
    const auto side = [&](int at) {
        return int(std::min<quint32>(bigEndian32(start.constData() + at), MaxPictureSide));
    };
    constexpr qint64 otherChunks = 16 * 1024 * 1024;
    return MaxPngImageData(side(16), side(20), 16, 6) + otherChunks;
}

CheckedPng CheckPng(const QByteArray& data, const QString& fileName, const LongPngTexts& longTexts)
{
    qint64 longTextRoom = longTexts.totalBytes;
    if (!data.startsWith(PngSignature))
        refuse(fileName, QStringLiteral("is not a PNG picture."));
    CheckedPng png;
    png.decodable = PngSignature;
    const qsizetype size = data.size();
    qsizetype at = PngSignature.size();
    qint64 imageData = 0, imageDataLimit = 0;
    bool header = false, ended = false;
    while (!ended) {
        if (size - at < 12)
            refuse(fileName, QStringLiteral("is cut short."));
        const quint32 length = bigEndian32(data.constData() + at);
        char type[4];
        std::memcpy(type, data.constData() + at + 4, 4);
        // Lengths above 2^31 - 1 are invalid; anything beyond the file's
        // end is refused before a byte of it is looked at.
        if (length > 0x7fffffffu || qint64(length) > qint64(size - at - 12))
            refuse(fileName, QStringLiteral("is cut short: a chunk claims %1 bytes that the file "
                                            "does not have.")
                                 .arg(length));
        const char* body = data.constData() + at + 8;
        const qsizetype whole = 12 + qsizetype(length);
        if (!header) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length != 13)
                refuse(fileName, QStringLiteral("has no valid PNG header."));
            png.width = int(bigEndian32(body) & 0x7fffffff);
            png.height = int(bigEndian32(body + 4) & 0x7fffffff);
            png.bitDepth = quint8(body[8]);
            png.colourType = quint8(body[9]);
            if (bigEndian32(body) == 0 || bigEndian32(body) > 0x7fffffffu ||
                bigEndian32(body + 4) == 0 || bigEndian32(body + 4) > 0x7fffffffu ||
                !validDepth(png.colourType, png.bitDepth) || quint8(body[12]) > 1)
                refuse(fileName, QStringLiteral("has no valid PNG header."));
            if (png.width > MaxPictureSide || png.height > MaxPictureSide ||
                qint64(png.width) * png.height > MaxPicturePixels)
                refuse(fileName, QStringLiteral("is not a PNG picture of at most %1 pixels a "
                                                "side and %2 pixels in all.")
                                     .arg(MaxPictureSide)
                                     .arg(MaxPicturePixels));
            imageDataLimit = MaxPngImageData(png.width, png.height, png.bitDepth, png.colourType);
            header = true;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            imageData += length;
            if (imageData > imageDataLimit)
                refuse(fileName, QStringLiteral("holds more image data than a picture of %1 x %2 "
                                                "pixels can need.")
                                     .arg(png.width)
                                     .arg(png.height));
        } else if (isOneOf(type, {"tEXt", "zTXt", "iTXt"})) {
            readTextChunk(png, type, body, qsizetype(length), longTexts, longTextRoom);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            ended = true;
        }
        if (isOneOf(type, {"IHDR", "PLTE", "tRNS", "IDAT", "IEND", "gAMA", "cHRM", "sRGB", "pHYs",
                           "sBIT", "bKGD"}))
            png.decodable.append(data.constData() + at, whole);
        at += whole;
    }
    // Too little data to fill the picture is refused too, before the decoder
    // allocates the whole picture for a file of a few bytes.
    if (imageData * MaxDeflateRatio <
        filteredSize(png.width, png.height, png.bitDepth, png.colourType, false))
        refuse(fileName, QStringLiteral("is cut short: its image data cannot fill a picture of "
                                        "%1 x %2 pixels.")
                             .arg(png.width)
                             .arg(png.height));
    return png;
}

} // namespace tk
