#include "shell/gui/help_window.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/gui/gui_support.h"

namespace ordavo::gui {

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("HelpWindow");
    setWindowTitle("Ayuda");
    browser_ = new QTextBrowser(this);
    browser_->setObjectName("browser");
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(true);
    search_ = new QLineEdit(this);
    search_->setObjectName("search");
    search_->setPlaceholderText("Buscar en la ayuda");
    search_->setClearButtonEnabled(true);
    next_ = new QPushButton("Buscar siguiente", this);
    next_->setObjectName("next");
    next_->setAutoDefault(false);
    not_found_ = new QLabel(this);
    not_found_->setObjectName("not_found");
    not_found_->setMinimumWidth(not_found_->fontMetrics().horizontalAdvance("No encontrado") + 8);
    auto* close = new QPushButton("Salir", this);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(next_, &QPushButton::clicked, this, [this] { FindNext(); });
    connect(search_, &QLineEdit::returnPressed, this, [this] { FindNext(); });
    connect(search_, &QLineEdit::textChanged, not_found_, &QLabel::clear);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel("Buscar:", this));
    bar->addWidget(search_, 1);
    bar->addWidget(next_);
    bar->addWidget(not_found_);
    bar->addStretch(0);
    bar->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(browser_, 1);
    resize(860, 640);
}

bool HelpWindow::ShowFile(const std::string& path) {
    const QString file = QPath(path);
    QFileInfo info(file);
    if (!info.isFile() || !info.isReadable()) return false;
    browser_->setSearchPaths({info.absolutePath()});
    browser_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()), QTextDocument::HtmlResource);
    setWindowTitle(browser_->documentTitle().isEmpty() ? QString("Ayuda") : browser_->documentTitle());
    return !browser_->document()->isEmpty();
}

void HelpWindow::ShowHtml(const QString& html, const QString& title) {
    browser_->setHtml(html);
    setWindowTitle(title);
}

bool HelpWindow::FindNext() {
    const QString wanted = search_->text();
    if (wanted.isEmpty()) return false;
    if (browser_->find(wanted)) {
        not_found_->clear();
        return true;
    }
    // From the top again.
    QTextCursor top = browser_->textCursor();
    top.movePosition(QTextCursor::Start);
    browser_->setTextCursor(top);
    if (browser_->find(wanted)) {
        not_found_->clear();
        return true;
    }
    not_found_->setText("No encontrado");
    return false;
}

}  // namespace ordavo::gui
