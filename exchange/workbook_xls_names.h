#pragma once
// The names a binary (BIFF8) workbook defines for blocks of its worksheets:
// NAME records whose formula is one 3-D reference or area, resolved through
// the EXTERNSHEET and SUPBOOK records to a sheet of the same file. Read
// leniently: a record this does not understand defines no name rather than
// failing the workbook.

#include <QByteArrayView>
#include <vector>

#include "exchange/workbook_model.h"

namespace qor {

class BiffNameCollector {
public:
    void supBook(QByteArrayView data);
    void externSheet(QByteArrayView data);
    void name(QByteArrayView data);
    // Adds the names that stand for a block of one of wb's sheets.
    void addTo(XlWorkbook& wb) const;

private:
    struct Reference {
        int supBook = 0, firstSheet = 0, lastSheet = 0;
    };
    struct Name {
        XlDefinedName name;
        int reference = -1;  // index into the EXTERNSHEET list
    };
    std::vector<bool> m_supBookIsSelf;
    std::vector<Reference> m_references;
    std::vector<Name> m_names;
};

}  // namespace qor
