#pragma once

#include <QtGlobal>

#include <cstdint>
#include <vector>

namespace holvane {

// How many rows each line of a wrapping pane takes, with the sums kept in a
// Fenwick tree: the row a line starts on and the line on a row are found in
// O(log n), and correcting one line's count costs as much.
class RowIndex {
public:
    void assign(std::vector<int32_t> rows);
    qsizetype lineCount() const { return qsizetype(m_rows.size()); }
    qsizetype rowsOf(qsizetype line) const { return m_rows[size_t(line)]; }
    void setRows(qsizetype line, qsizetype rows);
    // Lines [first, first + before) became `rows`.
    void replace(qsizetype first, qsizetype before, const std::vector<int32_t> &rows);

    qsizetype total() const { return m_total; }
    // The rows above a line.
    qsizetype rowOf(qsizetype line) const;
    // The line a row lies on (the last line for rows past the end).
    qsizetype lineAt(qsizetype row) const;

private:
    void rebuild();
    std::vector<int32_t> m_rows;
    std::vector<qint64> m_tree; // 1-based Fenwick tree over m_rows
    qsizetype m_total = 0;
};

} // namespace holvane
