// The two edit panes of the main window, offscreen, against a model after
// every step of a random session: typed keys and text, Return and
// Shift+Return, Backspace and Delete, the arrows and the keys that move by
// rows, words and pages, clicks, setSelectionStart, setSelectionLength and
// replaceSelection, both pastes and the middle button's, drops within the
// pane (moved and copied) and from outside, input-method compositions (over
// a selection too), commits and replacements, replaceAllCaretAtEnd,
// setText, Undo and the wrap switch, with lines long enough to be cut into
// segments.
//
// The model is the text as a list of units, one for each character or line
// end as it came, and the selection in units. What it holds, from
// edit_pane.h and the faults fixed before:
//  - text() keeps each line end as it came, but a CR and an LF that an edit
//    brings together are one CR LF from then on, and a caret that would
//    fall between them stands before them;
//  - keys, the clipboard, drops from outside and the input method bring
//    every line end (CR, LF, CR LF, U+2028, U+2029) as CR LF, as Return and
//    Shift+Return do; replaceSelection brings U+2028 and U+2029 as CR LF and
//    the rest as given; a file may hold U+2028 and U+2029, which are then
//    characters, not line ends;
//  - setText leaves the caret at the start, replaceAllCaretAtEnd and Undo
//    at the end, a drop selects what it dropped, the others leave the caret
//    after what went in, with nothing selected;
//  - Backspace, Delete and the arrows take one unit; an arrow without Shift
//    ends a selection at its edge; whatever moves by rows, words, pages or
//    the mouse leaves the text alone and the caret on a unit's edge;
//  - Undo puts back whichever snapshot the pane does not show; they are
//    taken at a key's press and release, around each command, and around
//    each commit, drop and middle-button paste, as the main window does; a
//    commit's "before" is the text before its composition typed over a
//    selection, and a cancelled composition over one gives it back;
//  - a commit of the reading that the composition event before withdrew,
//    with no key press or composition between, is dropped;
//  - the pane has one more line than text() has line ends.
#include "editor/edit_pane.h"
#include "editor/line_ends.h"
#include "editor/undo_pair.h"
#include "fuzz.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

using namespace holvane;

namespace {

bool isLineEnd(const QString &unit)
{
    return unit == u"\r\n" || unit == u"\r" || unit == u"\n";
}

QString ownLineEnds(const QString &text)
{
    QString own;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        own += c == u'\r' || c == u'\n' || c == 0x2028 || c == 0x2029 ? QStringLiteral("\r\n") : QString(QChar(c));
    }
    return own;
}

struct Model {
    std::vector<QString> units;
    qsizetype anchor = 0;
    qsizetype caret = 0;
    QString before, after; // the undo snapshots
    struct Composition {
        QString preedit, withdrawn, lastReading;
        bool open = false;      // a reading was shown and neither committed nor cancelled
        bool typedOver = false; // ... over a selection, which left the pane's text meanwhile
    } composition[2]; // each pane's own

    QString text() const
    {
        QString t;
        for (const QString &u : units)
            t += u;
        return t;
    }
    qsizetype index(qsizetype unit) const
    {
        qsizetype i = 0;
        for (qsizetype u = 0; u < unit; ++u)
            i += units[u].size();
        return i;
    }
    qsizetype selStart() const { return index(std::min(anchor, caret)); }
    qsizetype selEnd() const { return index(std::max(anchor, caret)); }
    // The last place between units at or before a text index.
    qsizetype unitAt(qsizetype index) const
    {
        qsizetype unit = 0;
        for (qsizetype at = 0; unit < qsizetype(units.size()) && at + units[unit].size() <= index; ++unit)
            at += units[unit].size();
        return unit;
    }
    void setText(const QString &t, qsizetype caretIndex)
    {
        units.clear();
        for (qsizetype i = 0; i < t.size();) {
            const bool two = i + 1 < t.size()
                             && ((t[i] == u'\r' && t[i + 1] == u'\n')
                                 || (t[i].isHighSurrogate() && t[i + 1].isLowSurrogate()));
            units.push_back(t.mid(i, two ? 2 : 1));
            i += two ? 2 : 1;
        }
        anchor = caret = unitAt(caretIndex);
    }
    void replaceSelection(const QString &s)
    {
        const QString t = text();
        const qsizetype from = selStart();
        setText(t.left(from) + s + t.mid(selEnd()), from + s.size());
    }
    // Text put in at a text index, left selected.
    void insertSelected(qsizetype at, const QString &s)
    {
        const QString t = text();
        setText(t.left(at) + s + t.mid(at), at + s.size());
        anchor = unitAt(at);
    }
    qsizetype lineEnds() const { return std::count_if(units.begin(), units.end(), isLineEnd); }
};

