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
    resize(640, 520);
}

void HelpWindow::ShowContents(const QString& helpFile, const QString& anchor,
                              const QWidget* beside) {
    // The help file is HTML under a name of its own, so it is read as such.
    QFile file(helpFile);
    if (file.open(QIODevice::ReadOnly)) {
        browser_->setSearchPaths({QFileInfo(helpFile).absolutePath()});
        browser_->setHtml(QString::fromUtf8(file.readAll()));
    }
    browser_->moveCursor(QTextCursor::Start);
    if (!anchor.isEmpty())
        browser_->scrollToAnchor(anchor);
    if (beside != nullptr) {
        QScreen* screen = beside->screen() ? beside->screen() : QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            const QRect place =
                BesideRect(beside->frameGeometry(), size(), screen->availableGeometry(), kMinWidth);
            resize(place.size());
            move(place.topLeft());
        }
    }
    show();
    raise();
    activateWindow();
}

QRect BesideRect(const QRect& anchor, const QSize& wanted, const QRect& screen, int minWidth) {
    const int height = std::min(wanted.height(), screen.height());
    const int top = std::clamp(anchor.top(), screen.top(), screen.bottom() + 1 - height);
    const int roomRight = screen.right() - anchor.right() - kGap;
    const int roomLeft = anchor.left() - screen.left() - kGap;
    const int fitting = std::min(wanted.width(), screen.width());
    if (roomRight >= std::min(fitting, minWidth))
        return {anchor.right() + 1 + kGap, top, std::min(fitting, roomRight), height};
    if (roomLeft >= std::min(fitting, minWidth)) {
        const int width = std::min(fitting, roomLeft);
        return {anchor.left() - kGap - width, top, width, height};
    }
    // No room beside it: against the screen's edge on the roomier side.
    const int width = std::min(fitting, std::max(minWidth, std::max(roomLeft, roomRight)));
    const int left = roomRight >= roomLeft ? screen.right() + 1 - width : screen.left();
    return {left, top, width, height};
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
