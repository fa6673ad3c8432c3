#include "editor/pane_text.h"

#include <algorithm>

namespace holvane {
namespace {

constexpr char16_t kParagraphSeparator = 0x2029;
constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kZeroWidthJoiner = 0x200D;

struct Parsed {
    qsizetype documentLength = 0;
    std::vector<qsizetype> crLf; // relative document positions
    std::vector<qsizetype> soft; // relative document positions
};

// Reads a text the way QTextCursor::insertText splits it into blocks, with a
// soft break before each of the sorted text offsets in `softBreaks`.
Parsed parse(QStringView text, const std::vector<qsizetype> &softBreaks = {})
{
    Parsed parsed;
    auto fold = softBreaks.begin();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        for (; fold != softBreaks.end() && *fold <= i; ++fold)
            parsed.soft.push_back(parsed.documentLength++);
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            parsed.crLf.push_back(parsed.documentLength);
            ++i;
        }
        ++parsed.documentLength;
    }
    return parsed;
}

bool mayEndLine(char16_t c)
{
    return c <= u'\r' || c == kParagraphSeparator || c == 0xFDD0 || c == 0xFDD1;
}

// Whether a piece may end before text index i: never inside a surrogate
// pair, before a combining mark or around a joiner, which would show the
// parts of one character on two lines.
bool canFoldBefore(QStringView text, qsizetype i)
{
    if (i <= 0 || i >= text.size())
        return true;
    const QChar c = text[i];
    return !c.isLowSurrogate() && !c.isMark() && c.unicode() != kZeroWidthJoiner
           && text[i - 1].unicode() != kZeroWidthJoiner && !(c.unicode() >= 0xFE00 && c.unicode() <= 0xFE0F)
           && !(c.unicode() == 0xDB40); // the supplementary variation selectors
}

// Where to end a piece that starts at text index `from` in a line that goes
// on to `to`: after a tag's ">", a blank or a Japanese stop near the limit
// where there is one, else at the limit.
qsizetype foldIn(QStringView text, qsizetype from, qsizetype to, qsizetype pieceLength)
{
    const qsizetype limit = std::min(to, from + pieceLength);
    for (qsizetype at = limit; at > from + pieceLength * 3 / 4; --at) {
        const char16_t before = text[at - 1].unicode();
        if ((before == u'>' || before == u' ' || before == u'\t' || before == 0x3001 || before == 0x3002)
            && canFoldBefore(text, at))
            return at;
    }
    qsizetype at = limit;
    while (at > from + 1 && !canFoldBefore(text, at))
        --at;
    return at;
}

void shiftFrom(std::vector<qsizetype> &positions, qsizetype from, qsizetype by)
{
    for (auto it = std::lower_bound(positions.begin(), positions.end(), from); it != positions.end(); ++it)
        *it += by;
}

bool contains(const std::vector<qsizetype> &positions, qsizetype p)
{
    return std::binary_search(positions.begin(), positions.end(), p);
}

qsizetype countBefore(const std::vector<qsizetype> &positions, qsizetype p)
{
    return std::lower_bound(positions.begin(), positions.end(), p) - positions.begin();
}

// Reads a whole text in one pass: its CR LF line ends, and folds for its long
// lines, as parse would with foldsFor's folds.
Parsed parseFolding(QStringView text, qsizetype pieceLength)
{
    Parsed parsed;
    qsizetype crLfs = 0;
    qsizetype lineStart = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && (!mayEndLine(text[i].unicode()) || !PaneText::isLineEndCharacter(text[i].unicode())))
            continue;
        for (qsizetype start = lineStart; i - start > pieceLength;) {
            start = foldIn(text, start, i, pieceLength);
            parsed.soft.push_back(start - crLfs + qsizetype(parsed.soft.size()));
        }
        if (i + 1 < n && text[i] == u'\r' && text[i + 1] == u'\n') {
            parsed.crLf.push_back(i - crLfs + qsizetype(parsed.soft.size()));
            ++crLfs;
            ++i;
        }
        lineStart = i + 1;
    }
    parsed.documentLength = n - crLfs + qsizetype(parsed.soft.size());
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

std::vector<qsizetype> PaneText::foldsFor(QStringView fragment) const
{
    std::vector<qsizetype> folds;
    qsizetype lineStart = 0;
    const qsizetype n = fragment.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && !isLineEndCharacter(fragment[i].unicode()))
            continue;
        for (qsizetype start = lineStart; i - start > m_pieceLength;) {
            start = foldIn(fragment, start, i, m_pieceLength);
            folds.push_back(start);
        }
        lineStart = i + 1;
    }
    return folds;
}

void PaneText::setText(const QString &text)
{
    m_text = text;
    m_indexed = false;
}

