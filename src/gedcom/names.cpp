#include "names.h"

#include <QList>
#include <QStringList>
#include <algorithm>
#include <array>
#include <span>

namespace pq::gedcom {

namespace {

// Appends a word character, a space between words, or a slash as a word of its own.
class Folder {
public:
    explicit Folder(std::string& out) : mOut(out) { mOut.clear(); }
    void space() { mPendingSpace = !mOut.empty(); }
    void slash() {
        space();
        add('/');
        space();
    }
    void add(char c) {
        startCharacter();
        mOut += c;
    }
    void addCodePoint(char32_t c) {
        startCharacter();
        appendUtf8(mOut, c);
    }
    void add(std::string_view s) {
        for (char c : s)
            add(c);
    }

private:
    void startCharacter() {
        if (mPendingSpace)
            mOut += ' ';
        mPendingSpace = false;
    }

    std::string& mOut;
    bool mPendingSpace = false;
};

void foldAscii(std::string_view s, std::string& out) {
    Folder folder(out);
    for (const char c : s) {
        if (c == '/')
            folder.slash();
        else if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            folder.space();
        else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            continue; // control characters are no part of a name (the reader reports them)
        else
            folder.add(c >= 'A' && c <= 'Z' ? char(c + 32) : c);
    }
}

// Letters that carry their mark in themselves and do not decompose.
const char* plainLetters(char32_t c) {
    switch (c) {
    case U'ß':
        return "ss";
    case U'æ':
        return "ae";
    case U'œ':
        return "oe";
    case U'ø':
        return "o";
    case U'ł':
        return "l";
    case U'đ':
    case U'ð':
        return "d";
    case U'þ':
        return "th";
    case U'ı':
        return "i";
    default:
        return nullptr;
    }
}

void foldText(const QString& text, std::string& out) {
    Folder folder(out);
    const QString decomposed = text.normalized(QString::NormalizationForm_KD).toCaseFolded();
    for (const char32_t c : decomposed.toUcs4()) {
        if (QChar::category(c) == QChar::Mark_NonSpacing)
            continue;
        if (c == U'/') {
            folder.slash();
        } else if (QChar::isSpace(c)) {
            folder.space();
        } else if (const char* plain = plainLetters(c)) {
            folder.add(plain);
        } else {
            folder.addCodePoint(c);
        }
    }
}

} // namespace

QString displayName(const QString& nameValue) {
    QString name = nameValue;
    name.replace(QLatin1Char('/'), QLatin1Char(' '));
    return name.simplified();
}

void foldName(const Source& source, const TextRef& name, std::string& out) {
    const std::string_view raw = source.bytes().substr(name.begin, name.size);
    if (!name.continued() && isAscii(raw) && raw.find("@@") == std::string_view::npos)
        foldAscii(raw, out);
    else
        foldText(source.text(name), out);
}

QString nameValue(const FamilyFile& file, const TextRef& name, std::int32_t pieces) {
    if (pieces < 0)
        return name.isSet() ? file.text(name) : QString();
    const NamePieces& n = file.namePieces()[static_cast<std::size_t>(pieces)];
    const auto piece = [&](int which) {
        const TextRef& ref = n.pieces[static_cast<std::size_t>(which)];
        // A slash inside a piece would move the surname's bounds.
        return ref.isSet() ? file.text(ref).replace(QLatin1Char('/'), QLatin1Char(' ')).simplified()
                           : QString();
    };
    QString given = piece(NamePieces::Given);
    if (given.isEmpty())
        given = piece(NamePieces::Nickname);
    const QString surname =
        (piece(NamePieces::SurnamePrefix) + QLatin1Char(' ') + piece(NamePieces::Surname))
            .simplified();
    QStringList words;
    for (const QString& word :
         {piece(NamePieces::Prefix), given,
          surname.isEmpty() ? QString() : QLatin1Char('/') + surname + QLatin1Char('/'),
          piece(NamePieces::Suffix)})
        if (!word.isEmpty())
            words << word;
    return words.join(QLatin1Char(' '));
}

void foldPersonName(const FamilyFile& file, const TextRef& name, std::int32_t pieces,
                    std::string& out) {
    if (pieces < 0)
        foldName(file.source(), name, out);
    else
        foldText(nameValue(file, name, pieces), out);
}

std::string foldQuery(const QString& typed) {
    std::string out;
    QString plain = typed;
    plain.replace(QLatin1Char('/'), QLatin1Char(' '));
    foldText(plain, out);
    return out;
}

std::vector<std::string_view> wordsOf(std::string_view folded) {
    std::vector<std::string_view> words;
    while (!folded.empty()) {
        const std::size_t space = folded.find(' ');
        words.push_back(folded.substr(0, space));
        if (space == std::string_view::npos)
            break;
        folded.remove_prefix(space + 1);
    }
    return words;
}

NameParts::NameParts(std::string_view folded) {
    while (!folded.empty()) {
        const std::size_t space = folded.find(' ');
        const std::string_view word = folded.substr(0, space);
        if (word == "/") {
            if (firstSlash < 0)
                firstSlash = count;
            else if (secondSlash < 0)
                secondSlash = count;
        } else if (count < kMaxWords) {
            words[count++] = word;
        } else {
            complete = false;
        }
        if (space == std::string_view::npos)
            break;
        folded.remove_prefix(space + 1);
    }
}

namespace {

template<class Words> bool sameWords(const Words& a, const std::vector<std::string_view>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

} // namespace

NameMatch matchName(const NameParts& parts, const std::vector<std::string_view>& query) {
    if (!parts.complete || query.empty())
        return NameMatch::NoMatch;
    const auto all = std::span(parts.words.data(), std::size_t(parts.count));
    if (sameWords(all, query))
        return NameMatch::FullName;
    if (parts.firstSlash < 0)
        return NameMatch::NoMatch;
    const int surnameEnd = parts.secondSlash < 0 ? parts.count : parts.secondSlash;
    const auto surname = all.subspan(parts.firstSlash, surnameEnd - parts.firstSlash);
    // Given names stand before the surname, or after it when the surname comes first.
    const auto given = parts.firstSlash > 0 ? all.first(parts.firstSlash) : all.subspan(surnameEnd);
    if (surname.empty() || query.size() <= surname.size() ||
        !std::equal(surname.begin(), surname.end(), query.end() - surname.size()))
        return NameMatch::NoMatch;
    const std::size_t givenInQuery = query.size() - surname.size();
    if (std::equal(given.begin(), given.end(), query.begin(), query.begin() + givenInQuery))
        return NameMatch::GivenAndSurname;
    if (givenInQuery == 1 && std::find(given.begin(), given.end(), query.front()) != given.end())
        return NameMatch::OneGivenAndSurname;
    return NameMatch::NoMatch;
}

int sharedWords(const NameParts& parts, const std::vector<std::string_view>& query) {
    const auto all = std::span(parts.words.data(), std::size_t(parts.count));
    return static_cast<int>(std::count_if(query.begin(), query.end(), [&](std::string_view q) {
        return std::find(all.begin(), all.end(), q) != all.end();
    }));
}

} // namespace pq::gedcom
