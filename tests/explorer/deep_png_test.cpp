// Deep views through PNG files: bounds of tens of thousands of digits come
// back whole from Export View's chunks; bounds longer than the fields take
// and views deeper than the explorer draws are refused in words; text
// chunks keep their limits, the deep ones theirs, and a deep chunk that
// inflates without end is refused without being held.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "explorer/engine/deep/deep_view.h"
#include "explorer/view_file.h"
#include "explorer/view_picture.h"
#include "png_files.h"
#include "toolkit/pictures.h"
#include "toolkit/png_check.h"
#include "toolkit/runtime_error.h"

namespace png = testing_support::png;
using explorer::deep::DeepView;

namespace {

// Pseudo-random decimal digits (they compress about as real bounds do).
std::string digits(std::size_t n, std::uint32_t seed)
{
    std::string d(n, '0');
    for (char& c : d) {
        seed = seed * 1664525u + 1013904223u;
        c = char('0' + (seed >> 16) % 10);
    }
    return d;
}

// A 4:3 view about 0.3 + 0.6i whose bounds first differ at decimal place
// `place`, each with `length` decimals.
DeepView longView(int place, int length)
{
    const std::string tail = digits(std::size_t(length), 7);
    const auto bound = [&](char lead, char atPlace) {
        std::string s = "0." + tail;
        s[2] = lead;
        s[std::size_t(place + 1)] = atPlace;
        return s;
    };
    auto v = DeepView::fromText(bound('3', '1'), bound('3', '5'), bound('6', '1'), bound('6', '4'));
    if (!v)
        throw std::runtime_error("the test's view is refused");
    return *v;
}

// The picture Export View writes for `view` (levels of no matter).
QImage exported(const DeepView& view)
{
    std::vector<std::uint8_t> levels(8 * 6, 1);
    std::int32_t palette[256] = {};
    const explorer::PlaneView doubles{
        mpfr_get_d(view.xMin().get(), MPFR_RNDN), mpfr_get_d(view.xMax().get(), MPFR_RNDN),
        mpfr_get_d(view.yMin().get(), MPFR_RNDN), mpfr_get_d(view.yMax().get(), MPFR_RNDN)};
    return explorer::ViewPicture(levels.data(), nullptr, 8, 6, palette,
                                 {doubles, 100, explorer::FieldsOfDeepView(view), view});
}

struct Depth {
    const char* name;
    int place, length;
};

const Depth Depths[] = {
    {"At1e300", 300, 310},
    {"At1e20000", 20000, 20010},
    // Longer than 64 KiB even once compressed, near the fields' limit.
    {"At1e99000With180000Digits", 99000, 180000},
};

class DeepPngRoundTrip : public ::testing::TestWithParam<Depth> {};

TEST_P(DeepPngRoundTrip, OpenViewReadsEveryDigitBack)
{
    const DeepView view = longView(GetParam().place, GetParam().length);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("deep.png"));
    tk::SavePicture(exported(view), file, "png");
    const auto saved = explorer::ReadSavedView(file);
    ASSERT_TRUE(saved && saved->deep) << "Open View read no deep view back";
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(saved->deep->boundText(i).size(), view.boundText(i).size()) << "bound " << i;
        EXPECT_EQ(saved->deep->boundText(i), view.boundText(i)) << "bound " << i;
    }
    EXPECT_TRUE(mpfr_equal_p(saved->deep->xMin().get(), view.xMin().get()));
    EXPECT_TRUE(mpfr_equal_p(saved->deep->yMax().get(), view.yMax().get()));
    // What a reader with only the common limit gets: the longest case is
    // skipped or cut (so this case tests the deep chunks' own limit).
    if (view.boundText(0).size() > std::size_t(tk::MaxPngTextBytes)) {
        const auto plain = tk::ReadPngTexts(file);
        const auto it = plain.find(QStringLiteral("ZelmarDeepXMin"));
        EXPECT_TRUE(it == plain.end() || std::size_t(it->second.size()) < view.boundText(0).size());
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, DeepPngRoundTrip, ::testing::ValuesIn(Depths),
                         [](const auto& info) { return std::string(info.param.name); });

// A file whose deep chunks say what the explorer cannot take.
QString fileWith(const QTemporaryDir& dir, const char* name, const std::string& xMin,
                 const std::string& xMax, const std::string& yMin, const std::string& yMax)
{
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(0);
    const std::pair<const char*, std::string> texts[] = {
        {"ZelmarXMin", "0"},      {"ZelmarXMax", "1"},      {"ZelmarYMin", "0"},
        {"ZelmarYMax", "1"},      {"ZelmarMaxIter", "100"}, {"ZelmarDeepXMin", xMin},
        {"ZelmarDeepXMax", xMax}, {"ZelmarDeepYMin", yMin}, {"ZelmarDeepYMax", yMax}};
    for (const auto& [key, text] : texts)
        image.setText(QString::fromLatin1(key), QString::fromStdString(text));
    const QString file = dir.filePath(QString::fromLatin1(name));
    tk::SavePicture(image, file, "png");
    return file;
}

struct Refusal {
    const char* name;
    std::string xMin, xMax, yMin, yMax;
    const char* why;
};

