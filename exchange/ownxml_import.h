#pragma once
// Reading an exchange file ("iqor_export") into a report made for it, in
// two passes as the report document runs them: the format pass (table
// size, cell kinds and formats, combined cells, labels, keyword cells,
// formulas) in format state, then, after the document has entered data
// state, the data pass (pages, their values and keyword values).
//
// Each pass reads the whole file and checks it before it changes the
// report: a file that does not load, or an element with a value the pass
// refuses, leaves the report as it was.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class CReportHandle;

// The path of the exchange file, set by the main frame's XML commands
// before they send the document its command.
extern QString g_strXmlExchangePath;

// The mode of the format pass; any other mode runs the data pass.
inline constexpr int kXmlImportFormatPass = 10000;

namespace qor {

struct OwnXmlImportResult {
    int result = 0;  // 1 the pass ran to its end, 0 it stopped
    // The message the user is shown (62017, 62044 to 62060); 0 for none.
    int messageId = 0;
    QString detail;  // where and why, for logs and the command line
    // What the file held that the report did not take (formulas it
    // refused), one line a kind; the import still ran.
    QStringList leftOut = {};
};

// One pass on the report, without message boxes.
OwnXmlImportResult ReadOwnXml(CReportHandle& report, const QString& path, int mode);

// Both passes on a report in format state, reading the file once. Between
// them betweenPasses runs (the document refreshes its views and enters
// data state there); it returns the status of entering data state. Without
// it the report enters data state.
OwnXmlImportResult ImportOwnXmlReport(CReportHandle& report, const QString& path,
                                      const std::function<uint16_t()>& betweenPasses = {});

// True when the file loads and its root element, lower-cased, is
// "iqor_export": the main frame's check before it makes a new document.
bool IsOwnXmlExchangeFile(const QString& path);
// The same check on the start of the file alone, up to the root's start
// tag, for a caller whose import reads (and checks) the whole file next.
bool HasOwnXmlRoot(const QString& path);

}  // namespace qor

// One pass on the file at g_strXmlExchangePath; messages go to a message
// box. 1 when the pass ran to its end, 0 when it stopped.
int ImportReportXml(CReportHandle* report, int mode);
int ImportReportXml(CReportHandle& report, const QString& path, int mode);
