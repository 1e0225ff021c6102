#pragma once
// The document's own stream of a report file, "OTHERS": the file password
// (the head the engine also reads before a report is opened), a settings
// block, tagged records and the consolidation-client marker. Written at
// every save, read on open. Records with tags this build does not know are
// kept byte for byte and written back, so a newer program's settings
// survive a save here.
//
// Layout after the head and password field of reportlayout.h (110 bytes):
//   u16 settings size S, then S bytes: u8 show page breaks, u8 data state
//       at save, u16 reserved, u32 current page at save, u32 chart
//       counter, u32 reserved (S = 16; a reader takes what it knows and
//       skips the rest)
//   u32 record count N (<= 1,024), N x {u32 tag, u32 length, bytes}
//       "PBRK": u16 entry count (exactly 50), u16 reserved, 50 x {i16
//               unused, i16 row break, i16 column break}; -1 = none
//       "PPER": u32 count (<= 99,999), count x {u16 length (<= 64),
//               UTF-16 text "%d-%d-%d"}
//   u32 consolidation-client marker (20041014, or 0)
// The stream ends exactly after the marker.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

#include "engine/reportlayout.h"

// One entry of a page-break table: a row break and a column break, both
// counted from 0, -1 for none. The first word is not used.
struct PageBreakEntry {
    int16_t unused = -1;
    int16_t row = -1;
    int16_t col = -1;
    bool operator==(const PageBreakEntry&) const = default;
};

namespace qor {

constexpr int kManualBreakCount = 50;
constexpr uint32_t kConsolClientMarker = 20041014;
constexpr int kOthersSettingsSize = 16;
constexpr int kMaxOthersRecords = 1024;
constexpr int kMaxPeriodChars = 64;

using ManualBreakTable = std::array<PageBreakEntry, kManualBreakCount>;

struct OthersRecord {
    uint32_t tag = 0;
    QByteArray data;
    bool operator==(const OthersRecord&) const = default;
};

struct DocOthers {
    QString filePassword;  // "" = none; at most 50 characters
    bool showPageBreaks = false;
    bool dataState = true;
    uint32_t currentPage = 0;
    uint32_t chartCounter = 0;
    ManualBreakTable manualBreaks{};
    QStringList pagePeriods;
    std::vector<OthersRecord> unknownRecords;  // in the order they were read
    uint32_t clientMarker = 0;
    bool operator==(const DocOthers&) const = default;
};

namespace others {
constexpr uint32_t kTagBreaks = fourcc("PBRK");
constexpr uint32_t kTagPeriods = fourcc("PPER");
}  // namespace others

QByteArray encodeDocOthers(const DocOthers& others);
// True and the whole content; false, *out holding the defaults and *error
// saying why, for a stream that is not ours or is damaged. An empty stream
// (none in the file) gives the defaults and true.
bool decodeDocOthers(const QByteArray& stream, DocOthers* out, QString* error = nullptr);

enum class BreakToggle {
    Removed,    // a break before the cell was there and is gone
    Added,      // a row or column break (or both) was added
    Nothing,    // first row and column, or inside a variable area
    TableFull,  // a break was wanted but all entries are in use
};
// The forced-break command on (row, col), from 1: breaks at or past
// lastRow / lastCol (from 0) are dropped as stale; a break just before the
// cell is removed; otherwise breaks are added before the row and the
// column, unless rowBlocked / colBlocked (the cell lies in the shown lines
// of a variable area).
BreakToggle ToggleBreakInTable(ManualBreakTable& table, int row, int col, int lastRow,
                               int lastCol, bool rowBlocked, bool colBlocked);

}  // namespace qor
