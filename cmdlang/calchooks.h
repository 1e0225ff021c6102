#pragma once
// What the interpreter reaches in the layers above it. The document, the
// pivot dialog, mail, menus, file conversion and the database readers live
// above the command language, so they register here at start-up; until
// they do, a command that needs one of them fails with a message that
// says what is missing (never silently).

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "cmdlang/evaluator.h"
#include "cmdlang/value.h"

class CQorsDoc;
class CReportHandle;

// One area of the pivot's browse command: this report or another one, a
// page (0 = the current one) and the corners counted from 0. A first row of
// -1 marks an unused entry of a fixed-size array.
struct CalcRange {
    int16_t kind = 0;  // 0 this report, 1 another report (path)
    QString path;
    int32_t page = 0;
    int16_t r1 = -1, c1 = 0, r2 = 0, c2 = 0;
    bool operator==(const CalcRange&) const = default;
};

namespace qor::cmd {

// The report document as the interpreter sees it. Rows and columns given
// to the document are shown ones, from 1.
struct CalcDocumentHooks {
    // The document's open report; null when it has none.
    std::function<CReportHandle*(CQorsDoc*)> reportOf;
    // Move the view to a page (FIND, CONTINUE, TOTAL into this report).
    std::function<void(CQorsDoc*, int page)> showPage;
    // Move the view to a page and make a cell current (GFIND).
    std::function<void(CQorsDoc*, int page, int row, int col)> showCell;
    // The report changed (pages added, removed, reordered, values written):
    // mark it changed, redraw and republish the page count. Called after
    // every command that wrote into the current report, and only then.
    std::function<void(CQorsDoc*)> refresh;
};

// LIST MEMORY: what the variables dialog shows, one entry per variable.
struct VariableListing {
    QStringList names;
    QStringList types;
    QStringList values;
};

// The batch runner's question after a failed line.
struct BatchErrorAnswer {
    bool goOn = false;          // run the next line
    bool dontAskAgain = false;  // "以后不再提示": keep this answer for the rest of the run
};

struct CalcSubsystemHooks {
    // BROWSE: the pivot dialog on the areas and labels.
    std::function<bool(const QList<CalcRange>& areas, const QStringList& labels,
                       CReportHandle* report, QString* error)>
        browse;
    // MAIL: mode null (send and receive), 'S' send, 'A' receive, 'P' set-up.
    std::function<bool(QChar mode, QString* error)> mail;
    // MENU: the main frame loads a user menu file; "" = the standard menu.
    std::function<bool(const QString& file, QString* error)> loadMenu;
    // CONVERT: between a report and another format, by the extensions.
    // leftOut gets what a conversion that succeeded could not carry (one
    // line a kind of loss), so a run can tell a lossy conversion.
    std::function<bool(const QString& from, const QString& to, int page, CReportHandle* current,
                       QString* error, QStringList* leftOut)>
        convert;
    // LIST MEMORY: the variables dialog (headless: the message sink).
    std::function<void(const VariableListing&)> listVariables;
    // HELP: the language's help (headless: the message sink).
    std::function<void(const QString& topic)> help;
    // INDB / INDBSQL and GETRECORD.
    std::function<Value(const DatabaseRequest&)> readDatabase;
    std::function<Value(const RecordRequest&)> getRecord;
    // Asked after a failed line of a batch file; without it the run stops.
    std::function<BatchErrorAnswer(const QString& message)> batchError;
};

}  // namespace qor::cmd
