#include "platform/compoundfile.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <map>
#include <random>

#include "platform/bytes.h"
#include "tests/common/testsupport.h"

using qor::CompoundFile;
using qor::readLE32;
using qor::storeLE32;

namespace {

QByteArray pattern(qsizetype size, int seed) {
    QByteArray b(size, Qt::Uninitialized);
    quint32 x = 2654435761u * quint32(seed + 1);
    for (qsizetype i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = char(x >> 16);
    }
    return b;
}

using qortest::fileBytes;

void putFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QString md5(const QByteArray& b) {
    return QString::fromLatin1(QCryptographicHash::hash(b, QCryptographicHash::Md5).toHex());
}

// Lists every stream (size, md5) and storage the way olefile sees them, in
// its strictest mode, and checks each storage's sibling tree: black root,
// no red node with a red child, equal black height, names in the format's
// order (length, then upper case).
const char* kOleOracle = R"PY(
import sys, hashlib, olefile
o = olefile.OleFileIO(sys.argv[1], raise_defects=olefile.DEFECT_UNSURE)
out = []
for p in o.listdir(streams=True, storages=False):
    data = o.openstream(p).read()
    out.append('S %s %d %s' % ('/'.join(p), len(data), hashlib.md5(data).hexdigest()))
for p in o.listdir(streams=False, storages=True):
    out.append('D ' + '/'.join(p))
NOSTREAM = 0xFFFFFFFF
def walk(sid):
    if sid == NOSTREAM:
        return 1, []
    e = o.direntries[sid]
    hl, kl = walk(e.sid_left)
    hr, kr = walk(e.sid_right)
    if hl != hr:
        raise Exception('unequal black height below ' + e.name)
    if e.color == 0:
        for c in (e.sid_left, e.sid_right):
            if c != NOSTREAM and o.direntries[c].color == 0:
                raise Exception('red child of red ' + e.name)
    return hl + (1 if e.color == 1 else 0), kl + [(len(e.name), e.name.upper())] + kr
for e in o.direntries:
    if e is None or e.entry_type not in (1, 5) or e.sid_child == NOSTREAM:
        continue
    if o.direntries[e.sid_child].color != 1:
        raise Exception('red tree root below ' + e.name)
    keys = walk(e.sid_child)[1]
    if keys != sorted(set(keys)):
        raise Exception('siblings out of order below ' + e.name)
print('\n'.join(sorted(out)))
)PY";

struct Content {
    std::map<QString, QByteArray> streams;
    QStringList storages;

    QStringList listing() const {
        QStringList out;
        for (const auto& [path, data] : streams)
            out << QStringLiteral("S %1 %2 %3").arg(path).arg(data.size()).arg(md5(data));
        for (const QString& s : storages) out << QStringLiteral("D ") + s;
        out.sort();
        return out;
    }
};

bool haveOlefile() { return qortest::needPythonModule(QStringLiteral("olefile")); }
bool haveGsf() { return qortest::needProgram(QStringLiteral("gsf")); }

void expectOlefileSees(const QString& file, const Content& want) {
    const qortest::ProcessResult r = qortest::python(QString::fromLatin1(kOleOracle), {file});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QStringList got = QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(got, want.listing());
}

void expectGsfSees(const QString& file, const Content& want) {
    const qortest::ProcessResult list = qortest::run(QStringLiteral("gsf"), {"list", file});
    ASSERT_EQ(list.exitCode, 0) << list.err.constData();
    EXPECT_TRUE(list.err.isEmpty()) << list.err.constData();
    for (const auto& [path, data] : want.streams) {
        const qortest::ProcessResult cat = qortest::run(QStringLiteral("gsf"), {"cat", file, path});
        ASSERT_EQ(cat.exitCode, 0) << path.toStdString() << cat.err.constData();
        EXPECT_EQ(md5(cat.out), md5(data)) << path.toStdString();
    }
}

void expectWeRead(const CompoundFile& cf, const Content& want) {
    for (const auto& [path, data] : want.streams) {
        EXPECT_EQ(cf.streamSize(path), data.size()) << path.toStdString();
        EXPECT_EQ(md5(cf.readAll(path)), md5(data)) << path.toStdString();
    }
    for (const QString& s : want.storages) EXPECT_TRUE(cf.isStorage(s)) << s.toStdString();
    EXPECT_EQ(cf.allEntries().size(), qsizetype(want.streams.size()) + want.storages.size());
}

// A small file with a storage, mini-stream and regular streams.
Content writeSample(const QString& file) {
    Content c;
    c.streams["QOR~REP"] = pattern(6000, 1);
    c.streams["PageEx"] = pattern(300, 2);
    c.streams["QOR~VEP"] = QByteArray();
    c.streams["Embedding 1/Contents"] = pattern(5000, 3);
    c.streams["Embedding 1/Info"] = pattern(64, 4);
    c.storages << "Embedding 1";
    QString err;
    auto cf = CompoundFile::create(file, &err);
    EXPECT_TRUE(cf) << err.toStdString();
    if (!cf) return c;
    EXPECT_TRUE(cf->createStorage("Embedding 1"));
    for (const auto& [path, data] : c.streams) EXPECT_TRUE(cf->writeAll(path, data));
    EXPECT_TRUE(cf->commit()) << cf->lastError().toStdString();
    return c;
}

}  // namespace

