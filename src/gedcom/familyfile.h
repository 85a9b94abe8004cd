#pragma once

// The model of a family-tree file: its people and families, with just what a pedigree chart
// needs (names, the dates of birth, christening, baptism, death and burial, and who the
// parents are). Values stay in the file's bytes until somebody asks for their text.

#include "base/largepages.h"
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

// Cross-references to record indexes: open addressing over slots of a hash and a record's
// index, eight bytes each; the keys stay with the records, and `keyOf(index)` reads one back.
class XrefIndex {
public:
    // Stores `value` under `key` and returns -1, or returns what the key already holds.
    template<class KeyOf>
    std::int32_t insert(std::string_view key, std::int32_t value, const KeyOf& keyOf) {
        if ((mUsed + 1) * 2 > mSlots.size())
            grow();
        const std::uint32_t hash = hashOf(key);
        Slot& slot = mSlots[slotOf(key, hash, keyOf)];
        if (slot.value >= 0)
            return slot.value;
        slot = {hash, value};
        ++mUsed;
        return -1;
    }
    template<class KeyOf> std::int32_t find(std::string_view key, const KeyOf& keyOf) const {
        return mSlots.empty() ? -1 : mSlots[slotOf(key, hashOf(key), keyOf)].value;
    }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::int32_t value = -1;
    };
    static std::uint32_t hashOf(std::string_view key);
    template<class KeyOf>
    std::size_t slotOf(std::string_view key, std::uint32_t hash, const KeyOf& keyOf) const {
        const std::size_t mask = mSlots.size() - 1;
        std::size_t i = hash & mask;
        while (mSlots[i].value >= 0 && (mSlots[i].hash != hash || keyOf(mSlots[i].value) != key))
            i = (i + 1) & mask;
        return i;
    }
    void grow();

    LargeVector<Slot> mSlots;
    std::size_t mUsed = 0;
};

// Reads a record's cross-reference back by its index, as an XrefIndex over records asks.
template<class Record> struct XrefOf {
    const LargeVector<Record>* records;
    std::string_view operator()(std::int32_t i) const { return (*records)[i].xref; }
};

class FamilyFile {
public:
    explicit FamilyFile(QByteArray bytes);

    const Source& source() const { return *mSource; }
    const LargeVector<Person>& people() const { return mPeople; }
    const LargeVector<Family>& families() const { return mFamilies; }
    const LargeVector<OtherName>& otherNames() const { return mOtherNames; }
    // Indexed by Person::namePieces and OtherName::namePieces.
    const LargeVector<NamePieces>& namePieces() const { return mNamePieces; }
    const Warnings& warnings() const { return mWarnings; }

    // The person defined under this cross-reference (without @ signs), or -1.
    std::int32_t personByXref(std::string_view xref) const {
        return mPersonIndex.find(xref, XrefOf<Person>{&mPeople});
    }
    QString text(const TextRef& ref) const { return mSource->text(ref); }

private:
    friend class FileBuilder;

    std::int32_t familyByXref(std::string_view xref) const {
        return mFamilyIndex.find(xref, XrefOf<Family>{&mFamilies});
    }

    std::unique_ptr<Source> mSource;
    LargeVector<Person> mPeople;
    LargeVector<Family> mFamilies;
    LargeVector<OtherName> mOtherNames;
    LargeVector<NamePieces> mNamePieces;
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
