// PNG files through File > Open and File > Open View: hostile chunks are
// refused before any large allocation or long inflation, by both and in the
// same words; Open View takes the same checks as Open for files that are no
// regular file; a view file's fields always say what is drawn, and a view
// that cannot be drawn changes nothing and is reported once.
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "dialog_answers.h"
#include "explorer/explorer_features.h"
#include "explorer/status_line.h"
#include "explorer/view_export.h"
#include "png_files.h"
#include "support/test_support.h"
#include "toolkit/numbers.h"
#include "toolkit/pictures.h"
#include "toolkit/png_check.h"
#include "toolkit/runtime_error.h"

using namespace testing_support;
namespace png = testing_support::png;

namespace {

struct Hostile {
    const char* name;
    QByteArray (*bytes)();
    const char* why; // in the refusal
};

const Hostile hostileFiles[] = {
    {"tEXt_2GiB", [] { return png::rgbPicture(8, 6, {png::chunk("tEXt", "Comment", 0x7fffffff)}); },
     "claims 2147483647 bytes"},
    {"zTXt_1GiB", [] { return png::rgbPicture(8, 6, {png::chunk("zTXt", "Comment", 1 << 30)}); },
     "claims 1073741824 bytes"},
    {"iTXt_2GiB", [] { return png::rgbPicture(8, 6, {png::chunk("iTXt", "Comment", 0x7fffffff)}); },
     "claims 2147483647 bytes"},
    {"IDAT_past_the_end",
     [] { return png::Signature + png::header(8, 6) + png::chunk("IDAT", "x", 4096); },
     "claims 4096 bytes"},
    // 26 MB of deflated zeros after a 64 x 48 picture.
    {"surplus_image_data", [] { return png::rgbPicture(64, 48, {}, 400); },
     "more image data than a picture of 64 x 48"},
    // A few bytes that claim 8000 x 4000 pixels.
    {"image_data_far_too_short",
     [] {
         return png::Signature + png::header(8000, 4000) +
                png::chunk("IDAT", qCompress(QByteArray(64, '\0')).mid(4)) + png::chunk("IEND", {});
     },
     "cannot fill a picture of 8000 x 4000"},
    {"no_header", [] { return png::Signature + png::chunk("IEND", {}); }, "no valid PNG header"},
};

class HostilePng : public ::testing::TestWithParam<Hostile> {};

// Open and Open View refuse each with the same message; the picture, the
// fields and the view stay.
TEST_P(HostilePng, IsRefusedByOpenAndOpenViewAlike)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("%1.png").arg(GetParam().name));
    writeAll(file, GetParam().bytes());
    auto form = makeWindow();
    form->Command1_Click();
    const QImage canvas = form->Picture1->image();
    const QStringList fields = FieldTexts(*form);

    DialogAnswers answers({file, file});
    form->OpenMenu->trigger();
    form->Features->Export->OpenViewMenu->trigger();
    const auto reports = takeReports();
    ASSERT_EQ(reports.size(), 2u);
    for (const Report& r : reports) {
        EXPECT_EQ(r.number, tk::ErrInvalidPicture);
        EXPECT_TRUE(r.description.contains(file)) << r.description.toStdString();
        EXPECT_TRUE(r.description.contains(QString::fromLatin1(GetParam().why)))
            << r.description.toStdString();
    }
    EXPECT_EQ(reports[0].description, reports[1].description);
    EXPECT_TRUE(form->Picture1->Picture().isNull());
    EXPECT_EQ(form->Picture1->image(), canvas);
    EXPECT_EQ(FieldTexts(*form), fields);
}

INSTANTIATE_TEST_SUITE_P(Files, HostilePng, ::testing::ValuesIn(hostileFiles),
                         [](const auto& info) { return std::string(info.param.name); });

// Text chunks that fit the file are still read with a bound: a zTXt that
// inflates to 64 MB gives the first 64 KiB of its text, and the picture
// opens.
TEST(PngTexts, ACompressedTextIsInflatedOnlyToItsBound)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bomb.png"));
    const QByteArray zeros = png::deflateRows(
        1024, [](int) { return QByteArray(1 << 16, 'a'); }, 9);
    writeAll(file, png::rgbPicture(8, 6, {png::chunk("zTXt", QByteArray("Bomb\0\0", 6) + zeros)}));
    const auto texts = tk::ReadPngTexts(file);
    ASSERT_EQ(texts.count(QStringLiteral("Bomb")), 1u);
    EXPECT_EQ(texts.at(QStringLiteral("Bomb")).size(), tk::MaxPngTextBytes);
    EXPECT_EQ(tk::LoadPicture(file).size(), QSize(8, 6));
}

// 16-bit colour decodes to 8 bytes a pixel: a picture of 16.8 megapixels,
// within the stated 32, opens.
TEST(PngLimits, SixteenBitColourOpensUpToTheStatedLimit)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("deep.png"));
    constexpr int side = 4100; // 16,810,000 pixels
    const QByteArray row = QByteArray(1 + side * 6, '\0');
    writeAll(file, png::Signature + png::header(side, side, 16, 2) +
                       png::chunk("IDAT", png::deflateRows(
                                              side, [&](int) { return row; }, 1)) +
                       png::chunk("IEND", {}));
    auto form = makeWindow();
    DialogAnswers answers({file});
    form->OpenMenu->trigger();
    const auto reports = takeReports();
    EXPECT_TRUE(reports.empty()) << reports.front().description.toStdString();
    EXPECT_EQ(form->Picture1->Picture().size(), QSize(side, side));
}