TEST(CompoundFile, RoundTripOfStreamsAndStorages) {
    const QString file = qortest::freshDir("cfb-roundtrip") + "/a.rep";
    Content want;
    {
        auto cf = CompoundFile::create(file);
        ASSERT_TRUE(cf);
        ASSERT_TRUE(cf->createStorage("S1"));
        ASSERT_TRUE(cf->createStorage("S1/Inner"));
        ASSERT_TRUE(cf->createStorage("Empty"));
        const std::vector<std::pair<QString, qsizetype>> sizes = {
            {"QOR~REP", 4096},        {"PageEx", 4095},  {"Zero", 0},          {"S1/Mid", 100},
            {"S1/Inner/Deep", 70000}, {"S1/Inner/T", 1}, {"\u62a5\u8868", 777}};
        int seed = 10;
        for (const auto& [path, size] : sizes) {
            want.streams[path] = pattern(size, seed++);
            ASSERT_TRUE(cf->writeAll(path, want.streams[path])) << path.toStdString();
        }
        want.storages << "S1"
                      << "S1/Inner"
                      << "Empty";
        // No commit: the destructor saves a writable file.
    }
    ASSERT_TRUE(CompoundFile::isCompoundFile(file));
    QString err;
    auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly, &err);
    ASSERT_TRUE(cf) << err.toStdString();
    EXPECT_FALSE(cf->isWritable());
    expectWeRead(*cf, want);

    // Partial reads at and past the end.
    char buf[16];
    EXPECT_EQ(cf->read("S1/Mid", 95, buf, sizeof buf), 5);
    EXPECT_EQ(QByteArray(buf, 5), want.streams["S1/Mid"].mid(95));
    EXPECT_EQ(cf->read("S1/Mid", 100, buf, sizeof buf), 0);
    EXPECT_EQ(cf->read("S1/Inner/Deep", 65000, 2000),
              want.streams["S1/Inner/Deep"].mid(65000, 2000));
    EXPECT_EQ(cf->read("Nope", 0, buf, sizeof buf), -1);
    EXPECT_EQ(cf->read("S1", 0, buf, sizeof buf), -1);
    EXPECT_EQ(cf->streamSize("S1"), -1);

    // Case-insensitive lookup; listing in sibling order (length, then name).
    EXPECT_TRUE(cf->exists("qor~rep"));
    EXPECT_TRUE(cf->isStorage("s1/INNER"));
    QStringList names;
    for (const auto& e : cf->entries()) names << e.name;
    EXPECT_EQ(names, QStringList({"S1", "\u62a5\u8868", "Zero", "Empty", "PageEx", "QOR~REP"}));
    const auto inner = cf->entries("S1/Inner");
    ASSERT_EQ(inner.size(), 2);
    EXPECT_EQ(inner[0].path, "S1/Inner/T");
    EXPECT_EQ(inner[1].size, 70000u);
    EXPECT_FALSE(inner[1].isStorage);
    cf.reset();

    if (haveOlefile()) expectOlefileSees(file, want);
    if (haveGsf()) expectGsfSees(file, want);
}

TEST(CompoundFile, NamesAndEntryRules) {
    const QString file = qortest::freshDir("cfb-names") + "/n.rep";
    auto cf = CompoundFile::create(file);
    ASSERT_TRUE(cf);
    EXPECT_FALSE(cf->createStream(QString(32, QLatin1Char('x'))));
    EXPECT_TRUE(cf->createStream(QString(31, QLatin1Char('x'))));
    EXPECT_FALSE(cf->createStream("a:b"));
    EXPECT_FALSE(cf->createStream("Missing/Stream"));
    EXPECT_FALSE(cf->lastError().isEmpty());
    ASSERT_TRUE(cf->createStorage("Box"));
    EXPECT_TRUE(cf->createStorage("BOX"));  // already there
    EXPECT_FALSE(cf->createStream("box"));  // a storage, not a stream
    EXPECT_FALSE(cf->writeAll("Box", "x"));
    ASSERT_TRUE(cf->writeAll("Box/S", "hello"));
    EXPECT_FALSE(cf->createStorage("Box/S"));
    // createStream empties an existing stream.
    ASSERT_TRUE(cf->createStream("box/s"));
    EXPECT_EQ(cf->streamSize("Box/S"), 0);
    EXPECT_FALSE(cf->remove(""));
    EXPECT_FALSE(cf->remove("Nothing"));
}

