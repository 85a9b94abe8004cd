#include "website.h"

#include "base/failure.h"
#include "base/numeric.h"

#include <QDesktopServices>
#include <QTime>
#include <random>

namespace pq {

namespace {
// Seeded anew at each call from the time of day, so a later start never repeats a draw.
double drawFromTimeOfDay() {
    std::mt19937 generator(static_cast<unsigned>(QTime::currentTime().msecsSinceStartOfDay()));
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

void openInBrowser(const QUrl& url) {
    // The desktop's opener starts the browser detached; a false answer means nothing started.
    if (!QDesktopServices::openUrl(url))
        throw Failure(failures::kFileNotFound);
}
} // namespace

WebsiteHooks defaultWebsiteHooks() {
    return {drawFromTimeOfDay, openInBrowser};
}

int websiteDrawNumber(double r) {
    return static_cast<int>(Int(r * 100.0)) + 1;
}

void MaybeOpenWebsite(const WebsiteHooks& hooks) {
    if (websiteDrawNumber(hooks.draw()) == 7)
        hooks.open(QUrl(kWebsiteAddress));
}

} // namespace pq
