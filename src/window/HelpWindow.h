#pragma once
#include <QDialog>

class QPushButton;
class QTextBrowser;

// The user manual (the HTML help file beside the program) in a window of its
// own, opened at its contents. It is a top-level window outside the main
// window's family, so a dialog that holds the main window (the site
// manager) does not hold the manual too: both stay usable side by side.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    HelpWindow();
    // At the named anchor of the manual when one is given; beside is the
    // window asking for help (the site manager), which the manual does not
    // cover where the screen has room.
    void ShowContents(const QString& helpFile, const QString& anchor = {},
                      const QWidget* beside = nullptr);
    QTextBrowser* Browser() const { return browser_; }
    QPushButton* CloseButton() const { return close_; }

private:
    QTextBrowser* browser_ = nullptr;
    QPushButton* close_ = nullptr;
};

// Where a window of size wanted goes beside anchor within screen: right of
// it, else left of it, each narrowed to the room there (down to minWidth);
// with no room on either side, at the side with more room, overlapping as
// little as it can. Vertically it lines up with the anchor, kept on screen.
QRect BesideRect(const QRect& anchor, const QSize& wanted, const QRect& screen, int minWidth);

// The about box "About Vexa".
void ShowAboutBox(QWidget* parent);
