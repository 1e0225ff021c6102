#include "fininterface/auditstatements.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/messages.h"
#include "engine/paths.h"
#include "exchange/cxmldochelper.h"
#include "fininterface/auditlayoutscan.h"
#include "platform/uiservices.h"

namespace {

const QString kVersion = QStringLiteral("0.8");

struct BuiltIn {
    int nameId;
    const char* file;
    const char* unit;
    int formatId;
};

// Rows 3 and 8 share one statement file name, and so one mapping file;
// stored mappings rely on these names, so they stay as they are.
constexpr BuiltIn kBuiltIn[] = {
    {qor::str::kBalanceSheet, "Q_ZCFZB.TXT", "1", qor::str::kAuditFieldsBalanceSheet},
    {qor::str::kIncomeStatement, "Q_LRB.TXT", "1", qor::str::kAuditFieldsIncome},
    {qor::str::kCashFlowStatement, "Q_XJLLB.TXT", "1", qor::str::kAuditFieldsAmountC6},
    {qor::str::kImpairmentSchedule, "Q_ZCJZZBMXB.TXT", "1", qor::str::kAuditFieldsImpairment},
    {qor::str::kEquityChangesStatement, "Q_GDQYZJBDB.TXT", "1",
     qor::str::kAuditFieldsThisAndLastYear},
    {qor::str::kProfitDistributionStatement, "Q_LRFPB.TXT", "1",
     qor::str::kAuditFieldsActualThisAndLastYear},
    {qor::str::kStatementNotes, "Q_KJBB.TXT", "1", qor::str::kAuditFieldsAmountC8},
    {qor::str::kSmallFirmCashFlowStatement, "Q_XJLLB.TXT", "1",
     qor::str::kAuditFieldsLastAndThisYear},
    {qor::str::kVatPayableSchedule, "Q_YJZZSMXB.TXT", "1",
     qor::str::kAuditFieldsMonthAndYearToDate},
    {qor::str::kPublicBodyBalanceSheet, "S_ZCFZB.TXT", "2", qor::str::kAuditFieldsAccountCode},
    {qor::str::kPublicBodyIncomeExpenditure, "S_SRZCB.TXT", "2", qor::str::kAuditFieldsRowFirst},
    {qor::str::kPublicBodyProgramExpenditure, "S_SYZCB.TXT", "2",
     qor::str::kAuditFieldsProgramExpenditure},
    {qor::str::kPublicBodyBusinessExpenditure, "S_JYZCB.TXT", "2",
     qor::str::kAuditFieldsBusinessExpenditure},
    {qor::str::kPublicBodyStatementNotes, "S_KJBB.TXT", "2", qor::str::kAuditFieldsAmountC8},
    {qor::str::kCashFlowSupplement, "Q_XJLLBF.TXT", "1", qor::str::kAuditFieldsAmountC8},
};

// Moves a definition file this list cannot use out of the way, so that
// writing the built-in list does not destroy the report paths it holds.
void keepAside(const QString& path, const QString& why) {
    if (!QFileInfo::exists(path)) return;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    QString target = path + QStringLiteral(".") + stamp + QStringLiteral(".old");
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = path + QStringLiteral(".%1-%2.old").arg(stamp).arg(n);
    if (QFile::rename(path, target))
        TraceMessage(QStringLiteral("%1: %2; kept as %3").arg(path, why, target));
    else
        TraceMessage(QStringLiteral("%1: %2; could not be kept aside").arg(path, why));
}

}  // namespace

// ---- CAuditStatementList ---------------------------------------------------

CAuditStatementList::CAuditStatementList() {
    const QString path = DefinitionPath();
    CXmlDocHelper xml(path);
    const qor::XmlNode root = xml.GetRootElement();
    const QString version = xml.GetXmlAttributeString(root, QStringLiteral("version"));
    if (!xml.LoadFailed() && version == kVersion) {
        for (qor::XmlNode e = root.firstChildElement(); !e.isNull(); e.toNextSiblingElement()) {
            m_names << xml.GetXmlAttributeString(e, QStringLiteral("listname"));
            m_files << xml.GetXmlAttributeString(e, QStringLiteral("filename"));
            m_paths << xml.GetXmlAttributeString(e, QStringLiteral("filepath"));
            m_units << xml.GetXmlAttributeString(e, QStringLiteral("unittype"));
            // A "List" without its field list still gets an (empty) one, so
            // the arrays stay in step.
            const qor::XmlNode format = e.firstChildElement(QStringLiteral("Format"));
            m_formats << (format.isNull() ? QString() : format.text());
        }
    }
    if (!m_names.isEmpty()) return;
    if (xml.LoadFailed())
        keepAside(path, QStringLiteral("does not read (%1)").arg(xml.LoadError()));
    else if (QFileInfo::exists(path) && version != kVersion)
        keepAside(path, QStringLiteral("version \"%1\" is not %2").arg(version, kVersion));
    fillBuiltIn();
    Save();
}