// What File > Open refuses before reading (a missing file, a folder, a named
// pipe, a socket, a device), Open View refuses with the same report, and
// never blocks on the pipe.
TEST(OpenView, RefusesWhatOpenRefusesInTheSameWords)
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    auto form = makeWindow();
    const QStringList fields = FieldTexts(*form);
    for (const QString& path : {dir.filePath(QStringLiteral("missing.png")), dir.path(), pipe,
                                QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(path.toStdString());
        DialogAnswers answers({path, path});
        form->OpenMenu->trigger();
        form->Features->Export->OpenViewMenu->trigger();
        const auto reports = takeReports();
        ASSERT_EQ(reports.size(), 2u);
        EXPECT_EQ(reports[1].number, reports[0].number);
        EXPECT_EQ(reports[1].description, reports[0].description);
        EXPECT_NE(reports[0].number, tk::ErrBadInput);
    }
    EXPECT_EQ(FieldTexts(*form), fields);
}

QString writeView(const QTemporaryDir& dir, const char* name, const QStringList& chunks)
{
    static const char* const keys[] = {"ZelmarXMin", "ZelmarXMax",    "ZelmarYMin",
                                       "ZelmarYMax", "ZelmarMaxIter", "ZelmarFields"};
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::black);
    for (int i = 0; i < chunks.size(); ++i)
        image.setText(QString::fromLatin1(keys[i]), chunks[i]);
    const QString file = dir.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(image.save(file, "png"));
    return file;
}

// Fields that do not read as the bounds are written from the bounds: the
// fields say what is drawn, and history and export carry the same.
TEST(OpenView, FieldsThatDoNotReadAsTheBoundsAreWrittenFromThem)
{
    QTemporaryDir dir;
    auto form = makeWindow();
    const explorer::PlaneView view{-0.75, -0.5, 0.1, 0.2875};
    for (const char* fields : {"100;200;300;400;500;600", "a;b;c;d;e;f", ";;;;;", "1e999;1;1;1;1;1",
                               "-0.75;-0.5;0.1;0.2875;0.25"}) {
        SCOPED_TRACE(fields);
        const QString file =
            writeView(dir, "view.png",
                      {"-0.75", "-0.5", "0.1", "0.2875", "300", QString::fromLatin1(fields)});
        DialogAnswers answers({file});
        form->Features->Export->OpenViewMenu->trigger();
        EXPECT_TRUE(takeReports().empty());
        EXPECT_EQ(FieldTexts(*form), explorer::FieldsFromBounds(view));
        EXPECT_EQ((explorer::PlaneView{form->XMin, form->XMax, form->YMin, form->YMax}), view);
        EXPECT_EQ(*form->Features->drawnView(), view);
        EXPECT_EQ(form->Features->drawnFields(), explorer::FieldsFromBounds(view));
        EXPECT_EQ(form->MaxIter, 300);
    }
    // Fields as the window shows them (15 digits) are kept as they are.
    const QStringList shown = {"-0.75", "-0.5", " .1", " .2875", " .25", " .1875"};
    const QString file =
        writeView(dir, "shown.png", {"-0.75", "-0.5", "0.1", "0.2875", "300", shown.join(';')});
    DialogAnswers answers({file});
    form->Features->Export->OpenViewMenu->trigger();
    EXPECT_TRUE(takeReports().empty());
    EXPECT_EQ(FieldTexts(*form), shown);
}

// A view whose extent is beyond the doubles: one message that names the
// file; the canvas, the fields, the bounds and the status line stay.
TEST(OpenView, AViewThatCannotBeDrawnIsOneMessageAndChangesNothing)
{
    QTemporaryDir dir;
    auto form = makeWindow();
    form->Command1_Click();
    const QImage canvas = form->Picture1->image();
    const QStringList fields = FieldTexts(*form);
    const QString status = form->Features->Status->text();
    const QString file =
        writeView(dir, "huge.png", {"-1e308", "1e308", "-1e308", "1e308", "256", "1e999;;;;;"});
    DialogAnswers answers({file});
    form->Features->Export->OpenViewMenu->trigger();
    const auto reports = takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, tk::ErrBadInput);
    EXPECT_TRUE(reports[0].description.contains(file));
    EXPECT_EQ(form->Picture1->image(), canvas);
    EXPECT_EQ(FieldTexts(*form), fields);
    EXPECT_EQ(form->XMin, -4);
    EXPECT_EQ(form->Features->Status->text(), status);
}

// Refusals that are no run-time error are plain warnings (no error number
// shown): a PNG without a view, Export before anything is drawn.
TEST(OpenView, RefusalsArePlainWarnings)
{
    QTemporaryDir dir;
    auto form = makeWindow();
    const QString plain = dir.filePath(QStringLiteral("plain.png"));
    ASSERT_TRUE(pattern(8, 6).save(plain, "png"));
    DialogAnswers answers({plain, dir.filePath(QStringLiteral("out"))});
    form->Features->Export->OpenViewMenu->trigger();
    form->Features->Export->ExportMenu->trigger();
    const auto reports = takeReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].number, tk::ErrBadInput);
    EXPECT_TRUE(reports[0].description.contains(plain));
    EXPECT_EQ(reports[1].number, tk::ErrBadInput);
    EXPECT_TRUE(reports[1].description.contains(QStringLiteral("Nothing to export")));
}

} // namespace
