// File > Open and File > Save with the dialog answered by the test: a round
// trip of a picture of another size than the canvas, the held file name,
// cancelled dialogs, and failures that must leave the window and the files
// as they were.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <deque>
#include <optional>

#include "dialog_answers.h"
#include "explorer_fixture.h"
#include "interaction.h"
#include "support/test_support.h"
#include "toolkit/common_dialog.h"
#include "toolkit/pictures.h"

using namespace testing_support;

namespace {

QImage rgb(const QImage& img)
{
    QImage out = img.convertToFormat(QImage::Format_RGB32);
    out.setDevicePixelRatio(1);
    return out;
}

// A 54-byte bitmap header claiming width x height pixels of 24 bits.
QByteArray bitmapHeader(qint32 width, qint32 height)
{
    QByteArray h(54, '\0');
    auto* p = reinterpret_cast<uchar*>(h.data());
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(54, p + 2);
    qToLittleEndian<quint32>(54, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(width, p + 18);
    qToLittleEndian<qint32>(height, p + 22);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(24, p + 28);
    return h;
}

TEST(CommonDialog, FilterBecomesQtNameFilters)
{
    using tk::CommonDialog;
    EXPECT_EQ(CommonDialog::toNameFilter("Pictures (*.bmp;*.dib)|*.bmp;*.dib"),
              "Pictures (*.bmp *.dib)");
    EXPECT_EQ(CommonDialog::toNameFilter("Windows Bitmap (*.bmp)|*.bmp|All files|*"),
              "Windows Bitmap (*.bmp);;All files (*)");
}

TEST(Pictures, OpenThenSaveRoundTripsAPictureOfAnotherSize)
{
    QTemporaryDir dir;
    const QString in = dir.filePath("in.dib"), out = dir.filePath("out.bmp");
    const QImage original = pattern(23, 57);
    ASSERT_TRUE(original.save(in, "BMP"));

    auto form = makeWindow();
    form->KeepRatio = explorer::False;
    const QStringList fields = fieldTexts(*form);
    DialogAnswers answers({in, out});
    form->OpenMenu->trigger();
    EXPECT_TRUE(takeReports().empty());
    EXPECT_EQ(rgb(form->Picture1->Picture()), original);
    EXPECT_EQ(form->Picture1->Width(), 40);
    EXPECT_EQ(form->Picture1->Height(), 30);
    // The canvas shows the picture from its top-left corner, clipped below,
    // and its background colour right of it.
    EXPECT_EQ(form->Picture1->image().pixel(22, 29), original.pixel(22, 29));
    EXPECT_EQ(form->Picture1->Point(30, 5), form->Picture1->BackColor());
    EXPECT_EQ((Bounds{-4, 4, -3, 3}), bounds(*form));
    EXPECT_EQ(fieldTexts(*form), fields);
    EXPECT_EQ(form->KeepRatio, explorer::False);

    form->Command1->click(); // the render covers the picture; Save still writes it
    form->SaveMenu->trigger();
    EXPECT_TRUE(takeReports().empty());

    ASSERT_EQ(answers.requests.size(), 2u);
    EXPECT_EQ(answers.requests[0].mode, tk::CommonDialog::Mode::Open);
    EXPECT_EQ(answers.requests[0].nameFilter, "Pictures (*.bmp *.dib);;PNG Pictures (*.png)");
    EXPECT_EQ(answers.requests[1].mode, tk::CommonDialog::Mode::Save);
    EXPECT_EQ(answers.requests[1].nameFilter, "Windows Bitmap (*.bmp)");
    // The dialog holds the last name, offered with the extension of what
    // Save writes.
    EXPECT_EQ(answers.requests[1].fileName, dir.filePath("in.bmp"));
    EXPECT_EQ(form->CommonDialog1.FileName(), out);
    EXPECT_EQ(readAll(out).left(2), "BM");
    EXPECT_EQ(rgb(QImage(out, "BMP")), original);
}

TEST(Pictures, SaveWithoutAnOpenedPictureWritesWhatTheCanvasShows)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("view.bmp");
    auto form = makeWindow();
    form->Command1->click();
    DialogAnswers answers({out});
    form->SaveMenu->trigger();
    EXPECT_TRUE(takeReports().empty());
    EXPECT_EQ(rgb(QImage(out, "BMP")), rgb(form->Picture1->image()));
    EXPECT_TRUE(showsReference(*form, reference::render({-4, 4, -3, 3}, 40, 30)));
}

TEST(Pictures, CancelledDialogsDoNothing)
{
    QTemporaryDir dir;
    const QString in = dir.filePath("in.bmp");
    ASSERT_TRUE(pattern(8, 8).save(in, "BMP"));
    auto form = makeWindow();
    DialogAnswers answers({in, std::nullopt, std::nullopt});
    form->OpenMenu->trigger();
    const QImage picture = form->Picture1->Picture();

    form->OpenMenu->trigger();
    form->SaveMenu->trigger();
    EXPECT_TRUE(takeReports().empty());
    EXPECT_EQ(form->CommonDialog1.FileName(), in);
    EXPECT_EQ(form->Picture1->Picture(), picture);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"in.bmp"});
}

