#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace holvane {

// Document positions [from, to) of an edit pane; from < 0 where none is known.
struct DocumentRange {
    qsizetype from = -1;
    qsizetype to = -1;
};

// The text of an edit pane as documents hold it, kept in step with the pane's
// QTextDocument, which only displays it.
//
// QTextDocument turns CR LF, LF and a lone CR alike into one block separator
// and forgets which it was, while a document opened and saved again must keep
// every line end it had. So the pane keeps the text itself, with each line
// end as it came, and updates it from every change of the document. Reading
// it is a shared copy, not a rebuild of the whole text.
//
// QTextDocument also lays out a whole block, that is a whole line, at every
// change, and draws every character of each line it shows. A line of a
// minified page or an inlined image can be megabytes long, so the display
// holds long lines as pieces of at most pieceLength() characters, each a
// block of its own: a piece ends in a "soft break", a block separator that
// is no part of the text. Nothing outside the pane ever sees one.
//
// Two coordinate systems meet here: document positions, in which every line
// end and every soft break counts one, and text indices, in which a CR LF
// counts two and a soft break nothing.
class PaneText {
public:
    explicit PaneText(qsizetype pieceLength) : m_pieceLength(pieceLength) {}

    const QString &text() const { return m_text; }
    qsizetype documentLength() const { return index(), m_documentLength; }
    qsizetype pieceLength() const { return m_pieceLength; }
    qsizetype softBreakCount() const { return index(), qsizetype(m_soft.size()); }
    bool isSoftBreak(qsizetype documentPosition) const;

    // Sets the whole text, folding its long lines. Where its line ends and
    // folds lie is worked out when a position is first needed: a pane that
    // stays hidden never needs one.
    void setText(const QString &text);
    // The text as the document shows it: U+2029 where a long line is folded
    // (a shared copy of the text itself where none is).
    QString shownText() const;

    // An index between the CR and the LF of a line end maps to the position
    // before that line end; one where a line is folded, to the start of the
    // piece after the fold.
    qsizetype toDocument(qsizetype textIndex) const;
    qsizetype toText(qsizetype documentPosition) const;

    // A block separator the document must insert before, or remove at, a
    // document position to show the text as this model has it. Fixes come in
    // the order they must be applied; the model has applied them already.
    struct Fix {
        enum class Kind { Insert, Remove };
        Kind kind;
        qsizetype position;
    };
    using Fixes = std::vector<Fix>;

    // Replaces document positions [position, position + removed) by a
    // fragment in the documents' own form (its line ends kept as they are),
    // which the document got with a soft break before each of the sorted text
    // offsets in `softBreaks`.
    //
    // Where the change made a lone CR and a lone LF adjacent, they are one
    // CR LF from then on, as in the file reopened: the document drops one of
    // its two separators. Pieces that grew too long are folded again, and
    // folds left at a line's edge or between two small pieces are removed.
    [[nodiscard]] Fixes replace(qsizetype position, qsizetype removed, QStringView fragment,
                                const std::vector<qsizetype> &softBreaks = {});

    // Applies a change read back from the document: `added` is the new text of
    // the changed range as QTextDocument holds it, U+2029 for a separator.
    // Parts that did not really change keep their own line ends and folds;
    // line ends that are new become CR LF, the editor's own. Qt may report a
    // wider range than changed; `typedOver`, where known, is the selection
    // (or the bare caret) that the new text was typed over.
    [[nodiscard]] Fixes applyDocumentChange(qsizetype position, qsizetype removed, QStringView added,
                                            DocumentRange typedOver = {});

    // Where to fold a fragment about to go into the document so that no piece
    // comes out much longer than pieceLength(): sorted text offsets.
    std::vector<qsizetype> foldsFor(QStringView fragment) const;

    // The characters that QTextCursor::insertText turns into a block separator.
    static bool isLineEndCharacter(char16_t c);

    // Text that comes from outside (the clipboard, a drop, the keyboard) with
    // every line end it may carry (LF, CR, CR LF, U+2028, U+2029) turned into
    // the editor's own CR LF: whatever the pane shows as a line break is then
    // a line end of the document, and one that any encoding can write.
    static QString withOwnLineEnds(QStringView text);

private:
    void index() const;
    bool isCrLfAt(qsizetype documentPosition) const;
    bool isSeparatorAt(qsizetype documentPosition) const;
    // Text index of the first character after the line end or fold that
    // ends before document position `documentPosition`.
    qsizetype pieceStart(qsizetype documentPosition) const;
    qsizetype pieceEnd(qsizetype documentPosition) const;
    void insertSoftBreak(qsizetype documentPosition, Fixes &fixes);
    void removeSeparator(qsizetype documentPosition, Fixes &fixes);
    void joinCrLfAt(qsizetype boundary, Fixes &fixes);
    void refold(qsizetype from, qsizetype to, Fixes &fixes);
    qsizetype foldPoint(qsizetype start, qsizetype end) const;

    QString m_text;
    qsizetype m_pieceLength;
    mutable bool m_indexed = true;
    mutable qsizetype m_documentLength = 0;
    // Document positions of the line ends written as CR LF, ascending.
    mutable std::vector<qsizetype> m_crLf;
    // Document positions of the soft breaks, ascending.
    mutable std::vector<qsizetype> m_soft;
};

} // namespace holvane
