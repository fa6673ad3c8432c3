#include "documents/text_codec.h"

#include "documents/cp932_codec.h"
#include "documents/encoding_detect.h"
#include "documents/eucjp_codec.h"
#include "documents/iso2022jp_codec.h"
#include "documents/unicode_codecs.h"

namespace holvane {
namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr char kUtf16LeMark[] = "\xFF\xFE";
constexpr char kUtf16BeMark[] = "\xFE\xFF";

QByteArrayView markOf(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8: return QByteArrayView(kUtf8Mark, 3);
    case Encoding::Utf16Le: return QByteArrayView(kUtf16LeMark, 2);
    case Encoding::Utf16Be: return QByteArrayView(kUtf16BeMark, 2);
    default: return {};
    }
}

DecodedText decodeAs(QByteArrayView bytes, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Cp932: return cp932::decode(bytes);
    case Encoding::Utf8: return utf8::decode(bytes);
    case Encoding::EucJp: return eucjp::decode(bytes);
    case Encoding::Iso2022Jp: return iso2022jp::decode(bytes);
    case Encoding::Utf16Le: return utf16::decode(bytes, false);
    case Encoding::Utf16Be: return utf16::decode(bytes, true);
    }
    return {};
}

DecodedDocument withMark(QByteArrayView bytes, Encoding encoding)
{
    const QByteArrayView mark = markOf(encoding);
    const bool marked = !mark.isEmpty() && bytes.startsWith(mark);
    DecodedText decoded = decodeAs(marked ? bytes.sliced(mark.size()) : bytes, encoding);
    return {std::move(decoded.text), decoded.keptBytes, encoding, marked};
}

} // namespace

QString encodingName(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Cp932: return QStringLiteral("Shift_JIS");
    case Encoding::Utf8: return QStringLiteral("UTF-8");
    case Encoding::EucJp: return QStringLiteral("EUC-JP");
    case Encoding::Iso2022Jp: return QStringLiteral("ISO-2022-JP");
    case Encoding::Utf16Le: return QStringLiteral("UTF-16LE");
    case Encoding::Utf16Be: return QStringLiteral("UTF-16BE");
    }
    return {};
}

bool canHaveByteOrderMark(Encoding encoding)
{
    return !markOf(encoding).isEmpty();
}

Encoding recogniseEncoding(QByteArrayView bytes)
{
    for (Encoding marked : {Encoding::Utf8, Encoding::Utf16Le, Encoding::Utf16Be})
        if (bytes.startsWith(markOf(marked)))
            return marked;
    return detect::recognise(bytes);
}

DecodedDocument decodeDocument(QByteArrayView bytes, std::optional<Encoding> forced)
{
    return withMark(bytes, forced ? *forced : recogniseEncoding(bytes));
}

EncodeResult encodeDocument(QStringView text, Encoding encoding, bool byteOrderMark, UnencodablePolicy policy)
{
    switch (encoding) {
    case Encoding::Cp932: return cp932::encode(text, policy);
    case Encoding::Utf8: return utf8::encode(text, byteOrderMark, policy);
    case Encoding::EucJp: return eucjp::encode(text, policy);
    case Encoding::Iso2022Jp: return iso2022jp::encode(text, policy);
    case Encoding::Utf16Le: return utf16::encode(text, false, byteOrderMark, policy);
    case Encoding::Utf16Be: return utf16::encode(text, true, byteOrderMark, policy);
    }
    return {};
}

// ------------------------------------------------------- declared charset

std::optional<Encoding> encodingForLabel(QStringView label)
{
    static const struct {
        const char *label;
        Encoding encoding;
    } kLabels[] = {
        {"shift_jis", Encoding::Cp932},      {"shift-jis", Encoding::Cp932},     {"sjis", Encoding::Cp932},
        {"x-sjis", Encoding::Cp932},         {"ms_kanji", Encoding::Cp932},      {"csshiftjis", Encoding::Cp932},
        {"windows-31j", Encoding::Cp932},    {"cp932", Encoding::Cp932},         {"ms932", Encoding::Cp932},
        {"windows-932", Encoding::Cp932},    {"x-ms-cp932", Encoding::Cp932},    {"utf-8", Encoding::Utf8},
        {"utf8", Encoding::Utf8},            {"unicode-1-1-utf-8", Encoding::Utf8},
        {"euc-jp", Encoding::EucJp},         {"eucjp", Encoding::EucJp},         {"x-euc-jp", Encoding::EucJp},
        {"cseucpkdfmtjapanese", Encoding::EucJp}, {"eucjp-ms", Encoding::EucJp}, {"euc-jp-ms", Encoding::EucJp},
        {"eucjp-win", Encoding::EucJp},      {"cp51932", Encoding::EucJp},       {"iso-2022-jp", Encoding::Iso2022Jp},
        {"csiso2022jp", Encoding::Iso2022Jp}, {"iso2022jp", Encoding::Iso2022Jp}, {"jis", Encoding::Iso2022Jp},
        {"utf-16le", Encoding::Utf16Le},     {"utf-16", Encoding::Utf16Le},      {"unicode", Encoding::Utf16Le},
        {"ucs-2", Encoding::Utf16Le},        {"csunicode", Encoding::Utf16Le},   {"utf-16be", Encoding::Utf16Be},
        {"unicodefffe", Encoding::Utf16Be},
    };
    const QString key = label.trimmed().toString().toLower();
    for (const auto &entry : kLabels)
        if (key == QLatin1String(entry.label))
            return entry.encoding;
    return std::nullopt;
}