void PaneText::index() const
{
    if (m_indexed)
        return;
    Parsed parsed = parseFolding(m_text, m_pieceLength);
    m_documentLength = parsed.documentLength;
    m_crLf = std::move(parsed.crLf);
    m_soft = std::move(parsed.soft);
    m_indexed = true;
}

QString PaneText::shownText() const
{
    index();
    if (m_soft.empty())
        return m_text;
    QString shown;
    shown.reserve(m_text.size() + softBreakCount());
    qsizetype from = 0;
    for (const qsizetype fold : m_soft) {
        const qsizetype at = toText(fold);
        shown.append(QStringView(m_text).sliced(from, at - from));
        shown.append(QChar(kParagraphSeparator));
        from = at;
    }
    shown.append(QStringView(m_text).sliced(from));
    return shown;
}

bool PaneText::isSoftBreak(qsizetype documentPosition) const
{
    index();
    return contains(m_soft, documentPosition);
}

bool PaneText::isCrLfAt(qsizetype documentPosition) const
{
    return contains(m_crLf, documentPosition);
}

bool PaneText::isSeparatorAt(qsizetype documentPosition) const
{
    if (documentPosition < 0 || documentPosition >= m_documentLength)
        return false;
    return isSoftBreak(documentPosition) || isCrLfAt(documentPosition)
           || isLineEndCharacter(m_text[toText(documentPosition)].unicode());
}

qsizetype PaneText::toText(qsizetype documentPosition) const
{
    index();
    return documentPosition + countBefore(m_crLf, documentPosition) - countBefore(m_soft, documentPosition);
}

