#include "editor/row_index.h"

#include <bit>

namespace holvane {

void RowIndex::assign(std::vector<int32_t> rows)
{
    m_rows = std::move(rows);
    rebuild();
}

void RowIndex::rebuild()
{
    const size_t n = m_rows.size();
    m_tree.assign(n + 1, 0);
    m_total = 0;
    for (size_t i = 1; i <= n; ++i) {
        m_tree[i] += m_rows[i - 1];
        m_total += m_rows[i - 1];
        const size_t parent = i + (i & -i);
        if (parent <= n)
            m_tree[parent] += m_tree[i];
    }
}

void RowIndex::setRows(qsizetype line, qsizetype rows)
{
    const qint64 delta = rows - m_rows[size_t(line)];
    if (delta == 0)
        return;
    m_rows[size_t(line)] = int32_t(rows);
    m_total += delta;
    for (size_t i = size_t(line) + 1; i < m_tree.size(); i += i & -i)
        m_tree[i] += delta;
}

void RowIndex::replace(qsizetype first, qsizetype before, const std::vector<int32_t> &rows)
{
    if (before == qsizetype(rows.size())) {
        for (size_t i = 0; i < rows.size(); ++i)
            setRows(first + qsizetype(i), rows[i]);
        return;
    }
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + first + before);
    m_rows.insert(m_rows.begin() + first, rows.begin(), rows.end());
    rebuild();
}

qsizetype RowIndex::rowOf(qsizetype line) const
{
    qint64 sum = 0;
    for (size_t i = size_t(std::min(line, lineCount())); i > 0; i -= i & -i)
        sum += m_tree[i];
    return sum;
}

qsizetype RowIndex::lineAt(qsizetype row) const
{
    // The last line whose first row is at most `row`: descend the tree.
    size_t at = 0;
    qint64 left = row;
    for (size_t step = std::bit_floor(m_tree.size()); step > 0; step >>= 1) {
        if (at + step < m_tree.size() && m_tree[at + step] <= left) {
            at += step;
            left -= m_tree[at];
        }
    }
    return std::min<qsizetype>(qsizetype(at), lineCount() - 1);
}

} // namespace holvane