struct BadFile {
    const char* name;
    int error;
    const char* message; // a part of the report
};

class OpenFailure : public ::testing::TestWithParam<BadFile> {};

// A failed Open is reported and leaves the earlier picture and the size.
TEST_P(OpenFailure, IsReportedAndLeavesThePicture)
{
    const BadFile& bad = GetParam();
    QTemporaryDir dir;
    const QString good = dir.filePath("good.bmp");
    ASSERT_TRUE(pattern(16, 9).save(good, "BMP"));
    writeAll(dir.filePath("garbage.bmp"), QByteArray("BM") + QByteArray(200, '\x7f'));
    writeAll(dir.filePath("text.bmp"), "not a picture at all, just some words\n");
    writeAll(dir.filePath("truncated.bmp"), readAll(good).left(60));
    writeAll(dir.filePath("huge.bmp"), bitmapHeader(100000, 100000) + QByteArray(64, '\0'));
    writeAll(dir.filePath("tall.bmp"), bitmapHeader(4, -40000) + QByteArray(64, '\0'));
    QDir(dir.path()).mkdir("folder.bmp");

    auto form = makeWindow();
    const QString path = dir.filePath(QString::fromLatin1(bad.name));
    DialogAnswers answers({good, path});
    form->OpenMenu->trigger();
    ASSERT_TRUE(takeReports().empty());
    const QImage before = form->Picture1->Picture();
    const QImage shown = form->Picture1->image().copy();

    form->OpenMenu->trigger();
    const auto reports = takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, bad.error);
    EXPECT_TRUE(reports[0].description.contains(path)) << reports[0].description.toStdString();
    EXPECT_TRUE(reports[0].description.contains(QString::fromLatin1(bad.message)))
        << reports[0].description.toStdString();
    EXPECT_EQ(form->Picture1->Picture(), before);
    EXPECT_EQ(form->Picture1->image(), shown);
    EXPECT_EQ(form->Picture1->Width(), 40);
    EXPECT_EQ(form->Picture1->Height(), 30);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenFailure,
    ::testing::Values(BadFile{"missing.bmp", tk::ErrFileNotFound, "File not found"},
                      BadFile{"garbage.bmp", tk::ErrInvalidPicture, "Invalid picture"},
                      BadFile{"text.bmp", tk::ErrInvalidPicture, "not a Windows bitmap"},
                      BadFile{"truncated.bmp", tk::ErrInvalidPicture, "cut short"},
                      BadFile{"huge.bmp", tk::ErrInvalidPicture, "100000 x 100000 pixels"},
                      BadFile{"tall.bmp", tk::ErrInvalidPicture, "4 x 40000 pixels"},
                      BadFile{"folder.bmp", tk::ErrPathFileAccess, "folder"}),
    [](const auto& info) {
        std::string n = info.param.name;
        return n.substr(0, n.find('.'));
    });

TEST(Pictures, SaveToAnUnwritablePathIsReported)
{
    QTemporaryDir dir;
    auto form = makeWindow();
    form->Command1->click();
    const QString path = dir.filePath("no/such/folder/out.bmp");
    DialogAnswers answers({path, dir.path()});
    form->SaveMenu->trigger();
    form->SaveMenu->trigger(); // a folder's name
    const auto reports = takeReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].number, tk::ErrPathFileAccess);
    EXPECT_TRUE(reports[0].description.contains(path));
    EXPECT_EQ(reports[1].number, tk::ErrPathFileAccess);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

// Writes stop at the file-size limit, as on a full disk: the save fails
// after it has begun writing, and the file it would replace is intact.
TEST(Pictures, FailedSaveLeavesTheExistingFileIntact)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("keep.bmp");
    const QByteArray precious("precious bytes");
    writeAll(target, precious);
    auto form = makeWindow();
    form->Command1->click();
    DialogAnswers answers({target, target});

    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1000; // the 40 x 30 picture needs about 3.6 KB
    setrlimit(RLIMIT_FSIZE, &small);
    form->SaveMenu->trigger();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    const auto reports = takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, tk::ErrPathFileAccess);
    EXPECT_EQ(readAll(target), precious);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.bmp"})
        << "the temporary file was left behind";

    form->SaveMenu->trigger(); // without the limit the same save replaces it
    EXPECT_TRUE(takeReports().empty());
    EXPECT_EQ(rgb(QImage(target, "BMP")), rgb(form->Picture1->image()));
}

} // namespace