qsizetype PaneText::toDocument(qsizetype textIndex) const
{
    index();
    // The last position that does not go past the index: toText never
    // decreases, and stays put across a fold.
    qsizetype lo = 0;
    qsizetype hi = m_documentLength;
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (toText(mid) <= textIndex)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// Inside a piece every document position is one character, so the scans
// below count from where they started instead of mapping back.
qsizetype PaneText::pieceStart(qsizetype documentPosition) const
{
    const auto soft = std::lower_bound(m_soft.begin(), m_soft.end(), documentPosition);
    const qsizetype afterFold = soft == m_soft.begin() ? 0 : *std::prev(soft) + 1;
    const qsizetype limit = toText(afterFold);
    const qsizetype from = toText(documentPosition);
    for (qsizetype i = from; i > limit; --i)
        if (isLineEndCharacter(m_text[i - 1].unicode()))
            return documentPosition - (from - i);
    return afterFold;
}

qsizetype PaneText::pieceEnd(qsizetype documentPosition) const
{
    const auto soft = std::lower_bound(m_soft.begin(), m_soft.end(), documentPosition);
    const qsizetype fold = soft == m_soft.end() ? m_documentLength : *soft;
    const qsizetype limit = fold == m_documentLength ? m_text.size() : toText(fold);
    const qsizetype from = toText(documentPosition);
    for (qsizetype i = from; i < limit; ++i)
        if (isLineEndCharacter(m_text[i].unicode()))
            return documentPosition + (i - from);
    return fold;
}

void PaneText::insertSoftBreak(qsizetype documentPosition, Fixes &fixes)
{
    shiftFrom(m_crLf, documentPosition, 1);
    shiftFrom(m_soft, documentPosition, 1);
    m_soft.insert(std::lower_bound(m_soft.begin(), m_soft.end(), documentPosition), documentPosition);
    ++m_documentLength;
    fixes.push_back({Fix::Kind::Insert, documentPosition});
}

void PaneText::removeSeparator(qsizetype documentPosition, Fixes &fixes)
{
    const auto soft = std::lower_bound(m_soft.begin(), m_soft.end(), documentPosition);
    if (soft != m_soft.end() && *soft == documentPosition)
        m_soft.erase(soft);
    shiftFrom(m_crLf, documentPosition + 1, -1);
    shiftFrom(m_soft, documentPosition + 1, -1);
    --m_documentLength;
    fixes.push_back({Fix::Kind::Remove, documentPosition});
}

void PaneText::joinCrLfAt(qsizetype boundary, Fixes &fixes)
{
    if (boundary <= 0 || boundary >= m_text.size() || m_text[boundary - 1] != u'\r' || m_text[boundary] != u'\n')
        return;
    const qsizetype cr = toDocument(boundary - 1);
    if (isCrLfAt(cr))
        return; // already one line end
    // A fold between the two would stand at an empty line's edge.
    while (isSoftBreak(cr + 1))
        removeSeparator(cr + 1, fixes);
    // The LF's separator goes: the CR's line closes up with the empty line
    // after it, and a caret that stood there lands before the new CR LF.
    removeSeparator(cr, fixes);
    m_crLf.insert(std::lower_bound(m_crLf.begin(), m_crLf.end(), cr), cr);
}

void PaneText::refold(qsizetype from, qsizetype to, Fixes &fixes)
{
    qsizetype start = pieceStart(std::clamp<qsizetype>(from, 0, m_documentLength));
    if (start > 0 && isSoftBreak(start - 1))
        start = pieceStart(start - 1); // it may merge with the piece before
    for (;;) {
        const qsizetype end = pieceEnd(start);
        if (end - start > m_pieceLength) {
            const qsizetype textStart = toText(start);
            const qsizetype at = start + foldIn(m_text, textStart, textStart + (end - start), m_pieceLength) - textStart;
            insertSoftBreak(at, fixes);
            ++to;
            start = at + 1;
            continue;
        }
        if (isSoftBreak(end)) {
            const qsizetype nextLength = pieceEnd(end + 1) - (end + 1);
            const qsizetype length = end - start;
            if (length == 0 || nextLength == 0 || length + nextLength <= m_pieceLength / 2) {
                removeSeparator(end, fixes);
                --to;
                continue;
            }
        }
        if (end >= to || end >= m_documentLength)
            return;
        start = end + 1;
    }
}

PaneText::Fixes PaneText::replace(qsizetype position, qsizetype removed, QStringView fragment,
                                  const std::vector<qsizetype> &softBreaks)
{
    index();
    position = std::clamp<qsizetype>(position, 0, m_documentLength);
    removed = std::clamp<qsizetype>(removed, 0, m_documentLength - position);
    const qsizetype from = toText(position);
    const qsizetype to = toText(position + removed);
    const Parsed parsed = parse(fragment, softBreaks);

    m_text.replace(from, to - from, fragment.data(), fragment.size());

    const qsizetype shift = parsed.documentLength - removed;
    for (auto *positions : {&m_crLf, &m_soft}) {
        const auto first = std::lower_bound(positions->begin(), positions->end(), position);
        const auto last = std::lower_bound(first, positions->end(), position + removed);
        for (auto it = last; it != positions->end(); ++it)
            *it += shift;
        const auto at = positions->erase(first, last);
        const std::vector<qsizetype> &added = positions == &m_crLf ? parsed.crLf : parsed.soft;
        const auto inserted = positions->insert(at, added.begin(), added.end());
        std::for_each(inserted, inserted + qsizetype(added.size()), [&](qsizetype &p) { p += position; });
    }
    m_documentLength += shift;

    // Only the edges of the fragment can bring a CR and an LF together; the
    // later edge first, so that the earlier position stays valid.
    Fixes fixes;
    joinCrLfAt(from + fragment.size(), fixes);
    if (!fragment.isEmpty())
        joinCrLfAt(from, fixes);
    refold(toDocument(from), toDocument(from + fragment.size()), fixes);
    return fixes;
}

PaneText::Fixes PaneText::applyDocumentChange(qsizetype position, qsizetype removed, QStringView added,
                                              DocumentRange typedOver)
{
    index();
    position = std::clamp<qsizetype>(position, 0, m_documentLength);
    removed = std::clamp<qsizetype>(removed, 0, m_documentLength - position);
    const qsizetype common = std::min(removed, added.size());

    // Qt may report a wider range than really changed; keep what did not.
    auto sameAt = [&](qsizetype documentPosition, qsizetype addedIndex) {
        const bool oldIsSeparator = isSeparatorAt(documentPosition);
        const QChar now = added[addedIndex];
        if (oldIsSeparator || now.unicode() == kParagraphSeparator)
            return oldIsSeparator && now.unicode() == kParagraphSeparator;
        return m_text[toText(documentPosition)] == now;
    };
    auto sameRun = [&](qsizetype from, qsizetype addedFrom, qsizetype length) {
        for (qsizetype k = 0; k < length; ++k)
            if (!sameAt(from + k, addedFrom + k))
                return false;
        return true;
    };
    qsizetype prefix = 0;
    qsizetype suffix = 0;
    // Where the text was typed over a known selection, what lies before and
    // after it stayed: matching line ends by their place alone could pair a
    // new one with an old one next to it, and swap which is CR LF and which
    // LF, or take a line end typed over a line end for no change at all.
    const qsizetype before = typedOver.from - position;
    const qsizetype after = position + removed - typedOver.to;
    if (typedOver.from >= position && after >= 0 && before + after <= added.size()
        && sameRun(position, 0, before) && sameRun(typedOver.to, added.size() - after, after)) {
        prefix = before;
        suffix = after;
    } else {
        while (prefix < common && sameAt(position + prefix, prefix))
            ++prefix;
        while (suffix < common - prefix && sameAt(position + removed - 1 - suffix, added.size() - 1 - suffix))
            ++suffix;
    }

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
