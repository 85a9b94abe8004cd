#pragma once

// The embedded engine behind the automation interface.

#include "spreadsheet/automation.h"

namespace pq::engine {

xl::Ref<xl::Application> createEngineApplication();

// The file SaveAs writes for a workbook of this engine, for callers that write it themselves
// (the command-line tool chooses what happens to a file already at the path).
QByteArray workbookFile(const xl::Ref<xl::Workbook>& workbook);

} // namespace pq::engine
