// A started calculator window for the tests, shown and active so that focus
// moves and simulated keys reach it as they would reach the user's window.
#pragma once

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "calculator/form1.h"
#include "support/test_support.h"

class CalculatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::takeReports();
        form = std::make_unique<calculator::Form1>();
        form->start();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    void TearDown() override { form.reset(); }

    // Enters the field as with the Tab key, which selects its whole text,
    // and types over it key by key.
    void type(tk::TextBox* box, const QString& text)
    {
        if (box->hasFocus())
            form->Command1->setFocus(Qt::TabFocusReason);
        box->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(box->hasFocus());
        ASSERT_EQ(box->selectedText(), box->text());
        QTest::keyClicks(box, text);
    }

public:
    // The same, for helpers outside the fixture.
    void typeInto(tk::TextBox* box, const QString& text) { type(box, text); }

protected:
    void compute() { QTest::mouseClick(form->Command2, Qt::LeftButton); }
    void reset() { QTest::mouseClick(form->Command1, Qt::LeftButton); }

    // Types the three given terms (an empty text leaves that field alone),
    // presses Compute and returns what the missing field shows.
    QString solve(const QString& loan, const QString& rate, const QString& months,
                  const QString& payment)
    {
        const std::pair<tk::TextBox*, QString> given[] = {{form->Text1, loan},
                                                          {form->Text2, rate},
                                                          {form->Text3, months},
                                                          {form->Text4, payment}};
        tk::TextBox* missing = nullptr;
        for (const auto& [box, text] : given) {
            if (text.isEmpty())
                missing = box;
            else
                type(box, text);
        }
        EXPECT_NE(missing, nullptr);
        if (!missing)
            return {};
        EXPECT_FALSE(missing->isEnabled());
        EXPECT_EQ(missing->text(), QStringLiteral("Press Compute"));
        compute();
        return missing->text();
    }

    std::unique_ptr<calculator::Form1> form;
};
