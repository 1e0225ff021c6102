// The main frame's file exchange commands: the own XML format into a new
// report, and many reports to HTML at once.
#include <QDir>
#include <QFileInfo>

#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "exchange/chtmlexporter.h"
#include "exchange/ownxml_import.h"
#include "exchange/xmldom.h"
#include "frames/cchildframe.h"
#include "frames/cmainframe.h"

#include "dialogs/templatelist.h"
#include "frames/cmyfiledlg.h"
#include "platform/datadir.h"
#include "platform/inifile.h"
#include "platform/uiservices.h"
#include "reader/creaderapp.h"

namespace qor::frames {

namespace {

// The section of one industry is read up to this many characters, as
// "key=value" entries each with its end.

void tellUser(const QString& text, MsgIcon icon = MsgIcon::Warning) {
    messageBox(text, LoadErrorText(str::kAppTitle), MsgButtons::Ok, icon);
}

}  // namespace

CChildFrame* CMainFrame::ImportOwnXml() {
    FilePrompt prompt{QString(), QString(), QtFileFilter(QStringLiteral("(*.xml)|*.xml||")),
                      false};
    prompt.mode = CMyFileDlg::kOpenXml;
    const std::optional<QString> path = chooseFile(prompt);
    if (!path || path->isEmpty()) return nullptr;
    // Only the own export format makes a report; its root is compared
    // without regard to case, as the exporter and older files spell it
    // differently.
    try {
        const XmlDocument xml = XmlDocument::load(*path);
        if (xml.isNull() ||
            xml.documentElement().tagName().toLower() != QLatin1String("iqor_export")) {
            tellUser(LoadErrorText(str::kUnsupportedXml));
            return nullptr;
        }
    } catch (const std::bad_alloc&) {
        tellUser(NoMemoryText(*path));
        return nullptr;
    }
    CChildFrame* child = NewDocument();
    if (!child) return nullptr;
    ::g_strXmlExchangePath = *path;
    CQorsDoc* doc = child->GetDocument();
    if (!doc->Files().OnXmlImport()) {
        // The blank report made for the import goes with it.
        doc->SetModifiedFlag(false);
        child->close();
        return nullptr;
    }
    return child;
}

HtmlConversion ConvertReportsToHtml(const QStringList& files) {
    HtmlConversion result;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString& file = files[i];
        if (i >= kMaxHtmlConversionFiles) {
            result.leftOut << file;
            continue;
        }
        // Every page goes to "html" beside its own report; the exporter
        // makes the folder when it is missing.
        CHtmlExporter exporter;
        if (exporter.OpenSource(file, 0) && exporter.ExportPages())
            ++result.converted;
        else
            result.failed << file;
    }
    return result;
}

QString HtmlConversion::Message() const {
    if (failed.isEmpty() && leftOut.isEmpty()) return LoadErrorText(str::kFileConverted);
    QString text;
    if (!failed.isEmpty()) {
        text = LoadErrorText(str::kHtmlNotConverted);
        for (const QString& f : failed) text += QDir::toNativeSeparators(f) + QLatin1Char('\n');
    }
    if (!leftOut.isEmpty()) {
        if (!text.isEmpty()) text += QLatin1Char('\n');
        text += LoadErrorText(str::kHtmlTooManyFiles).arg(kMaxHtmlConversionFiles).arg(leftOut.size());
        for (const QString& f : leftOut) text += QDir::toNativeSeparators(f) + QLatin1Char('\n');
    }
    if (converted > 0) text += LoadErrorText(str::kHtmlOthersConverted).arg(converted);
    return text.trimmed();
}

void CMainFrame::OnConvertToHtml() {
    CFileFolderDialog dialog(true, QtFileFilter(QStringLiteral("(*.rep)|*.rep||")), this);
    if (!CMyFileDlg::CurrentReportDir().isEmpty())
        dialog.setDirectory(CMyFileDlg::CurrentReportDir());
    if (dialog.DoModal() != CFileFolderDialog::IDOK) return;
    QStringList files;
    for (int pos = dialog.GetStartPosition(); pos;) files << dialog.GetNextPathName(pos);
    if (files.isEmpty()) return;
    const HtmlConversion result = ConvertReportsToHtml(files);
    const bool clean = result.failed.isEmpty() && result.leftOut.isEmpty();
    tellUser(result.Message(), clean ? MsgIcon::Information : MsgIcon::Warning);
}

QStringList CommonReportTemplates(const QString& listRoot, const QString& industry,
                                  QString* language) {
    const QString original = LanguageCode();
    QStringList tried{original, QStringLiteral("zh-TW"), QStringLiteral("en-US"),
                      QStringLiteral("zh-CN")};
    for (const QString& lang : tried) {
        // The one template list the template dialogs keep, read whole; its
        // paths resolve by the list's own rules.
        const TemplateListFile list(QDir(listRoot).filePath(lang + QStringLiteral("/qormodel.cfg")));
        QStringList templates;
        for (const QString& path : list.Industry(industry).paths)
            if (!path.isEmpty()) templates << path;
        if (!templates.isEmpty()) {
            if (language) *language = lang;
            return templates;
        }
    }
    return {};
}

void CMainFrame::OnCommonReports() {
    const CReaderApp* app = CReaderApp::Current();
    const QString industry = app ? app->m_strIndustryName.trimmed() : QString();
    // Without an industry there is nothing to match: say so rather than
    // ask about "()".
    if (industry.isEmpty()) {
        tellUser(LoadErrorText(str::kNoIndustry), MsgIcon::Information);
        return;
    }
    const QString question = LoadErrorText(str::kGenerateWholeIndustry) + QLatin1Char('(') +
                             industry + QLatin1Char(')') + LoadErrorText(str::kTemplates);
    if (!askYesNo(question, LoadErrorText(str::kAppTitle), true)) return;
    QString language;
    const QStringList templates = CommonReportTemplates(dataDir(), industry, &language);
    if (templates.isEmpty()) {
        // The language stays as it was when no folder has the industry.
        tellUser(LoadErrorText(str::kNoRecordFound) + LoadErrorText(str::kTemplates) + industry +
                 QStringLiteral(":("));
        return;
    }
    // The folder that had the list is the language from now on, as the
    // templates of the new reports come from it.
    if (language != LanguageCode()) SetLanguageCode(language);
    for (const QString& path : templates) {
        CChildFrame* child = NewDocument();
        if (!child) return;
        child->GetDocument()->Files().ApplyTemplateFile(path);
    }
}

}  // namespace qor::frames
