#pragma once
// The labels of a report's format, cellKey(row, col) -> text, in key order.
// A report read from a workbook may hold millions of them, so they lie in
// one sorted sequence of small slots rather than in a tree node apiece. A
// label set before the last one waits in a side map until enough gather to
// be merged in, and an erased one is only marked, so that editing a large
// table does not move the whole sequence at every change.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

namespace qor {

class LabelTable {
    struct Slot {
        uint32_t key = 0;
        bool live = false;
        QString text;
    };
    using Slots = std::deque<Slot>;
    using Late = std::map<uint32_t, QString>;

public:
    // What iteration yields: the key and the text, as a map's entries.
    struct Entry {
        uint32_t first;
        const QString& second;
    };

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using reference = Entry;
        const_iterator() = default;
        Entry operator*() const {
            return fromSlots() ? Entry{m_slot->key, m_slot->text} : Entry{m_late->first, m_late->second};
        }
        const_iterator& operator++() {
            if (fromSlots()) ++m_slot;
            else ++m_late;
            skipDead();
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator was = *this;
            ++*this;
            return was;
        }
        bool operator==(const const_iterator& o) const { return m_slot == o.m_slot && m_late == o.m_late; }

    private:
        friend class LabelTable;
        const_iterator(Slots::const_iterator slot, Slots::const_iterator slotEnd, Late::const_iterator late,
                       Late::const_iterator lateEnd)
            : m_slot(slot), m_slotEnd(slotEnd), m_late(late), m_lateEnd(lateEnd) {
            skipDead();
        }
        void skipDead() {
            while (m_slot != m_slotEnd && !m_slot->live) ++m_slot;
        }
        // The smaller key of the two sequences comes first; a key is never
        // in both.
        bool fromSlots() const {
            return m_late == m_lateEnd || (m_slot != m_slotEnd && m_slot->key < m_late->first);
        }
        Slots::const_iterator m_slot, m_slotEnd;
        Late::const_iterator m_late, m_lateEnd;
    };

    size_t size() const { return m_live + m_late.size(); }
    bool empty() const { return size() == 0; }
    const_iterator begin() const { return {m_slots.begin(), m_slots.end(), m_late.begin(), m_late.end()}; }
    const_iterator end() const { return {m_slots.end(), m_slots.end(), m_late.end(), m_late.end()}; }

    // The text at key, or null when there is none.
    const QString* find(uint32_t key) const;
    void set(uint32_t key, QString text);
    void erase(uint32_t key);
    void clear();
    // Replaces every label with entries in any order; of two for one key
    // the later counts.
    void assign(std::vector<std::pair<uint32_t, QString>> entries);

    bool operator==(const LabelTable& o) const;

private:
    Slots::iterator slotOf(uint32_t key);
    void merge();

    Slots m_slots;   // by key; dead slots keep their place until a merge
    size_t m_live = 0;
    Late m_late;     // keys not in m_slots
};

}  // namespace qor
