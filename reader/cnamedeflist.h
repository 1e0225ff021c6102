#pragma once
// Pairs of a database name (of a table or a field) and the definition
// text users know it by.

#include <QList>
#include <QString>

struct CNameDef {
    QString m_strName;
    QString m_strDefinition;
};

class CNameDefList : public QList<CNameDef> {
public:
    void Add(const QString& name, const QString& definition) { append({name, definition}); }
    // The name of the first pair with this definition; null when none.
    QString FindName(const QString& definition) const {
        for (const CNameDef& d : *this)
            if (d.m_strDefinition == definition) return d.m_strName;
        return QString();
    }
};
