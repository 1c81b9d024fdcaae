// Money as the calculator shows it: the locale it is shown in, and amounts
// of whole cents in the locale's currency form or as plain grouped amounts.
// Used by the status line and the schedule window alike; pure text work.
#pragma once

#include <QLocale>
#include <QString>

#include "loan_schedule.h"

namespace calculator {

// The locale money and amounts are shown in: the default locale (the
// system's), unless that is the bare C locale, which knows no currency sign
// or grouping; then the program's own conventions (the "$" of its start
// texts, US grouping).
QLocale moneyLocale();

// Cents in the locale's currency form: $1,580.17.
QString moneyText(Cents amount);
// A double to the cent (half away from zero) in the same form.
QString moneyText(double amount);

// Cents with the locale's grouping and decimal point, no currency sign:
// 1,580.17.
QString amountText(Cents amount);

// Cents with the locale's decimal point and no grouping, as a spreadsheet
// takes a pasted number: 1580.17.
QString plainAmountText(Cents amount);

} // namespace calculator
