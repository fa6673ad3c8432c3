#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace holvane {

// The text of an edit pane as documents hold it, kept in step with the pane's
// QTextDocument.
//
// QTextDocument turns CR LF, LF and a lone CR alike into one block separator
// and forgets which it was, while a document opened and saved again must keep
// every line end it had. So the pane keeps the text itself, with each line
// end as it came, and updates it from every change of the document. Reading
// it is a shared copy, not a rebuild of the whole text.
//
// Two coordinate systems meet here: document positions, in which every line
// end counts one, and text indices, in which a CR LF counts two.
class PaneText {
public:
    const QString &text() const { return m_text; }
    qsizetype documentLength() const { return m_documentLength; }

    void setText(const QString &text);

    // An index that falls between the CR and the LF of a line end maps to the
    // position before that line end.
    qsizetype toDocument(qsizetype textIndex) const;
    qsizetype toText(qsizetype documentPosition) const;

    // Where an edit made a lone CR and a lone LF adjacent, they are one CR LF
    // from then on, as they would be in the file reopened; the document still
    // shows two line ends there and must drop its separator at each of these
    // document positions, given last first.
    using Joins = std::vector<qsizetype>;

    // Replaces document positions [position, position + removed) by a
    // fragment in the documents' own form (its line ends kept as they are).
    [[nodiscard]] Joins replace(qsizetype position, qsizetype removed, QStringView fragment);

    // Applies a change read back from the document: `added` is the new text of
    // the changed range as QTextDocument holds it, U+2029 for a line end. Parts
    // that did not really change keep their own line ends; line ends that are
    // new become CR LF, the editor's own.
    [[nodiscard]] Joins applyDocumentChange(qsizetype position, qsizetype removed, QStringView added);

    // The characters that QTextCursor::insertText turns into a block separator.
    static bool isLineEndCharacter(char16_t c);

    // Text that comes from outside (the clipboard, a drop, the keyboard) with
    // every line end it may carry (LF, CR, CR LF, U+2028, U+2029) turned into
    // the editor's own CR LF: whatever the pane shows as a line break is then
    // a line end of the document, and one that any encoding can write.
    static QString withOwnLineEnds(QStringView text);

private:
    bool isCrLfAt(qsizetype documentPosition) const;
    // Joins a lone CR that ends just before text index `boundary` with the
    // lone LF that starts there; returns the CR's document position.
    std::optional<qsizetype> joinAt(qsizetype boundary);

    QString m_text;
    qsizetype m_documentLength = 0;
    // Document positions of the line ends written as CR LF, ascending.
    std::vector<qsizetype> m_crLf;
};

} // namespace holvane
