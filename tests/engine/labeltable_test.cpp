// The report's label table against a plain map, over the changes an editor
// makes in any order: sets before the last key, overwrites and erases in
// numbers that make it merge its waiting labels and drop its erased slots.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "engine/labeltable.h"

using qor::LabelTable;

namespace {

void expectSame(const LabelTable& t, const std::map<uint32_t, QString>& model) {
    ASSERT_EQ(t.size(), model.size());
    auto m = model.begin();
    for (const auto& [key, text] : t) {
        ASSERT_NE(m, model.end());
        EXPECT_EQ(key, m->first);
        EXPECT_EQ(text, m->second) << key;
        ++m;
    }
    EXPECT_EQ(m, model.end());
}

}  // namespace

TEST(LabelTable, FollowsAMapThroughChangesInAnyOrder) {
    std::mt19937 random(57);
    LabelTable t;
    std::map<uint32_t, QString> model;
    // In order first, as a sheet is read, then everything at random over
    // the same keys: overwrites of living, dead and waiting labels.
    for (uint32_t k = 10; k < 6000; k += 2) {
        t.set(k, QString::number(k));
        model[k] = QString::number(k);
    }
    expectSame(t, model);
    for (int i = 0; i < 40000; ++i) {
        const uint32_t key = random() % 7000;
        if (random() % 3 == 0) {
            t.erase(key);
            model.erase(key);
        } else {
            const QString text = QStringLiteral("v%1-%2").arg(key).arg(i);
            t.set(key, text);
            model[key] = text;
        }
        if (i % 5000 == 0) expectSame(t, model);
    }
    expectSame(t, model);
    for (uint32_t key = 0; key < 7000; ++key) {
        const auto m = model.find(key);
        const QString* text = t.find(key);
        ASSERT_EQ(text != nullptr, m != model.end()) << key;
        if (text) {
            EXPECT_EQ(*text, m->second);
        }
    }
    // Erasing all of it leaves nothing behind, and the table fills again.
    for (uint32_t key = 0; key < 7000; ++key) t.erase(key);
    EXPECT_TRUE(t.empty());
    EXPECT_EQ(t.begin(), t.end());
    t.set(5, QStringLiteral("a"));
    t.set(3, QStringLiteral("b"));
    expectSame(t, {{3, QStringLiteral("b")}, {5, QStringLiteral("a")}});
}

TEST(LabelTable, AssignSortsAndTheLaterOfTwoCounts) {
    LabelTable t;
    t.set(1, QStringLiteral("gone"));
    t.assign({{9, QStringLiteral("a")}, {2, QStringLiteral("b")}, {9, QStringLiteral("c")}, {4, QString()}});
    expectSame(t, {{2, QStringLiteral("b")}, {4, QString()}, {9, QStringLiteral("c")}});
    LabelTable same;
    same.set(4, QString());
    same.set(2, QStringLiteral("b"));
    same.set(9, QStringLiteral("c"));
    EXPECT_TRUE(same == t);
    same.set(9, QStringLiteral("d"));
    EXPECT_FALSE(same == t);
}