// Bytes to text: ASCII as itself, 0x80 and up as kana and kanji, and a few
// bytes for what matters most; 0x10 and a count make a line long enough to
// be folded. "|" ends the text. Kept bytes and U+FDD0 only come from files.
QString payload(fuzz::Input &in, bool fromFile)
{
    static const char16_t *const runs[] = {u"<TD>表</TD>abc ", u"w", u"𠮷あ", u"a\u00A0"};
    QString s;
    while (!in.empty() && s.size() < 8192) {
        const uint8_t b = in.byte();
        if (b == '|')
            break;
        switch (b) {
        case 0x01: s += QChar(0x2028); break;
        case 0x02: s += QChar(0x2029); break;
        case 0x03: s += QStringLiteral("𠮷"); break;
        case 0x04: s += QChar(fromFile ? 0xDC82 : u'?'); break;
        case 0x05: s += QChar(fromFile ? 0xFDD0 : u'?'); break;
        case 0x06: s += QChar(0x00A0); break;
        case 0x10: {
            const QString run = QString::fromUtf16(runs[in.byte() % std::size(runs)]);
            const qsizetype length = (in.byte() % 16 + 1) * 256;
            while (s.size() < length)
                s += run;
            break;
        }
        default: s += QChar(b < 0x80 ? b : b < 0xC0 ? 0x3041 + (b - 0x80) : 0x4E00 + (b - 0xC0) * 37);
        }
    }
    return s;
}

// A text index on the text, never inside a surrogate pair.
qsizetype placeIn(const QString &text, unsigned value)
{
    qsizetype at = qsizetype(value) % (text.size() + 1);
    if (at > 0 && at < text.size() && text[at - 1].isHighSurrogate() && text[at].isLowSurrogate())
        ++at;
    return at;
}

void key(EditPane &pane, Qt::Key k, Qt::KeyboardModifiers modifiers = {}, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, k, modifiers, text);
    QApplication::sendEvent(&pane, &press);
    QKeyEvent release(QEvent::KeyRelease, k, modifiers, text);
    QApplication::sendEvent(&pane, &release);
}

void compose(EditPane &pane, const QString &preedit, const QString &commit, int replaceFrom = 0, int replaced = 0)
{
    QInputMethodEvent e(preedit, {});
    e.setCommitString(commit, replaceFrom, replaced);
    QApplication::sendEvent(&pane, &e);
}

// Qt's offscreen platform delivers no drop events; the pane's own handler takes them.
struct Pane : EditPane {
    using EditPane::EditPane;
    using EditPane::dropEvent;
};

// The main window's two panes and its undo snapshots.
struct Window {
    QWidget window;
    Pane unwrappedPane{QStringLiteral("unwrappedPane"), EditPane::Wrap::None, &window};
    Pane wrappingPane{QStringLiteral("wrappingPane"), EditPane::Wrap::AtRightEdge, &window};
    UndoPair undo;
    bool wrapping = false;

    Window()
    {
        for (EditPane *pane : {&unwrappedPane, &wrappingPane}) {
            pane->setGeometry(0, 0, 480, 320);
            QObject::connect(pane, &EditPane::beforeInput, [this](const TextSnapshot &t) { undo.before = t; });
            QObject::connect(pane, &EditPane::afterInput, [this](const TextSnapshot &t) { undo.after = t; });
        }
        wrappingPane.hide();
        window.resize(480, 320);
        window.show();
    }
    Pane &active() { return wrapping ? wrappingPane : unwrappedPane; }
};

QString shortly(const QString &s) { return fuzz::escaped(s.size() > 300 ? s.left(150) + u'…' + s.right(150) : s); }

