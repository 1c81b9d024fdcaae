// Files that File > Open and File > Save must refuse, through the window:
// named pipes, sockets and devices (opening a pipe blocks until a writer
// comes), bitmaps whose run-length data is cut short or garbled, pixel data
// outside the file or inside the headers, saves beyond the file-size limit,
// and the message box that follows a file dialog.
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dialog_answers.h"
#include "explorer_fixture.h"
#include "support/test_support.h"
#include "toolkit/runtime_error.h"

using namespace testing_support;

namespace {

// What the window shows and holds before a failed Open; a failed Open must
// leave all of it.
struct CanvasState {
    QImage picture, shown;
    int width, height;
    bool operator==(const CanvasState&) const = default;
};

CanvasState canvasState(const explorer::Form1& form)
{
    return {form.Picture1->Picture(), form.Picture1->image().copy(), form.Picture1->Width(),
            form.Picture1->Height()};
}

// Opens `path` after a good picture and returns the one report it gave.
Report openAndReport(explorer::Form1& form, const QString& good, const QString& path)
{
    DialogAnswers answers({good, path});
    form.OpenMenu->trigger();
    EXPECT_TRUE(takeReports().empty());
    const CanvasState before = canvasState(form);
    form.OpenMenu->trigger();
    auto reports = takeReports();
    EXPECT_TRUE(canvasState(form) == before) << "the canvas changed";
    if (reports.size() != 1) {
        ADD_FAILURE() << reports.size() << " reports for " << path.toStdString();
        return {0, QString()};
    }
    return reports[0];
}

// ---- special files -------------------------------------------------------

// Binds a Unix socket at `path` (closed when the test ends; the name stays).
struct SocketFile {
    explicit SocketFile(const QString& path)
    {
        fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(addr.sun_path, name.constData(),
                    std::min(std::size_t(name.size()), sizeof addr.sun_path - 1));
        bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~SocketFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int fd = -1;
    bool bound = false;
};

// Should Open block in open() on the pipe, this opens the pipe's other end
// after a few seconds, so that the test fails instead of hanging.
class PipeUnblocker {
public:
    explicit PipeUnblocker(const QString& pipe) : pipe_(QFile::encodeName(pipe))
    {
        thread_ = std::thread([this] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!done_ && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (done_)
                return;
            const int fd = ::open(pipe_.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                unblocked = true;
                ::close(fd);
            }
        });
    }
    ~PipeUnblocker()
    {
        done_ = true;
        thread_.join();
    }
    std::atomic<bool> unblocked{false};

private:
    QByteArray pipe_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

TEST(SpecialFiles, OpenRefusesPipesSocketsAndDevicesWithoutOpeningThem)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.bmp");
    ASSERT_TRUE(pattern(16, 9).save(good, "BMP"));
    const QString pipe = dir.filePath("pipe.bmp");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString socket = dir.filePath("socket.bmp");
    SocketFile socketFile(socket);
    ASSERT_TRUE(socketFile.bound);
    auto form = makeWindow();

    {
        PipeUnblocker unblocker(pipe);
        const Report report = openAndReport(*form, good, pipe);
        EXPECT_FALSE(unblocker.unblocked) << "Open blocked in open() on the named pipe";
        EXPECT_EQ(report.number, tk::ErrPathFileAccess);
        EXPECT_TRUE(report.description.contains(pipe + "' is a named pipe, not a file"))
            << report.description.toStdString();
    }
    struct Case {
        QString path;
        const char* kind;
    };
    for (const Case& c :
         {Case{socket, "a socket"}, Case{"/dev/zero", "a character device"},
          Case{"/dev/urandom", "a character device"}, Case{"/dev/null", "a character device"}}) {
        SCOPED_TRACE(c.path.toStdString());
        const Report report = openAndReport(*form, good, c.path);
        EXPECT_EQ(report.number, tk::ErrPathFileAccess);
        EXPECT_TRUE(report.description.contains(QStringLiteral("is %1, not a file").arg(c.kind)))
            << report.description.toStdString();
    }
}

TEST(SpecialFiles, SaveRefusesAPipeOrSocketAndFollowsALinkToAFile)
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath("pipe.bmp");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString socket = dir.filePath("socket.bmp");
    SocketFile socketFile(socket);
    ASSERT_TRUE(socketFile.bound);
    const QString linkToPipe = dir.filePath("link-to-pipe.bmp");
    ASSERT_TRUE(QFile::link(pipe, linkToPipe));
    const QString real = dir.filePath("real.bmp"), link = dir.filePath("link.bmp");
    writeAll(real, "old contents");
    ASSERT_TRUE(QFile::link(real, link));

