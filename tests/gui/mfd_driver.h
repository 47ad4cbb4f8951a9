// Driving the fiscal-memory window in tests as a person does: the menus opened and clicked
// with the mouse, the modal windows of a command answered in order, the wait and progress
// windows that came up.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <functional>

#include "fiscalmemory/gui/mfd_dialog.h"
#include "shell/gui/progress_wnd.h"
#include "shell/gui/wait_dlg.h"
#include "tests/gui/gui_test_util.h"

namespace ordavo::mfdtest {

using ordavo::gui::MFDDialog;
using ordavo::gui::ProgressWnd;
using ordavo::gui::WaitDlg;

// Answers the modal windows of one command in the order given: each step names the class or
// object name of the window it expects and acts on it. A modal window that is not the next
// step is recorded and closed, so a test sees what it did not expect instead of hanging. The
// progress window is modal too, but only a step that names it touches it.
class Script : public QObject {
public:
    using Action = std::function<void(QWidget*)>;
    Script() {
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start(10);
    }
    Script& Then(const char* window, Action action) {
        steps_.push_back({window, std::move(action)});
        return *this;
    }
    bool Done() const { return steps_.empty() && unexpected.isEmpty(); }
    // After its command: windows of later commands are not this script's business.
    void Stop() { timer_.stop(); }
    QString Why() const {
        return "unexpected: " + unexpected.join(", ") + (steps_.empty() ? "" : "; never came: " + QString(steps_.front().window));
    }
    QStringList messages;     // texts of the message boxes, in order
    QList<QMessageBox::Icon> icons;
    QStringList captions;
    QStringList unexpected;

private:
    struct Step {
        const char* window;
        Action action;
    };
    void Poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w == last_.data()) return;
        bool progress = w->objectName() == "ProgressWnd";
        if (steps_.empty() || !(w->objectName() == steps_.front().window || w->inherits(steps_.front().window))) {
            if (progress) return;
            unexpected << QString(w->metaObject()->className()) + " \"" + w->windowTitle() + "\"";
            last_ = w;
            if (auto* d = qobject_cast<QDialog*>(w)) QTimer::singleShot(0, d, [d] { d->reject(); });
            return;
        }
        Step s = steps_.front();
        steps_.pop_front();
        last_ = w;
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            messages << box->text();
            icons << box->icon();
            captions << box->windowTitle();
        }
        QPointer<QWidget> target = w;
        QTimer::singleShot(0, this, [target, action = s.action] {
            if (target) action(target);
        });
    }
    std::deque<Step> steps_;
    QPointer<QWidget> last_;
    QTimer timer_;
};

inline Script::Action Press(const QString& caption) {
    return [caption](QWidget* w) {
        for (QAbstractButton* b : static_cast<QMessageBox*>(w)->buttons())
            if (b->text() == caption) return QTest::mouseClick(b, Qt::LeftButton);
        static_cast<QDialog*>(w)->reject();
    };
}
inline const QString kOk = "OK", kYes = QString::fromUtf8("S\u00ed"), kNo = "No";
inline Script::Action Ok() { return Press(kOk); }
inline Script::Action Reject() {
    return [](QWidget* w) { static_cast<QDialog*>(w)->reject(); };
}
inline Script::Action Click(const char* button) {
    return [button](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton); };
}

// A file dialog: notes the name it proposes, then accepts it in `dir` (or `path` when given).
inline Script::Action AcceptIn(const QString& dir, QString* proposed = nullptr, const QString& path = {}) {
    return [=](QWidget* w) {
        auto* d = static_cast<QFileDialog*>(w);
        QString name = d->findChild<QLineEdit*>("fileNameEdit")->text();
        if (proposed) *proposed = name;
        QString target = path.isEmpty() ? dir + "/" + name : path;
        // A file saved earlier under the same proposal would bring the overwrite question: the
        // user of these tests always picks a fresh file.
        if (d->acceptMode() == QFileDialog::AcceptSave) {
            QString full = target;
            if (QFileInfo(full).suffix().isEmpty() && !d->defaultSuffix().isEmpty()) full += "." + d->defaultSuffix();
            QFile::remove(full);
        }
        guitest::AcceptPath(d, target);
    };
}

// Ticks a check box where its box is.
inline void Tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); }

// Types into a line edit as the user does: select all, then the keys.
inline void Type(QLineEdit* edit, const QString& text) {
    QTest::mouseDClick(edit, Qt::LeftButton);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// Records which wait and progress windows came up, with their texts.
class WindowsShown : public QObject {
public:
    WindowsShown() { qApp->installEventFilter(this); }
    ~WindowsShown() override { qApp->removeEventFilter(this); }
    QStringList shown;
    QString cancel_caption;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show) {
            if (auto* wait = qobject_cast<WaitDlg*>(o)) shown << "WaitDlg:" + wait->Message();
        } else if (e->type() == QEvent::Paint && o->objectName() == "text") {
            // The progress window's text as the user sees it painted.
            if (auto* progress = qobject_cast<ProgressWnd*>(o->parent())) {
                QString entry = "ProgressWnd:" + progress->TextLabel()->text().section('\n', 0, 0);
                if (shown.isEmpty() || shown.last() != entry) shown << entry;
                cancel_caption = progress->CancelButton()->text();
            }
        }
        return false;
    }
};

