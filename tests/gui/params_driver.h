// Helpers of the parameter-entry widget tests: a driver that answers a sequence of modal
// windows in order (a chain of editors opens one after another), a user interface that answers
// message boxes from a script and records the result window, and screenshots.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/ui.h"

namespace ordavo::paramstest {

// Acts on modal windows as they come up: each step waits for a visible modal window with the
// given object name (a new one, unless the step says the same window again) and runs its
// action. A step that does not come within the time-out is recorded in `missed` and the open
// window is cancelled, so a test fails instead of hanging.
class ModalDriver : public QObject {
  public:
    using Action = std::function<void(QWidget*)>;

    explicit ModalDriver(int timeout_ms = 8000) : timeout_ms_(timeout_ms) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start();
        clock_.start();
    }

    ModalDriver& Then(const QString& object_name, Action action, bool same_window = false) {
        steps_.push_back(Step{object_name, std::move(action), same_window});
        return *this;
    }
    template <class T>
    ModalDriver& Then(const QString& object_name, std::function<void(T*)> action, bool same_window = false) {
        return Then(
            object_name, [action](QWidget* w) { action(static_cast<T*>(w)); }, same_window);
    }

    bool Done() const { return steps_.empty(); }
    const std::vector<QString>& Missed() const { return missed_; }
    // Object names of the windows acted on, in order.
    const std::vector<QString>& Seen() const { return seen_; }

  private:
    struct Step {
        QString name;
        Action action;
        bool same = false;
    };

    void Poll() {
        if (steps_.empty()) return;
        QWidget* w = QApplication::activeModalWidget();
        if (w && w->isVisible() && w->objectName() == steps_.front().name &&
            (w != last_ || steps_.front().same)) {
            Step s = steps_.front();
            steps_.pop_front();
            last_ = w;
            seen_.push_back(s.name);
            clock_.restart();
            // Outside this timer's own call: an action that opens a further modal window (the
            // editor of "Editar") must leave the driver running for that window.
            QPointer<QWidget> target = w;
            QTimer::singleShot(0, this, [target, action = s.action] {
                if (target) action(target);
            });
            return;
        }
        if (clock_.elapsed() > timeout_ms_) {
            missed_.push_back(steps_.front().name + " (open: " + (w ? w->objectName() : QString("none")) +
                              ")");
            steps_.clear();
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
        }
    }

    std::deque<Step> steps_;
    std::vector<QString> missed_, seen_;
    QPointer<QWidget> last_;
    QTimer timer_;
    QElapsedTimer clock_;
    int timeout_ms_;
};

// Message boxes answered from a queue (Yes when it runs out), wait and result windows recorded.
class ScriptedUi : public UserInterface {
  public:
    struct Wait : WaitWindow {
        ScriptedUi* ui;
        explicit Wait(ScriptedUi* u) : ui(u) { ui->events.push_back("wait+"); }
        ~Wait() override { ui->events.push_back("wait-"); }
    };
    struct Result : ResultWindow {
        ScriptedUi* ui;
        explicit Result(ScriptedUi* u) : ui(u) {}
        void ShowModal() override {
            ui->events.push_back("result");
            ui->result_message = message_;
            ui->result_dump = dump_;
        }
    };

    bool MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                    MsgIcon icon) override {
        questions.push_back(text);
        icons.push_back(icon);
        captions.push_back(caption);
        if (answers.empty()) return true;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::unique_ptr<WaitWindow> ShowWait(const std::string& message) override {
        wait_message = message;
        return std::make_unique<Wait>(this);
    }
    std::unique_ptr<ResultWindow> CreateResultWindow() override { return std::make_unique<Result>(this); }

    std::deque<bool> answers;
    std::vector<std::string> questions, captions;
    std::vector<MsgIcon> icons;
    std::vector<std::string> events;
    std::string wait_message, result_message, result_dump;
};

inline QString Screenshot(QWidget* widget, const QString& name) {
    QString dir = qEnvironmentVariable("ORDAVO_SCREENSHOTS");
    if (dir.isEmpty()) return {};
    QDir().mkpath(dir);
    QString path = dir + "/" + name + ".png";
    widget->grab().save(path);
    return path;
}

}  // namespace ordavo::paramstest
