// The sales books: one line per sales document, totals by tax rate.
#pragma once

#include <memory>

#include "fiscalmemory/library/report_convert.h"

namespace ordavo::mfd {

// The book of one audit file; `rd` the Dominican layout.
std::unique_ptr<DocumentSink> MakeSalesBook(bool rd);

}  // namespace ordavo::mfd
