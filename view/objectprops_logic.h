#pragma once
// The properties of an embedded or linked object (57860 with an object
// selected): what it is, its scale against its natural size (10 to 500 %),
// and for a link its file, updated now or opened on request.

#include <QString>
#include <QWidget>
#include <functional>

class COleItem;
class CQorsDoc;

namespace qor::view {

inline constexpr int kMinObjectScale = 10;
inline constexpr int kMaxObjectScale = 500;

struct ObjectPropsMembers {
    QString className;  // the object's class (MIME type)
    QString source;     // a link's file; empty for an embedded object
    bool link = false;
    int scale = 100;  // percent of the natural size
    // The link page's buttons act at once through these.
    std::function<void()> updateNow;
    std::function<void()> openSource;
};

// The object's size in percent of its natural size (its picture's size):
// the larger of the two axes' percentages, rounded; 100 when the natural
// size is unknown.
int ObjectScalePercent(const COleItem& object);
ObjectPropsMembers PresetObjectProps(const COleItem& object);
// Sizes the object to percent (brought into 10..500) of its natural size,
// keeping its top-left corner and keeping it on the sheet; true (document
// marked modified, views told) when the size changed.
bool ApplyObjectScale(CQorsDoc& doc, COleItem& object, int percent);

// The dialog; false is cancel. The desktop installs it; without one the
// command is greyed.
using ObjectPropsRunner = std::function<bool(ObjectPropsMembers& members, QWidget* parent)>;
ObjectPropsRunner SetObjectPropsRunner(ObjectPropsRunner runner);
const ObjectPropsRunner& ObjectPropsDialog();

}  // namespace qor::view
