#include "document/doc_interpreter.h"

#include "cmdlang/ccalcinterpreter.h"
#include "document/cqorsdoc.h"
#include "document/doc_commandhook.h"

namespace qor::doc {

void InstallInterpreterLinks() {
    ::SetCommandRunner(::RunCommandLineForDocument);
    qor::cmd::CalcDocumentHooks hooks;
    hooks.reportOf = [](CQorsDoc* doc) { return doc ? doc->GetReport() : nullptr; };
    hooks.showPage = [](CQorsDoc* doc, int page) {
        if (doc && doc->SetCurrentPage(page)) doc->UpdateAllViews(CQorsDoc::kHintState);
    };
    hooks.showCell = [](CQorsDoc* doc, int page, int row, int col) {
        if (!doc || !doc->SetCurrentPage(page)) return;
        // The interpreter counts from 1, the document's cell fields from 0.
        doc->Selection().SetCurrentCell(row - 1, col - 1);
        doc->UpdateAllViews(CQorsDoc::kHintState);
    };
    hooks.refresh = [](CQorsDoc* doc) {
        if (!doc) return;
        // The interpreter calls this after every command that wrote into the
        // report (from the command window, a batch file, a menu): the
        // report is changed, and closing it asks to save.
        doc->SetModifiedFlag();
        doc->UpdateAllViews(CQorsDoc::kHintAll);
    };
    CCalcInterpreter::Instance().SetDocumentHooks(std::move(hooks));
}

}  // namespace qor::doc
