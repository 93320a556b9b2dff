#pragma once
#include <QDialog>

class QTextBrowser;

// The user manual (the HTML help file beside the program) in a window of its
// own, opened at its contents.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // At the named anchor of the manual when one is given.
    void ShowContents(const QString& helpFile, const QString& anchor = {});
    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_ = nullptr;
};

// The about box "About Vexa".
void ShowAboutBox(QWidget* parent);
