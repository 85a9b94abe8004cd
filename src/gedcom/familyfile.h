#pragma once

// The model of a family-tree file: its people and families, with just what a pedigree chart
// needs (names, the dates of birth, christening, baptism, death and burial, and who the
// parents are). Values stay in the file's bytes until somebody asks for their text.

#include "linereader.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace pq::gedcom {

enum class Event { Birth, Christening, Baptism, Death, Burial };
inline constexpr int kEventCount = 5;

struct Person {
    std::string_view xref; // without the @ signs
    std::uint32_t line = 0;
    TextRef name;                             // the first NAME
    std::int32_t parentFamily = -1;           // where the parents come from, or -1
    std::array<TextRef, kEventCount> dates{}; // the first DATE of each event
    std::int32_t namePieces = -1;             // see NamePieces
};

// The pieces under a NAME line whose value holds no name (empty, or only slashes), which then
// make the name: NPFX, GIVN, NICK, SPFX, SURN and NSFX, the first of each.
struct NamePieces {
    enum Piece { Prefix, Given, Nickname, SurnamePrefix, Surname, Suffix, kCount };
    std::array<TextRef, kCount> pieces{};
};

struct Family {
    std::string_view xref;
    std::uint32_t line = 0;
    std::int32_t husband = -1; // people; -1 when unknown
    std::int32_t wife = -1;
};

// A person's second and later NAME lines (married names, other spellings).
struct OtherName {
    std::int32_t person = -1;
    TextRef name;
    std::int32_t namePieces = -1; // see NamePieces
};

// Cross-references to record indexes: open addressing over the views into the file.
class XrefIndex {
public:
    // Stores `value` under `key` and returns -1, or returns what the key already holds.
    std::int32_t insert(std::string_view key, std::int32_t value);
    std::int32_t find(std::string_view key) const;

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::string_view key;
        std::int32_t value = -1;
    };
    std::size_t slotOf(std::string_view key, std::uint64_t hash) const;
    void grow();

    std::vector<Slot> mSlots;
    std::size_t mUsed = 0;
};

class FamilyFile {
public:
    explicit FamilyFile(QByteArray bytes);

    const Source& source() const { return *mSource; }
    const std::vector<Person>& people() const { return mPeople; }
    const std::vector<Family>& families() const { return mFamilies; }
    const std::vector<OtherName>& otherNames() const { return mOtherNames; }
    // Indexed by Person::namePieces and OtherName::namePieces.
    const std::vector<NamePieces>& namePieces() const { return mNamePieces; }
    const Warnings& warnings() const { return mWarnings; }

    // The person defined under this cross-reference (without @ signs), or -1.
    std::int32_t personByXref(std::string_view xref) const { return mPersonIndex.find(xref); }
    QString text(const TextRef& ref) const { return mSource->text(ref); }

private:
    friend class FileBuilder;

    std::unique_ptr<Source> mSource;
    std::vector<Person> mPeople;
    std::vector<Family> mFamilies;
    std::vector<OtherName> mOtherNames;
    std::vector<NamePieces> mNamePieces;
    XrefIndex mPersonIndex;
    XrefIndex mFamilyIndex;
    Warnings mWarnings;
};

// A cross-reference as the file writes it: "I12" -> "@I12@".
QString pointer(std::string_view xref);

// Why a file that does not open with a "0 HEAD" line is not a family-tree file.
QString notBeginningWithHead();

// Reads a family-tree file (GEDCOM 5.5, 5.5.1, 5.5.5 or 7.0). What cannot be read is
// reported in warnings(), each naming its line; a file that is not a family-tree file at all
// throws FormatFailure naming the line.
std::unique_ptr<FamilyFile> readFamilyFile(QByteArray bytes);

} // namespace pq::gedcom
