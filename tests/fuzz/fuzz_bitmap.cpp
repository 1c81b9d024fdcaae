// Fuzz target: opening a picture file, as the File menu does. Any file must
// give a picture within the size limits or a reported error: no crash, no
// hang, no allocation beyond the limits.
#include <QImage>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "toolkit/pictures.h"
#include "toolkit/runtime_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString path =
        QStringLiteral("/tmp/fuzz-bitmap-%1.bmp").arg(QString::number(getpid()));
    FILE* f = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    try {
        const QImage picture = tk::LoadPicture(path);
        if (picture.isNull() || picture.width() > tk::MaxPictureSide ||
            picture.height() > tk::MaxPictureSide ||
            qint64(picture.width()) * picture.height() > tk::MaxPicturePixels)
            std::abort();
    } catch (const tk::RuntimeError& e) {
        if (e.description().isEmpty())
            std::abort();
    }
    return 0;
}