    auto form = makeWindow();
    form->Command1->click();
    DialogAnswers answers({pipe, socket, linkToPipe, link});
    for (const char* kind : {"a named pipe", "a socket", "a named pipe"}) {
        form->SaveMenu->trigger();
        const auto reports = takeReports();
        ASSERT_EQ(reports.size(), 1u) << kind;
        EXPECT_EQ(reports[0].number, tk::ErrPathFileAccess);
        EXPECT_TRUE(
            reports[0].description.contains(QStringLiteral("it is %1, not a file").arg(kind)))
            << reports[0].description.toStdString();
    }
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(pipe).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the pipe was replaced";
    ASSERT_EQ(::lstat(QFile::encodeName(socket).constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode)) << "the socket was replaced";
    ASSERT_EQ(::lstat(QFile::encodeName(linkToPipe).constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // A link to a regular file: the file is replaced, the link kept.
    form->SaveMenu->trigger();
    EXPECT_TRUE(takeReports().empty());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), real);
    EXPECT_EQ(QImage(real, "BMP").convertToFormat(QImage::Format_RGB32),
              form->Picture1->image().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 5)
        << "a temporary file was left behind";
}

// With the file-size limit's signal at its default action, a save beyond the
// limit would end the program; it is reported like a full disk instead.
TEST(SpecialFilesDeathTest, SaveBeyondTheFileSizeLimitIsReportedNotFatal)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QTemporaryDir dir;
    const QString target = dir.filePath("keep.bmp");
    writeAll(target, "precious bytes");
    EXPECT_EXIT(
        {
            std::signal(SIGXFSZ, SIG_DFL);
            auto form = makeWindow();
            form->Command1->click();
            DialogAnswers answers({target});
            rlimit small{};
            getrlimit(RLIMIT_FSIZE, &small);
            small.rlim_cur = 1000; // the 40 x 30 picture needs about 3.6 KB
            setrlimit(RLIMIT_FSIZE, &small);
            form->SaveMenu->trigger();
            const auto reports = takeReports();
            const bool reported = reports.size() == 1 && reports[0].number == tk::ErrPathFileAccess;
            const bool kept = readAll(target) == "precious bytes";
            const bool clean = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() == 1;
            std::fprintf(stderr, "reported %d kept %d clean %d\n", reported, kept, clean);
            std::_Exit(reported && kept && clean ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "reported 1 kept 1 clean 1");
}

// ---- bitmaps with bad pixel data ----------------------------------------

// A picture of palette indices, row 0 at the top: runs of equal values on
// even rows, values changing at every pixel on odd ones, so that both
// encoded and absolute runs are written.
struct IndexedPicture {
    int width, height, colours;
    std::vector<quint8> index;
    quint8 at(int x, int y) const { return index[std::size_t(y) * std::size_t(width) + x]; }
    QRgb colour(int i) const { return qRgb(i * 255 / colours, 255 - i * 7 % 256, i * 40 % 256); }
};

IndexedPicture samplePicture(int width, int height, int colours)
{
    IndexedPicture pic{width, height, colours, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pic.index.push_back(quint8(y % 2 == 0 ? (x / 5 + y) % colours : (x * 7 + y) % colours));
    return pic;
}

// Run-length encodes the rows bottom-up, each row ended by an end-of-line
// except the last, which the end-of-bitmap marker ends. `padded` writes
// what some encoders write: each row padded to a multiple of four pixels by
// an encoded run past its end, every row ended by an end-of-line, and the
// marker after them.
QByteArray encodeRunLength(const IndexedPicture& pic, bool nibbles, bool padded = false)
{
    QByteArray out;
    for (int stored = 0; stored < pic.height; ++stored) {
        const int y = pic.height - 1 - stored;
        int x = 0;
        while (x < pic.width) {
            int run = 1;
            while (x + run < pic.width && run < 255 && pic.at(x + run, y) == pic.at(x, y))
                ++run;
            int n = 0; // pixels before the next run of three equal ones
            while (x + n < pic.width && n < 255 &&
                   !(x + n + 2 < pic.width && pic.at(x + n, y) == pic.at(x + n + 1, y) &&
                     pic.at(x + n, y) == pic.at(x + n + 2, y)))
                ++n;
            if (run >= 3 || n < 3) {
                const quint8 v = pic.at(x, y);
                out += char(run);
                out += char(nibbles ? v << 4 | v : v);
                x += run;
                continue;
            }
            out += char(0);
            out += char(n);
            QByteArray bytes;
            for (int i = 0; i < n; i += nibbles ? 2 : 1)
                bytes += nibbles
                             ? char(pic.at(x + i, y) << 4 | (i + 1 < n ? pic.at(x + i + 1, y) : 0))
                             : char(pic.at(x + i, y));
            if (bytes.size() % 2)
                bytes += char(0);
            out += bytes;
            x += n;
        }
        if (padded && pic.width % 4 != 0) {
            out += char(4 - pic.width % 4);
            out += char(0);
        }
        if (padded || stored + 1 < pic.height)
            out += QByteArray("\0\0", 2);
    }
    return out + QByteArray("\0\1", 2);
}

// A complete bitmap file: file header, 40-byte info header, colour table
// and the pixel data as given.
QByteArray bitmapFile(int width, int height, int bits, int compression, int colours,
                      const QByteArray& data, const std::function<QRgb(int)>& colour)
{
    QByteArray file(54, '\0');
    auto* p = reinterpret_cast<uchar*>(file.data());
    p[0] = 'B';
    p[1] = 'M';
    const quint32 offset = 54 + 4 * quint32(colours);
    qToLittleEndian<quint32>(offset + quint32(data.size()), p + 2);
    qToLittleEndian<quint32>(offset, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(width, p + 18);
    qToLittleEndian<qint32>(height, p + 22);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(quint16(bits), p + 28);
    qToLittleEndian<quint32>(quint32(compression), p + 30);
    qToLittleEndian<quint32>(quint32(data.size()), p + 34);
    qToLittleEndian<quint32>(quint32(colours), p + 46);
    for (int i = 0; i < colours; ++i) {
        const QRgb c = colour(i);
        file += char(qBlue(c));
        file += char(qGreen(c));
        file += char(qRed(c));
        file += char(0);
    }
    return file + data;
}

QByteArray runLengthFile(const IndexedPicture& pic, bool nibbles, bool padded = false)
{
    return bitmapFile(pic.width, pic.height, nibbles ? 4 : 8, nibbles ? 2 : 1, pic.colours,
                      encodeRunLength(pic, nibbles, padded), [&](int i) { return pic.colour(i); });
}

const IndexedPicture Rle8Sample = samplePicture(63, 40, 16);
const IndexedPicture Rle4Sample = samplePicture(61, 40, 16);

TEST(RunLengthBitmaps, WellFormedOnesLoadPixelForPixel)
{
    QTemporaryDir dir;
    auto form = makeWindow();
    for (const auto& [nibbles, padded] : {std::pair{false, false}, std::pair{true, false},
                                          std::pair{false, true}, std::pair{true, true}}) {
        SCOPED_TRACE(std::string(nibbles ? "RLE4" : "RLE8") + (padded ? ", padded rows" : ""));
        const IndexedPicture& pic = nibbles ? Rle4Sample : Rle8Sample;
        const QString path = dir.filePath(nibbles ? "rle4.bmp" : "rle8.bmp");
        writeAll(path, runLengthFile(pic, nibbles, padded));
        DialogAnswers answers({path});
        form->OpenMenu->trigger();
        ASSERT_TRUE(takeReports().empty());
        const QImage loaded = form->Picture1->Picture();
        ASSERT_EQ(loaded.size(), QSize(pic.width, pic.height));
        int differing = 0;
        for (int y = 0; y < pic.height; ++y)
            for (int x = 0; x < pic.width; ++x)
                differing += loaded.pixel(x, y) != pic.colour(pic.at(x, y));
        EXPECT_EQ(differing, 0);
    }
}

struct BadBitmap {
    std::string name;
    std::function<QByteArray()> contents;
    const char* message; // a part of the report
};

void PrintTo(const BadBitmap& b, std::ostream* os)
{
    *os << b.name;
}

QByteArray cutTo(const QByteArray& file, int eighths)
{
    return file.left(file.size() * eighths / 8);
}

QByteArray withPixelOffset(QByteArray file, quint32 offset)
{
    qToLittleEndian<quint32>(offset, reinterpret_cast<uchar*>(file.data()) + 10);
    return file;
}

// Eight pixels wide, 16 colours: one row whose absolute run claims 12.
QByteArray absoluteRunPastTheRow(bool nibbles)
{
    QByteArray data("\0\x0c", 2);
    data += QByteArray(nibbles ? 6 : 12, '\x11');
    data += QByteArray("\0\0\x08\x02\0\1", 6);
    return bitmapFile(8, 2, nibbles ? 4 : 8, nibbles ? 2 : 1, 16, data,
                      [](int i) { return qRgb(i * 16, i * 16, i * 16); });
}

QByteArray uncompressed()
{
    QByteArray file;
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    pattern(12, 9).save(&buffer, "BMP");
    return file;
}

class MalformedBitmap : public ::testing::TestWithParam<BadBitmap> {};

// Qt's reader would show each of these as a partly blank or garbled picture
// without complaint.
TEST_P(MalformedBitmap, IsRefusedAndLeavesThePicture)
{
    const BadBitmap& bad = GetParam();
    QTemporaryDir dir;
    const QString good = dir.filePath("good.bmp");
    ASSERT_TRUE(pattern(16, 9).save(good, "BMP"));
    const QString path = dir.filePath(QString::fromStdString(bad.name) + ".bmp");
    writeAll(path, bad.contents());
    auto form = makeWindow();
    const Report report = openAndReport(*form, good, path);
    EXPECT_EQ(report.number, tk::ErrInvalidPicture);
    EXPECT_TRUE(report.description.contains(path + "' " + bad.message))
        << report.description.toStdString();
}

std::vector<BadBitmap> malformedBitmaps()
{
    std::vector<BadBitmap> cases;
    for (bool nibbles : {false, true}) {
        const std::string kind = nibbles ? "rle4" : "rle8";
        const IndexedPicture* pic = nibbles ? &Rle4Sample : &Rle8Sample;
        for (int eighths = 4; eighths <= 7; ++eighths) {
            cases.push_back({kind + "_cut_to_" + std::to_string(eighths) + "_eighths",
                             [=] { return cutTo(runLengthFile(*pic, nibbles), eighths); },
                             "is cut short"});
        }
        cases.push_back({kind + "_without_end_marker",
                         [=] { return runLengthFile(*pic, nibbles).chopped(2); }, "is cut short"});
        cases.push_back({kind + "_absolute_run_past_the_row",
                         [=] { return absoluteRunPastTheRow(nibbles); },
                         "is not a Windows bitmap"});
    }
    cases.push_back({"rle8_pixel_offset_far_beyond_the_file",
                     [] {
                         const QByteArray file = withPixelOffset(
                             runLengthFile(samplePicture(46, 32, 16), false), 0x7FFFFFF0);
                         EXPECT_GT(file.size(), 1000);
                         EXPECT_LT(file.size(), 1400);
                         return file;
                     },
                     "is cut short"});
    cases.push_back({"uncompressed_pixel_offset_inside_the_header",
                     [] { return withPixelOffset(uncompressed(), 20); },
                     "is not a Windows bitmap"});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Files, MalformedBitmap, ::testing::ValuesIn(malformedBitmaps()),
                         [](const auto& info) { return info.param.name; });

// ---- the message after a file dialog ------------------------------------

// The platform's dialog takes the activation with it when it closes, and
// the window manager hands it back to the window only later: the message
// box of a failed Open comes up while no window is active. It must still
// carry the window's title and be modal to the window.
TEST(FileMessages, BoxAfterAFileDialogCarriesTheWindowsTitleAndIsModalToIt)
{
    QTemporaryDir dir;
    auto form = makeWindow();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const tk::CommonDialog::Answerer previousAnswerer =
        tk::CommonDialog::setAnswerer([&](const tk::CommonDialog::Request&) {
            auto* dialog = new QDialog(form.get());
            dialog->show();
            dialog->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
            delete dialog;
            // What the X server says once the dialog is gone, until the
            // window manager activates the window again (the offscreen
            // platform would hand the activation back at once).
            QApplication::setActiveWindow(nullptr);
            return std::optional<QString>(dir.filePath("missing.bmp"));
        });
    const tk::ErrorReporter recorder = tk::setErrorReporter({}); // the real message box

    bool seen = false;
    QString title;
    QWidget* parent = nullptr;
    Qt::WindowModality modality = Qt::NonModal;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = true;
        title = box->windowTitle();
        parent = box->parentWidget();
        modality = box->windowModality();
        box->done(0);
    });
    poll.start(10);
    // Never hang on a box the poll does not recognise.
    QTimer::singleShot(10000, [&] {
        poll.stop();
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    form->OpenMenu->trigger();
    poll.stop();
    tk::setErrorReporter(recorder);
    tk::CommonDialog::setAnswerer(previousAnswerer);

    ASSERT_TRUE(seen);
    EXPECT_EQ(title, form->windowTitle());
    EXPECT_EQ(parent, form.get());
    EXPECT_NE(modality, Qt::NonModal);
}

} // namespace
