#pragma once
// Little-endian bytes: the one reader and writer every stored record goes
// through (report files, compound files, database tables, workbooks, chart
// descriptions, clipboard descriptors). A fuzzed reader's bounds checks
// live here, so a damaged file reads as zeros and a cleared flag, never as
// bytes past the end of a buffer.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qor {

// Reads from a byte range; any read past the end clears ok() and yields
// zeros, so a decoder checks ok() once at the end of a record.
class ByteReader {
public:
    ByteReader(const char* data, size_t size) : m_data(data), m_size(size) {}
    explicit ByteReader(const QByteArray& bytes)
        : m_data(bytes.constData()), m_size(size_t(bytes.size())) {}
    explicit ByteReader(QByteArrayView bytes)
        : m_data(bytes.data()), m_size(size_t(bytes.size())) {}

    bool ok() const { return m_ok; }
    size_t pos() const { return m_pos; }
    size_t size() const { return m_size; }
    size_t remaining() const { return m_ok ? m_size - m_pos : 0; }
    const char* current() const { return m_data + m_pos; }
    void seek(size_t pos);
    void skip(size_t n);
    // True (and nothing consumed) when n more bytes are there; clears ok()
    // otherwise.
    bool need(size_t n);
    // The same question without clearing ok(): for formats whose records
    // may end early and are then passed over.
    bool has(size_t n) const { return m_ok && n <= m_size - m_pos; }

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    uint64_t u64();
    int16_t i16() { return int16_t(u16()); }
    int32_t i32() { return int32_t(u32()); }
    float f32();
    double f64();
    QByteArray bytes(size_t n);
    // n UTF-16LE code units.
    QString utf16(size_t n);
    // A NUL-terminated UTF-16LE text inside a field of fieldBytes bytes.
    QString utf16z(size_t fieldBytes);

private:
    // The next sizeof(T) bytes as a little-endian number; 0 past the end.
    template <class T>
    T little();

    const char* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

class ByteWriter {
public:
    explicit ByteWriter(QByteArray& out) : m_out(out) {}
    size_t pos() const { return size_t(m_out.size()); }
    void u8(uint8_t v);
    void u16(uint16_t v);
    void u32(uint32_t v);
    void u64(uint64_t v);
    void i16(int16_t v) { u16(uint16_t(v)); }
    void i32(int32_t v) { u32(uint32_t(v)); }
    void f32(float v);
    void f64(double v);
    void bytes(const char* data, size_t n);
    void bytes(const QByteArray& b) { bytes(b.constData(), size_t(b.size())); }
    void zeros(size_t n);
    void alignTo(size_t n);
    void utf16(QStringView text);
    // Text cut to fieldBytes/2 - 1 units, NUL-terminated, zero-padded.
    void utf16z(QStringView text, size_t fieldBytes);
    // Overwrites 4 bytes already written.
    void patchU32(size_t at, uint32_t v);

private:
    QByteArray& m_out;
};

// Random access into a record already in memory (fixed headers, directory
// entries, pages). A read that does not fit yields 0 and clears *ok when
// given; a caller that checked the length first gets exactly the bytes.
uint16_t readLE16(QByteArrayView bytes, qsizetype at, bool* ok = nullptr);
uint32_t readLE32(QByteArrayView bytes, qsizetype at, bool* ok = nullptr);
uint64_t readLE64(QByteArrayView bytes, qsizetype at, bool* ok = nullptr);

// Stores into bytes already laid out (records built in place). A store
// that does not fit changes nothing and answers false.
bool storeLE16(std::span<uint8_t> bytes, size_t at, uint16_t v);
bool storeLE32(std::span<uint8_t> bytes, size_t at, uint32_t v);
bool storeLE64(std::span<uint8_t> bytes, size_t at, uint64_t v);
bool storeLE32(QByteArray& bytes, qsizetype at, uint32_t v);

}  // namespace qor
