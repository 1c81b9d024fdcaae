// The fields' conversions and Compute's checks of the given terms.
#include "given_terms.h"

#include "form1.h"
#include "typed_money.h"

#include "toolkit/numbers.h"
#include "toolkit/runtime_error.h"

#include <optional>

namespace calculator {

namespace {

[[noreturn]] void raiseBadInput(const QString& why)
{
    throw tk::RuntimeError(tk::ErrBadInput, why);
}

// Converts the text of a given field, or refuses it by the field's label.
template <class Convert>
auto convertShown(const tk::TextBox* box, const tk::Label* label, const QString& range,
                  Convert convert)
{
    const QString text = box->Text();
    try {
        return convert(text);
    } catch (const tk::RuntimeError& e) {
        if (e.number() != tk::ErrOverflow)
            throw;
        // A pasted text can be long; the start is what identifies it.
        const QString shown = text.size() > 40 ? text.left(40) + QStringLiteral("...") : text;
        raiseBadInput(QStringLiteral("%1 shows \"%2\", a number out of range: %3. Nothing was "
                                     "computed; correct the field, then press Compute.")
                          .arg(label->text(), shown, range));
    }
}

} // namespace

Currency LoanFromText(const QString& text)
{
    return ToCurrency(tk::Val(moneyReading(text)));
}

double PaymentFromText(const QString& text)
{
    return tk::Val(moneyReading(text));
}

std::int32_t MonthsFromText(const QString& text)
{
    return tk::RoundToInt32(tk::Val(text));
}

void CheckGivenTerms(Form1& form)
{
    const QString tooLarge = QStringLiteral("it is too large to compute with");
    std::optional<Currency> loan;
    std::optional<double> rate;
    std::optional<std::int32_t> months;
    std::optional<double> payment;
    if (form.LoanSet != False)
        loan = convertShown(
            form.Text1, form.Label1,
            QStringLiteral("a loan amount lies between -922337203685477 and 922337203685477"),
            LoanFromText);
    if (form.APRSet != False)
        rate = convertShown(form.Text2, form.Label2, tooLarge, tk::Val);
    if (form.MonthsSet != False)
        months = convertShown(
            form.Text3, form.Label3,
            QStringLiteral("a number of months lies between -2147483648 and 2147483647"),
            MonthsFromText);
    if (form.PaymentSet != False)
        payment = convertShown(form.Text4, form.Label4, tooLarge, PaymentFromText);

    if (months && *months < 1)
        raiseBadInput(QStringLiteral("The number of months must be at least 1."));

    // Every text converted, so these are the values the change handlers
    // stored from the same texts; taking them here makes sure of it.
    if (loan)
        form.Loan = *loan;
    if (rate)
        form.APR = *rate;
    if (months)
        form.Months = *months;
    if (payment)
        form.Payment = *payment;
}

} // namespace calculator