const Refusal Refusals[] = {
    {"BoundLongerThanTheFields", "0." + digits(200100, 3), "1", "0", "1",
     "more than 200000 characters"},
    {"DeeperThan1e100000", "0", "1e-100001", "0", "1e-100001",
     "deeper than a magnification of 1e100000"},
    {"NotANumber", "0", "1", "0", "one", "YMax is not a number"},
};

class DeepPngRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(DeepPngRefusal, OpenViewRefusesInWordsRatherThanReadingLess)
{
    QTemporaryDir dir;
    const Refusal& r = GetParam();
    const QString file = fileWith(dir, "view.png", r.xMin, r.xMax, r.yMin, r.yMax);
    try {
        explorer::ReadSavedView(file);
        ADD_FAILURE() << "the view was read";
    } catch (const tk::RuntimeError& e) {
        EXPECT_TRUE(e.description().contains(QString::fromLatin1(r.why)))
            << e.description().toStdString();
        EXPECT_TRUE(e.description().contains(file)) << e.description().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, DeepPngRefusal, ::testing::ValuesIn(Refusals),
                         [](const auto& info) { return std::string(info.param.name); });

// The toolkit's limits for long texts: each up to its own size, all of them
// together up to the total, every other text to the common 64 KiB; over a
// limit the keyword is noted and a long text not kept at all.
struct TextCase {
    const char* name;
    const char* type;
    QByteArray key;
    int size; // characters of '7'
    bool kept, overlong;
};

const TextCase TextCases[] = {
    {"LongTextWithinItsLimit", "zTXt", "Long1", 1000, true, false},
    {"LongTextUncompressed", "tEXt", "Long1", 1000, true, false},
    {"LongTextOverItsLimit", "zTXt", "Long1", 1001, false, true},
    {"LongTextOverItsLimitUncompressed", "iTXt", "Long1", 1001, false, true},
    {"OtherTextCutAt64KiB", "zTXt", "Comment", tk::MaxPngTextBytes + 1, true, true},
    {"OtherTextWithin64KiB", "tEXt", "Comment", 2000, true, false},
};

class LongPngTextLimits : public ::testing::TestWithParam<TextCase> {};

TEST_P(LongPngTextLimits, EachTextKeepsItsLimit)
{
    const TextCase& c = GetParam();
    const tk::LongPngTexts limits{{QStringLiteral("Long1"), QStringLiteral("Long2")}, 1000, 1500};
    const QByteArray file =
        png::rgbPicture(8, 6, {png::textChunk(c.type, c.key, QByteArray(c.size, '7'))});
    const tk::CheckedPng checked = tk::CheckPng(file, QStringLiteral("t.png"), limits);
    const QString key = QString::fromLatin1(c.key);
    EXPECT_EQ(checked.texts.count(key), c.kept ? 1u : 0u);
    EXPECT_EQ(checked.overlongTexts.count(key), c.overlong ? 1u : 0u);
    if (c.kept) {
        EXPECT_EQ(checked.texts.at(key).size(),
                  std::min<qsizetype>(c.size, c.overlong ? tk::MaxPngTextBytes : c.size));
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, LongPngTextLimits, ::testing::ValuesIn(TextCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LongPngTexts, TheTotalBoundsAllLongTextsTogether)
{
    const tk::LongPngTexts limits{{QStringLiteral("Long1"), QStringLiteral("Long2")}, 1000, 1500};
    const QByteArray file =
        png::rgbPicture(8, 6,
                        {png::textChunk("zTXt", "Long1", QByteArray(1000, '1')),
                         png::textChunk("zTXt", "Long2", QByteArray(1000, '2'))});
    const tk::CheckedPng checked = tk::CheckPng(file, QStringLiteral("t.png"), limits);
    EXPECT_EQ(checked.texts.at(QStringLiteral("Long1")).size(), 1000);
    EXPECT_EQ(checked.texts.count(QStringLiteral("Long2")), 0u);
    EXPECT_EQ(checked.overlongTexts.count(QStringLiteral("Long2")), 1u);
}

// A deep chunk that inflates to 64 MB: Open View refuses the file in words,
// having inflated no more than the deep chunks' limit.
TEST(LongPngTexts, ADeepChunkBombIsRefused)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bomb.png"));
    const QByteArray ones = png::deflateRows(
        1024, [](int) { return QByteArray(1 << 16, '1'); }, 9);
    QList<QByteArray> chunks{png::chunk("zTXt", QByteArray("ZelmarDeepXMin\0\0", 16) + ones)};
    for (const char* key : {"ZelmarXMin", "ZelmarYMin"})
        chunks << png::textChunk("tEXt", key, "0");
    for (const char* key : {"ZelmarXMax", "ZelmarYMax"})
        chunks << png::textChunk("tEXt", key, "1");
    chunks << png::textChunk("tEXt", "ZelmarMaxIter", "100");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(png::rgbPicture(8, 6, chunks));
    out.close();
    try {
        explorer::ReadSavedView(file);
        ADD_FAILURE() << "the view was read";
    } catch (const tk::RuntimeError& e) {
        EXPECT_TRUE(e.description().contains(QStringLiteral("more than 200000 characters")))
            << e.description().toStdString();
    }
    // Without the deep limits it is any other text, cut at 64 KiB.
    EXPECT_EQ(tk::ReadPngTexts(file).at(QStringLiteral("ZelmarDeepXMin")).size(),
              tk::MaxPngTextBytes);
}

} // namespace
