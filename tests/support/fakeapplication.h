#pragma once

// A fake spreadsheet application for tests: forwards every call to the embedded engine and
// lets a test fail any call, chosen by its member name ("Range.setValue") and occurrence.

#include "spreadsheet/automation.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace pq::test {

struct CallLog {
    QStringList calls; // every member called, in order
    // Throws Failure(description) when it returns a non-empty description for this call.
    std::function<QString(const QString& member, int occurrence)> failWhen;
    QHash<QString, int> seen;
    void enter(const QString& member);
};

// An application whose calls all go through the log.
xl::Ref<xl::Application> makeFakeApplication(std::shared_ptr<CallLog> log);

// Installs a factory that makes fake applications sharing `log`; restores the engine when the
// guard goes out of scope.
class FakeFactoryScope {
public:
    explicit FakeFactoryScope(std::shared_ptr<CallLog> log);
    ~FakeFactoryScope();
};

} // namespace pq::test
