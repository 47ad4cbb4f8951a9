// The program's own help window: an HTML page (the help document, or the command reference
// made from the loaded catalog) with its links and a search box.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;

namespace ordavo::gui {

class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Shows an HTML file; false when it cannot be read.
    bool ShowFile(const std::string& path);
    void ShowHtml(const QString& html, const QString& title);

    QTextBrowser* Browser() const { return browser_; }
    QLineEdit* SearchBox() const { return search_; }
    // Selects the next place that holds the search text (from the top again at the end);
    // false when the page does not hold it.
    bool FindNext();

private:
    QTextBrowser* browser_ = nullptr;
    QLineEdit* search_ = nullptr;
    QPushButton* next_ = nullptr;
    QLabel* not_found_ = nullptr;
};

}  // namespace ordavo::gui
