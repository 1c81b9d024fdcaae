// Pixels and text chunks of an exported view (see view_picture.h).
#include "view_picture.h"

#include "toolkit/picture_box.h"
#include "toolkit/runtime_error.h"

namespace explorer {

QImage ViewPicture(const std::uint8_t* levels, const std::uint8_t* done, int width, int height,
                   const std::int32_t* palette, const SavedView& saved)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRgb pixelOfLevel[256];
    for (int level = 0; level < 256; ++level)
        pixelOfLevel[level] = tk::PictureBox::toRgb(palette[level]);
    for (int row = 0; row < height; ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        const std::size_t first = std::size_t(row) * std::size_t(width);
        for (int col = 0; col < width; ++col) {
            const std::size_t i = first + std::size_t(col);
            line[col] = (done && !done[i]) ? pixelOfLevel[0] : pixelOfLevel[levels[i]];
        }
    }
    // 17 significant digits read back as the very same doubles.
    const auto exact = [](double v) { return QString::number(v, 'g', 17); };
    image.setText(QString::fromLatin1(chunk::XMin), exact(saved.view.xMin));
    image.setText(QString::fromLatin1(chunk::XMax), exact(saved.view.xMax));
    image.setText(QString::fromLatin1(chunk::YMin), exact(saved.view.yMin));
    image.setText(QString::fromLatin1(chunk::YMax), exact(saved.view.yMax));
    if (saved.deep) {
        const char* keys[] = {chunk::DeepXMin, chunk::DeepXMax, chunk::DeepYMin, chunk::DeepYMax};
        for (int i = 0; i < 4; ++i) {
            const std::string text = saved.deep->boundText(i);
            // Open View reads no more than this: a longer bound would make a
            // file that cannot be opened again.
            if (qsizetype(text.size()) > MaxDeepChunkCharacters)
                throw tk::RuntimeError(
                    tk::ErrBadInput,
                    QStringLiteral("The view cannot be written: its bounds have more than %1 "
                                   "characters, more than Open View reads back.")
                        .arg(MaxDeepChunkCharacters));
            image.setText(QString::fromLatin1(keys[i]), QString::fromStdString(text));
        }
    }
    image.setText(QString::fromLatin1(chunk::MaxIter), QString::number(saved.maxIter));
    image.setText(QString::fromLatin1(chunk::Fields), saved.fields.join(QLatin1Char(';')));
    image.setText(QStringLiteral("Software"), QStringLiteral("Zelmar"));
    return image;
}

} // namespace explorer
