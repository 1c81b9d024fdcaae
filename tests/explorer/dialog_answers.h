// Helpers for the tests of File > Open and File > Save: a small window, a
// test picture, file dialogs answered from a queue, whole-file reads and writes.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "explorer_fixture.h"
#include "toolkit/common_dialog.h"

namespace testing_support {

// A canvas of 40 x 30 on a "screen" 40 pixels high, so that Open's resize
// back to the start-up size keeps it.
inline std::unique_ptr<explorer::Form1> makeWindow()
{
    auto form = makeExplorer(40, 30);
    form->ScreenH = 40;
    return form;
}

// A picture whose every pixel differs from its neighbours.
inline QImage pattern(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 11 % 256, y * 13 % 256, (x * y) % 256));
    return img;
}

// Answers the file dialogs in turn from a queue (nullopt = Cancel) and
// records what each was asked.
class DialogAnswers {
public:
    explicit DialogAnswers(std::deque<std::optional<QString>> answers)
        : answers_(std::move(answers))
    {
        previous_ = tk::CommonDialog::setAnswerer([this](const tk::CommonDialog::Request& r) {
            requests.push_back(r);
            std::optional<QString> a;
            if (!answers_.empty()) {
                a = answers_.front();
                answers_.pop_front();
            }
            return a;
        });
    }
    ~DialogAnswers() { tk::CommonDialog::setAnswerer(previous_); }
    DialogAnswers(const DialogAnswers&) = delete;
    DialogAnswers& operator=(const DialogAnswers&) = delete;
    std::vector<tk::CommonDialog::Request> requests;

private:
    std::deque<std::optional<QString>> answers_;
    tk::CommonDialog::Answerer previous_;
};

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

} // namespace testing_support
