#pragma once
// One XML file held as a document: open (or start) it, hand out its root
// element, save it back, and the small element operations the spreadsheet
// XML reader, the audit-office export and the consolidation client share.

#include <QString>
#include <QVariant>
#include <cstdint>

#include "exchange/xmldom.h"

class CXmlDocHelper {
public:
    CXmlDocHelper();
    // Opens the file at once (see Open).
    explicit CXmlDocHelper(const QString& path);
    virtual ~CXmlDocHelper();
    CXmlDocHelper(const CXmlDocHelper&) = delete;
    CXmlDocHelper& operator=(const CXmlDocHelper&) = delete;

    // Reads the file; a missing file gives a new document. A file that
    // does not parse also gives a new document in memory, but the object
    // remembers it (LoadFailed) and Save then refuses to overwrite it.
    // Returns 1.
    int Open(const QString& path);
    // Starts a new document for the path: the declaration
    // "version='1.0' encoding='GB2312'" and an element "ReportData" holding
    // a line break. Leaves the stored root to Open. Returns 1.
    int CreateNew(const QString& path);
    // Writes the document to its file through a temporary file. 1 on
    // success; 0 with message 62016 when the file cannot be written, and 0
    // with message 62017 when the file on disk could not be read (saving
    // would destroy it).
    int Save();

    void SetRootElement(const qor::XmlNode& element) { m_pRootElement = element; }
    qor::XmlNode GetRootElement() const { return m_pRootElement; }
    // 0 when the other file's root element reads the same (markup trimmed
    // of surrounding white space), 1 when it differs.
    int DiffersFromFile(const QString& path);

    // Empty variant for a null element or empty name, a null variant for
    // an absent attribute, else the text.
    QVariant GetXmlAttributeVariant(const qor::XmlNode& element, const QString& name) const;
    QString GetXmlAttributeString(const qor::XmlNode& element, const QString& name) const;
    // The absent value when the attribute is missing; otherwise the text as
    // a 16-bit integer, rounded half to even. A text that is no number or
    // lies outside -32768..32767 throws qor::XmlError.
    int GetXmlAttributeInt(const qor::XmlNode& element, const QString& name) const;
    // As above through a 32-bit integer: fractions round to whole numbers.
    float GetXmlAttributeFloat(const qor::XmlNode& element, const QString& name) const;
    void SetXmlAttribute(const qor::XmlNode& element, const QString& name, const QString& value);
    // Text and markup of a node; a null node throws qor::XmlError.
    QString GetXmlNodeText(const qor::XmlNode& node) const;
    QString GetXmlNodeXml(const qor::XmlNode& node) const;
    QString GetXmlTagName(const qor::XmlNode& element) const;
    int IsXmlElementTag(const qor::XmlNode& element, const QString& name) const;
    int XmlAttributeEquals(const qor::XmlNode& element, const QString& name,
                           const QString& value) const;
    qor::XmlNode FindXmlChildByTag(const qor::XmlNode& parent, const QString& tag) const;
    qor::XmlNode FindXmlChildByAttribute(const qor::XmlNode& parent, const QString& name,
                                         const QString& value) const;
    // Appends an element on a line of its own, indented one tab per level
    // below the root; null for a null parent.
    qor::XmlNode AppendXmlChildElement(const qor::XmlNode& parent, const QString& tag,
                                       const QString& text);
    // Removes the children of the node that the query selects; a selected
    // node that is not a child throws qor::XmlError before anything is
    // removed.
    void RemoveXmlNodes(const qor::XmlNode& node, const QString& query);

    qor::XmlDocument GetDocument() const { return m_pDocument; }
    const QString& GetFileName() const { return m_strFileName; }
    bool LoadFailed() const { return m_bLoadFailed; }
    const QString& LoadError() const { return m_strLoadError; }

protected:
    qor::XmlDocument m_pDocument;
    qor::XmlNode m_pRootElement;
    QString m_strFileName;
    int32_t m_nAbsentValue = 0;
    // The file existed with content that did not load.
    bool m_bLoadFailed = false;
    QString m_strLoadError;
};