TEST(CompoundFile, LargeStreamNeedsDifat) {
    const QString file = qortest::freshDir("cfb-large") + "/big.rep";
    Content want;
    want.streams["Big"] = pattern(8 * 1024 * 1024 + 123, 7);
    want.streams["Small"] = pattern(200, 8);
    {
        auto cf = CompoundFile::create(file);
        ASSERT_TRUE(cf);
        const QByteArray& big = want.streams["Big"];
        for (qsizetype off = 0; off < big.size(); off += 1 << 20)
            ASSERT_TRUE(cf->write("Big", quint64(off), big.mid(off, 1 << 20)));
        ASSERT_TRUE(cf->writeAll("Small", want.streams["Small"]));
        ASSERT_TRUE(cf->commit());
    }
    const QByteArray head = fileBytes(file).left(512);
    EXPECT_GT(readLE32(head, 0x2C), 109u);  // FAT sectors
    EXPECT_GE(readLE32(head, 0x48), 1u);    // DIFAT sectors
    EXPECT_EQ(QFileInfo(file).size() % 512, 0);

    auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(cf);
    expectWeRead(*cf, want);
    EXPECT_EQ(cf->read("Big", 7'000'000, 100'000), want.streams["Big"].mid(7'000'000, 100'000));
    cf.reset();
    if (haveOlefile()) expectOlefileSees(file, want);
    if (haveGsf()) expectGsfSees(file, want);

    // Later sessions shrink and regrow it; the freed sectors are used again.
    cf = CompoundFile::open(file, CompoundFile::Mode::ReadWrite);
    ASSERT_TRUE(cf);
    ASSERT_TRUE(cf->resize("Big", 3'000'000));
    ASSERT_TRUE(cf->commit());
    want.streams["Big"].truncate(3'000'000);
    cf.reset();
    if (haveOlefile()) expectOlefileSees(file, want);

    cf = CompoundFile::open(file, CompoundFile::Mode::ReadWrite);
    ASSERT_TRUE(cf);
    const QByteArray more = pattern(6'000'000, 9);
    ASSERT_TRUE(cf->write("Big", 3'000'000, more));
    want.streams["Big"].append(more);
    ASSERT_TRUE(cf->sync());
    EXPECT_GE(readLE32(fileBytes(file), 0x48), 1u);
    EXPECT_LT(QFileInfo(file).size(), 9'300'000);
    cf.reset();
    cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(cf);
    expectWeRead(*cf, want);
    cf.reset();
    if (haveOlefile()) expectOlefileSees(file, want);
}

TEST(CompoundFile, ManySmallStreamsLiveInTheMiniStream) {
    const QString file = qortest::freshDir("cfb-mini") + "/mini.rep";
    Content want;
    {
        auto cf = CompoundFile::create(file);
        ASSERT_TRUE(cf);
        ASSERT_TRUE(cf->createStorage("Pages"));
        want.storages << "Pages";
        for (int i = 0; i < 400; ++i) {
            const QString path =
                (i % 2 ? QStringLiteral("Pages/P%1") : QStringLiteral("R%1")).arg(i);
            want.streams[path] = pattern((i * 37) % 4096, i);
            ASSERT_TRUE(cf->writeAll(path, want.streams[path]));
        }
    }
    // Everything but the directory, FAT and mini FAT sits in mini sectors.
    EXPECT_LT(QFileInfo(file).size(), 1'000'000);
    auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(cf);
    expectWeRead(*cf, want);
    cf.reset();
    if (haveOlefile()) expectOlefileSees(file, want);
}

TEST(CompoundFile, ReadsAndUpdatesFilesMadeByGsf) {
    if (!haveGsf()) GTEST_SKIP() << "gsf not installed";
    const QString dir = qortest::freshDir("cfb-gsf");
    QDir().mkpath(dir + "/in/sub");
    Content want;
    const std::vector<std::pair<QString, qsizetype>> files = {
        {"tiny", 3}, {"mid", 3000}, {"big", 200'000}, {"sub/inner", 10'000}, {"sub/small", 50}};
    QStringList args{"createole", dir + "/g.ole"};
    int seed = 40;
    for (const auto& [name, size] : files) {
        want.streams[name] = pattern(size, seed++);
        putFile(dir + "/in/" + name, want.streams[name]);
        if (!name.contains('/')) args << dir + "/in/" + name;
    }
    args << dir + "/in/sub";
    want.storages << "sub";
    const auto made = qortest::run("gsf", args);
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();

    const QString file = dir + "/g.ole";
    {
        QString err;
        auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly, &err);
        ASSERT_TRUE(cf) << err.toStdString();
        expectWeRead(*cf, want);
    }
    {
        auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadWrite);
        ASSERT_TRUE(cf);
        want.streams["mid"].replace(10, 5, "HELLO");
        ASSERT_TRUE(cf->write("mid", 10, QByteArray("HELLO")));
        want.streams["big"].append(pattern(100'000, 99));
        ASSERT_TRUE(cf->write("big", 200'000, pattern(100'000, 99)));
        want.streams["sub/new"] = pattern(9000, 98);
        ASSERT_TRUE(cf->writeAll("sub/new", want.streams["sub/new"]));
        ASSERT_TRUE(cf->commit()) << cf->lastError().toStdString();
    }
    auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(cf);
    expectWeRead(*cf, want);
    cf.reset();
    expectGsfSees(file, want);
    if (haveOlefile()) expectOlefileSees(file, want);
}

TEST(CompoundFile, WritesInPlaceInAnExistingFile) {
    const QString file = qortest::freshDir("cfb-inplace") + "/w.rep";
    Content want = writeSample(file);
    const QByteArray before = fileBytes(file);
    QList<CompoundFile::Extent> where;
    {
        auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadWrite);
        ASSERT_TRUE(cf);
        where = cf->extents("QOR~REP", 1000, 3000);
        const QByteArray patch = pattern(3000, 77);
        want.streams["QOR~REP"].replace(1000, 3000, patch);
        ASSERT_TRUE(cf->write("QOR~REP", 1000, patch));
        want.streams["PageEx"].replace(0, 4, "ABCD");
        ASSERT_TRUE(cf->write("PageEx", 0, "ABCD", 4));
        // Writing in place must not move anything.
        EXPECT_EQ(cf->extents("QOR~REP", 1000, 3000).size(), where.size());
        EXPECT_EQ(cf->extents("QOR~REP", 1000, 3000).first().fileOffset, where.first().fileOffset);
        ASSERT_TRUE(cf->commit());
    }
    EXPECT_EQ(QFileInfo(file).size(), before.size());
    auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(cf);
    expectWeRead(*cf, want);
    cf.reset();
    if (haveOlefile()) expectOlefileSees(file, want);
}

