// The two edit panes of the main window, offscreen, against a model after
// every step of a random session: typed keys and text, Return and
// Shift+Return, Backspace and Delete, the arrows, setSelectionStart, setSelectionLength
// and replaceSelection, both pastes, input-method compositions and commits,
// replaceAllCaretAtEnd, setText, Undo and the wrap switch, with lines long
// enough to be folded in pieces.
//
// The model is the text as a list of units, one for each character or line
// end as it came, and the selection in units. What it holds, from
// edit_pane.h, pane_text.h and the faults fixed before:
//  - text() keeps each line end as it came, but a CR and an LF that an edit
//    brings together are one CR LF from then on, and a caret that would
//    fall between them stands before them;
//  - keys, the clipboard and the input method bring every line end (CR,
//    LF, CR LF, U+2028, U+2029) as CR LF, as Return and Shift+Return do;
//    replaceSelection brings U+2028 and U+2029 as CR LF and the rest as given;
//  - setText leaves the caret at the start, replaceAllCaretAtEnd and Undo
//    at the end, the others after what went in, with nothing selected;
//  - Backspace, Delete and the arrows take one unit, and step over a fold
//    as over nothing; an arrow without Shift ends a selection at its edge;
//  - Undo puts back whichever snapshot the pane does not show; they are
//    taken at a key's press and release and around each command, as the
//    main window does;
//  - a commit of the reading that the composition event before withdrew,
//    with no key press or composition between, is dropped;
//  - the pane shows one more line than text() has line ends, counting also
//    U+2029 and U+FDD0, which a file may hold and Qt shows as line breaks.
#include "editor/edit_pane.h"
#include "editor/undo_pair.h"
#include "fuzz.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace holvane;

namespace {

bool isLineEnd(const QString &unit)
{
    return unit == u"\r\n" || unit == u"\r" || unit == u"\n" || unit == u"\u2029" || unit == u"\uFDD0";
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

void compose(EditPane &pane, const QString &preedit, const QString &commit)
{
    QInputMethodEvent e(preedit, {});
    e.setCommitString(commit);
    QApplication::sendEvent(&pane, &e);
}

// The main window's two panes and its undo snapshots.
struct Window {
    QWidget window;
    EditPane unwrappedPane{QStringLiteral("unwrappedPane"), EditPane::Wrap::None, &window};
    EditPane wrappingPane{QStringLiteral("wrappingPane"), EditPane::Wrap::AtRightEdge, &window};
    UndoPair undo;
    bool wrapping = false;

    Window()
    {
        for (EditPane *pane : {&unwrappedPane, &wrappingPane}) {
            pane->setGeometry(0, 0, 480, 320);
            QObject::connect(pane, &EditPane::keyDown, [this, pane] { undo.before = pane->text(); });
            QObject::connect(pane, &EditPane::keyUp, [this, pane] { undo.after = pane->text(); });
        }
        wrappingPane.hide();
        window.resize(480, 320);
        window.show();
    }
    EditPane &active() { return wrapping ? wrappingPane : unwrappedPane; }
};

QString shortly(const QString &s) { return fuzz::escaped(s.size() > 300 ? s.left(150) + u'…' + s.right(150) : s); }

void check(const Model &model, EditPane &pane, int step, char op)
{
    const QString where = QStringLiteral("step %1 (%2): ").arg(step).arg(QLatin1Char(op));
    const QString text = model.text();
    FUZZ_CHECK(pane.text() == text,
               where + QStringLiteral("text ") + shortly(pane.text()) + QStringLiteral(", expected ") + shortly(text));
    const qsizetype start = model.selStart();
    const qsizetype length = model.selEnd() - start;
    FUZZ_CHECK(pane.selectionStart() == start && pane.selectionLength() == length,
               where + QStringLiteral("selection %1+%2, expected %3+%4 in ").arg(pane.selectionStart()).arg(pane.selectionLength())
                           .arg(start).arg(length) + shortly(text));
    const qsizetype lines = model.lineEnds() + 1;
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
    static const char kOps[] = "TSLXKRrBD<>{}VPIJieUAWY";

    Window w;
    Model model;
    fuzz::Input in{data, size};
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        const uint8_t b = in.byte();
        const char *named = b ? std::strchr(kOps, b) : nullptr;
        const char op = named ? *named : kOps[b % (sizeof kOps - 1)];
        EditPane &pane = w.active();
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
        // A composition event, as the platform sends it.
        auto composed = [&](const QString preedit, const QString commit) {
            if (commit.isEmpty()) { // a composition starts where the caret is
                pane.setSelectionStart(model.selStart());
                model.anchor = model.caret = std::min(model.anchor, model.caret);
            }
            compose(pane, preedit, commit);
            const bool drop = !composition.withdrawn.isEmpty() && commit == composition.withdrawn && preedit.isEmpty();
            const bool withdraws = commit.isEmpty() && preedit.isEmpty() && !composition.preedit.isEmpty();
            composition.withdrawn = withdraws ? composition.preedit : QString();
            composition.preedit = preedit;
            if (!preedit.isEmpty())
                composition.lastReading = preedit;
            if (!drop && !commit.isEmpty())
                recorded([&] { model.replaceSelection(ownLineEnds(commit)); });
        };
        // While a reading is shown, the input method has the keys, and a
        // command first has it commit the reading.
        if (!std::strchr("IJie", op) && !composition.preedit.isEmpty())
            composed(QString(), composition.preedit);
        const QString text = model.text();
        const bool full = text.size() > 16384;
        switch (op) {
        case 'T': { // a file opened
            const QString t = payload(in, true);
            pane.setText(t);
            w.undo.before = w.undo.after = t;
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
            w.undo.before = pane.text();
            pane.replaceSelection(s);
            w.undo.after = pane.text();
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
                w.undo.before = pane.text();
                pane.replaceSelection(PaneText::withOwnLineEnds(s));
                w.undo.after = pane.text();
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
            w.undo.before = pane.text();
            pane.replaceAllCaretAtEnd(changed);
            w.undo.after = pane.text();
            recorded([&] { model.setText(changed, changed.size()); });
            break;
        }
        case 'W': { // as MainWindow::showPaneForWrapState
            EditPane &to = w.wrapping ? w.unwrappedPane : w.wrappingPane;
            to.setText(pane.text());
            to.show();
            pane.hide();
            w.wrapping = !w.wrapping;
            model.anchor = model.caret = 0;
            break;
        }
        case 'Y':
            QCoreApplication::processEvents();
            break;
        }
        check(model, w.active(), step, op);
    }
    return 0;
}
