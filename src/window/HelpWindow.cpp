#include "window/HelpWindow.h"

#include "base/Version.h"
#include "window/ProgramIcon.h"
#include "window/WindowTexts.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kGap = 8;
constexpr int kMinWidth = 320;
// The size asked for each time it opens beside a window.
constexpr QSize kPreferredSize(640, 520);
} // namespace

HelpWindow::HelpWindow() : QDialog(nullptr, Qt::Window) {
    setWindowTitle(QString::fromLatin1(wintexts::kHelpTitle));
    setWindowIcon(ProgramIcon());
    setModal(false);
    // An open manual never keeps the program running after the main window.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(true);
    layout->addWidget(browser_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    close_ = buttons->button(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(kPreferredSize);
}

void HelpWindow::ShowContents(const QString& helpFile, const QString& anchor, QWidget* beside) {
    // The help file is HTML under a name of its own, so it is read as such.
    QFile file(helpFile);
    if (file.open(QIODevice::ReadOnly)) {
        browser_->setSearchPaths({QFileInfo(helpFile).absolutePath()});
        browser_->setHtml(QString::fromUtf8(file.readAll()));
    }
    browser_->moveCursor(QTextCursor::Start);
    if (!anchor.isEmpty())
        browser_->scrollToAnchor(anchor);
    // Opened on its own it comes back at its usual size, whatever room it
    // had beside a window last time.
    if (beside == nullptr && !isVisible())
        resize(kPreferredSize);
    if (beside != nullptr) {
        QScreen* screen = beside->screen() ? beside->screen() : QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            const BesidePlacement place = PlaceBeside(beside->frameGeometry(), kPreferredSize,
                                                      screen->availableGeometry(), kMinWidth);
            if (place.anchor.topLeft() != beside->frameGeometry().topLeft())
                beside->move(place.anchor.topLeft());
            resize(place.window.size());
            move(place.window.topLeft());
        }
    }
    show();
    raise();
    activateWindow();
}

BesidePlacement PlaceBeside(const QRect& anchor, const QSize& wanted, const QRect& screen,
                            int minWidth) {
    const int height = std::min(wanted.height(), screen.height());
    const int top = std::clamp(anchor.top(), screen.top(), screen.bottom() + 1 - height);
    const int fitting = std::min(wanted.width(), screen.width());
    const int narrowest = std::min(fitting, minWidth);
    const int roomRight = screen.right() - anchor.right() - kGap;
    const int roomLeft = anchor.left() - screen.left() - kGap;
    if (roomRight >= narrowest)
        return {{anchor.right() + 1 + kGap, top, std::min(fitting, roomRight), height}, anchor};
    if (roomLeft >= narrowest) {
        const int width = std::min(fitting, roomLeft);
        return {{anchor.left() - kGap - width, top, width, height}, anchor};
    }
    // Room for both side by side once the anchor moves to the left edge.
    if (anchor.width() + kGap + narrowest <= screen.width()) {
        const QRect moved(screen.left(), anchor.top(), anchor.width(), anchor.height());
        const int width = std::min(fitting, screen.right() - moved.right() - kGap);
        return {{moved.right() + 1 + kGap, top, width, height}, moved};
    }
    // No room at all: against the screen's edge on the roomier side; on a
    // tie the left one, which covers the site list rather than the buttons
    // that end a dialog (Connect, Exit).
    const int width = std::min(fitting, std::max(minWidth, std::max(roomLeft, roomRight)));
    const int left = roomRight > roomLeft ? screen.right() + 1 - width : screen.left();
    return {{left, top, width, height}, anchor};
}

void ShowAboutBox(QWidget* parent) {
    QMessageBox box(parent);
    box.setWindowTitle(QString::fromLatin1(wintexts::kAboutTitle));
    box.setIconPixmap(ProgramIcon().pixmap(64, 64));
    box.setText(QString::fromLatin1(kVersionText));
    box.setInformativeText(QString::fromLatin1(wintexts::kAboutText));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}
