// Helpers shared by the test binaries: the recorder that takes run-time
// error reports instead of message boxes, and the offscreen set-up.
#pragma once

#include <QString>

#include <vector>

#include "toolkit/runtime_error.h"

namespace testing_support {

struct Report {
    int number;
    QString description;
};

// Reports recorded since the last call, oldest first; clears the record.
std::vector<Report> takeReports();

} // namespace testing_support