CAuditStatementList::~CAuditStatementList() = default;

void CAuditStatementList::fillBuiltIn() {
    for (const BuiltIn& b : kBuiltIn) {
        m_names << LoadErrorText(b.nameId);
        m_files << QString::fromLatin1(b.file);
        m_paths << QString();
        m_units << QString::fromLatin1(b.unit);
        m_formats << LoadErrorText(b.formatId);
    }
}

QString CAuditStatementList::DefinitionPath() {
    return QDir(GetConfigDir()).filePath(QStringLiteral("shenjishu.xml"));
}

QString CAuditStatementList::MappingPath(const QString& fileName) {
    // Only the base name counts: a statement file name never leads out of
    // the configuration folder, and never names the definition file.
    QString base = QFileInfo(QString(fileName).replace(QLatin1Char('\\'), QLatin1Char('/')))
                       .fileName()
                       .toLower();
    if (base.endsWith(QStringLiteral(".txt"))) base.chop(4);
    base += QStringLiteral(".config");
    return QDir(GetConfigDir()).filePath(base);
}

QStringList CAuditStatementList::FormatLines(const QString& format) {
    if (format.isEmpty()) return {};
    return format.split(QLatin1Char('\n'));
}

QString CAuditStatementList::FieldName(const QString& line) {
    const qsizetype comma = line.indexOf(QLatin1Char(','));
    QString name = comma < 0 ? line : line.left(comma);
    name.remove(QLatin1Char('\r'));
    name.remove(QLatin1Char('\n'));
    return name;
}

int CAuditStatementList::indexOf(int index, int kind) const {
    if (index < 0 || index >= m_names.size()) return -1;
    if (kind == 0) return index;
    const QString unit = QString::number(kind);
    int seen = 0;
    for (int i = 0; i < m_units.size(); ++i) {
        if (m_units[i] != unit) continue;
        if (seen++ == index) return i;
    }
    return -1;
}

int CAuditStatementList::GetCount(int kind) const {
    if (kind == 0) return int(m_names.size());
    return int(m_units.count(QString::number(kind)));
}

QString CAuditStatementList::GetListName(int index, int kind) const {
    const int i = indexOf(index, kind);
    return i < 0 ? QString() : m_names[i];
}

QString CAuditStatementList::GetFilePath(int index, int kind) const {
    const int i = indexOf(index, kind);
    return i < 0 ? QString() : m_paths[i];
}

QString CAuditStatementList::GetFileName(int index) const { return m_files.value(index); }
QString CAuditStatementList::GetFormat(int index) const { return m_formats.value(index); }

int CAuditStatementList::Find(const QString& listName) const {
    return int(m_names.indexOf(listName));
}

QString CAuditStatementList::FindFileName(const QString& listName) const {
    return m_files.value(Find(listName));
}

void CAuditStatementList::SetFilePath(const QString& listName, const QString& path) {
    const int i = Find(listName);
    if (i >= 0) m_paths[i] = path;
}

bool CAuditStatementList::Save() {
    // A fresh document replaces the file as a whole through a temporary
    // file: a failed write leaves the old list in place.
    CXmlDocHelper xml;
    xml.CreateNew(DefinitionPath());
    qor::XmlNode root = xml.GetDocument().documentElement();
    xml.SetXmlAttribute(root, QStringLiteral("version"), kVersion);
    for (int i = 0; i < m_names.size(); ++i) {
        qor::XmlNode list = xml.AppendXmlChildElement(root, QStringLiteral("List"), QString());
        xml.SetXmlAttribute(list, QStringLiteral("listname"), m_names[i]);
        xml.SetXmlAttribute(list, QStringLiteral("filename"), m_files[i]);
        xml.SetXmlAttribute(list, QStringLiteral("filepath"), m_paths[i]);
        xml.SetXmlAttribute(list, QStringLiteral("unittype"), m_units[i]);
        xml.AppendXmlChildElement(list, QStringLiteral("Format"), m_formats[i]);
    }
    return xml.Save() == 1;
}

// ---- CAuditIfaceDef --------------------------------------------------------

CAuditIfaceDef::CAuditIfaceDef() = default;
CAuditIfaceDef::~CAuditIfaceDef() = default;