TEST(CompoundFile, ResizeAcrossTheCutoffKeepsDataAndZeroFills) {
    const QString file = qortest::freshDir("cfb-resize") + "/r.rep";
    auto cf = CompoundFile::create(file);
    ASSERT_TRUE(cf);
    // Freed sectors full of 0xAA are reused below; growth must still read zeros.
    ASSERT_TRUE(cf->writeAll("Junk", QByteArray(20000, char(0xAA))));
    ASSERT_TRUE(cf->writeAll("JunkMini", QByteArray(3000, char(0xAA))));
    ASSERT_TRUE(cf->remove("Junk"));
    ASSERT_TRUE(cf->remove("JunkMini"));

    const QByteArray head = pattern(100, 5);
    ASSERT_TRUE(cf->writeAll("S", head));
    QByteArray want = head;
    for (quint64 size : {5000ull, 4096ull, 4095ull, 10ull, 70000ull, 3000ull, 0ull, 9000ull}) {
        ASSERT_TRUE(cf->resize("S", size)) << size;
        want.resize(qsizetype(size), '\0');
        ASSERT_EQ(cf->streamSize("S"), qint64(size));
        ASSERT_EQ(cf->readAll("S"), want) << size;
    }
    // A write past the end zero-fills the gap, also across the cutoff.
    ASSERT_TRUE(cf->write("Gap", 2000, "x", 1));
    ASSERT_TRUE(cf->write("Gap", 6000, "y", 1));
    QByteArray gap(6001, '\0');
    gap[2000] = 'x';
    gap[6000] = 'y';
    EXPECT_EQ(cf->readAll("Gap"), gap);
    ASSERT_TRUE(cf->commit());
    cf.reset();

    Content c;
    c.streams["S"] = want;
    c.streams["Gap"] = gap;
    cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(cf);
    expectWeRead(*cf, c);
    cf.reset();
    if (haveOlefile()) expectOlefileSees(file, c);
}

