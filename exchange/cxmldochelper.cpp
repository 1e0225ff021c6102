#include "exchange/cxmldochelper.h"

#include <QFileInfo>
#include <new>

#include "engine/messages.h"
#include "engine/status.h"
#include "exchange/variantconvert.h"
#include "platform/uiservices.h"

using qor::XmlDocument;
using qor::XmlError;
using qor::XmlNode;

namespace {

void showMessage(int id) {
    qor::messageBox(LoadErrorText(id), QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
}

}  // namespace

CXmlDocHelper::CXmlDocHelper() = default;

CXmlDocHelper::CXmlDocHelper(const QString& path) { Open(path); }

CXmlDocHelper::~CXmlDocHelper() = default;

int CXmlDocHelper::Open(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        CreateNew(path);
    } else if (!info.isFile()) {
        // A FIFO or a device would hold the parser until someone wrote to
        // it; a folder holds no document. Neither may be saved over.
        CreateNew(path);
        m_bLoadFailed = true;
        m_strLoadError = LoadErrorText(qor::str::kOpenNotAPlainFile).arg(path);
    } else {
        m_strFileName = path;
        QString error;
        XmlDocument doc;
        try {
            doc = XmlDocument::load(path, &error);
        } catch (const std::bad_alloc&) {
            // Refused like a file that does not parse: a save must not
            // replace what could not be read.
            error = StatusText(Status::OutOfMemory);
        }
        if (doc.isNull()) {
            CreateNew(path);
            // An empty file holds nothing that a save could destroy.
            m_bLoadFailed = info.size() > 0 || !info.isFile();
            m_strLoadError = error;
        } else {
            m_pDocument = doc;
        }
    }
    SetRootElement(m_pDocument.documentElement());
    return 1;
}

int CXmlDocHelper::CreateNew(const QString& path) {
    m_strFileName = path;
    m_bLoadFailed = false;
    m_strLoadError.clear();
    m_pDocument = XmlDocument::create();
    m_pDocument.appendChild(m_pDocument.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version='1.0' encoding='GB2312'")));
    XmlNode root = m_pDocument.appendChild(m_pDocument.createElement(QStringLiteral("ReportData")));
    // The closing tag starts a line of its own.
    root.appendChild(m_pDocument.createTextNode(QStringLiteral("\r\n")));
    return 1;
}

int CXmlDocHelper::Save() {
    if (m_pDocument.isNull())
        throw XmlError(XmlError::InvalidPointer, QStringLiteral("no document"));
    if (m_bLoadFailed) {
        showMessage(qor::str::kUnsupportedXml);
        return 0;
    }
    if (m_pDocument.save(m_strFileName) != qor::XmlSaveStatus::Ok) {
        showMessage(qor::str::kWriteFailedCheckDisk);
        return 0;
    }
    return 1;
}

int CXmlDocHelper::DiffersFromFile(const QString& path) {
    const CXmlDocHelper other(path);
    return GetXmlNodeXml(m_pRootElement) == other.GetXmlNodeXml(other.m_pRootElement) ? 0 : 1;
}

QVariant CXmlDocHelper::GetXmlAttributeVariant(const XmlNode& element, const QString& name) const {
    if (element.isNull() || name.isEmpty()) return QVariant();
    const std::optional<QString> v = element.attribute(name);
    if (!v) return QVariant::fromValue(nullptr);
    return QVariant(*v);
}

QString CXmlDocHelper::GetXmlAttributeString(const XmlNode& element, const QString& name) const {
    if (element.isNull() || name.isEmpty()) return QString();
    return element.attribute(name).value_or(QString());
}

int CXmlDocHelper::GetXmlAttributeInt(const XmlNode& element, const QString& name) const {
    if (element.isNull() || name.isEmpty()) return 0;
    const std::optional<QString> v = element.attribute(name);
    if (!v) return m_nAbsentValue;
    return qor::variantToInt16(*v);
}

float CXmlDocHelper::GetXmlAttributeFloat(const XmlNode& element, const QString& name) const {
    if (element.isNull() || name.isEmpty()) return 0;
    const std::optional<QString> v = element.attribute(name);
    if (!v) return float(m_nAbsentValue);
    return float(qor::variantToInt32(*v));
}

void CXmlDocHelper::SetXmlAttribute(const XmlNode& element, const QString& name,
                                    const QString& value) {
    XmlNode e = element;
    e.setAttribute(name, value);
}

QString CXmlDocHelper::GetXmlNodeText(const XmlNode& node) const { return node.text(); }

QString CXmlDocHelper::GetXmlNodeXml(const XmlNode& node) const { return node.xml().trimmed(); }

QString CXmlDocHelper::GetXmlTagName(const XmlNode& element) const { return element.tagName(); }

int CXmlDocHelper::IsXmlElementTag(const XmlNode& element, const QString& name) const {
    return element.hasTagName(name) ? 1 : 0;
}

int CXmlDocHelper::XmlAttributeEquals(const XmlNode& element, const QString& name,
                                      const QString& value) const {
    return !element.isNull() && GetXmlAttributeString(element, name) == value ? 1 : 0;
}

XmlNode CXmlDocHelper::FindXmlChildByTag(const XmlNode& parent, const QString& tag) const {
    if (parent.isNull()) return {};
    return parent.firstChildElement(tag);
}

XmlNode CXmlDocHelper::FindXmlChildByAttribute(const XmlNode& parent, const QString& name,
                                               const QString& value) const {
    if (parent.isNull()) return {};
    for (XmlNode c = parent.firstChildElement(); c; c = c.nextSiblingElement())
        if (XmlAttributeEquals(c, name, value)) return c;
    return {};
}

XmlNode CXmlDocHelper::AppendXmlChildElement(const XmlNode& parent, const QString& tag,
                                             const QString& text) {
    if (parent.isNull()) return {};
    const XmlDocument doc = parent.ownerDocument();
    XmlNode element = doc.createElement(tag);
    if (!text.isEmpty()) element.setText(text);

    // One tab per level between the parent and the root, so the saved file
    // reads one element per line.
    QString indent = QStringLiteral("\r\n");
    for (XmlNode n = parent; n && n != m_pRootElement; n = n.parent()) indent += u'\t';

    XmlNode p = parent;
    if (!p.hasChildNodes()) p.appendChild(doc.createTextNode(indent));
    p.appendChild(doc.createTextNode(QStringLiteral("\t")));
    p.appendChild(element);
    p.appendChild(doc.createTextNode(indent));
    return element;
}

void CXmlDocHelper::RemoveXmlNodes(const XmlNode& node, const QString& query) {
    if (node.isNull()) return;
    const QList<XmlNode> selected = node.selectNodes(query);
    for (const XmlNode& s : selected)
        if (s.parent() != node)
            throw XmlError(XmlError::InvalidArgument,
                           QStringLiteral("\"%1\" selects a node that is not a child").arg(query));
    XmlNode n = node;
    for (const XmlNode& s : selected) n.removeChild(s);
}
