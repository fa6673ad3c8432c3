#pragma once

// A main window on screen with fake platform services, for tests that drive
// it the way a user does.
#include "editor/edit_pane.h"
#include "app/main_window.h"
#include "fakes.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace holvane::testing {

struct Window {
    FakeServices fakes;
    std::unique_ptr<MainWindow> form;

    explicit Window(const QString &argument = QString())
    {
        form = std::make_unique<MainWindow>(fakes.services());
        form->openFromCommandLine(argument);
        form->show();
        QApplication::setActiveWindow(form.get());
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("main window not exposed");
    }

    EditPane &unwrappedPane() const { return *form->unwrappedPane(); }
    EditPane &wrappingPane() const { return *form->wrappingPane(); }
    EditPane &active() const { return form->activePane(); }
    QAction *action(const char *id) const { return form->action(id); }
    void trigger(const char *id) const { action(id)->trigger(); }
    void undo() const { trigger("edit.undo"); }

    // Text in the active pane with a selection of `length` from `start`.
    void setUp(const QString &text, qsizetype start = 0, qsizetype length = 0) const
    {
        EditPane &pane = active();
        pane.setText(text);
        pane.setFocus();
        pane.setSelectionStart(start);
        pane.setSelectionLength(length);
    }

    void press(const QString &key) const
    {
        const QKeyCombination combination = QKeySequence(key)[0];
        QTest::keyClick(&active(), combination.key(), combination.keyboardModifiers());
    }

    // Opens the edit menu as a user does, so that it runs updateEditActions.
    void openEditMenu() const
    {
        QMenu *edit = form->menu("edit");
        edit->popup(form->mapToGlobal(QPoint(10, 10)));
        edit->hide();
    }

    // A mouse button released over the active pane.
    void release(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) const
    {
        QWidget *viewport = active().viewport();
        QMouseEvent e(QEvent::MouseButtonRelease, QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)), button,
                      Qt::NoButton, modifiers);
        QApplication::sendEvent(viewport, &e);
    }
};

// Runs `whileOpen` as soon as a modal dialog or pop-up menu is up; it is
// expected to close it.
inline void whenModalOpens(std::function<void(QWidget *)> whileOpen)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, whileOpen] {
        QWidget *up = QApplication::activePopupWidget();
        if (!up)
            up = QApplication::activeModalWidget();
        if (!up)
            return;
        timer->stop();
        timer->deleteLater();
        whileOpen(up);
    });
    timer->start();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace holvane::testing
