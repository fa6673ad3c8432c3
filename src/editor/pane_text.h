#pragma once

#include <QString>
#include <QStringView>

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

    // Replaces document positions [position, position + removed) by a
    // fragment in the documents' own form (its line ends kept as they are).
    void replace(qsizetype position, qsizetype removed, QStringView fragment);

    // Applies a change read back from the document: `added` is the new text of
    // the changed range as QTextDocument holds it, U+2029 for a line end. Parts
    // that did not really change keep their own line ends; line ends that are
    // new become CR LF, the editor's own.
    void applyDocumentChange(qsizetype position, qsizetype removed, QStringView added);

    // The characters that QTextCursor::insertText turns into a block separator.
    static bool isLineEndCharacter(char16_t c);

private:
    bool isCrLfAt(qsizetype documentPosition) const;

    QString m_text;
    qsizetype m_documentLength = 0;
    // Document positions of the line ends written as CR LF, ascending.
    std::vector<qsizetype> m_crLf;
};

} // namespace holvane
