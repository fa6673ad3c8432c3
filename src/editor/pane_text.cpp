#include "editor/pane_text.h"

#include <algorithm>

namespace holvane {
namespace {

constexpr char16_t kParagraphSeparator = 0x2029;
constexpr char16_t kLineSeparator = 0x2028;

struct Parsed {
    qsizetype documentLength = 0;
    std::vector<qsizetype> crLf; // relative document positions
};

// Reads a text the way QTextCursor::insertText splits it into blocks.
Parsed parse(QStringView text)
{
    Parsed parsed;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            parsed.crLf.push_back(parsed.documentLength);
            ++i;
        }
        ++parsed.documentLength;
    }
    return parsed;
}

} // namespace

bool PaneText::isLineEndCharacter(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == kParagraphSeparator || c == 0xFDD0 || c == 0xFDD1;
}

QString PaneText::withOwnLineEnds(QStringView text)
{
    QString result;
    result.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            result += u"\r\n";
            ++i;
        } else if (c == u'\n' || c == u'\r' || c == kParagraphSeparator || c == kLineSeparator) {
            result += u"\r\n";
        } else {
            result += QChar(c);
        }
    }
    return result;
}

void PaneText::setText(const QString &text)
{
    Parsed parsed = parse(text);
    m_text = text;
    m_documentLength = parsed.documentLength;
    m_crLf = std::move(parsed.crLf);
}

qsizetype PaneText::toText(qsizetype documentPosition) const
{
    const auto before = std::lower_bound(m_crLf.begin(), m_crLf.end(), documentPosition) - m_crLf.begin();
    return documentPosition + before;
}

qsizetype PaneText::toDocument(qsizetype textIndex) const
{
    // The k-th CR LF starts at text index m_crLf[k] + k; count those that end
    // at or before the index.
    qsizetype lo = 0;
    qsizetype hi = qsizetype(m_crLf.size());
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (m_crLf[mid] + mid + 2 <= textIndex)
            lo = mid + 1;
        else
            hi = mid;
    }
    const bool inside = lo < qsizetype(m_crLf.size()) && m_crLf[lo] + lo + 1 == textIndex;
    return textIndex - lo - (inside ? 1 : 0);
}

bool PaneText::isCrLfAt(qsizetype documentPosition) const
{
    return std::binary_search(m_crLf.begin(), m_crLf.end(), documentPosition);
}

PaneText::Joins PaneText::replace(qsizetype position, qsizetype removed, QStringView fragment)
{
    position = std::clamp<qsizetype>(position, 0, m_documentLength);
    removed = std::clamp<qsizetype>(removed, 0, m_documentLength - position);
    const qsizetype from = toText(position);
    const qsizetype to = toText(position + removed);
    const Parsed parsed = parse(fragment);

    m_text.replace(from, to - from, fragment.data(), fragment.size());

    const auto first = std::lower_bound(m_crLf.begin(), m_crLf.end(), position);
    const auto last = std::lower_bound(first, m_crLf.end(), position + removed);
    const qsizetype shift = parsed.documentLength - removed;
    for (auto it = last; it != m_crLf.end(); ++it)
        *it += shift;
    const auto at = m_crLf.erase(first, last);
    const auto added = m_crLf.insert(at, parsed.crLf.begin(), parsed.crLf.end());
    std::for_each(added, added + qsizetype(parsed.crLf.size()), [&](qsizetype &p) { p += position; });
    m_documentLength += shift;

    // Only the edges of the fragment can bring a CR and an LF together; the
    // later edge first, so that the earlier position stays valid.
    Joins joins;
    if (const auto after = joinAt(from + fragment.size()))
        joins.push_back(*after);
    if (!fragment.isEmpty())
        if (const auto before = joinAt(from))
            joins.push_back(*before);
    return joins;
}

std::optional<qsizetype> PaneText::joinAt(qsizetype boundary)
{
    if (boundary <= 0 || boundary >= m_text.size() || m_text[boundary - 1] != u'\r' || m_text[boundary] != u'\n')
        return std::nullopt;
    const qsizetype cr = toDocument(boundary - 1);
    if (isCrLfAt(cr))
        return std::nullopt; // already one line end
    const auto at = std::lower_bound(m_crLf.begin(), m_crLf.end(), cr);
    std::for_each(at, m_crLf.end(), [](qsizetype &p) { --p; }); // all lie past the LF
    m_crLf.insert(at, cr);
    --m_documentLength;
    return cr;
}

PaneText::Joins PaneText::applyDocumentChange(qsizetype position, qsizetype removed, QStringView added)
{
    position = std::clamp<qsizetype>(position, 0, m_documentLength);
    removed = std::clamp<qsizetype>(removed, 0, m_documentLength - position);
    const qsizetype common = std::min(removed, added.size());

    // Qt may report a wider range than really changed; keep what did not.
    auto sameAt = [&](qsizetype documentPosition, qsizetype addedIndex) {
        const qsizetype t = toText(documentPosition);
        const QChar old = m_text[t];
        const bool oldIsLineEnd = isCrLfAt(documentPosition) || isLineEndCharacter(old.unicode());
        const QChar now = added[addedIndex];
        if (oldIsLineEnd || now.unicode() == kParagraphSeparator)
            return oldIsLineEnd && now.unicode() == kParagraphSeparator;
        return old == now;
    };
    qsizetype prefix = 0;
    while (prefix < common && sameAt(position + prefix, prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < common - prefix && sameAt(position + removed - 1 - suffix, added.size() - 1 - suffix))
        ++suffix;

    const QStringView middle = added.mid(prefix, added.size() - prefix - suffix);
    QString fragment;
    fragment.reserve(middle.size());
    for (const QChar c : middle) {
        if (c.unicode() == kParagraphSeparator)
            fragment += u"\r\n";
        else
            fragment += c;
    }
    return replace(position + prefix, removed - prefix - suffix, fragment);
}

} // namespace holvane
