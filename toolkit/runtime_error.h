// Run-time errors of the forms layer: the exception that abandons a handler,
// the floating-point checks that raise it, and the guard that reports it.
#pragma once

#include <QString>

#include <cmath>
#include <exception>
#include <functional>
#include <string>

namespace tk {

// Error numbers as the user sees them in the report.
enum ErrorNumber : int {
    ErrInvalidCall = 5,
    ErrOverflow = 6,
    ErrOutOfMemory = 7,
    ErrDivisionByZero = 11,
    ErrTypeMismatch = 13,
    ErrInternal = 51,
    ErrFileNotFound = 53,
    ErrPathFileAccess = 75,
    ErrPathNotFound = 76,
    ErrInvalidPicture = 481,
    // Not a failure of the program but inputs it cannot work with (a loan
    // that no number of months repays): reported as plain advice.
    ErrBadInput = 1000,
};

// Raised by a failing operation. It abandons the running handler at that
// statement; nothing done before it is undone.
class RuntimeError : public std::exception {
public:
    RuntimeError(int number, QString description);
    int number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int number_;
    QString description_;
    std::string what_;
};

[[noreturn]] void raiseOverflow();
[[noreturn]] void raiseDivisionByZero();

// The floating-point test after a group of operations: an infinite or
// invalid (NaN) result raises the overflow error. Underflow and inexact
// results are not errors.
inline double CheckFloat(double v)
{
    if (!std::isfinite(v)) [[unlikely]]
        raiseOverflow();
    return v;
}

// a / b with the checks of a division: x / 0 is a division by zero, 0 / 0 an
// invalid operation (reported as overflow), an infinite quotient overflow.
inline double Divide(double a, double b)
{
    if (b == 0.0) [[unlikely]] {
        if (a == 0.0 || std::isnan(a))
            raiseOverflow();
        raiseDivisionByZero();
    }
    return CheckFloat(a / b);
}

// Who hears about an error that left a handler. The default shows a modal
// message box; tests install a recorder so that nothing blocks.
using ErrorReporter = std::function<void(const RuntimeError&)>;
ErrorReporter setErrorReporter(ErrorReporter reporter);
void reportError(const RuntimeError& error);

// Number of toolkit-called handlers on the stack right now (nesting through
// DoEvents counts each level).
int handlerDepth();

// Runs one handler: a RuntimeError (or any other exception) is caught here,
// reported, and never crosses Qt's event loop.
void runHandler(const std::function<void()>& handler);

template <class F> void guarded(F&& f)
{
    runHandler(std::function<void()>(std::forward<F>(f)));
}

} // namespace tk