void check(const Model &model, EditPane &pane, bool typedOver, int step, char op)
{
    const QString where = QStringLiteral("step %1 (%2): ").arg(step).arg(QLatin1Char(op));
    const QString text = model.text();
    const QString got = pane.text();
    if (got != text) {
        qsizetype at = 0;
        while (at < got.size() && at < text.size() && got[at] == text[at])
            ++at;
        FUZZ_CHECK(got == text, where + QStringLiteral("text differs at %1 of %2: ").arg(at).arg(text.size())
                                    + shortly(got.mid(std::max<qsizetype>(0, at - 20), 60)) + QStringLiteral(", expected ")
                                    + shortly(text.mid(std::max<qsizetype>(0, at - 20), 60)));
    }
    const qsizetype start = model.selStart();
    // While a reading is typed over a selection, the selection is out of the pane's text.
    const qsizetype length = typedOver ? 0 : model.selEnd() - start;
    FUZZ_CHECK(pane.selectionStart() == start && pane.selectionLength() == length,
               where + QStringLiteral("selection %1+%2, expected %3+%4 in ").arg(pane.selectionStart()).arg(pane.selectionLength())
                           .arg(start).arg(length) + shortly(text));
    // The lines on screen: without the selection a reading is typed over.
    Model shown = model;
    if (typedOver)
        shown.replaceSelection(QString());
    FUZZ_CHECK(pane.layouts().segmentsAgree(), where + QStringLiteral("the segments of a long line do not add up to it"));
    const qsizetype lines = shown.lineEnds() + 1;
    FUZZ_CHECK(pane.lineCount() == lines,
               where + QStringLiteral("%1 lines, expected %2 in ").arg(pane.lineCount()).arg(lines) + shortly(text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QApplication *app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_pane";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    Q_UNUSED(app);
    static const char kOps[] = "TSLXKRrBD<>{}VPIJieUAWYjOCQMudhngGwbcx";

    Window w;
    Model model;
    fuzz::Input in{data, size};
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        const uint8_t b = in.byte();
        const char *named = b ? std::strchr(kOps, b) : nullptr;
        const char op = named ? *named : kOps[b % (sizeof kOps - 1)];
        Pane &pane = w.active();
        Model::Composition &composition = model.composition[w.wrapping];
        // What each key press and each command records, as the main window does.
        auto recorded = [&](auto &&change) {
            model.before = model.text();
            change();
            model.after = model.text();
        };
        auto pressed = [&](auto &&change) {
            composition.withdrawn.clear();
            recorded(change);
        };
        // A composition event, as the platform sends it. A commit replaces
        // the selection, then the input method's range around the caret.
        auto composed = [&](const QString preedit, const QString commit, int replaceFrom = 0, int replaced = 0) {
            compose(pane, preedit, commit, replaceFrom, replaced);
            const bool drop = !composition.withdrawn.isEmpty() && commit == composition.withdrawn && preedit.isEmpty()
                              && replaced == 0;
            const bool withdraws = commit.isEmpty() && preedit.isEmpty() && !composition.preedit.isEmpty();
            composition.withdrawn = withdraws ? composition.preedit : QString();
            composition.preedit = preedit;
            if (!preedit.isEmpty())
                composition.lastReading = preedit;
            if (drop)
                return;
            if (!commit.isEmpty() || replaced > 0) {
                recorded([&] {
                    QString t = model.text();
                    const qsizetype caret = model.selStart();
                    t.remove(caret, model.selEnd() - caret);
                    const qsizetype from = std::clamp<qsizetype>(caret + replaceFrom, 0, t.size());
                    const qsizetype length = std::clamp<qsizetype>(replaced, 0, t.size() - from);
                    const QString own = ownLineEnds(commit);
                    model.setText(t.left(from) + own + t.mid(from + length), from + own.size());
                });
                composition.open = !preedit.isEmpty();
                composition.typedOver = false;
            } else if (!preedit.isEmpty() && !composition.open) {
                composition.open = true;
                composition.typedOver = model.anchor != model.caret;
            } else if (preedit.isEmpty() && composition.open) {
                composition.open = composition.typedOver = false; // the selection given back as it was
            }
        };
        // After a move the model takes the pane's caret, which must stand
        // on a unit's edge, with a selection only where Shift was held.
        auto synced = [&](bool selecting) {
            for (const qsizetype at : {pane.anchorPosition(), pane.caretPosition()})
                FUZZ_CHECK(model.index(model.unitAt(at)) == at,
                           QStringLiteral("step %1: position %2 inside a unit of ").arg(step).arg(at) + shortly(model.text()));
            FUZZ_CHECK(selecting || !pane.hasSelection(), QStringLiteral("step %1: a selection after a move").arg(step));
            model.anchor = model.unitAt(pane.anchorPosition());
            model.caret = model.unitAt(pane.caretPosition());
        };
        // A drop at a point of the pane: the pane says where that is.
        auto dropAt = [&](const QPoint &at, const QMimeData *data, bool copy) {
            QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                            copy ? Qt::ControlModifier : Qt::NoModifier);
            drop.setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
            pane.dropEvent(&drop);
        };
        // While a reading is shown, the input method has the keys, and a
        // command first has it commit the reading.
        if (!std::strchr("IJiej", op) && !composition.preedit.isEmpty())
            composed(QString(), composition.preedit);
        const QString text = model.text();
        const bool full = text.size() > 16384;
        switch (op) {
        case 'T': { // a file opened
            const QString t = payload(in, true);
            pane.setText(t);
            w.undo.before = w.undo.after = TextSnapshot(t);
            model.setText(t, 0);
            model.before = model.after = t;
            break;
        }
        case 'S': {
            const qsizetype at = placeIn(text, in.word());
            pane.setSelectionStart(at);
            model.anchor = model.caret = model.unitAt(at);
            break;
        }
        case 'L': {
            const qsizetype from = model.selStart();
            const qsizetype length = placeIn(text.mid(from), in.word());
            pane.setSelectionLength(length);
            model.anchor = model.unitAt(from);
            model.caret = model.unitAt(from + length);
            break;
        }
        case 'X': {
            QString s = payload(in, true);
            if (full)
                break;
            w.undo.before = pane.snapshot();
            pane.replaceSelection(s);
            w.undo.after = pane.snapshot();
            s.replace(QChar(0x2028), QStringLiteral("\r\n")).replace(QChar(0x2029), QStringLiteral("\r\n"));
            recorded([&] { model.replaceSelection(s); });
            break;
        }
        case 'K': {
            QString s = payload(in, false);
            if (full)
                break;
            // Qt takes no key text that starts with a control character.
            if (s.isEmpty() || !(s[0].isPrint() || s[0] == u'\t' || s[0].isHighSurrogate()))
                s.prepend(u'k');
            key(pane, Qt::Key_unknown, {}, s);
            pressed([&] { model.replaceSelection(ownLineEnds(s)); });
            break;
        }
        case 'R':
        case 'r':
            if (full)
                break;
            key(pane, Qt::Key_Return, op == 'r' ? Qt::ShiftModifier : Qt::NoModifier, QStringLiteral("\r"));
            pressed([&] { model.replaceSelection(QStringLiteral("\r\n")); });
            break;
        case 'B':
        case 'D':
            key(pane, op == 'B' ? Qt::Key_Backspace : Qt::Key_Delete);
            pressed([&] {
                if (model.anchor == model.caret)
                    model.anchor = std::clamp<qsizetype>(model.caret + (op == 'B' ? -1 : 1), 0, model.units.size());
                model.replaceSelection(QString());
            });
            break;
        case '<':
        case '>':
        case '{':
        case '}': {
            const bool left = op == '<' || op == '{';
            const bool select = op == '{' || op == '}';
            key(pane, left ? Qt::Key_Left : Qt::Key_Right, select ? Qt::ShiftModifier : Qt::NoModifier);
            pressed([&] {
                if (!select && model.anchor != model.caret)
                    model.caret = left ? std::min(model.anchor, model.caret) : std::max(model.anchor, model.caret);
                else
                    model.caret = std::clamp<qsizetype>(model.caret + (left ? -1 : 1), 0, model.units.size());
                if (!select)
                    model.anchor = model.caret;
            });
            break;
        }
        case 'V':
        case 'P': {
            QString s = payload(in, false);
            if (full)
                break;
            if (s.isEmpty())
                s = QStringLiteral("x");
            if (op == 'V') { // the pane's own paste, Shift+Insert
                QGuiApplication::clipboard()->setText(s);
                key(pane, Qt::Key_Insert, Qt::ShiftModifier);
                pressed([&] { model.replaceSelection(ownLineEnds(s)); });
            } else { // the menu's
                w.undo.before = pane.snapshot();
                pane.replaceSelection(withOwnLineEnds(s));
                w.undo.after = pane.snapshot();
                recorded([&] { model.replaceSelection(ownLineEnds(s)); });
            }
            break;
        }
        case 'I':
        case 'J':
        case 'i':
        case 'e': {
            static const char16_t *const readings[] = {u"さくら", u"かんじ", u"x", u"にほんご"};
            const QString preedit =
                op == 'i' ? QString::fromUtf16(readings[in.byte() % std::size(readings)]) : QString();
            const QString commit = op == 'I' ? payload(in, false) : op == 'J' ? composition.lastReading : QString();
            if (!full)
                composed(preedit, commit);
            break;
        }
        case 'U': {
            w.undo.restoreInto(pane);
            const QString back = text != model.before ? model.before : model.after;
            model.setText(back, back.size());
            break;
        }
        case 'A': {
            const qsizetype from = placeIn(text, in.word());
            const qsizetype removed = placeIn(text.mid(from), in.byte());
            const QString s = payload(in, true);
            if (full)
                break;
            const QString changed = text.left(from) + s + text.mid(from + removed);
            w.undo.before = pane.snapshot();
            pane.replaceAllCaretAtEnd(TextSnapshot(changed));
            w.undo.after = pane.snapshot();
            recorded([&] { model.setText(changed, changed.size()); });
            break;
        }
        case 'W': { // as MainWindow::showPaneForWrapState
            EditPane &to = w.wrapping ? w.unwrappedPane : w.wrappingPane;
            to.setSnapshot(pane.snapshot());
            to.show();
            pane.hide();
            w.wrapping = !w.wrapping;
            model.anchor = model.caret = 0;
            break;
        }
        case 'Y':
            QCoreApplication::processEvents();
            break;
        case 'j': { // a commit that replaces text around the caret
            const QString commit = payload(in, false);
            const int from = int(in.byte() % 9) - 6;
            const int replaced = in.byte() % 5;
            if (!full)
                composed(QString(), commit, from, replaced);
            break;
        }
        case 'O': // the selection dragged to another place: moved, or copied with Ctrl
        case 'C': {
            const QPoint at(in.byte() * 2, in.byte());
            if (model.anchor == model.caret || full)
                break;
            const qsizetype to = pane.positionAt(at);
            const std::unique_ptr<QMimeData> data(pane.createMimeDataFromSelection());
            dropAt(at, data.get(), op == 'C');
            const qsizetype from = model.selStart(), length = model.selEnd() - from;
            const QString dragged = text.mid(from, length);
            if (op == 'O' && to >= from && to <= from + length)
                break; // onto itself
            recorded([&] {
                if (op == 'O') {
                    model.setText(QString(text).remove(from, length), 0);
                    model.insertSelected(to > from ? to - length : to, dragged);
                } else {
                    model.insertSelected(to, dragged);
                }
            });
            break;
        }
        case 'Q': { // text dropped from another program
            const QPoint at(in.byte() * 2, in.byte());
            QString s = payload(in, false);
            if (full)
                break;
            if (s.isEmpty())
                s = QStringLiteral("q");
            const qsizetype to = pane.positionAt(at);
            QMimeData data;
            data.setText(s);
            dropAt(at, &data, true);
            recorded([&] { model.insertSelected(to, ownLineEnds(s)); });
            break;
        }
        case 'M': { // the middle button's paste of the primary selection
            const qsizetype at = placeIn(text, in.word());
            const QString s = payload(in, false);
            if (s.isEmpty() || full)
                break;
            pane.pasteAt(at, s);
            recorded([&] {
                const qsizetype to = model.index(model.unitAt(at));
                const QString own = ownLineEnds(s);
                model.setText(text.left(to) + own + text.mid(to), to + own.size());
            });
            break;
        }
        case 'u':
        case 'd':
        case 'h':
        case 'n':
        case 'g':
        case 'G':
        case 'w':
        case 'b': {
            const bool select = in.byte() & 1;
            static const std::pair<char, Qt::Key> keys[] = {{'u', Qt::Key_Up},       {'d', Qt::Key_Down},
                                                            {'h', Qt::Key_Home},     {'n', Qt::Key_End},
                                                            {'g', Qt::Key_PageDown}, {'G', Qt::Key_End},
                                                            {'w', Qt::Key_Right},    {'b', Qt::Key_Left}};
            const Qt::Key k = std::find_if(std::begin(keys), std::end(keys), [&](auto &e) { return e.first == op; })->second;
            Qt::KeyboardModifiers modifiers = select ? Qt::ShiftModifier : Qt::NoModifier;
            if (op == 'G' || op == 'w' || op == 'b')
                modifiers |= Qt::ControlModifier;
            key(pane, k, modifiers);
            pressed([&] { synced(select); });
            break;
        }
        case 'c': // a click, or a click with Shift, somewhere in the pane
        case 'x': {
            const QPoint at(in.byte() * 2, in.byte());
            const Qt::KeyboardModifiers modifiers = op == 'x' ? Qt::ShiftModifier : Qt::NoModifier;
            QMouseEvent press(QEvent::MouseButtonPress, at, pane.viewport()->mapToGlobal(at), Qt::LeftButton,
                              Qt::LeftButton, modifiers);
            QMouseEvent release(QEvent::MouseButtonRelease, at, pane.viewport()->mapToGlobal(at), Qt::LeftButton,
                                Qt::NoButton, modifiers);
            QApplication::sendEvent(pane.viewport(), &press);
            QApplication::sendEvent(pane.viewport(), &release);
            synced(op == 'x');
            break;
        }
        }
        check(model, w.active(), model.composition[w.wrapping].typedOver, step, op);
    }
    return 0;
}
