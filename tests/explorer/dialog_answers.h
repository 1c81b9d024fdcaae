// Helpers for the tests of File > Open and File > Save: file dialogs
// answered from a queue, and whole-file reads and writes.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "toolkit/common_dialog.h"

namespace testing_support {

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
