#include "document/doc_others.h"

#include <algorithm>
#include <limits>

#include "engine/reportlayout.h"
#include "engine/status.h"

namespace qor {

namespace {

constexpr size_t kHeadAndPassword = kOthersHeadSize + kFilePasswordFieldSize;

DocOthers defaults() {
    DocOthers d;
    for (PageBreakEntry& e : d.manualBreaks) e = PageBreakEntry{};
    return d;
}

QByteArray encodeBreaks(const ManualBreakTable& table) {
    QByteArray out;
    ByteWriter w(out);
    w.u16(uint16_t(kManualBreakCount));
    w.u16(0);
    for (const PageBreakEntry& e : table) {
        w.i16(e.unused);
        w.i16(e.row);
        w.i16(e.col);
    }
    return out;
}

bool decodeBreaks(const QByteArray& data, ManualBreakTable* table) {
    ByteReader r(data);
    const uint16_t count = r.u16();
    r.u16();
    // The table has exactly 50 entries everywhere it is used; another
    // count means the record is not one we can trust.
    if (!r.ok() || count != kManualBreakCount || r.remaining() != size_t(count) * 6) return false;
    for (PageBreakEntry& e : *table) {
        e.unused = r.i16();
        e.row = r.i16();
        e.col = r.i16();
    }
    return r.ok();
}

QByteArray encodePeriods(const QStringList& periods) {
    QByteArray out;
    ByteWriter w(out);
    w.u32(uint32_t(periods.size()));
    for (const QString& p : periods) {
        const QStringView t = QStringView(p).left(kMaxPeriodChars);
        w.u16(uint16_t(t.size()));
        w.utf16(t);
    }
    return out;
}

bool decodePeriods(const QByteArray& data, QStringList* periods) {
    ByteReader r(data);
    const uint32_t count = r.u32();
    if (!r.ok() || count > kMaxPages) return false;
    QStringList list;
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t len = r.u16();
        if (!r.ok() || len > kMaxPeriodChars || !r.need(size_t(len) * 2)) return false;
        list << r.utf16(len);
    }
    if (!r.ok() || r.remaining() != 0) return false;
    *periods = list;
    return true;
}

bool fail(DocOthers* out, QString* error, const QString& why) {
    *out = defaults();
    if (error) *error = why;
    return false;
}

}  // namespace

QByteArray encodeDocOthers(const DocOthers& o) {
    QByteArray out;
    ByteWriter w(out);
    w.u32(kOthersMagic);
    w.u16(kRecordRevision);
    w.u16(0);
    w.bytes(encodeFilePasswordField(o.filePassword));

    w.u16(uint16_t(kOthersSettingsSize));
    w.u8(o.showPageBreaks ? 1 : 0);
    w.u8(o.dataState ? 1 : 0);
    w.u16(0);
    w.u32(o.currentPage);
    w.u32(o.chartCounter);
    w.u32(0);

    std::vector<OthersRecord> records;
    records.push_back({others::kTagBreaks, encodeBreaks(o.manualBreaks)});
    records.push_back({others::kTagPeriods, encodePeriods(o.pagePeriods)});
    for (const OthersRecord& r : o.unknownRecords)
        if (r.tag != others::kTagBreaks && r.tag != others::kTagPeriods &&
            records.size() < size_t(kMaxOthersRecords))
            records.push_back(r);
    w.u32(uint32_t(records.size()));
    for (const OthersRecord& r : records) {
        w.u32(r.tag);
        w.u32(uint32_t(r.data.size()));
        w.bytes(r.data);
    }
    w.u32(o.clientMarker);
    return out;
}

bool decodeDocOthers(const QByteArray& stream, DocOthers* out, QString* error) {
    *out = defaults();
    if (error) error->clear();
    if (stream.isEmpty()) return true;

    QString password;
    if (!decodeOthersFilePassword(stream, &password))
        return fail(out, error, StatusText(Status::CorruptReport));
    ByteReader r(stream);
    r.seek(kHeadAndPassword);
    // A stream that holds no document settings (only the head and the
    // password, as a writer that keeps none leaves it) ends here.
    if (r.ok() && r.remaining() == 0) {
        out->filePassword = password;
        return true;
    }

    DocOthers d = defaults();
    d.filePassword = password;
    const uint16_t settingsSize = r.u16();
    if (!r.ok() || settingsSize < 12 || !r.need(settingsSize))
        return fail(out, error, StatusText(Status::CorruptReport));
    const size_t settingsEnd = r.pos() + settingsSize;
    d.showPageBreaks = r.u8() != 0;
    d.dataState = r.u8() != 0;
    r.u16();
    d.currentPage = r.u32();
    d.chartCounter = r.u32();
    r.seek(settingsEnd);

    const uint32_t count = r.u32();
    if (!r.ok() || count > uint32_t(kMaxOthersRecords))
        return fail(out, error, StatusText(Status::CorruptReport));
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t tag = r.u32();
        const uint32_t length = r.u32();
        // The marker follows the last record.
        if (!r.ok() || r.remaining() < 4 || length > r.remaining() - 4)
            return fail(out, error, StatusText(Status::CorruptReport));
        const QByteArray data = r.bytes(length);
        if (tag == others::kTagBreaks) {
            if (!decodeBreaks(data, &d.manualBreaks))
                return fail(out, error, StatusText(Status::CorruptReport));
        } else if (tag == others::kTagPeriods) {
            if (!decodePeriods(data, &d.pagePeriods))
                return fail(out, error, StatusText(Status::CorruptReport));
        } else {
            d.unknownRecords.push_back({tag, data});
        }
    }
    d.clientMarker = r.u32();
    if (!r.ok() || r.remaining() != 0) return fail(out, error, StatusText(Status::CorruptReport));
    *out = d;
    return true;
}

BreakToggle ToggleBreakInTable(ManualBreakTable& table, int row, int col, int lastRow,
                               int lastCol, bool rowBlocked, bool colBlocked) {
    bool removal = false;
    for (PageBreakEntry& e : table) {
        if (e.row >= lastRow) {
            e.row = -1;
        } else if (e.row >= 0 && e.row == row - 1) {
            e.row = -1;
            removal = true;
        }
        if (e.col >= lastCol) {
            e.col = -1;
        } else if (e.col >= 0 && e.col == col - 1) {
            e.col = -1;
            removal = true;
        }
    }
    if (removal) return BreakToggle::Removed;

    constexpr int kMax = std::numeric_limits<int16_t>::max();
    bool added = false, full = false;
    auto add = [&](bool rows, int value) {
        auto it = std::find_if(table.begin(), table.end(), [rows](const PageBreakEntry& e) {
            return (rows ? e.row : e.col) < 0;
        });
        if (it == table.end()) {
            full = true;
            return;
        }
        (rows ? it->row : it->col) = int16_t(value);
        added = true;
    };
    if (!rowBlocked && row - 1 >= 0 && row - 1 <= kMax) add(true, row - 1);
    if (!colBlocked && col - 1 >= 0 && col - 1 <= kMax) add(false, col - 1);
    if (full) return BreakToggle::TableFull;
    return added ? BreakToggle::Added : BreakToggle::Nothing;
}

}  // namespace qor
