#pragma once

// The cell plan of the chart: the title rows, then one column of boxes per generation, the
// oldest at the left in column B, each box centred between its two ancestors and joined to
// its neighbours by a line along the column's right edge. Steps 116-196 of the run.

#include "mainwindow/services/errorreport.h"
#include "paper.h"
#include "spreadsheet/automation.h"

#include <QString>
#include <functional>

namespace pq {

// Number raised to the power Exponent.
double MyPower(double Number, double Exponent);

// The inputs as the layout reads them: the name once, the generations text twice (the title
// row and the loop bound).
struct ChartInputs {
    std::function<QString()> text1;
    std::function<QString()> text2;
};

// Lays out the chart on `sheet`, one automation call per cell property, each under its label
// in the caller's guarded procedure.
void LayOutChart(Guard& g, const xl::Ref<xl::Worksheet>& sheet, const ChartInputs& inputs);

// The page set-up a printed chart needs, once every cell is written: the used range fitted to
// the paper's width and centred on it, continued on as many pages as its height needs, each
// under the two-row title, on the given paper.
void SetUpPrinting(Guard& g, const xl::Ref<xl::Worksheet>& sheet, Paper paper);

// How many generation columns a generations text asks for (the loop bound plus one), computed
// in double precision so that huge values do not overflow; NaN for a text that is not a number.
double generationColumnsFor(const QString& text2);

// The message that refuses a chart with more columns than a 97-2003 sheet can hold.
QString tooManyGenerationsMessage();

// The chart's title for a name, as step 138 writes it.
QString chartTitle(const QString& name);

} // namespace pq
