// Error recorder for the tests.
#include "test_support.h"

#include <utility>

namespace testing_support {

namespace {
std::vector<Report>& record()
{
    static std::vector<Report> reports;
    return reports;
}
} // namespace

std::vector<Report> takeReports()
{
    return std::exchange(record(), {});
}

void installRecorder()
{
    tk::setErrorReporter([](const tk::RuntimeError& e) {
        record().push_back({e.number(), e.description()});
    });
}

} // namespace testing_support