TEST(CompoundFile, FreedSectorsAreReused) {
    const QString file = qortest::freshDir("cfb-reuse") + "/u.rep";
    auto cf = CompoundFile::create(file);
    ASSERT_TRUE(cf);
    ASSERT_TRUE(cf->createStorage("Box"));
    ASSERT_TRUE(cf->writeAll("Box/A", pattern(300'000, 1)));
    ASSERT_TRUE(cf->writeAll("Box/B", pattern(2000, 2)));
    ASSERT_TRUE(cf->writeAll("Keep", pattern(50'000, 3)));
    ASSERT_TRUE(cf->commit());
    const qint64 full = QFileInfo(file).size();

    ASSERT_TRUE(cf->remove("Box"));
    EXPECT_FALSE(cf->exists("Box/A"));
    ASSERT_TRUE(cf->writeAll("New", pattern(300'000, 4)));
    ASSERT_TRUE(cf->writeAll("NewMini", pattern(2000, 5)));
    ASSERT_TRUE(cf->commit());
    EXPECT_LE(QFileInfo(file).size(), full);

    // Space given back by shrinking is used again.
    ASSERT_TRUE(cf->resize("New", 10));
    ASSERT_TRUE(cf->writeAll("Again", pattern(290'000, 6)));
    ASSERT_TRUE(cf->commit());
    EXPECT_LE(QFileInfo(file).size(), full);
    cf.reset();

    Content c;
    c.streams["Keep"] = pattern(50'000, 3);
    c.streams["New"] = pattern(300'000, 4).left(10);
    c.streams["NewMini"] = pattern(2000, 5);
    c.streams["Again"] = pattern(290'000, 6);
    cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(cf);
    expectWeRead(*cf, c);
    cf.reset();
    if (haveOlefile()) expectOlefileSees(file, c);
}

TEST(CompoundFile, ExtentsAllowPatchingBytesDirectly) {
    const QString file = qortest::freshDir("cfb-extents") + "/e.rep";
    Content want = writeSample(file);
    struct Patch {
        QString stream;
        quint64 offset;
        QByteArray bytes;
    };
    // Ranges crossing sector and mini-sector boundaries.
    const std::vector<Patch> patches = {{"QOR~REP", 500, pattern(30, 60)},
                                        {"QOR~REP", 224, QByteArray("\x01MYHOST", 7)},
                                        {"PageEx", 60, pattern(200, 61)},
                                        {"Embedding 1/Contents", 4090, pattern(10, 62)}};
    std::vector<QList<CompoundFile::Extent>> places;
    {
        auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
        ASSERT_TRUE(cf);
        for (const Patch& p : patches) {
            places.push_back(cf->extents(p.stream, p.offset, quint64(p.bytes.size())));
            quint64 total = 0;
            for (const auto& e : places.back()) total += e.length;
            EXPECT_EQ(total, quint64(p.bytes.size()));
        }
        EXPECT_TRUE(cf->extents("PageEx", 250, 51).isEmpty());
        EXPECT_TRUE(cf->extents("Nope", 0, 1).isEmpty());
    }
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        for (size_t i = 0; i < patches.size(); ++i) {
            qsizetype from = 0;
            for (const auto& e : places[i]) {
                ASSERT_TRUE(f.seek(qint64(e.fileOffset)));
                ASSERT_EQ(f.write(patches[i].bytes.mid(from, qsizetype(e.length))),
                          qint64(e.length));
                from += qsizetype(e.length);
            }
            want.streams[patches[i].stream].replace(qsizetype(patches[i].offset),
                                                    patches[i].bytes.size(), patches[i].bytes);
        }
    }
    auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(cf);
    expectWeRead(*cf, want);
    cf.reset();
    if (haveOlefile()) expectOlefileSees(file, want);
}

TEST(CompoundFile, ReadOnlyRefusesChanges) {
    const QString file = qortest::freshDir("cfb-ro") + "/ro.rep";
    writeSample(file);
    const QByteArray before = fileBytes(file);
    {
        auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
        ASSERT_TRUE(cf);
        EXPECT_FALSE(cf->write("PageEx", 0, "x", 1));
        EXPECT_FALSE(cf->lastError().isEmpty());
        EXPECT_FALSE(cf->writeAll("New", "x"));
        EXPECT_FALSE(cf->resize("PageEx", 10));
        EXPECT_FALSE(cf->createStorage("X"));
        EXPECT_FALSE(cf->remove("PageEx"));
        EXPECT_TRUE(cf->commit());  // nothing to do
    }
    EXPECT_EQ(fileBytes(file), before);
}

TEST(CompoundFile, DamagedFilesGiveCleanErrors) {
    const QString dir = qortest::freshDir("cfb-damaged");
    const QString good = dir + "/good.rep";
    {
        auto cf = CompoundFile::create(good);
        ASSERT_TRUE(cf);
        ASSERT_TRUE(cf->writeAll("A", pattern(10000, 1)));
        ASSERT_TRUE(cf->writeAll("B", pattern(100, 2)));
        ASSERT_TRUE(cf->writeAll("C", pattern(5000, 3)));
    }
    const QByteArray base = fileBytes(good);
    quint32 a0 = 0, a1 = 0;
    {
        auto cf = CompoundFile::open(good, CompoundFile::Mode::ReadOnly);
        ASSERT_TRUE(cf);
        a0 = quint32(cf->extents("A", 0, 1).first().fileOffset / 512 - 1);
        a1 = quint32(cf->extents("A", 512, 1).first().fileOffset / 512 - 1);
    }
    const quint32 fatSector = readLE32(base, 0x4C);
    const qsizetype fatAt = (qsizetype(fatSector) + 1) * 512;
    const qsizetype rootAt = (qsizetype(readLE32(base, 0x30)) + 1) * 512;  // one directory sector
    const quint32 top = readLE32(base, rootAt + 76);

    std::vector<std::pair<const char*, QByteArray>> cases;
    auto variant = [&](const char* what, auto change) {
        QByteArray b = base;
        change(b);
        cases.emplace_back(what, b);
    };
    variant("truncated header", [](QByteArray& b) { b.truncate(300); });
    variant("truncated body", [&](QByteArray& b) { b.truncate(b.size() / 2); });
    variant("bad signature", [](QByteArray& b) { b[0] = 'X'; });
    variant("bad version", [](QByteArray& b) { b[0x1A] = 7; });
    variant("FAT loop", [&](QByteArray& b) { storeLE32(b, fatAt + 4 * a1, a0); });
    variant("FAT self loop", [&](QByteArray& b) { storeLE32(b, fatAt + 4 * a0, a0); });
    variant("chain past the end", [&](QByteArray& b) { storeLE32(b, fatAt + 4 * a1, 0x00FFFFF0); });
    variant("chain into free", [&](QByteArray& b) { storeLE32(b, fatAt + 4 * a1, 0xFFFFFFFF); });
    variant("FAT sector past the end", [](QByteArray& b) { storeLE32(b, 0x4C, 100000); });
    variant("huge FAT count", [](QByteArray& b) { storeLE32(b, 0x2C, 0x7FFFFFFF); });
    variant("DIFAT loop", [](QByteArray& b) {
        storeLE32(b, 0x2C, 200);
        storeLE32(b, 0x44, 0);
        storeLE32(b, 0x48, 1);
    });
    variant("directory past the end", [](QByteArray& b) { storeLE32(b, 0x30, 5000); });
    variant("child id out of range", [&](QByteArray& b) { storeLE32(b, rootAt + 76, 9999); });
    variant("sibling cycle", [&](QByteArray& b) { storeLE32(b, rootAt + 128 * top + 68, top); });
    variant("sibling is the root", [&](QByteArray& b) { storeLE32(b, rootAt + 128 * top + 72, 0); });
    variant("root type", [&](QByteArray& b) { b[rootAt + 66] = 1; });
    variant("size beyond the file", [&](QByteArray& b) {
        for (quint32 i = 1; i < 4; ++i)
            if (b[rootAt + 128 * i] == 'A') storeLE32(b, rootAt + 128 * i + 120, 0x7FFFFFF0);
    });
    variant("duplicate name", [&](QByteArray& b) {
        for (quint32 i = 1; i < 4; ++i)
            if (b[rootAt + 128 * i] == 'C') b[rootAt + 128 * i] = 'a';
    });
    variant("mini chain past the mini stream", [&](QByteArray& b) {
        for (quint32 i = 1; i < 4; ++i)
            if (b[rootAt + 128 * i] == 'B') storeLE32(b, rootAt + 128 * i + 116, 5000);
    });

    for (const auto& [what, bytes] : cases) {
        const QString path = dir + "/bad.rep";
        putFile(path, bytes);
        QString err;
        auto cf = CompoundFile::open(path, CompoundFile::Mode::ReadOnly, &err);
        EXPECT_FALSE(cf) << what;
        EXPECT_FALSE(err.isEmpty()) << what;
    }
    putFile(dir + "/text.rep", "just some text that is not a compound file");
    QString err;
    EXPECT_FALSE(CompoundFile::isCompoundFile(dir + "/text.rep"));
    EXPECT_FALSE(CompoundFile::open(dir + "/text.rep", CompoundFile::Mode::ReadOnly, &err));
    EXPECT_FALSE(err.isEmpty());
    err.clear();
    EXPECT_FALSE(CompoundFile::open(dir + "/missing.rep", CompoundFile::Mode::ReadOnly, &err));
    EXPECT_FALSE(err.isEmpty());
}

// Some writers leave the FAT's own sectors marked free; new data must not
// land on them.
TEST(CompoundFile, FatSectorsMarkedFreeAreNotReused) {
    const QString file = qortest::freshDir("cfb-fatfree") + "/f.rep";
    Content want = writeSample(file);
    QByteArray b = fileBytes(file);
    const quint32 fatSector = readLE32(b, 0x4C);
    storeLE32(b, (qsizetype(fatSector) + 1) * 512 + 4 * fatSector, 0xFFFFFFFF);
    putFile(file, b);
    {
        auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadWrite);
        ASSERT_TRUE(cf);
        want.streams["New"] = pattern(20000, 50);
        ASSERT_TRUE(cf->writeAll("New", want.streams["New"]));
    }
    auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(cf);
    expectWeRead(*cf, want);
}

TEST(CompoundFile, RandomDamageNeverCrashes) {
    const QString dir = qortest::freshDir("cfb-random");
    writeSample(dir + "/good.rep");
    const QByteArray base = fileBytes(dir + "/good.rep");
    std::mt19937 rng(12345);
    int opened = 0;
    for (int round = 0; round < 400; ++round) {
        QByteArray b = base;
        const int flips = 1 + int(rng() % 6);
        for (int i = 0; i < flips; ++i) {
            // Half of the damage goes to the header, the rest anywhere.
            const qsizetype at = (rng() % 2) ? qsizetype(rng() % 512) : qsizetype(rng() % b.size());
            b[at] = char(rng());
        }
        const QString path = dir + "/r.rep";
        putFile(path, b);
        const bool writable = round % 4 == 0;
        auto cf = CompoundFile::open(
            path, writable ? CompoundFile::Mode::ReadWrite : CompoundFile::Mode::ReadOnly);
        if (!cf) continue;
        ++opened;
        for (const auto& e : cf->allEntries()) {
            if (e.isStorage) continue;
            cf->readAll(e.path);
            cf->extents(e.path, 0, e.size);
        }
        if (writable) {
            cf->writeAll("Added", pattern(5000, round));
            cf->write("PageEx", 10, "xyz", 3);
            cf->resize("QOR~REP", 100);
            cf->commit();
            cf.reset();
            auto again = CompoundFile::open(path, CompoundFile::Mode::ReadOnly);
            if (again) {
                EXPECT_EQ(again->readAll("Added"), pattern(5000, round));
            }
        }
    }
    EXPECT_GT(opened, 0);
}

// A hand-made file with 4,096-byte sectors: read-only support.
TEST(CompoundFile, Version4FilesAreReadOnly) {
    const QString file = qortest::freshDir("cfb-v4") + "/v4.cfb";
    const QByteArray big = pattern(5000, 1), small = pattern(100, 2);
    QByteArray b(4096 * 7, '\0');
    auto sec = [](int s) { return qsizetype(s + 1) * 4096; };
    memcpy(b.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    b[0x18] = 0x3E;
    b[0x1A] = 4;
    b[0x1C] = char(0xFE);
    b[0x1D] = char(0xFF);
    b[0x1E] = 12;
    b[0x20] = 6;
    storeLE32(b, 0x28, 1);  // directory sectors
    storeLE32(b, 0x2C, 1);  // FAT sectors
    storeLE32(b, 0x30, 1);  // first directory sector
    storeLE32(b, 0x38, 4096);
    storeLE32(b, 0x3C, 5);  // mini FAT
    storeLE32(b, 0x40, 1);
    storeLE32(b, 0x44, 0xFFFFFFFE);
    storeLE32(b, 0x4C, 0);
    for (int i = 1; i < 109; ++i) storeLE32(b, 0x4C + 4 * i, 0xFFFFFFFF);
    for (int i = 0; i < 1024; ++i) storeLE32(b, sec(0) + 4 * i, 0xFFFFFFFF);
    const quint32 fatv[] = {0xFFFFFFFD, 0xFFFFFFFE, 3, 0xFFFFFFFE, 0xFFFFFFFE, 0xFFFFFFFE};
    for (int i = 0; i < 6; ++i) storeLE32(b, sec(0) + 4 * i, fatv[i]);
    for (int i = 0; i < 1024; ++i) storeLE32(b, sec(5) + 4 * i, 0xFFFFFFFF);
    storeLE32(b, sec(5), 1);
    storeLE32(b, sec(5) + 4, 0xFFFFFFFE);
    auto entry = [&](int id, const QString& name, int type, int colour, quint32 l, quint32 r,
                     quint32 c, quint32 start, quint32 size) {
        const qsizetype p = sec(1) + 128 * id;
        for (int k = 0; k < name.size(); ++k) {
            b[p + 2 * k] = char(name.at(k).unicode());
        }
        b[p + 64] = char((name.size() + 1) * 2);
        b[p + 66] = char(type);
        b[p + 67] = char(colour);
        storeLE32(b, p + 68, l);
        storeLE32(b, p + 72, r);
        storeLE32(b, p + 76, c);
        storeLE32(b, p + 116, start);
        storeLE32(b, p + 120, size);
    };
    for (int id = 3; id < 32; ++id) entry(id, "", 0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0);
    entry(0, "Root Entry", 5, 1, 0xFFFFFFFF, 0xFFFFFFFF, 1, 4, 128);
    entry(1, "Big", 2, 1, 0xFFFFFFFF, 2, 0xFFFFFFFF, 2, 5000);
    entry(2, "Small", 2, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0, 100);
    b.replace(sec(2), big.size(), big);
    b.replace(sec(4), small.size(), small);
    putFile(file, b);

    Content want;
    want.streams["Big"] = big;
    want.streams["Small"] = small;
    QString err;
    auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly, &err);
    ASSERT_TRUE(cf) << err.toStdString();
    expectWeRead(*cf, want);
    EXPECT_EQ(cf->extents("Big", 4095, 2).size(), 1);  // sectors 2 and 3 are adjacent
    cf.reset();
    EXPECT_FALSE(CompoundFile::open(file, CompoundFile::Mode::ReadWrite, &err));
    EXPECT_TRUE(err.contains("read-only"));
    if (haveOlefile()) expectOlefileSees(file, want);
}

// Copying stream bytes from file to file must lay out the new file exactly
// as writing the same bytes would, whatever the pieces: mini-stream data,
// a fragmented source chain, a destination stream crossing the cutoff, a
// gap before the copied range, and a source whose last sector is cut short.
TEST(CompoundFile, CopyFromLaysOutTheFileAsWritingTheBytesWould) {
    const QString dir = qortest::freshDir("cfb-copyfrom");
    const QString source = dir + "/source.rep";
    {
        auto cf = CompoundFile::create(source);
        ASSERT_TRUE(cf);
        ASSERT_TRUE(cf->createStorage("Box"));
        // Written in turns, so their chains interleave.
        for (int i = 0; i < 8; ++i) {
            ASSERT_TRUE(cf->write("Frag", quint64(i) * 3000, pattern(3000, i)));
            ASSERT_TRUE(cf->write("Box/Other", quint64(i) * 1700, pattern(1700, 50 + i)));
        }
        ASSERT_TRUE(cf->writeAll("Mini", pattern(2500, 9)));
        ASSERT_TRUE(cf->commit());
        // Written after the tables, which the next commit puts back in
        // their old place: its sectors end the file.
        ASSERT_TRUE(cf->writeAll("Tail", pattern(7000, 10)));
        ASSERT_TRUE(cf->commit());
    }
    auto src = CompoundFile::open(source, CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(src);
    const QByteArray frag = src->readAll("Frag");
    const QByteArray other = src->readAll("Box/Other");
    const QByteArray mini = src->readAll("Mini");

    // The same steps, once by copying and once by writing what was read.
    struct Step {
        const char* to;
        quint64 at;
        const char* from;
        quint64 offset, len;
    };
    const Step steps[] = {
        {"Copy", 0, "Mini", 100, 2000},     // mini to mini
        {"Copy", 2000, "Frag", 777, 9000},  // grows across the cutoff
        {"Box/Big", 0, "Frag", 0, 24000},   // a fragmented chain whole
        {"Box/Big", 24000, "Box/Other", 5, 13000},
        {"Gap", 5000, "Mini", 0, 2500},  // zeros before the copied bytes
        {"Small", 0, "Frag", 4000, 64},
    };
    const QString copied = dir + "/copied.rep";
    const QString written = dir + "/written.rep";
    {
        auto a = CompoundFile::create(copied);
        auto b = CompoundFile::create(written);
        ASSERT_TRUE(a && b);
        a->setWriteBehind(4096);  // a hint only: the bytes must not change
        for (auto* cf : {a.get(), b.get()}) ASSERT_TRUE(cf->createStorage("Box"));
        for (const Step& s : steps) {
            ASSERT_TRUE(a->copyFrom(s.to, s.at, *src, s.from, s.offset, s.len))
                << s.to << a->lastError().toStdString();
            ASSERT_TRUE(b->write(s.to, s.at, src->read(s.from, s.offset, s.len))) << s.to;
        }
        // A range past the source stream's end is refused.
        EXPECT_FALSE(a->copyFrom("Small", 0, *src, "Mini", 2000, 501));
        EXPECT_FALSE(a->copyFrom("Small", 0, *src, "Missing", 0, 1));
        ASSERT_TRUE(a->commit());
        ASSERT_TRUE(b->commit());
    }
    EXPECT_EQ(fileBytes(copied), fileBytes(written));

    Content want;
    want.streams["Copy"] = mini.mid(100, 2000) + frag.mid(777, 9000);
    want.streams["Box/Big"] = frag + other.mid(5, 13000);
    want.streams["Gap"] = QByteArray(5000, '\0') + mini;
    want.streams["Small"] = frag.mid(4000, 64);
    want.storages << "Box";
    auto check = CompoundFile::open(copied, CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(check);
    expectWeRead(*check, want);
    check.reset();
    if (haveOlefile()) expectOlefileSees(copied, want);

    // The last stream's last sector cut short: its missing bytes copy as
    // the zeros they read as.
    src.reset();
    QByteArray cut = fileBytes(source);
    auto tailAt = [&] {
        auto cf = CompoundFile::open(source, CompoundFile::Mode::ReadOnly);
        return cf ? cf->extents("Tail", 6000, 1000) : QList<CompoundFile::Extent>();
    }();
    ASSERT_EQ(tailAt.size(), 1);
    ASSERT_EQ(qint64(tailAt[0].fileOffset + tailAt[0].length) + 512 - 7000 % 512, cut.size());
    {
        cut.chop(300);
        putFile(source, cut);
        src = CompoundFile::open(source, CompoundFile::Mode::ReadOnly);
        ASSERT_TRUE(src);
        const QByteArray tail = src->readAll("Tail");
        ASSERT_EQ(tail.size(), 7000);
        const qsizetype lost = 300 - (512 - 7000 % 512);  // the rest was slack
        EXPECT_EQ(tail.right(lost), QByteArray(lost, '\0'));
        EXPECT_EQ(tail.left(7000 - lost), pattern(7000, 10).left(7000 - lost));
        auto cf = CompoundFile::create(dir + "/tail.rep");
        ASSERT_TRUE(cf->copyFrom("T", 0, *src, "Tail", 0, 7000));
        EXPECT_EQ(cf->readAll("T"), tail);
    }
}

// The allocation table is read run by run straight into place: its sectors
// stored out of order (and apart from each other) must still land at the
// table positions the header gives them, and table entries past the end of
// the file read as free.
TEST(CompoundFile, FatSectorsOutOfOrderReadIntoPlace) {
    const QString file = qortest::freshDir("cfb-fatorder") + "/f.rep";
    Content want;
    want.streams["Big"] = pattern(300'000, 11);  // some 600 sectors: several FAT sectors
    want.streams["Small"] = pattern(100, 12);
    {
        auto cf = CompoundFile::create(file);
        ASSERT_TRUE(cf);
        for (const auto& [path, data] : want.streams) ASSERT_TRUE(cf->writeAll(path, data));
        ASSERT_TRUE(cf->commit());
    }
    QByteArray b = fileBytes(file);
    const quint32 fatCount = readLE32(b, 0x2C);
    ASSERT_GE(fatCount, 3u);
    ASSERT_LE(fatCount, 109u);
    // Swap the first and last FAT sectors' contents and their header
    // entries; each one's own FAT entry stays a FAT marker either way.
    const quint32 first = readLE32(b, 0x4C), last = readLE32(b, 0x4C + 4 * qsizetype(fatCount - 1));
    const QByteArray a = b.mid((qsizetype(first) + 1) * 512, 512);
    const QByteArray z = b.mid((qsizetype(last) + 1) * 512, 512);
    b.replace((qsizetype(first) + 1) * 512, 512, z);
    b.replace((qsizetype(last) + 1) * 512, 512, a);
    storeLE32(b, 0x4C, last);
    storeLE32(b, 0x4C + 4 * qsizetype(fatCount - 1), first);
    putFile(file, b);
    {
        auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
        ASSERT_TRUE(cf);
        expectWeRead(*cf, want);
    }
    // Writing after the reordered table: new sectors go where the table
    // says space is free, and nothing read before changes.
    {
        auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadWrite);
        ASSERT_TRUE(cf);
        want.streams["New"] = pattern(70'000, 13);
        ASSERT_TRUE(cf->writeAll("New", want.streams["New"]));
        ASSERT_TRUE(cf->commit());
    }
    auto cf = CompoundFile::open(file, CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(cf);
    expectWeRead(*cf, want);
    cf.reset();
    if (haveOlefile()) expectOlefileSees(file, want);
}

// A sector may serve only one of the DIFAT, the FAT and a stream: each
// overlap is refused on open, whichever table names the sector first.
TEST(CompoundFile, DifatSectorsOverlappingOtherDataAreRefused) {
    const QString dir = qortest::freshDir("cfb-difat-overlap");
    const QString file = dir + "/big.rep";
    {
        auto cf = CompoundFile::create(file);
        ASSERT_TRUE(cf);
        ASSERT_TRUE(cf->writeAll("Big", pattern(8 * 1024 * 1024, 21)));
        ASSERT_TRUE(cf->commit());
    }
    const QByteArray good = fileBytes(file);
    const quint32 difat = readLE32(good, 0x44);
    ASSERT_GE(readLE32(good, 0x48), 1u);
    ASSERT_TRUE(CompoundFile::open(file, CompoundFile::Mode::ReadOnly));

    auto refused = [&](const QByteArray& bytes) {
        putFile(file, bytes);
        QString err;
        const bool opened = bool(CompoundFile::open(file, CompoundFile::Mode::ReadOnly, &err));
        return !opened && !err.isEmpty();
    };
    QByteArray b = good;
    storeLE32(b, 0x4C, difat);  // a FAT sector that is the DIFAT's
    EXPECT_TRUE(refused(b));
    b = good;
    storeLE32(b, 0x4C + 4, readLE32(b, 0x4C));  // one FAT sector listed twice
    EXPECT_TRUE(refused(b));
    b = good;
    // The DIFAT chain loops back to itself while more FAT sectors are due.
    storeLE32(b, (qsizetype(difat) + 1) * 512 + 508, difat);
    storeLE32(b, 0x2C, readLE32(b, 0x2C) + 127);
    EXPECT_TRUE(refused(b));
    b = good;
    // The directory's chain starting on the DIFAT sector.
    storeLE32(b, 0x30, difat);
    EXPECT_TRUE(refused(b));
    EXPECT_FALSE(refused(good));
}
