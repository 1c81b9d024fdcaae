// What is checked of a PNG file before any decoder sees it: a crafted file
// of a few hundred bytes can otherwise make the decoder allocate gigabytes
// (a chunk that claims to be huge) or inflate for many seconds (compressed
// data far beyond what the picture needs). Pure functions over bytes.
#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <set>
#include <vector>

namespace tk {

// The PNG signature every PNG file starts with.
inline const QByteArray PngSignature = QByteArrayLiteral("\x89PNG\r\n\x1a\n");

// Text chunks larger than this are not read (their length is still checked
// against the file); their text, once inflated, is cut off here too.
constexpr int MaxPngTextBytes = 64 * 1024;

// Text chunks a reader lets grow beyond MaxPngTextBytes: these keywords,
// each up to `bytes` (once inflated), all of them together up to
// `totalBytes`, so that what one file can make us hold stays bounded.
struct LongPngTexts {
    std::vector<QString> keywords;
    qsizetype bytes = 0;
    qint64 totalBytes = 0;
};

struct CheckedPng {
    int width = 0, height = 0, bitDepth = 0, colourType = 0;
    // The signature and the chunks a decoder needs for the pixels (header,
    // palette, transparency, image data, end, and a few small colour
    // chunks): no text, no compressed profile, nothing unknown.
    QByteArray decodable;
    // The text chunks (tEXt, zTXt, iTXt) by keyword; the first of a keyword
    // counts.
    std::map<QString, QString> texts;
    // Keywords of text chunks over their limit: not read, or cut short
    // where the limit was reached while inflating. A reader that cannot do
    // with part of such a text refuses the file by it.
    std::set<QString> overlongTexts;
    // Bytes a pixel takes once decoded: 8 for 16-bit colour, else at most 4.
    int decodedBytesPerPixel() const { return bitDepth == 16 ? 8 : 4; }
};

// Walks the chunks of the PNG file `data`. Raises ErrInvalidPicture naming
// `fileName` when it is not a PNG picture, when a chunk's declared length
// runs past the end of the file, when the header is malformed or larger than
// the picture limits of bitmap_check.h, or when the image data holds more
// compressed bytes than a picture of the declared size could need.
// Text chunks of the keywords in `longTexts` are read up to its limits.
CheckedPng CheckPng(const QByteArray& data, const QString& fileName,
                    const LongPngTexts& longTexts = {});

// Compressed image data a picture of this header may take: the filtered
// rows (with Adam7's passes, a filter byte per row of each) plus what
// deflate adds when it cannot compress at all, and some slack.
qint64 MaxPngImageData(int width, int height, int bitDepth, int colourType);

// The largest PNG file worth reading whole, judged from its first 33 bytes
// (signature and header): the image data the header can need plus room for
// other chunks. Zero when those bytes are no PNG header.
qint64 MaxPngFileSize(const QByteArray& start);

} // namespace tk
