// Helpers for the widget tests: acting on modal windows that the code under test opens, and
// screenshots.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace ordavo::guitest {

// Owner of the timers that WhenModal leaves behind when a test fails half-way.
inline QObject& PendingActions() {
    static QObject* holder = new QObject;
    return *holder;
}
// Drops every WhenModal still waiting (call it in each test's cleanup()).
inline void CancelPendingModalActions() {
    for (QObject* child : PendingActions().children()) delete child;
}

// Calls `action` with the modal window of type T as soon as it is the active modal widget.
// When none comes within `timeout_ms`, `missed` is set and whatever modal window is open is
// closed, so a test fails instead of hanging.
template <class T>
void WhenModal(std::function<void(T*)> action, bool* missed = nullptr, int timeout_ms = 8000) {
    auto* timer = new QTimer(&PendingActions());
    auto elapsed = std::make_shared<int>(0);
    timer->setInterval(15);
    QObject::connect(timer, &QTimer::timeout, [timer, action, missed, elapsed, timeout_ms] {
        *elapsed += timer->interval();
        if (T* w = qobject_cast<T*>(QApplication::activeModalWidget()); w && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(w);
            return;
        }
        if (*elapsed > timeout_ms) {
            timer->stop();
            timer->deleteLater();
            if (missed) *missed = true;
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                d->reject();
            else if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        }
    });
    timer->start();
}

// Types a path into a file dialog's name field, as a user would.
inline void SelectPath(QFileDialog* dialog, const QString& path) {
    if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) {
        edit->setText(QFileInfo(path).absoluteFilePath());
        return;
    }
    dialog->selectFile(QFileInfo(path).absoluteFilePath());
}

// Types `path` and presses the dialog's accept button. A dialog still busy with its folder
// listing may ignore the first press: try again until it closes (at most a second).
inline void AcceptPath(QFileDialog* dialog, const QString& path, int attempts = 50) {
    QPointer<QFileDialog> guard(dialog);
    SelectPath(dialog, path);
    static_cast<QDialog*>(dialog)->accept();
    if (guard && guard->isVisible() && attempts > 0)
        QTimer::singleShot(20, guard, [guard, path, attempts] {
            if (guard && guard->isVisible()) AcceptPath(guard, path, attempts - 1);
        });
}

// Closes modal windows that nobody answers, so that a test fails instead of hanging: armed
// in init(), checked in cleanup(). Reports the class of every window it had to close.
class Watchdog {
public:
    void Arm(int ms = 20000) {
        closed_.clear();
        timer_.reset(new QTimer);
        timer_->setInterval(ms);
        QObject::connect(timer_.get(), &QTimer::timeout, [this] {
            timer_->setInterval(500);
            if (QWidget* w = QApplication::activeModalWidget()) {
                closed_ << w->metaObject()->className() + QString(" \"") + w->windowTitle() + "\"";
                if (auto* d = qobject_cast<QDialog*>(w))
                    d->reject();
                else
                    w->close();
            }
        });
        timer_->start();
    }
    QString Disarm() {
        timer_.reset();
        return closed_.join(", ");
    }

private:
    std::unique_ptr<QTimer> timer_;
    QStringList closed_;
};

// Saves a picture of the widget into $ORDAVO_SCREENSHOTS (when set).
inline QString Screenshot(QWidget* widget, const QString& name) {
    QString dir = qEnvironmentVariable("ORDAVO_SCREENSHOTS");
    if (dir.isEmpty()) return {};
    QDir().mkpath(dir);
    QString path = dir + "/" + name + ".png";
    widget->grab().save(path);
    return path;
}

// Keeps the test's profile (progress window position) away from the user's.
inline void IsolateProfile(const QString& dir) {
    QCoreApplication::setOrganizationName("OrdavoTest");
    QCoreApplication::setApplicationName("OrdavoTest");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
    QSettings::setDefaultFormat(QSettings::NativeFormat);
    QSettings().clear();
}

}  // namespace ordavo::guitest
