#pragma once

// Japanese pages for the encoding tests, made from the texts in tests/data:
// prose, an index of kanji terms and an English page with a few kanji.
#include "documents/text_codec.h"

#include <QFile>
#include <QStringList>

namespace holvane::test {

inline QStringList dataLines(const char *name)
{
    QFile file(QStringLiteral(HOLVANE_TEST_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", name);
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

inline const QStringList &proseLines()
{
    static const QStringList lines = dataLines("japanese_prose.txt");
    return lines;
}

inline QByteArray encoded(const QString &text, Encoding e, bool byteOrderMark = false)
{
    return encodeDocument(text, e, byteOrderMark, UnencodablePolicy::Omit).bytes;
}

// A Japanese page of about `size` bytes in an encoding, its paragraphs taken
// from the prose from line `first` on; without a <meta> charset, so that only
// the bytes tell.
inline QString page(Encoding e, qsizetype size, int first)
{
    const QStringList &lines = proseLines();
    auto bytesOf = [e](const QString &part) { return encoded(part, e).size(); };
    QString html = QStringLiteral("<html>\r\n<head><title>%1</title></head>\r\n<body>\r\n").arg(lines[first % lines.size()].left(10));
    const QString end = QStringLiteral("</body>\r\n</html>\r\n");
    // Every part starts and ends in ASCII, so sizes add up even in ISO-2022-JP.
    qsizetype room = size - bytesOf(html) - bytesOf(end);
    for (int i = first + 1;; ++i) {
        QString paragraph = QStringLiteral("<p>%1</p>\r\n").arg(lines[i % lines.size()]);
        qsizetype bytes = bytesOf(paragraph);
        if (bytes > room) {
            // Cut the last paragraph to fit.
            while (!paragraph.isEmpty() && bytesOf(paragraph) > room)
                paragraph.chop(1);
            return html + paragraph + end;
        }
        html += paragraph;
        room -= bytes;
    }
}

// The smallest page: a title and a line.
inline QString tinyPage(const QString &title, const QString &line)
{
    return QStringLiteral("<html><head><title>%1</title></head><body><p>%2</p></body></html>\r\n").arg(title, line);
}

} // namespace holvane::test
