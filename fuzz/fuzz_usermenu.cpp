// User menu files (".mnu") in both encodings: any input either reads into
// consistent tables or fails leaving the tables exactly as they were, and
// the time spent is bounded by the input's size.

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "usermenu/usermenu.h"

using namespace qor::frames;

namespace {

bool consistent(const UserMenuTables& t) {
    if (t.level2.size() != t.level1.size() || t.level3.size() != t.level1.size()) return false;
    for (qsizetype i = 0; i < t.level1.size(); ++i)
        if (t.level3[i].size() != t.level2[i].size()) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (4u << 20)) return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    int message = 0;

    UserMenuTables empty;
    const MenuParseResult r = ParseMenuBytes(bytes, empty, &message);
    if (r == MenuParseResult::NotEmpty) std::abort();  // the tables were empty
    if (r == MenuParseResult::Failed && (!empty.IsEmpty() || message == 0)) std::abort();
    if (!consistent(empty)) std::abort();
    if (r == MenuParseResult::Ok) {
        UserMenuCodable(empty);
        for (qsizetype i = 0; i < empty.level1.size(); ++i) empty.Item(int(i), 0, 0);
    }

    // Over a loaded menu: a failure changes nothing.
    UserMenuTables shown;
    shown.level1.append(UserMenuItem{QStringLiteral("a"), QStringLiteral("b"), QString(), 1});
    shown.level2.append(QList<UserMenuItem>());
    shown.level3.append(QList<QList<UserMenuItem>>());
    if (ParseMenuBytes(bytes, shown, &message) != MenuParseResult::Ok &&
        (shown.level1.size() != 1 || shown.level1[0].command != QStringLiteral("b")))
        std::abort();
    if (!consistent(shown)) std::abort();
    return 0;
}
