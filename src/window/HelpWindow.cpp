#include "window/HelpWindow.h"

#include "base/Version.h"
#include "window/ProgramIcon.h"
#include "window/WindowTexts.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(wintexts::kHelpTitle));
    auto* layout = new QVBoxLayout(this);
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(true);
    layout->addWidget(browser_);
    resize(640, 520);
}

void HelpWindow::ShowContents(const QString& helpFile, const QString& anchor) {
    // The help file is HTML under a name of its own, so it is read as such.
    QFile file(helpFile);
    if (file.open(QIODevice::ReadOnly)) {
        browser_->setSearchPaths({QFileInfo(helpFile).absolutePath()});
        browser_->setHtml(QString::fromUtf8(file.readAll()));
    }
    browser_->moveCursor(QTextCursor::Start);
    if (!anchor.isEmpty())
        browser_->scrollToAnchor(anchor);
    show();
    raise();
    activateWindow();
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
