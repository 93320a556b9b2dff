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
    // cover where the screen has room (moving it aside when that makes room).
    void ShowContents(const QString& helpFile, const QString& anchor = {},
                      QWidget* beside = nullptr);
    QTextBrowser* Browser() const { return browser_; }
    QPushButton* CloseButton() const { return close_; }

private:
    QTextBrowser* browser_ = nullptr;
    QPushButton* close_ = nullptr;
};

// Where a window of size wanted goes beside anchor within screen: right of
// it, else left of it, each narrowed to the room there (down to minWidth);
// else right of the anchor moved to the screen's left edge, when both fit
// side by side that way; with no room at all, against the screen's edge on
// the side with more room (the left one on a tie), overlapping the anchor.
// Vertically it lines up with the anchor, kept on screen.
struct BesidePlacement {
    QRect window;
    QRect anchor; // where the anchor goes (moved only to make room)
};
BesidePlacement PlaceBeside(const QRect& anchor, const QSize& wanted, const QRect& screen,
                            int minWidth);

// The about box "About Vexa".
void ShowAboutBox(QWidget* parent);
