#pragma once

// The embedded engine behind the automation interface.

#include "spreadsheet/automation.h"

namespace pq::engine {

xl::Ref<xl::Application> createEngineApplication();

} // namespace pq::engine