// A selection dialog's first and last number typed, then OK.
template <class Dialog>
Script::Action Range(const QString& first, const QString& last) {
    return [first, last](QWidget* d) {
        auto* s = static_cast<Dialog*>(d);
        Type(s->First(), first);
        Type(s->Last(), last);
        QTest::mouseClick(s->OkButton(), Qt::LeftButton);
    };
}

// The progress window: once its bar has moved (the window comes up before the library runs,
// whose callback then runs the timers), notes the bar and the cancel caption, lets `also` look
// at the window, and presses the cancel button.
inline Script::Action CancelOnceMoved(int* bar, QString* caption, std::function<void(ProgressWnd*)> also = {}) {
    return [=](QWidget* p) {
        auto* poll = new QTimer(p);
        QObject::connect(poll, &QTimer::timeout, p, [=] {
            auto* progress = static_cast<ProgressWnd*>(p);
            if (progress->Bar()->value() == 0) return;
            poll->stop();
            *bar = progress->Bar()->value();
            *caption = progress->CancelButton()->text();
            if (also) also(progress);
            QTest::mouseClick(progress->CancelButton(), Qt::LeftButton);
        });
        poll->start(5);
    };
}

// Opens the item's menus with the mouse and clicks the item; the command has run when this
// returns. False when the item or one of its menus is greyed.
inline bool Choose(MFDDialog& w, int id, int occurrence = 0) {
    QList<QAction*> found;
    std::function<void(QMenu*)> walk = [&](QMenu* m) {
        for (QAction* a : m->actions()) {
            if (a->menu()) walk(a->menu());
            else if (!a->isSeparator() && a->data().toInt() == id) found << a;
        }
    };
    for (QAction* top : w.MenuBar()->actions()) walk(top->menu());
    if (found.size() <= occurrence) return false;
    QAction* action = found[occurrence];
    QList<QMenu*> chain;
    for (QObject* p = action->parent(); auto* m = qobject_cast<QMenu*>(p); p = m->parent()) chain.prepend(m);
    if (chain.isEmpty() || !chain.front()->menuAction()->isEnabled() || !action->isEnabled()) return false;
    QMenuBar* bar = w.MenuBar();
    if (!QTest::qWaitForWindowExposed(&w)) return false;
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(chain.front()->menuAction()).center());
    if (!QTest::qWaitForWindowExposed(chain.front())) {
        qWarning("menu %s did not open", qPrintable(chain.front()->title()));
        return false;
    }
    for (int i = 1; i < chain.size(); ++i) {
        QRect r = chain[i - 1]->actionGeometry(chain[i]->menuAction());
        // Resting on the item opens its submenu; a click or the arrow key helps when it does
        // not (the pointer may already have been there when the menu opened).
        QTest::mouseMove(chain[i - 1], r.center() + QPoint(0, r.height()));
        QTest::mouseMove(chain[i - 1], r.center());
        if (!QTest::qWaitFor([&] { return chain[i]->isVisible(); }, 1000))
            QTest::mouseClick(chain[i - 1], Qt::LeftButton, {}, r.center());
        if (!QTest::qWaitFor([&] { return chain[i]->isVisible(); }, 500)) {
            chain[i - 1]->setActiveAction(chain[i]->menuAction());
            QTest::keyClick(chain[i - 1], Qt::Key_Right);
        }
        if (!QTest::qWaitForWindowExposed(chain[i])) {
            qWarning("submenu %s did not open", qPrintable(chain[i]->title()));
            return false;
        }
    }
    bool triggered = false;
    QMetaObject::Connection c = QObject::connect(action, &QAction::triggered, [&] { triggered = true; });
    QRect r = chain.back()->actionGeometry(action);
    QTest::mouseMove(chain.back(), r.center());
    QTest::mouseClick(chain.back(), Qt::LeftButton, {}, r.center());
    QObject::disconnect(c);
    if (!triggered) qWarning("item %d not triggered by the click", id);
    QTest::qWait(30);
    return triggered;
}

// Runs a menu command with its windows answered; fails the test on a window not expected.
inline void Run(MFDDialog& w, int id, Script& script, int timeout_ms = 3000) {
    QVERIFY2(Choose(w, id), qPrintable(QString("item %1 cannot be chosen").arg(id)));
    QTRY_VERIFY2_WITH_TIMEOUT(script.Done(), qPrintable(script.Why()), timeout_ms);
    script.Stop();
}

}  // namespace ordavo::mfdtest
