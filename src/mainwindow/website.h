#pragma once

// MaybeOpenWebsite: about one start in a hundred opens the maker's web site in the user's
// browser, without waiting for it. The draw and the opener can be replaced, so that tests
// never start a browser.

#include <QString>
#include <QUrl>
#include <functional>

namespace pq {

inline const QString kWebsiteAddress = QStringLiteral("https://quillmere.example/");
inline const QString kContactPageAddress = QStringLiteral("https://quillmere.example/contact");

struct WebsiteHooks {
    std::function<double()> draw;          // uniform r, 0 <= r < 1
    std::function<void(const QUrl&)> open; // starts the browser; throws Failure when it can't
};

// A draw seeded from the time of day and the desktop's URL opener.
WebsiteHooks defaultWebsiteHooks();

// n = floor(r * 100) + 1, a whole number from 1 to 100.
int websiteDrawNumber(double r);

void MaybeOpenWebsite(const WebsiteHooks& hooks = defaultWebsiteHooks());

} // namespace pq
