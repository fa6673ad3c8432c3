#include "documents/recovery_format.h"

#include <QSysInfo>
#include <QtEndian>

#include <zlib.h>

#include <array>
#include <cstring>

namespace holvane {
namespace {

constexpr char kMagic[8] = {'\x89', 'h', 'o', 'l', 'v', 'r', 'e', 'c'};
constexpr quint8 kByteOrderMark = 1;
constexpr quint8 kHasIdentity = 2;
constexpr bool kLittleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;

// The encodings by numbers of the format's own, whatever order the enum takes.
constexpr std::array<std::pair<Encoding, quint8>, 6> kEncodingCodes = {{
    {Encoding::Cp932, 1}, {Encoding::Utf8, 2}, {Encoding::EucJp, 3},
    {Encoding::Iso2022Jp, 4}, {Encoding::Utf16Le, 5}, {Encoding::Utf16Be, 6},
}};

quint8 codeOf(Encoding encoding)
{
    for (const auto &[e, code] : kEncodingCodes)
        if (e == encoding)
            return code;
    return 0;
}

std::optional<Encoding> encodingOf(quint8 code)
{
    for (const auto &[e, c] : kEncodingCodes)
        if (c == code)
            return e;
    return std::nullopt;
}

template <class T> void put(QByteArray &out, T value)
{
    const T le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&le), sizeof le);
}

QByteArray unitsLittleEndian(const QString &text)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    qToLittleEndian<quint16>(text.utf16(), text.size(), bytes.data());
    return bytes;
}

quint32 crc(quint32 running, QByteArrayView bytes)
{
    // zlib takes at most 4 GiB at a time.
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const uInt n = uInt(std::min<qsizetype>(left, qsizetype(1) << 30));
        running = quint32(::crc32(running, reinterpret_cast<const Bytef *>(p), n));
        p += n;
        left -= n;
    }
    return running;
}

// Reads fields one after another and remembers whether one ran past the end.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}
    template <class T> T get()
    {
        T value{};
        if (!take(sizeof(T)))
            return value;
        std::memcpy(&value, m_bytes.data() + m_at - sizeof(T), sizeof(T));
        return qFromLittleEndian(value);
    }
    std::optional<QString> units(quint64 count)
    {
        if (count > quint64(m_bytes.size()) / 2 || !take(qsizetype(count) * 2))
            return std::nullopt;
        QString text(qsizetype(count), Qt::Uninitialized);
        qFromLittleEndian<quint16>(m_bytes.data() + m_at - qsizetype(count) * 2, qsizetype(count), text.data());
        return text;
    }
    bool ok() const { return m_ok; }
    qsizetype left() const { return m_bytes.size() - m_at; }

private:
    bool take(qsizetype n)
    {
        if (!m_ok || n > left()) {
            m_ok = false;
            return false;
        }
        m_at += n;
        return true;
    }
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_ok = true;
};

} // namespace

RecoveryBytes recoveryBytes(const RecoveryRecord &record)
{
    RecoveryBytes out;
    QByteArray &head = out.head;
    head.append(kMagic, sizeof kMagic);
    put<quint32>(head, kRecoveryFormatVersion);
    put<quint8>(head, codeOf(record.encoding));
    put<quint8>(head, quint8((record.byteOrderMark ? kByteOrderMark : 0) | (record.onDisk ? kHasIdentity : 0)));
    put<quint16>(head, 0);
    put<qint64>(head, record.writtenAtMs);
    put<qint64>(head, record.caret);
    const FileIdentity identity = record.onDisk.value_or(FileIdentity{});
    put<quint64>(head, identity.device);
    put<quint64>(head, identity.inode);
    put<qint64>(head, identity.size);
    put<qint64>(head, identity.modifiedSeconds);
    put<qint64>(head, identity.modifiedNanoseconds);
    put<quint32>(head, record.writerPid);
    put<quint32>(head, quint32(record.path.size()));
    head += unitsLittleEndian(record.path);
    put<quint64>(head, quint64(record.text.size()));

    if constexpr (kLittleEndian) {
        out.text = QByteArrayView(reinterpret_cast<const char *>(record.text.utf16()), record.text.size() * 2);
    } else {
        out.ownText = unitsLittleEndian(record.text);
        out.text = out.ownText;
    }
    put<quint32>(out.tail, crc(crc(quint32(::crc32(0, nullptr, 0)), head), out.text));
    return out;
}

QByteArray encodeRecovery(const RecoveryRecord &record)
{
    const RecoveryBytes parts = recoveryBytes(record);
    return parts.head + parts.text.toByteArray() + parts.tail;
}

ParsedRecovery parseRecovery(QByteArrayView bytes)
{
    ParsedRecovery parsed;
    if (bytes.size() < qsizetype(sizeof kMagic) || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        parsed.problem = RecoveryProblem::NotOurs;
        return parsed;
    }
    Reader reader(bytes.sliced(sizeof kMagic));
    parsed.version = reader.get<quint32>();
    if (!reader.ok() || parsed.version == 0)
        return parsed; // Damaged
    if (parsed.version > kRecoveryFormatVersion) {
        parsed.problem = RecoveryProblem::Newer;
        return parsed;
    }
    const QByteArrayView covered = bytes.first(bytes.size() - 4);
    const quint32 stored = qFromLittleEndian<quint32>(bytes.data() + covered.size());
    if (crc(quint32(::crc32(0, nullptr, 0)), covered) != stored)
        return parsed;

    Reader fields(covered.sliced(sizeof kMagic + 4));
    RecoveryRecord record;
    const auto encoding = encodingOf(fields.get<quint8>());
    const quint8 flags = fields.get<quint8>();
    fields.get<quint16>();
    record.byteOrderMark = flags & kByteOrderMark;
    record.writtenAtMs = fields.get<qint64>();
    record.caret = fields.get<qint64>();
    FileIdentity identity;
    identity.device = fields.get<quint64>();
    identity.inode = fields.get<quint64>();
    identity.size = fields.get<qint64>();
    identity.modifiedSeconds = fields.get<qint64>();
    identity.modifiedNanoseconds = fields.get<qint64>();
    if (flags & kHasIdentity)
        record.onDisk = identity;
    record.writerPid = fields.get<quint32>();
    const auto path = fields.units(fields.get<quint32>());
    const auto text = fields.units(fields.get<quint64>());
    if (!fields.ok() || !encoding || !path || !text || fields.left() != 0 || (flags & ~(kByteOrderMark | kHasIdentity)))
        return parsed;
    record.encoding = *encoding;
    record.path = *path;
    record.text = *text;
    record.caret = std::clamp<qint64>(record.caret, 0, record.text.size());
    parsed.record = std::move(record);
    return parsed;
}

QString firstLine(const QString &text, qsizetype limit)
{
    qsizetype end = 0;
    while (end < text.size() && end < limit && text[end] != u'\r' && text[end] != u'\n')
        ++end;
    return text.left(end);
}

} // namespace holvane
