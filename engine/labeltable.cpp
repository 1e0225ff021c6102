#include "engine/labeltable.h"

#include <algorithm>

namespace qor {

namespace {

// Labels set out of order wait in the side map until it holds this many,
// or a sixteenth of the table: each merge walks the whole table once, so
// the cost a change stays small however large the table is.
constexpr size_t kLateFloor = 1024;

// The first slot whose key is not below key.
template <class It>
It lowerSlot(It begin, It end, uint32_t key) {
    return std::lower_bound(begin, end, key, [](const auto& s, uint32_t k) { return s.key < k; });
}

}  // namespace

LabelTable::Slots::iterator LabelTable::slotOf(uint32_t key) {
    const auto it = lowerSlot(m_slots.begin(), m_slots.end(), key);
    return it != m_slots.end() && it->key == key ? it : m_slots.end();
}

const QString* LabelTable::find(uint32_t key) const {
    const auto it = lowerSlot(m_slots.begin(), m_slots.end(), key);
    if (it != m_slots.end() && it->key == key) return it->live ? &it->text : nullptr;
    const auto late = m_late.find(key);
    return late == m_late.end() ? nullptr : &late->second;
}

void LabelTable::set(uint32_t key, QString text) {
    if (m_slots.empty() || key > m_slots.back().key) {
        // In order, as a file or a sheet is read: straight to the end (a
        // key in the side map is always below the last slot's).
        m_slots.push_back({key, true, std::move(text)});
        ++m_live;
        return;
    }
    if (const auto it = slotOf(key); it != m_slots.end()) {
        if (!it->live) ++m_live;
        it->live = true;
        it->text = std::move(text);
        return;
    }
    m_late[key] = std::move(text);
    if (m_late.size() > std::max(kLateFloor, m_slots.size() / 16)) merge();
}

void LabelTable::erase(uint32_t key) {
    if (const auto it = slotOf(key); it != m_slots.end()) {
        if (!it->live) return;
        it->live = false;
        it->text = QString();
        --m_live;
        // Dead slots go once they outnumber the living.
        if (m_slots.size() - m_live > std::max(kLateFloor, m_live)) merge();
        return;
    }
    m_late.erase(key);
}

void LabelTable::clear() {
    m_slots.clear();
    m_live = 0;
    m_late.clear();
}

void LabelTable::merge() {
    Slots merged;
    auto late = m_late.begin();
    for (Slot& s : m_slots) {
        if (!s.live) continue;
        for (; late != m_late.end() && late->first < s.key; ++late)
            merged.push_back({late->first, true, std::move(late->second)});
        merged.push_back(std::move(s));
    }
    for (; late != m_late.end(); ++late) merged.push_back({late->first, true, std::move(late->second)});
    m_slots = std::move(merged);
    m_live = m_slots.size();
    m_late.clear();
}

void LabelTable::assign(std::vector<std::pair<uint32_t, QString>> entries) {
    clear();
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [key, text] : entries) {
        if (!m_slots.empty() && m_slots.back().key == key) m_slots.back().text = std::move(text);
        else m_slots.push_back({key, true, std::move(text)});
    }
    m_live = m_slots.size();
}

bool LabelTable::operator==(const LabelTable& o) const {
    if (size() != o.size()) return false;
    for (const_iterator a = begin(), b = o.begin(); a != end(); ++a, ++b) {
        const Entry x = *a, y = *b;
        if (x.first != y.first || x.second != y.second) return false;
    }
    return true;
}

}  // namespace qor
