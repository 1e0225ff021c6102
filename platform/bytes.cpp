#include "platform/bytes.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace qor {

// ---------------------------------------------------------------------------
// ByteReader / ByteWriter

void ByteReader::seek(size_t pos) {
    if (pos > m_size) {
        m_ok = false;
        return;
    }
    m_pos = pos;
}

void ByteReader::skip(size_t n) {
    if (need(n)) m_pos += n;
}

bool ByteReader::need(size_t n) {
    if (!m_ok || n > m_size - m_pos) {
        m_ok = false;
        return false;
    }
    return true;
}

uint8_t ByteReader::u8() {
    if (!need(1)) return 0;
    return uint8_t(m_data[m_pos++]);
}

template <class T>
T ByteReader::little() {
    if (!need(sizeof(T))) return 0;
    const T v = qFromLittleEndian<T>(m_data + m_pos);
    m_pos += sizeof(T);
    return v;
}

uint16_t ByteReader::u16() { return little<quint16>(); }
uint32_t ByteReader::u32() { return little<quint32>(); }
uint64_t ByteReader::u64() { return little<quint64>(); }

float ByteReader::f32() {
    const uint32_t bits = u32();
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

double ByteReader::f64() {
    const uint64_t bits = u64();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

QByteArray ByteReader::bytes(size_t n) {
    if (!need(n)) return {};
    QByteArray b(m_data + m_pos, qsizetype(n));
    m_pos += n;
    return b;
}

QString ByteReader::utf16(size_t n) {
    if (n > (SIZE_MAX / 2) || !need(n * 2) || n == 0) return {};
    QString s(qsizetype(n), Qt::Uninitialized);
    qFromLittleEndian<quint16>(m_data + m_pos, qsizetype(n), s.data());
    m_pos += n * 2;
    return s;
}

QString ByteReader::utf16z(size_t fieldBytes) {
    QString s = utf16(fieldBytes / 2);
    if (fieldBytes % 2) skip(1);
    const qsizetype nul = s.indexOf(QChar(0));
    if (nul >= 0) s.truncate(nul);
    return s;
}

void ByteWriter::u8(uint8_t v) { m_out.append(char(v)); }

void ByteWriter::u16(uint16_t v) {
    char b[2];
    qToLittleEndian<quint16>(v, b);
    m_out.append(b, 2);
}

void ByteWriter::u32(uint32_t v) {
    char b[4];
    qToLittleEndian<quint32>(v, b);
    m_out.append(b, 4);
}

void ByteWriter::u64(uint64_t v) {
    char b[8];
    qToLittleEndian<quint64>(v, b);
    m_out.append(b, 8);
}

void ByteWriter::f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    u32(bits);
}

void ByteWriter::f64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    u64(bits);
}

void ByteWriter::bytes(const char* data, size_t n) { m_out.append(data, qsizetype(n)); }

void ByteWriter::zeros(size_t n) { m_out.append(qsizetype(n), '\0'); }

void ByteWriter::alignTo(size_t n) {
    const size_t rem = pos() % n;
    if (rem) zeros(n - rem);
}

void ByteWriter::utf16(QStringView text) {
    if (text.isEmpty()) return;
    const qsizetype at = m_out.size();
    m_out.resize(at + text.size() * 2);
    qToLittleEndian<quint16>(text.utf16(), text.size(), m_out.data() + at);
}

void ByteWriter::utf16z(QStringView text, size_t fieldBytes) {
    const size_t cap = fieldBytes / 2 ? fieldBytes / 2 - 1 : 0;
    QStringView t = text.left(qsizetype(std::min<size_t>(cap, size_t(text.size()))));
    utf16(t);
    zeros(fieldBytes - size_t(t.size()) * 2);
}

void ByteWriter::patchU32(size_t at, uint32_t v) { qToLittleEndian<quint32>(v, m_out.data() + at); }

// ---------------------------------------------------------------------------
// Random access

namespace {

template <class T>
T readAt(QByteArrayView bytes, qsizetype at, bool* ok) {
    if (at < 0 || at > bytes.size() || qsizetype(sizeof(T)) > bytes.size() - at) {
        if (ok) *ok = false;
        return 0;
    }
    return qFromLittleEndian<T>(bytes.data() + at);
}

template <class T>
bool storeAt(std::span<uint8_t> bytes, size_t at, T v) {
    if (at > bytes.size() || sizeof(T) > bytes.size() - at) return false;
    qToLittleEndian<T>(v, bytes.data() + at);
    return true;
}

}  // namespace

uint16_t readLE16(QByteArrayView bytes, qsizetype at, bool* ok) {
    return readAt<quint16>(bytes, at, ok);
}

uint32_t readLE32(QByteArrayView bytes, qsizetype at, bool* ok) {
    return readAt<quint32>(bytes, at, ok);
}

uint64_t readLE64(QByteArrayView bytes, qsizetype at, bool* ok) {
    return readAt<quint64>(bytes, at, ok);
}

bool storeLE16(std::span<uint8_t> bytes, size_t at, uint16_t v) {
    return storeAt<quint16>(bytes, at, v);
}

bool storeLE32(std::span<uint8_t> bytes, size_t at, uint32_t v) {
    return storeAt<quint32>(bytes, at, v);
}

bool storeLE64(std::span<uint8_t> bytes, size_t at, uint64_t v) {
    return storeAt<quint64>(bytes, at, v);
}

bool storeLE32(QByteArray& bytes, qsizetype at, uint32_t v) {
    if (at < 0) return false;
    return storeLE32(std::span<uint8_t>(reinterpret_cast<uint8_t*>(bytes.data()), size_t(bytes.size())),
                     size_t(at), v);
}

}  // namespace qor
