#pragma once

// A main window and a preview window for driving the generation run without a display.

#include "generation/generationrun.h"
#include "generation/previewhandoff.h"
#include "support/scripteddialogs.h"

#include <QList>
#include <QStringList>

namespace pq::test {

class FakePreview final : public PreviewHandOff {
public:
    void setPicture(const Picture& p) override {
        calls << QStringLiteral("picture");
        picture = p;
    }
    void setExcelFile(const QString& path) override {
        calls << QStringLiteral("file");
        excelFile = path;
    }
    void showPreview() override { calls << QStringLiteral("show"); }

    QStringList calls;
    Picture picture;
    QString excelFile;
};

class FakeWindow final : public MainWindowPort {
public:
    QString text1() const override { return name; }
    QString text2() const override { return generations; }
    void setMousePointer(int p) override { pointers << p; }
    void focusText2() override { ++focusCount; }
    void hideWindow() override { hidden = true; }
    PreviewHandOff& preview() override { return previewWindow; }
    DialogService& dialogs() override { return dialogService; }
    OpenFamilyFile familyFile() const override { return family; }
    void chartWarnings(const QList<gedcom::FileWarning>& w) override { warnings << w; }

    QString name = QStringLiteral("Tamsin Orrow");
    QString generations = QStringLiteral("5");
    QList<int> pointers;
    int focusCount = 0;
    bool hidden = false;
    OpenFamilyFile family; // none unless a test opens one
    QList<gedcom::FileWarning> warnings;
    FakePreview previewWindow;
    ScriptedDialogs dialogService;
};

} // namespace pq::test