namespace {

bool isSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

// One attribute of a tag at `i`: name and value, i past it; false at the
// tag's end.
bool nextAttribute(QStringView s, qsizetype &i, QStringView &name, QStringView &value)
{
    while (i < s.size() && (isSpace(s[i]) || s[i] == u'/'))
        ++i;
    if (i >= s.size() || s[i] == u'>')
        return false;
    const qsizetype nameStart = i;
    while (i < s.size() && !isSpace(s[i]) && s[i] != u'=' && s[i] != u'>' && s[i] != u'/')
        ++i;
    name = s.sliced(nameStart, i - nameStart);
    value = {};
    while (i < s.size() && isSpace(s[i]))
        ++i;
    if (i >= s.size() || s[i] != u'=')
        return true;
    ++i;
    while (i < s.size() && isSpace(s[i]))
        ++i;
    if (i < s.size() && (s[i] == u'"' || s[i] == u'\'')) {
        const QChar quote = s[i++];
        const qsizetype valueStart = i;
        while (i < s.size() && s[i] != quote)
            ++i;
        value = s.sliced(valueStart, i - valueStart);
        if (i < s.size())
            ++i;
    } else {
        const qsizetype valueStart = i;
        while (i < s.size() && !isSpace(s[i]) && s[i] != u'>')
            ++i;
        value = s.sliced(valueStart, i - valueStart);
    }
    return true;
}

// The label after "charset=" in a Content-Type value.
QStringView charsetOfContentType(QStringView content)
{
    const qsizetype at = content.indexOf(u"charset", 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    qsizetype i = at + 7;
    while (i < content.size() && isSpace(content[i]))
        ++i;
    if (i >= content.size() || content[i] != u'=')
        return {};
    ++i;
    while (i < content.size() && (isSpace(content[i]) || content[i] == u'"' || content[i] == u'\''))
        ++i;
    const qsizetype start = i;
    while (i < content.size() && !isSpace(content[i]) && content[i] != u';' && content[i] != u'"'
           && content[i] != u'\'')
        ++i;
    return content.sliced(start, i - start);
}

} // namespace

std::optional<DeclaredCharset> declaredCharset(QStringView text)
{
    const QStringView top = text.first(std::min<qsizetype>(text.size(), 1024));
    for (qsizetype at = top.indexOf(u"<meta", 0, Qt::CaseInsensitive); at >= 0;
         at = top.indexOf(u"<meta", at + 1, Qt::CaseInsensitive)) {
        qsizetype i = at + 5;
        if (i < top.size() && !isSpace(top[i]) && top[i] != u'/')
            continue; // <metadata> and the like
        QStringView name;
        QStringView value;
        QStringView charset;
        QStringView content;
        bool contentType = false;
        while (nextAttribute(top, i, name, value)) {
            if (name.compare(u"charset", Qt::CaseInsensitive) == 0 && charset.isNull())
                charset = value;
            else if (name.compare(u"http-equiv", Qt::CaseInsensitive) == 0)
                contentType = value.trimmed().compare(u"content-type", Qt::CaseInsensitive) == 0;
            else if (name.compare(u"content", Qt::CaseInsensitive) == 0)
                content = value;
        }
        if (charset.isNull() && contentType)
            charset = charsetOfContentType(content);
        if (!charset.trimmed().isEmpty()) {
            const QString label = charset.trimmed().toString();
            return DeclaredCharset{label, encodingForLabel(label)};
        }
    }
    return std::nullopt;
}

} // namespace holvane
