// The default action of "Start Creating Template": the generation run. Kept apart from the
// window so that the window's tests link without the spreadsheet engine's run.

#include "form1.h"

namespace pq {

void Form1::startRunDefault() {
    mRun.PushButton1_Click();
}

} // namespace pq
