#pragma once
// User menus: a menu bar of the user's own, read from a ".mnu" file.
//
// A file holds up to three levels of items, depth first; each item has a
// name, a command text (run when the item is chosen), a status-bar prompt
// and a number (kept, unused). Two encodings exist:
//   - UTF-16 (starts FF FE): a 40-byte header holding "MENU" and the count
//     of first-level items from its fifth character, 8,442-byte records
//     (name 20, number 2, command 4,096, prompt 100, child count 3
//     characters), a 40-byte end mark holding "END";
//   - ANSI (code page 936): a 20-byte header, 637-byte records (512-byte
//     command) or, when the header count is over 100, 4,221-byte records
//     (4,096-byte command) for count - 100 items, a 20-byte end mark.
// Every count is checked against the file's size before anything is read,
// so a damaged file fails fast instead of looping over stale records.
//
// Each position is coded by the letters "A".."L" of its path; the item's
// command id is 40000 + the code's number. A level with more than twelve
// items cannot be coded and such a menu is refused when built.

#include <QList>
#include <QString>

#include "resources/stringids.h"

namespace qor::frames {

struct UserMenuItem {
    QString name;
    QString command;
    QString prompt;
    int number = 0;
};

struct UserMenuTables {
    QList<UserMenuItem> level1;
    // One list per first-level item.
    QList<QList<UserMenuItem>> level2;
    // Per first-level item, one list per second-level item.
    QList<QList<QList<UserMenuItem>>> level3;

    void Clear() {
        level1.clear();
        level2.clear();
        level3.clear();
    }
    bool IsEmpty() const { return level1.isEmpty(); }
    // The item at a position (j, k -1 for upper levels); null when none.
    const UserMenuItem* Item(int i, int j = -1, int k = -1) const;
};

constexpr int kUserMenuFirstId = 40000;
constexpr int kUserMenuLastId = 48409;
constexpr int kMaxUserMenuLevelItems = 12;

enum class MenuParseResult {
    Ok,
    Failed,       // *message holds the string id to show
    NotEmpty,     // a UTF-16 file meets tables already holding a menu
};

// Reads the file at path. On success the tables are replaced; on any
// failure they are left exactly as they were. A UTF-16 file is only read
// into empty tables (NotEmpty, no message, otherwise).
MenuParseResult ParseMenuFile(const QString& path, UserMenuTables& tables, int* message);
// The same over bytes already read (used by the fuzz target).
MenuParseResult ParseMenuBytes(const QByteArray& data, UserMenuTables& tables, int* message);

// The command id of a position, or 0 when it cannot be coded.
int UserMenuCommandId(int i, int j = -1, int k = -1);
// The position of a command id: false when the id is not a user-menu id.
bool UserMenuPosition(int id, int* i, int* j, int* k);
// True when every item of every level can be coded.
bool UserMenuCodable(const UserMenuTables& tables);

}  // namespace qor::frames
