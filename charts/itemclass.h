#pragma once
// Run-time class records of the document items. A stored item carries its
// class name; reading it back looks the name up here and makes an object of
// that class, so a stored chart comes back as a chart.

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class CComItem;

namespace qor::items {

struct RuntimeClass {
    const char* name;                       // "CGraphItem"
    const char* baseName;                   // the class it derives from ("CDocItem" for the root)
    uint16_t schema;                        // record schema the class writes and reads
    std::shared_ptr<CComItem> (*create)();  // dynamic creation

    // True when this class is base or derives from it.
    bool IsDerivedFrom(const RuntimeClass* base) const;
    const RuntimeClass* BaseClass() const;
};

// The record of a class name (exact case); null when unknown.
const RuntimeClass* FindRuntimeClass(const QString& name);
// A new default object of the named class; null when unknown.
std::shared_ptr<CComItem> CreateItemObject(const QString& name);
// Adds an item class defined outside this library (a plug-in or a layer
// above registers its own). A name already registered is not replaced
// (false).
bool RegisterRuntimeClass(const RuntimeClass* cls);
// Every registered class, the three built-in ones first.
std::vector<const RuntimeClass*> RuntimeClasses();

}  // namespace qor::items
