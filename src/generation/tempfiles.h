#pragma once

// Where the run keeps its files: the temporary folder, the temporary workbook's name (claimed
// atomically so that two copies of the program never pick the same file) and the picture file.

#include <QString>
#include <functional>

namespace pq {

// The folder named by TEMP, or the platform's temporary folder when TEMP is unset or empty;
// native separators, no trailing separator.
QString temporaryFolder();

// Eight digits 1-9 appended to "qorrow".
QString drawWorkbookBaseName(const std::function<int()>& drawDigit);

// One random digit 1-9 for the name.
int drawNameDigit();

// Creates the file exclusively; false when it already exists or cannot be created, with the
// system's cause (an errno value) in `systemError` when given.
bool claimFile(const QString& path, int* systemError = nullptr);

// A picture file path unique to this run, in the temporary folder.
QString uniquePicturePath();

} // namespace pq
