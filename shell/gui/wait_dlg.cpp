#include "shell/gui/wait_dlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

#include "engine/strings.h"
#include "shell/gui/gui_support.h"

namespace ordavo::gui {

WaitDlg::WaitDlg(const std::string& message, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Ordavoes");
    setObjectName("WaitDlg");
    setModal(false);
    // Nothing to answer: no close box, and Escape must not dismiss a box its creator owns.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    text_ = new QLabel(message.empty() ? QStr(IDS_AGUARDE_CORTO) : Q(message), this);
    text_->setObjectName("message");
    text_->setWordWrap(true);
    text_->setMinimumWidth(320);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(14);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addWidget(text_, 1);

    show();
    raise();
    // The creator keeps the thread busy right after this: paint the box now, or it would
    // stay an empty frame until the job is over.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString WaitDlg::Message() const { return text_->text(); }

}  // namespace ordavo::gui
