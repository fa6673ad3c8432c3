// Recovery files (recovery_format.h), for any bytes: reading never crashes
// and never misreads; a file read is one the writer could have written, and
// reads back the same once written again; and a whole file that loses its
// end or has a byte changed anywhere is never taken for a record.
#include "documents/recovery_format.h"
#include "fuzz.h"

using namespace holvane;

namespace {

QString describe(const RecoveryRecord &r)
{
    return QStringLiteral("path %1, caret %2, text %3").arg(fuzz::escaped(r.path)).arg(r.caret).arg(fuzz::escaped(r.text));
}

// The first mode: the input is a file.
void readAsAFile(const uint8_t *data, size_t size)
{
    const ParsedRecovery parsed = parseRecovery(QByteArrayView(data, qsizetype(size)));
    if (!parsed.record)
        return;
    FUZZ_CHECK(parsed.record->caret >= 0 && parsed.record->caret <= parsed.record->text.size(), describe(*parsed.record));
    const ParsedRecovery again = parseRecovery(encodeRecovery(*parsed.record));
    FUZZ_CHECK(again.record && *again.record == *parsed.record, describe(*parsed.record));
}

// The second mode: the input makes a record, whose file is then damaged.
void damageAWholeFile(fuzz::Input in)
{
    static const Encoding kAll[] = {Encoding::Cp932, Encoding::Utf8, Encoding::EucJp,
                                    Encoding::Iso2022Jp, Encoding::Utf16Le, Encoding::Utf16Be};
    RecoveryRecord record;
    record.encoding = kAll[in.byte() % std::size(kAll)];
    const uint8_t flags = in.byte();
    record.byteOrderMark = flags & 1;
    if (flags & 2)
        record.onDisk = FileIdentity{in.byte(), in.word(), in.word(), in.word(), in.word()};
    record.writtenAtMs = qint64(in.word()) << 20;
    const unsigned damageAt = in.word();
    const uint8_t damage = in.byte(); // 0: cut there; otherwise xor-ed into that byte
    for (unsigned n = in.byte() % 8; n > 0; --n)
        record.path += QChar(char16_t(in.word()));
    while (!in.empty())
        record.text += QChar(char16_t(in.word()));
    record.caret = record.text.size() / 2;

    QByteArray file = encodeRecovery(record);
    const ParsedRecovery whole = parseRecovery(file);
    FUZZ_CHECK(whole.record && *whole.record == record, describe(record));
    const qsizetype at = qsizetype(damageAt % unsigned(file.size()));
    if (damage == 0)
        file.truncate(at);
    else
        file[at] = char(file[at] ^ damage);
    FUZZ_CHECK(!parseRecovery(file).record, QStringLiteral("damage %1 at %2 of %3").arg(damage).arg(at).arg(describe(record)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 0 && data[0] == 'D')
        damageAWholeFile(fuzz::Input{data + 1, size - 1});
    else
        readAsAFile(data, size);
    return 0;
}
