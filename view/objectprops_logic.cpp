#include "view/objectprops_logic.h"

#include <algorithm>
#include <cmath>

#include "charts/coleitem.h"
#include "charts/itemformats.h"
#include "document/cqorsdoc.h"
#include "print/viewitems_logic.h"

namespace qor::view {

namespace {

QSize naturalSize(const COleItem& object) {
    const QSize extent = object.GetClient().cachedExtent;
    if (extent.width() <= 0 || extent.height() <= 0) return {};
    const QSize px = qor::items::HimetricToPixels(extent);
    return px.width() > 0 && px.height() > 0 ? px : QSize();
}

ObjectPropsRunner& runnerSlot() {
    static ObjectPropsRunner runner;
    return runner;
}

}  // namespace

int ObjectScalePercent(const COleItem& object) {
    const QSize natural = naturalSize(object);
    const QSize size = object.GetSize();
    if (natural.isEmpty() || size.width() <= 0 || size.height() <= 0) return 100;
    const double sx = 100.0 * size.width() / natural.width();
    const double sy = 100.0 * size.height() / natural.height();
    return int(std::lround(std::max(sx, sy)));
}

ObjectPropsMembers PresetObjectProps(const COleItem& object) {
    ObjectPropsMembers m;
    m.className = object.GetClient().classId;
    m.link = object.GetClient().itemType == qor::items::OleClientRecord::kLink;
    if (m.link) m.source = object.GetClient().linkSource;
    m.scale = std::clamp(ObjectScalePercent(object), kMinObjectScale, kMaxObjectScale);
    return m;
}

bool ApplyObjectScale(CQorsDoc& doc, COleItem& object, int percent) {
    percent = std::clamp(percent, kMinObjectScale, kMaxObjectScale);
    QSize natural = naturalSize(object);
    if (natural.isEmpty()) natural = object.GetSize();
    if (natural.isEmpty()) return false;
    const int cx = std::max(1, int(std::lround(natural.width() * percent / 100.0)));
    const int cy = std::max(1, int(std::lround(natural.height() * percent / 100.0)));
    const qor::items::Rect r = object.GetRect();
    const int left = std::min(r.left, r.right), top = std::min(r.top, r.bottom);
    return ApplyItemRect(doc, object, {left, top, left + cx, top + cy});
}

ObjectPropsRunner SetObjectPropsRunner(ObjectPropsRunner runner) {
    ObjectPropsRunner old = std::move(runnerSlot());
    runnerSlot() = std::move(runner);
    return old;
}

const ObjectPropsRunner& ObjectPropsDialog() { return runnerSlot(); }

}  // namespace qor::view