void CAuditIfaceDef::ParseFormat(int groupCount) {
    m_names.clear();
    m_cells.clear();
    m_groups.clear();
    const QStringList lines = CAuditStatementList::FormatLines(m_strFormat);
    for (int g = 0; g < groupCount; ++g) {
        for (const QString& line : lines) {
            m_names << CAuditStatementList::FieldName(line);
            m_cells << QString();
            m_groups << QString::number(g);
        }
    }
}

bool CAuditIfaceDef::LoadMapping(const QString& listName) {
    const CAuditStatementList list;
    const int s = list.Find(listName);
    if (s < 0) return false;
    m_strFileName = list.GetFileName(s);
    m_strFormat = list.GetFormat(s);
    m_strMappingPath = CAuditStatementList::MappingPath(m_strFileName);

    CXmlDocHelper xml(m_strMappingPath);
    const qor::XmlNode root = xml.GetRootElement();
    // Whitespace between the elements is kept by our DOM: only elements
    // count as groups.
    m_nGroupCount = root.isNull() ? 0 : int(root.childElements().size());
    ParseFormat(m_nGroupCount);
    if (xml.LoadFailed()) {
        qor::messageBox(QStringLiteral("OpenDefInterfaceXML error"));
        return true;
    }
    int entry = 0;
    for (qor::XmlNode area = root.firstChildElement(); !area.isNull();
         area.toNextSiblingElement()) {
        if (!area.hasTagName(u"Area")) continue;
        for (qor::XmlNode cell = area.firstChildElement(); !cell.isNull();
             cell.toNextSiblingElement()) {
            // More cells than the field list, or a name out of step, both
            // mean the file does not follow its list.
            if (entry >= m_names.size() || cell.attributeText(u"name") != m_names[entry]) {
                qor::messageBox(QStringLiteral("OpenDefInterfaceXML error"));
                return true;
            }
            m_cells[entry++] = cell.text();
        }
    }
    return true;
}

bool CAuditIfaceDef::BuildMapping(CReportHandle* report, const QString& listName) {
    m_pReport = report;
    const CAuditStatementList list;
    const int s = list.Find(listName);
    if (s < 0) return false;
    CAuditLayoutScan scan(report, listName);
    const int groups = scan.CountGroups();
    m_strFileName = list.GetFileName(s);
    m_strFormat = list.GetFormat(s);
    m_strMappingPath = CAuditStatementList::MappingPath(m_strFileName);
    ParseFormat(groups);
    const QString reportNo = LoadErrorText(qor::str::kReportCode);
    int group = -1;
    for (int i = 0; i < m_names.size(); ++i) {
        if (i == 0 || m_names[i] == reportNo) ++group;
        m_cells[i] = scan.Locate(m_names[i], group);
    }
    m_nGroupCount = group + 1;
    return true;
}

bool CAuditIfaceDef::LoadOrBuild(CReportHandle* report, const QString& listName) {
    const CAuditStatementList list;
    const int s = list.Find(listName);
    if (s < 0) return false;
    if (QFileInfo::exists(CAuditStatementList::MappingPath(list.GetFileName(s)))) {
        LoadMapping(listName);
        m_pReport = report;
        // A table that gained or lost copies since the mapping was made is
        // located anew; the stored file changes only when the caller saves.
        if (CAuditLayoutScan(report, listName).CountGroups() == m_nGroupCount) return true;
    }
    return BuildMapping(report, listName);
}

bool CAuditIfaceDef::SaveMapping() {
    CXmlDocHelper xml;
    xml.CreateNew(m_strMappingPath);
    const qor::XmlNode root = xml.GetDocument().documentElement();
    const QString reportNo = LoadErrorText(qor::str::kReportCode);
    qor::XmlNode area;
    for (int i = 0; i < m_names.size(); ++i) {
        if (i == 0 || m_names[i] == reportNo)
            area = xml.AppendXmlChildElement(root, QStringLiteral("Area"), QString());
        qor::XmlNode cell = xml.AppendXmlChildElement(area, QStringLiteral("Cell"), m_cells[i]);
        xml.SetXmlAttribute(cell, QStringLiteral("name"), m_names[i]);
    }
    return xml.Save() == 1;
}

int CAuditIfaceDef::find(int group, const QString& name) const {
    const QString g = QString::number(group);
    for (int i = 0; i < m_names.size(); ++i)
        if (m_names[i] == name && m_groups[i] == g) return i;
    return -1;
}

QString CAuditIfaceDef::GetCell(int group, const QString& name) const {
    return m_cells.value(find(group, name));
}

void CAuditIfaceDef::SetCell(int group, const QString& name, const QString& text) {
    const int i = find(group, name);
    if (i >= 0) m_cells[i] = text;
}
