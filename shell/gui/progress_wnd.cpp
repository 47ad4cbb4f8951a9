#include "shell/gui/progress_wnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QWindow>

#include "engine/strings.h"
#include "shell/gui/gui_support.h"

namespace ordavo::gui {
namespace {

constexpr int kTextLines = 4;
constexpr int kMargin = 10;
constexpr int kMaxText = 511;
constexpr const char* kCancelCaption = " Cancelar ";

bool OnSomeScreen(const QRect& frame) {
    // The title bar must be reachable: the top-left corner and the point a little inside the
    // top-right corner both on a screen.
    for (QScreen* screen : QGuiApplication::screens()) {
        QRect area = screen->availableGeometry();
        if (area.contains(frame.topLeft()) && area.contains(QPoint(frame.left() + std::min(frame.width(), 60), frame.top())))
            return true;
    }
    return false;
}

}  // namespace

ProgressWnd::ProgressWnd(QWidget* parent, const std::string& title, bool smooth)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      ProgressWindow(title),
      placement_parent_(parent ? parent->window() : nullptr) {
    setObjectName("ProgressWnd");
    setWindowTitle(Q(title));
    // While a command reads its answer the user-interface thread is inside the engine; any
    // other window that took input now could start a second command in the middle of it.
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose, false);

    text_ = new QLabel(this);
    text_->setObjectName("text");
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(false);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setMinimumHeight(text_->fontMetrics().lineSpacing() * kTextLines);
    text_->setMinimumWidth(370 - 2 * kMargin);

    bar_ = new QProgressBar(this);
    bar_->setObjectName("bar");
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(smooth);

    cancel_ = new QPushButton(this);
    cancel_->setObjectName("cancel");
    // The progress window's own caption, spaces included (not the dialogs' "Anular").
    cancel_->setText(QString::fromLatin1(kCancelCaption));
    cancel_->setAutoDefault(false);
    cancel_->setMinimumWidth(cancel_->fontMetrics().horizontalAdvance(cancel_->text() + "  ") + 24);
    connect(cancel_, &QPushButton::clicked, this, [this] { Cancel(); });

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    grid->setHorizontalSpacing(kMargin);
    grid->setVerticalSpacing(kMargin);
    grid->addWidget(text_, 0, 0, 1, 2);
    grid->addWidget(bar_, 1, 0);
    grid->addWidget(cancel_, 1, 1);
    grid->setColumnStretch(0, 1);

    InstallHelpKey(this);
    resize(390, std::max(130, sizeHint().height()));
    PlaceWindow();
    show();
    raise();
    activateWindow();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

ProgressWnd::~ProgressWnd() {
    if (isVisible()) RememberPosition();
}

void ProgressWnd::PlaceWindow() {
    if (placement_parent_ && placement_parent_->windowHandle() && !windowHandle()) create();
    if (placement_parent_ && placement_parent_->windowHandle() && windowHandle())
        windowHandle()->setTransientParent(placement_parent_->windowHandle());

    QPoint saved;
    if (SavedPosition(saved) && OnSomeScreen(QRect(saved, size()))) {
        move(saved);
        return;
    }
    QScreen* screen = placement_parent_ ? placement_parent_->screen() : QGuiApplication::primaryScreen();
    QRect area = placement_parent_ && placement_parent_->isVisible() ? placement_parent_->frameGeometry()
                                                                       : (screen ? screen->availableGeometry() : QRect());
    if (area.isEmpty() && screen) area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void ProgressWnd::SavePosition(const QPoint& top_left) {
    QSettings profile;
    profile.beginGroup("Settings");
    profile.setValue("X", top_left.x());
    profile.setValue("Y", top_left.y());
    profile.endGroup();
}

bool ProgressWnd::SavedPosition(QPoint& top_left) {
    QSettings profile;
    profile.beginGroup("Settings");
    bool ok_x = false, ok_y = false;
    int x = profile.value("X").toInt(&ok_x);
    int y = profile.value("Y").toInt(&ok_y);
    profile.endGroup();
    if (!ok_x || !ok_y) return false;
    top_left = QPoint(x, y);
    return true;
}

void ProgressWnd::RememberPosition() { SavePosition(pos()); }

void ProgressWnd::BeginModal() {
    modal_ = true;
    if (!isVisible()) show();
    raise();
    activateWindow();
}

void ProgressWnd::SetRange(int lower, int upper, int step) {
    // An empty range would turn the bar into a busy indicator; it stays an empty bar instead.
    if (upper > lower)
        bar_->setRange(lower, upper);
    else
        bar_->setRange(lower, lower + 1);
    ProgressWindow::SetRange(lower, upper, step);
}

void ProgressWnd::SetText(const std::string& text) {
    std::string shown = text.size() > kMaxText ? text.substr(0, kMaxText) : text;
    ProgressWindow::SetText(shown);
    text_->setText(Q(shown));
}

void ProgressWnd::TitleChanged() { setWindowTitle(Q(WindowTitle())); }

void ProgressWnd::PositionChanged() {
    if (!isVisible()) show();
    int value = std::clamp(Position(), bar_->minimum(), bar_->maximum());
    if (bar_->value() != value) bar_->setValue(value);
}

void ProgressWnd::PumpMessages(bool escape_cancels) {
    escape_cancels_ = escape_cancels;
    if (modal_ && !cancelled_ && isVisible()) {
        if (!isActiveWindow()) activateWindow();
        if (!hasFocus() && !cancel_->hasFocus()) setFocus();
    }
    // Everything waiting, the Cancel button's click and an Escape key included; what they
    // trigger (Cancel) is seen by the engine's next IsCancelled.
    QApplication::processEvents(QEventLoop::AllEvents);
}

void ProgressWnd::Cancel() {
    if (isVisible()) RememberPosition();
    ProgressWindow::Cancel();
    hide();
    if (placement_parent_) {
        placement_parent_->raise();
        placement_parent_->activateWindow();
    }
}

void ProgressWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        // Only where the running operation allows it (its PumpMessages says so); elsewhere
        // Escape must not end a command half way by a stray key press.
        if (escape_cancels_) Cancel();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ProgressWnd::closeEvent(QCloseEvent* event) {
    // The close box means the same as the cancel button; the owner destroys the window.
    event->ignore();
    if (!cancelled_) Cancel();
}

}  // namespace ordavo::gui
